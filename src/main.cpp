// Tavrin: for each tree file, the sister clades of the target group and their support.
#include <cerrno>
#include <cstring>
#include <iostream>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#include "analysis/report.h"
#include "analysis/result.h"
#include "messages.h"
#include "tree/huge_pages.h"
#include "tree/phylogeny.h"
#include "tree/tree_file.h"

namespace {

namespace messages = tavrin::messages;

// Status of every fatal input error: a tree or group file that cannot be read, an unusable
// pattern, memory that ran out. The run ends at once; rows already written stay written.
constexpr int kFatalInputStatus = 15;

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
        std::cerr << messages::kCannotWriteOutput << std::strerror(output_error) << std::endl;
    }
    return kFatalInputStatus;
}

// The report on standard output: a header line per tree file, then the rows of its tree; the
// reason a tree has no row goes to standard error.
class ReportWriter {
public:
    explicit ReportWriter(const Options& options) : prefix_(options.prefix) {}
    void begin_file(const std::string& path) { std::cout << path << ":\n"; }
    void tree(const tavrin::AnalysisResult& result) {
        tavrin::write_outcome_message(std::cerr, result);
        tavrin::write_rows(std::cout, result, prefix_);
    }

private:
    std::string prefix_;
};

// The file loop. `reading` names the file being read or analysed, for a run that ends because
// memory ran out.
class FileLoop {
public:
    explicit FileLoop(const Options& options) : options_(options) {
        settings_.prefix = options.prefix;
        settings_.use_regex = options.use_regex;
    }

    // Processes the files; the exit status, before the report is flushed.
    template <typename Writer>
    int run(const std::vector<std::string>& arg, Writer& writer) {
        for (size_t i = static_cast<size_t>(options_.first_file); i < arg.size(); ++i) {
            const std::string& path = arg[i];
            reading_ = &path;
            writer.begin_file(path);
            std::string text;
            if (!tavrin::read_tree_file(path, text)) {
                flush_report();
                std::cerr << messages::kFileNotOpenedBefore << path << messages::kFileNotOpenedAfter
                          << std::endl;
                return kFatalInputStatus;
            }
            Phylogeny tree(std::move(text));
            if (tree.root == nullptr) continue;
            // Rows and diagnostics keep their order on a shared terminal; a report that can no
            // longer be written ends the run.
            if (!flush_report()) break;
            if (!prepare_analysis()) return kFatalInputStatus;
            reading_ = &path;
            writer.tree(tavrin::analyse_tree(tree, settings_));
        }
        return 0;
    }

    const std::string& reading() const { return *reading_; }

private:
    // Loads the group file again (an unchanged one is reused) and compiles the pattern once.
    // False, with its message written, when either cannot be used.
    bool prepare_analysis() {
        if (!options_.group_file.empty()) {
            reading_ = &options_.group_file;
            const GroupRelations::LoadResult load =
                tavrin::load_group_relations(options_.group_file, settings_.groups);
            tavrin::write_group_file_error(std::cerr, load, options_.group_file);
            if (load != GroupRelations::LoadResult::kLoaded) return false;
        }
        if (settings_.matcher == nullptr) {
            const std::string error = tavrin::compile_target_test(settings_);
            if (!error.empty()) {
                tavrin::write_pattern_error(std::cerr, options_.prefix, error);
                return false;
            }
        }
        return true;
    }

    const Options& options_;
    tavrin::AnalysisSettings settings_;
    const std::string* reading_ = &options_.prefix;  // replaced before anything is read
};

// Runs the file loop; memory that runs out ends the run like any fatal input error, after the
// rows already made.
template <typename Writer>
int run_files(const std::vector<std::string>& arg, const Options& options, Writer& writer) {
    FileLoop loop(options);
    try {
        return loop.run(arg, writer);
    } catch (const std::bad_alloc&) {
    } catch (const std::length_error&) {  // a string asked to grow past its largest size
    }
    flush_report();
    std::cerr << messages::kOutOfMemory << loop.reading() << std::endl;
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
        std::cerr << messages::kHelp;
        return 0;
    }
    ReportWriter report(options);
    return finish(run_files(arg, options, report));
}
