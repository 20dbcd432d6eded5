// The driver's warnings: a run that would end well and answer something else than its user meant
// says so on standard error, each warning on one line beginning "Warning: ".
#ifndef TAVRIN_DRIVER_WARNINGS_H
#define TAVRIN_DRIVER_WARNINGS_H

#include <cstddef>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "draw/picture_file.h"
#include "driver/options.h"

namespace tavrin {

// A search prefix that begins with '-' is most likely an option misspelled, which the classic
// shapes of the command line take as the target. Written before the first file is read.
void warn_of_prefix_like_option(std::ostream& err, const std::string& prefix);

// Whether a tree file's text, read in the classic dialect, holds a ';' followed by anything but
// blanks (space, tab, carriage return, line feed): a file of several trees, which that dialect
// reads as one.
bool holds_several_trees(std::string_view text);

// "<path> holds several trees; read it with --standard-newick".
void warn_of_several_trees(std::ostream& err, const std::string& path);

// Once per run, after the last picture: "--draw <dir>: <picture> held a picture of another
// file; replaced", with the count when several were.
void warn_of_replaced_pictures(std::ostream& err, const std::string& dir,
                               const PictureFolder& pictures);

// What one analysed tree tells the warnings at the end of the run.
struct TreeSeen {
    std::size_t target_leaves = 0;  // leaves passing the target test
    bool three_way_root = false;    // written with three children at its root: unrooted
    // For each distinct outgroup of --root: whether some leaf passes its test.
    std::vector<bool> outgroups_matched;
};

// What the run saw across all its trees, added up tree by tree in the run's order, for the
// warnings at its end.
class RunSeen {
public:
    void tree(const TreeSeen& seen);

    // After the last file, when trees were analysed, in this order:
    // - none had a leaf that passes the target test: the search prefix is most likely
    //   misspelled (or missing from the group file);
    // - an outgroup of --root matched no leaf of any tree: most likely misspelled, and the list
    //   went on to its next entry for every tree;
    // - with --table or --standard-newick and without --root, some trees were written with three
    //   children at their root (unrooted, as inference programs write them): their answers
    //   depend on where the program put the root.
    // `target` is the one the trees were analysed for.
    void warn(std::ostream& err, const RunConfig& config, const std::string& target) const;

private:
    void warn_if_target_never_seen(std::ostream& err, const RunConfig& config,
                                   const std::string& target) const;
    void warn_of_unmatched_outgroups(std::ostream& err, const RunConfig& config) const;
    void warn_of_three_way_roots(std::ostream& err, const RunConfig& config) const;

    std::size_t trees_ = 0;
    std::size_t target_leaves_ = 0;
    std::size_t three_way_roots_ = 0;
    std::vector<bool> outgroups_matched_;
};

}  // namespace tavrin

#endif  // TAVRIN_DRIVER_WARNINGS_H
