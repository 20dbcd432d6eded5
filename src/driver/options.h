// The command line of Tavrin, read once into a RunConfig: leading options, then the positional
// shape of the classic tool.
//
//   Tavrin [--table] [--outliers K] [--standard-newick] ... [--groupFile <groupFile>] [--E]
//          <SearchPrefix> <File1> ...
//
// The leading options come first, in any order, each at most once; they are recognised by name
// until the first argument that is not one of them. From there the arguments are examined by
// position, in the classic shapes: `-h` or `-?` first, or too few arguments, asks
// for the short help; `--groupFile <file>` only first, `--E` first or right after the group
// file's path; then the search prefix and the tree files. `--support-attribute` and `--burnin`
// read standard Newick and need `--standard-newick`; `--support-attribute` replaces
// `--support-field`. The table of options in options.cpp is the one place an option is
// declared: parsing, `--help` and its usage line come from it.
#ifndef TAVRIN_DRIVER_OPTIONS_H
#define TAVRIN_DRIVER_OPTIONS_H

#include <cstddef>
#include <ostream>
#include <string>
#include <vector>

#include "analysis/pipeline.h"
#include "tree/read_options.h"

namespace tavrin {

// Everything a run does, as the command line says it.
struct RunConfig {
    std::vector<std::string> files;  // the tree files, in order
    std::string group_file;          // empty: no group file
    // How tree files are read: a big classic tree's nodes kept compact.
    ReadOptions read{Dialect::kClassic, 1, {}, nullptr, kCompactTextBytes};
    std::size_t burnin = 0;  // trees skipped at the start of each file
    // The target test, the rooting and the outliers; the group relations and the compiled
    // pattern are added when the run starts.
    AnalysisSettings analysis;
    // What is written: the table instead of the report, and pictures in `draw_dir` (empty:
    // none).
    bool table = false;
    std::string draw_dir;
    // The run's name, for the table's label column and the pictures' names (empty: none).
    std::string label;
    // Trees are analysed on up to this many threads, their output written in the run's order.
    std::size_t threads = 1;
    // Some leading option was given: the command line is not the classic one, and the warnings
    // added since may be written.
    bool leading_options = false;
    // --targets: the targets in list order, each tree analysed for each of them (the search
    // prefix is then left out of the command line); empty: the search prefix alone.
    std::vector<std::string> targets;

    // The targets a tree is analysed for, in order: those of --targets, or the search prefix.
    std::vector<std::string> target_list() const {
        return targets.empty() ? std::vector<std::string>{analysis.prefix} : targets;
    }
    // How far the run is, told on standard error while it runs.
    bool progress = false;
};

// What the command line asks for.
enum class Request {
    kRun,        // process the tree files
    kShortHelp,  // the classic help text on standard error, status 0
    kUsage,      // the full usage on standard output, status 0
    kVersion,    // the version on standard output, status 0
    kError,      // a one-line message on standard error, status 2
};

struct CommandLine {
    Request request = Request::kRun;
    std::string error;  // the message of kError, without its line break
    RunConfig config;
};

// Largest value of --outliers.
constexpr std::size_t kMaxOutliers = 1000000000;
// Largest value of --support-field (no label holds that many fields).
constexpr std::size_t kMaxSupportField = 1000000;
// Most entries of --targets.
constexpr std::size_t kMaxTargets = 1000;
// Longest --label, in bytes.
constexpr std::size_t kMaxLabel = 40;
// Largest value of --burnin.
constexpr std::size_t kMaxBurnin = 1000000000000;
// Largest value of --threads.
constexpr std::size_t kMaxThreads = 1024;

// Reads `args`, the arguments after the program's name.
CommandLine parse_command_line(const std::vector<std::string>& args);

// The full usage of `Tavrin --help`, made from the table of options.
void write_usage(std::ostream& out);

}  // namespace tavrin

#endif  // TAVRIN_DRIVER_OPTIONS_H
