// Tavrin: for each tree file, the sister clades of the target group and their support.
#include <cerrno>
#include <cstring>
#include <iostream>
#include <memory>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#include "analysis/report.h"
#include "analysis/result.h"
#include "analysis/table.h"
#include "driver/options.h"
#include "messages.h"
#include "tree/huge_pages.h"
#include "tree/phylogeny.h"
#include "tree/tree_file.h"

namespace {

namespace messages = tavrin::messages;

using tavrin::Options;

// Status of every fatal input error: a tree or group file that cannot be read, an unusable
// pattern, memory that ran out. The run ends at once; rows already written stay written.
constexpr int kFatalInputStatus = 15;
// Status of a command line that cannot be run, before any file is read.
constexpr int kUsageErrorStatus = 2;

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
// reason a tree has no row goes to standard error, after the leaves it was analysed without.
class ReportWriter {
public:
    explicit ReportWriter(const Options& options) : prefix_(options.prefix) {}
    static constexpr bool kTellsWhyOnStandardError = true;
    void begin_file(const std::string& path) { std::cout << path << ":\n"; }
    void malformed() {}  // the reader has said why
    void tree(const tavrin::AnalysisResult& result) {
        tavrin::write_set_aside(std::cerr, result);
        tavrin::write_outcome_message(std::cerr, result);
        tavrin::write_rows(std::cout, result, prefix_);
    }

private:
    std::string prefix_;
};

// The table on standard output: its header line first, then one row per tree, which holds
// what the report would say on standard error.
class TableWriter {
public:
    explicit TableWriter(const Options& options) : prefix_(options.prefix) {
        tavrin::write_table_header(std::cout);
    }
    static constexpr bool kTellsWhyOnStandardError = false;
    void begin_file(const std::string& path) { path_ = path; }
    void malformed() { tavrin::write_malformed_row(std::cout, key()); }
    void tree(const tavrin::AnalysisResult& result) {
        tavrin::write_table_row(std::cout, key(), result);
    }

private:
    tavrin::TableRowKey key() const { return tavrin::TableRowKey{path_, 1, prefix_}; }

    std::string prefix_;
    std::string path_;
};

// Standard error says nothing while this lives, when `mute` is set.
class MutedStandardError {
public:
    explicit MutedStandardError(bool mute) : saved_(mute ? std::cerr.rdbuf(nullptr) : nullptr) {}
    ~MutedStandardError() {
        if (saved_ != nullptr) std::cerr.rdbuf(saved_);
    }
    MutedStandardError(const MutedStandardError&) = delete;
    MutedStandardError& operator=(const MutedStandardError&) = delete;

private:
    std::streambuf* saved_;
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
        for (size_t i = options_.first_file; i < arg.size(); ++i) {
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
            // The outliers describe the tree as read, which a reroot changes: keep its text.
            if (describe_outliers()) kept_text_ = text;
            std::unique_ptr<Phylogeny> tree =
                read_tree(std::move(text), !Writer::kTellsWhyOnStandardError);
            if (tree->root == nullptr) {
                writer.malformed();
                continue;
            }
            // Rows and diagnostics keep their order on a shared terminal; a report that can no
            // longer be written ends the run.
            if (!flush_report()) break;
            if (!prepare_analysis()) return kFatalInputStatus;
            reading_ = &path;
            writer.tree(analyse(tree));
        }
        return 0;
    }

    const std::string& reading() const { return *reading_; }

private:
    // The table accounts for every tree, and --outliers needs them to choose the tree analysed.
    bool describe_outliers() const { return options_.table || options_.max_outliers > 0; }

    tavrin::AnalysisResult analyse(std::unique_ptr<Phylogeny>& tree) {
        if (!describe_outliers()) return tavrin::analyse_tree(*tree, settings_);
        return tavrin::analyse_tree_with_outliers(tree, kept_text_, settings_,
                                                  options_.max_outliers);
    }

    // The tree of `text`; when `quiet`, the reader's complaint about a malformed text is not
    // written (the table holds it).
    static std::unique_ptr<Phylogeny> read_tree(std::string text, bool quiet) {
        const MutedStandardError mute(quiet);
        return std::make_unique<Phylogeny>(std::move(text));
    }

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
    std::string kept_text_;
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
    const tavrin::ParsedCommandLine parsed = tavrin::parse_command_line(arg, options);
    switch (parsed.request) {
        case tavrin::Request::kShortHelp:
            std::cerr << messages::kHelp;
            return 0;
        case tavrin::Request::kUsage:
            std::cout << messages::kUsage;
            return finish(0);
        case tavrin::Request::kError:
            std::cerr << parsed.error << std::endl;
            return kUsageErrorStatus;
        case tavrin::Request::kRun:
            break;
    }
    if (options.table) {
        TableWriter table(options);
        return finish(run_files(arg, options, table));
    }
    ReportWriter report(options);
    return finish(run_files(arg, options, report));
}
