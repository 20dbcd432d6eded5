// The steps of one analysis, in the order it takes them: the target test and search, sister
// collection, the support. analyse_tree runs them for the driver; the Tavrin class exposes
// them one by one.
#ifndef TAVRIN_ANALYSIS_STEPS_H
#define TAVRIN_ANALYSIS_STEPS_H

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/group_relations.h"
#include "tree/phylogeny.h"

class LeafMatcher;

namespace tavrin {

// Is `leaf` a target leaf: does its name pass the matcher, or is its leaf prefix (the name up to
// its first `separator`) the search prefix or a member of it taken as a group?
class TargetTest {
public:
    TargetTest(const LeafMatcher& matcher, const GroupRelations& groups, std::string_view prefix,
               char separator)
        : matcher_(matcher), groups_(groups), prefix_(prefix), separator_(separator) {}
    bool operator()(const Phylogeny_Node* leaf) const;

private:
    const LeafMatcher& matcher_;
    const GroupRelations& groups_;
    std::string_view prefix_;
    char separator_;
};

// The target search from `start`: none, `start` itself when every leaf below it is a target
// leaf, or the node strictly inside it whose leaves are exactly its target leaves. Sets the
// search flags and, at most once while `rerooted` is clear, reroots `tree` (which may be absent:
// no reroot is made then). Adds the target leaves it tests to `*tested` when given: all of them
// when the search ends with both flags clear, since it then tests every leaf once.
Phylogeny_Node* search_target(Phylogeny* tree, Phylogeny_Node* start, const TargetTest& test,
                              std::size_t* tested = nullptr);

// The sister names of `target` (absent: none), folding its parent out of `tree` when both
// names agree. Leaf prefixes end at `separator`, here and in the operations below.
std::vector<std::string> collect_sisters(Phylogeny& tree, Phylogeny_Node* target,
                                         const GroupRelations& groups, char separator);

// The support of the node joining `target` to its first sister (of the sibling across the
// root).
double support_value(const Phylogeny& tree, const Phylogeny_Node* target);
// Whether "n/a" replaces that support: a single sister across the root to which the whole
// sibling belongs.
bool support_not_applicable(const Phylogeny& tree, const Phylogeny_Node* target,
                            const std::vector<std::string>& sisters, const GroupRelations& groups,
                            char separator);

// The clade name of `n`: its shared leaf prefix or the first group holding all its leaves; a
// single leaf is named by its rendered prefix (its text "name:length" cut before its first
// `separator`); empty when nothing fits.
std::string clade_name(const GroupRelations& groups, const Phylogeny_Node* n, char separator);
// Does every leaf below `n` pass the group test for `group`? False for an absent node.
bool wholly_in_group(const GroupRelations& groups, const Phylogeny_Node* n, std::string_view group,
                     char separator);

}  // namespace tavrin

#endif  // TAVRIN_ANALYSIS_STEPS_H
