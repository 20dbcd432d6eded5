// Tavrin: for each tree file, the sister clades of the target group and their support.
#include <cerrno>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "analysis/report.h"
#include "analysis/tavrin.h"
#include "tree/huge_pages.h"
#include "tree/phylogeny.h"
#include "tree/tree_file.h"

namespace {

// Status of every fatal input error: a tree or group file that cannot be read, an unusable
// pattern. The run ends at once; rows already written stay written.
constexpr int kFatalInputStatus = 15;

constexpr const char* kFileNotOpenedBefore = "The file ";
constexpr const char* kFileNotOpenedAfter = " is not opened";
constexpr const char* kCannotWriteOutput = "Couldnt write output: ";

constexpr const char* kHelp =
    "You can run the program in the following way:\n"
    "\n"
    "./Tavrin [-h?] [--groupFile <groupFile>] [--E] <SearchPrefix> <File1> <File2> .....\n"
    "\n"
    "\n"
    "Required Arguments:\n"
    "<SearchPrefix> \t\t the prefix of the target family or group for which Tavrin will find "
    "sisters.\n"
    "<FileX> \t\t file with a single phylogenetic tree in Newik format.\n"
    "\n"
    "Optional Arguments:\n"
    "-h, -? \t\t\t Prints this help message.\n"
    "--groupFile <groupFile>  Tavrin will use a hierarical clustering of leaf prefixes found in "
    "<GroupFile>  \n"
    "\t\t\t to group non-monophyletic sister clades. The format is shown in the included README\n"
    "--E \t\t\t Tavrin will uses regular expression searching rather than strict exact prefix\n"
    "\t\t\t matching to find the target group.\n";

struct Options {
    std::string prefix;
    std::string group_file;
    bool use_regex = false;
    int first_file = 2;
};

// Options are recognised by position only: [--groupFile FILE] [--E] PREFIX FILES...
// Returns false when the arguments are a request for help or too few to run.
bool parse_options(const std::vector<std::string>& arg, Options& options) {
    const size_t count = arg.size();  // arg[0] is the program name
    if (count < 3 || arg[1] == "-h" || arg[1] == "-?") return false;
    options.prefix = arg[1];
    options.first_file = 2;
    if (options.prefix == "--groupFile") {
        if (count < 4) return false;
        options.group_file = arg[2];
        options.prefix = arg[3];
        options.first_file = 4;
    }
    if (options.prefix == "--E") {
        options.use_regex = true;
        const size_t at = options.group_file.empty() ? 2 : 4;
        if (count <= at) return false;
        options.prefix = arg[at];
        options.first_file = static_cast<int>(at) + 1;
    }
    return true;
}

// Analyses one tree and writes its rows. False when a fatal input error ends the run.
bool analyse(Phylogeny& tree, const Options& options) {
    const Tavrin analysis =
        options.group_file.empty()
            ? Tavrin(&tree, options.prefix, options.use_regex)
            : Tavrin(&tree, options.prefix, options.group_file, options.use_regex);
    if (analysis.failure != Tavrin::Failure::kNone) return false;
    write_rows(std::cout, analysis, options.prefix);
    return true;
}

// The reason the report could not be written (an errno value), or 0 while all went out.
int output_error = 0;

// Writes out what the report holds so far; false once any of it could not be written.
bool flush_report() {
    if (output_error == 0) {
        if (std::cout) errno = 0;  // else keep the cause of the write that failed
        if (!std::cout.flush()) output_error = errno != 0 ? errno : EIO;
    }
    return output_error == 0;
}

// Ends the run with `status` once the report is safely out. Output that could not be written
// (a full disk, a closed descriptor) is a failure, never a success; a reader that stopped
// early (`| head`) ends the run quietly, as it does any command-line tool.
int finish(int status) {
    if (flush_report()) return status;
    if (output_error != EPIPE) {
        std::cerr << kCannotWriteOutput << std::strerror(output_error) << std::endl;
    }
    return kFatalInputStatus;
}

}  // namespace

int main(int argc, char** argv) {
    // Memory once obtained stays with the process: tree after tree reuses the same pages
    // instead of asking the kernel for fresh ones, which is most of the cost of a big tree.
    tavrin::keep_freed_memory();
    std::ios::sync_with_stdio(false);
    const std::vector<std::string> arg(argv, argv + argc);
    if (arg.size() == 2 && arg[1] == "--version") {
        std::cout << "Tavrin " << TAVRIN_VERSION << '\n';
        return finish(0);
    }
    Options options;
    if (!parse_options(arg, options)) {
        std::cerr << kHelp;
        return 0;
    }
    for (size_t i = static_cast<size_t>(options.first_file); i < arg.size(); ++i) {
        const std::string& path = arg[i];
        std::cout << path << ":\n";
        std::string text;
        if (!tavrin::read_tree_file(path, text)) {
            flush_report();
            std::cerr << kFileNotOpenedBefore << path << kFileNotOpenedAfter << std::endl;
            return finish(kFatalInputStatus);
        }
        Phylogeny tree(std::move(text));
        if (tree.root == nullptr) continue;
        // Rows and diagnostics keep their order on a shared terminal; a report that can no
        // longer be written ends the run.
        if (!flush_report()) break;
        if (!analyse(tree, options)) return finish(kFatalInputStatus);
    }
    return finish(0);
}
