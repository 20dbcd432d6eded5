// The list of ways to root a tree (--root): tried in order, the first that applies roots it.
//
//   given      the tree as read, its root where the file puts it (always applies)
//   midpoint   the midpoint of the longest path between two leaves
//   NAME       an outgroup: the leaves the target test would select with NAME as the search
//              prefix (a plain prefix, never a pattern), target leaves excepted; the root goes
//              halfway along the branch of the largest side holding outgroup leaves only
//
// Every entry but `given` takes the tree as unrooted and keeps every support and length on its
// branch (see tree/rooting.h), so that every rooting of one unrooted tree gives the same tree.
#ifndef TAVRIN_ANALYSIS_ROOT_LIST_H
#define TAVRIN_ANALYSIS_ROOT_LIST_H

#include <memory>
#include <string>
#include <vector>

#include "analysis/group_relations.h"
#include "tree/phylogeny.h"

namespace tavrin {

class LeafMatcher;

class TargetTest;
class TreeChanges;

constexpr const char* kRootGiven = "given";
constexpr const char* kRootMidpoint = "midpoint";

struct RootEntry {
    std::string text;                             // as given: given, midpoint or the outgroup
    std::shared_ptr<const LeafMatcher> outgroup;  // the outgroup's prefix test; absent otherwise
};

struct RootList {
    std::string text;                // the list as given, for messages
    std::vector<RootEntry> entries;  // empty: no list, every tree taken as given
};

// Reads the list written `text`, split at its commas, into `list`; false when the list or one of
// its entries is empty.
bool parse_root_list(const std::string& text, RootList& list);

// Roots `tree`, whose root must be present, by the first entry of `list` that applies, and
// answers that entry; none, leaving the tree as it was, when no entry applies. The outgroup tests
// use the group relations and separator of `target`'s search, and leave out the leaves `target`
// selects. With `changes`, the rooting is kept there, so that it can be undone.
const RootEntry* root_by_list(Phylogeny& tree, const RootList& list, const TargetTest& target,
                              const GroupRelations& groups, char separator,
                              TreeChanges* changes = nullptr);

}  // namespace tavrin

#endif  // TAVRIN_ANALYSIS_ROOT_LIST_H
