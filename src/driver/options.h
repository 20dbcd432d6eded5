// The command line of Tavrin: leading options, then the positional shape of the classic tool.
//
//   Tavrin [--table] [--outliers K] [--standard-newick] [--support-field N] [--separator C]
//          [--draw DIR] [--root LIST] [--support-attribute NAME] [--burnin N]
//          [--groupFile <groupFile>] [--E] <SearchPrefix> <File1> ...
//
// The leading options come first, in any order, each at most once; they are recognised by name
// until the first argument that is not one of them. From there the arguments are examined by
// position exactly as the classic tool does it: `-h` or `-?` first, or too few arguments, asks
// for the short help; `--groupFile <file>` only first, `--E` first or right after the group
// file's path; then the search prefix and the tree files. `--support-attribute` and `--burnin`
// read standard Newick and need `--standard-newick`; `--support-attribute` replaces
// `--support-field`.
#ifndef TAVRIN_DRIVER_OPTIONS_H
#define TAVRIN_DRIVER_OPTIONS_H

#include <cstddef>
#include <string>
#include <vector>

namespace tavrin {

struct Options {
    std::string prefix;
    std::string group_file;  // empty: no group file
    bool use_regex = false;
    std::size_t first_file = 2;     // index of the first tree file in the arguments
    bool table = false;             // --table: the table instead of the report
    std::size_t max_outliers = 0;   // --outliers K
    bool standard_newick = false;   // --standard-newick: tree files read as standard Newick
    std::size_t support_field = 1;  // --support-field N
    char separator = '-';           // --separator C: where a leaf prefix ends
    std::string draw_dir;           // --draw DIR: one picture per tree there; empty: none
    std::string root;               // --root LIST, as given; empty: every tree taken as given
    std::string support_attribute;  // --support-attribute NAME; empty: supports from labels
    std::size_t burnin = 0;         // --burnin N: trees skipped at the start of each file
};

// What the command line asks for.
enum class Request {
    kRun,        // process the tree files
    kShortHelp,  // the classic help text on standard error, status 0
    kUsage,      // the full usage on standard output, status 0
    kError,      // a one-line message on standard error, status 2
};

struct ParsedCommandLine {
    Request request = Request::kRun;
    std::string error;  // the message of kError, without its line break
};

// Largest value of --outliers.
constexpr std::size_t kMaxOutliers = 1000000000;
// Largest value of --support-field (no label holds that many fields).
constexpr std::size_t kMaxSupportField = 1000000;
// Largest value of --burnin.
constexpr std::size_t kMaxBurnin = 1000000000000;

// Reads `arg` (arg[0] being the program's name) into `options`.
ParsedCommandLine parse_command_line(const std::vector<std::string>& arg, Options& options);

}  // namespace tavrin

#endif  // TAVRIN_DRIVER_OPTIONS_H
