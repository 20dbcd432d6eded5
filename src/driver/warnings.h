// The driver's warnings: a run that would end well and answer something else than its user meant
// says so on standard error, each warning on one line beginning "Warning: ".
#ifndef TAVRIN_DRIVER_WARNINGS_H
#define TAVRIN_DRIVER_WARNINGS_H

#include <array>
#include <cstddef>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "draw/picture_file.h"
#include "driver/options.h"
#include "output/messages.h"

namespace tavrin {

// A search prefix that begins with '-' is most likely an option misspelled, which the classic
// shapes of the command line take as the target. Written before the first file is read.
void warn_of_prefix_like_option(std::ostream& err, const std::string& prefix);

// Whether a tree file's text, read in the classic dialect, holds a ';' followed by anything but
// blanks (space, tab, carriage return, line feed): a file of several trees, which that dialect
// reads as one.
bool holds_several_trees(std::string_view text);

// "<path> holds several trees; read it with --standard-newick", the path escaped as values in
// messages are.
void warn_of_several_trees(std::ostream& err, const std::string& path);

// Once per run, after the last picture: "--draw <dir>: <picture> held a picture of another
// file; replaced", with the count when several were.
void warn_of_replaced_pictures(std::ostream& err, const std::string& dir,
                               const PictureFolder& pictures);

// What the leaf names of one tree tell the set-up warnings, looked for only when a leading option
// was given (RunConfig::leading_options).
struct LeafNamesSeen {
    std::size_t leaves = 0;  // counted in full while no name holds the separator
    bool separator = false;  // some leaf name holds the separator in force
    // While none does: how many names hold each of messages::kLikelySeparators.
    std::array<std::size_t, sizeof messages::kLikelySeparators> likely{};
    // The group relations the tree was analysed with, and the distinct leaf prefixes that are
    // a member of some group and no group themselves.
    GroupRelations groups;
    std::vector<std::string> members;
};

// One walk over the leaves of `tree` as read: the separator's presence (the walk stops counting
// the other bytes at the first name that holds it), and, with a group file, the members met;
// with one, the walk also numbers the leaves by their prefixes for this thread (LeafKeys).
LeafNamesSeen see_leaf_names(Phylogeny& tree, char separator, const GroupRelations& groups);

// What one analysed tree tells the warnings at the end of the run.
struct TreeSeen {
    std::size_t target_leaves = 0;  // leaves passing the target test
    bool three_way_root = false;    // written with three children at its root: unrooted
    // For each distinct outgroup of --root: whether some leaf passes its test.
    std::vector<bool> outgroups_matched;
    std::optional<LeafNamesSeen> names = std::nullopt;  // with a leading option
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
    //   depend on where the program put the root;
    // - with a leading option, no leaf name holds the separator in force while at least half of
    //   them hold '_', '|', '.' or ' ': the leaf prefixes are most likely not cut where meant;
    // - with a leading option, members of the group file are the leaf prefix of no leaf of any
    //   tree, and no group of the file: most likely misspelled.
    // `target` is the one the trees were analysed for.
    void warn(std::ostream& err, const RunConfig& config, const std::string& target) const;

private:
    void warn_if_target_never_seen(std::ostream& err, const RunConfig& config,
                                   const std::string& target) const;
    void warn_of_unmatched_outgroups(std::ostream& err, const RunConfig& config) const;
    void warn_of_three_way_roots(std::ostream& err, const RunConfig& config) const;
    void warn_of_separator(std::ostream& err, const RunConfig& config) const;
    void warn_of_unmatched_members(std::ostream& err) const;

    std::size_t trees_ = 0;
    std::size_t leaves_ = 0;
    bool names_seen_ = false;
    bool separator_seen_ = false;
    std::array<std::size_t, sizeof messages::kLikelySeparators> likely_{};
    GroupRelations groups_;  // those of the last tree
    std::unordered_set<std::string> members_seen_;
    std::size_t target_leaves_ = 0;
    std::size_t three_way_roots_ = 0;
    std::vector<bool> outgroups_matched_;
};

}  // namespace tavrin

#endif  // TAVRIN_DRIVER_WARNINGS_H
