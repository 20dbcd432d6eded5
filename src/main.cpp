// Tavrin: for each tree file, the sister clades of the target group and their support.
#if defined(__linux__) && __has_include(<malloc.h>)
#include <malloc.h>  // mallopt, where the C library has it
#endif
#if __has_include(<sys/stat.h>)
#include <sys/stat.h>
#else
#include <filesystem>
#endif

#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

#include "analysis/tavrin.h"
#include "tree/phylogeny.h"

namespace {

constexpr int kFileNotOpened = 15;

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

bool is_directory(const std::string& path) {
#if __has_include(<sys/stat.h>)
    struct stat info;
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
#else
    std::error_code error;
    return std::filesystem::is_directory(path, error);
#endif
}

// The file's lines joined without their line breaks (a carriage return stays). False when the
// file cannot be opened or read.
bool read_tree_text(const std::string& path, std::string& text) {
    std::ifstream file(path, std::ios::binary);
    if (!file.is_open() || is_directory(path)) return false;
    // One allocation of the file's size when it is known (a regular file), else read to the end.
    file.seekg(0, std::ios::end);
    const std::streamoff size = file.tellg();
    file.seekg(0, std::ios::beg);
    if (size > 0 && file) {
        text.resize(static_cast<size_t>(size));
        file.read(&text[0], size);
        text.resize(static_cast<size_t>(file.gcount()));
        if (file.bad()) return false;
        file.clear();
    }
    text.append(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    if (file.bad()) return false;
    size_t kept = 0;
    for (char c : text) {
        if (c != '\n') text[kept++] = c;
    }
    text.resize(kept);
    return true;
}

// Analyses one tree and writes its rows. Returns the exit status when the run must end.
int analyse(Phylogeny& tree, const Options& options) {
    const Tavrin analysis =
        options.group_file.empty()
            ? Tavrin(&tree, options.prefix, options.use_regex)
            : Tavrin(&tree, options.prefix, options.group_file, options.use_regex);
    if (analysis.exit_status != 0) return analysis.exit_status;
    for (int i = 0; i < analysis.sister_count; ++i) {
        const double value = analysis.bootstrap();
        const bool not_applicable = analysis.bootstrapIsNull();
        std::cout << options.prefix << '\t' << analysis.sisters[static_cast<size_t>(i)] << '\t';
        if (not_applicable) {
            std::cout << "n/a";
        } else {
            std::cout << value;
        }
        std::cout << '\n';
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    // Memory once obtained stays with the process: tree after tree reuses the same pages
    // instead of asking the kernel for fresh ones, which is most of the cost of a big tree.
#if defined(M_MMAP_MAX) && defined(M_TRIM_THRESHOLD)
    mallopt(M_MMAP_MAX, 0);
    mallopt(M_TRIM_THRESHOLD, 1 << 30);
#endif
    std::ios::sync_with_stdio(false);
    const std::vector<std::string> arg(argv, argv + argc);
    Options options;
    if (!parse_options(arg, options)) {
        std::cerr << kHelp;
        return 0;
    }
    for (size_t i = static_cast<size_t>(options.first_file); i < arg.size(); ++i) {
        const std::string& path = arg[i];
        std::cout << path << ":\n";
        std::string text;
        if (!read_tree_text(path, text)) {
            std::cout.flush();
            std::cerr << "The file " << path << " is not opened" << std::endl;
            return kFileNotOpened;
        }
        Phylogeny tree(std::move(text));
        if (tree.root == nullptr) continue;
        std::cout.flush();  // rows and diagnostics keep their order on a shared terminal
        const int status = analyse(tree, options);
        if (status != 0) return status;
    }
    return 0;
}
