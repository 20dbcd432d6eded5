// The analysis pipeline: one tree analysed, step by step, into a plain value (what the search
// found, the sister names and the support), computed once and written by whichever writer the
// driver chose.
//
// analyse_tree writes nothing and shares no state: beyond the tree it analyses (which a reroot
// or a parent fold changes in place) it reads only its settings, so trees may be analysed on
// several threads at once, each with its own tree.
#ifndef TAVRIN_ANALYSIS_PIPELINE_H
#define TAVRIN_ANALYSIS_PIPELINE_H

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "analysis/group_relations.h"
#include "analysis/root_list.h"
#include "analysis/steps.h"
#include "tree/phylogeny.h"

namespace tavrin {

class LeafMatcher;

// How the analysis of one tree ended.
enum class Outcome {
    kSisters,       // at least one sister is named
    kUnnamed,       // the target clade was found, but no sister could be named
    kNotAClade,     // some leaves are target leaves, but they form no clade, rerooted or not
    kNoTargetLeaf,  // no leaf is a target leaf
    kWholeTree,     // every leaf is a target leaf: the target is the root
    kAmbiguous,     // not a clade, and several sets of outliers of the smallest size explain it
    kNoRoot,        // no entry of the root list applies: the tree is not analysed
};

// The leaves that break the target clade of the tree as read (see analysis/outliers.h).
struct OutlierSummary {
    std::optional<std::size_t> count;  // absent when no set exists
    bool ambiguous = false;            // several sets tie, so none is named
    std::vector<std::string> names;    // the one set's leaf names, in file order
};

// The target test of an analysis: the search prefix (or pattern) and the group relations.
// Compile it once with `compile_target_test`; load the groups with `load_group_relations`
// (analysis/group_relations.h).
struct AnalysisSettings {
    std::string prefix;
    bool use_regex = false;
    GroupRelations groups;
    std::shared_ptr<const LeafMatcher> matcher;  // compiled from `prefix` and `use_regex`
    // The leaf prefix, used by the group test and by clade naming, ends at the first separator;
    // see is_valid_separator (analysis/leaf_matching.h) for the bytes a user may choose.
    char separator = '-';
    // How each tree is rooted before it is analysed; an empty list takes it as given.
    RootList root{};
    // The share of a clade's leaves that must pass the name it is given: at 1 every leaf; below
    // (down to just above 0.5) a clade may hold strays, leaves outside its name (see
    // clade_name_at_purity, analysis/steps.h).
    double purity = kWholePurity;
};

// Compiles the target test of `settings`. Returns what is wrong with the pattern, or an empty
// string when it can be used.
std::string compile_target_test(AnalysisSettings& settings);

// The compiled target test of `settings`, compiled here when it never was; an unusable pattern
// matches no name.
std::shared_ptr<const LeafMatcher> matcher_of(const AnalysisSettings& settings);

struct AnalysisResult {
    Outcome outcome = Outcome::kNoTargetLeaf;
    Phylogeny_Node* target = nullptr;  // in the analysed tree; absent unless a clade was found
    std::vector<std::string> sisters;  // 0, 1 or 2 names, none empty, two of them different
    SisterClades sister_clades;        // the clades that gave each sister, for pictures
    double support = 0;                // meaningful only with sisters
    bool support_applies = false;      // false: the rows show "n/a" instead of `support`
    bool rerooted = false;             // the search rerooted the tree
    std::size_t target_leaves = 0;     // leaves of the tree as read that pass the target test
    OutlierSummary outliers;           // filled by analyse_tree_with_outliers only
    bool set_aside = false;            // the result is that of the tree without `outliers.names`
    std::string root = kRootGiven;     // the root list's entry that rooted the tree; empty for
                                       // kNoRoot
    // With sisters named below purity 1, the leaves the named sister clades hold outside their
    // names (see Sisters::strays), by name in the order they stand in the file as read (the
    // tree before any reroot); and the same leaves, in the same order, for pictures.
    std::vector<std::string> strays;
    std::vector<const Phylogeny_Node*> stray_leaves;
};

// Analyses `tree` with compiled `settings`: roots it by the root list first, when there is one.
// The tree may be rooted elsewhere, rerooted and have the target's parent folded out, as the
// result describes it.
AnalysisResult analyse_tree(Phylogeny& tree, const AnalysisSettings& settings);

// The same, except that a tree that is not a clade is left as it was read: a tree the search
// rerooted (or the root list rooted elsewhere) is replaced by its copy as read.
AnalysisResult analyse_tree_as_read(std::unique_ptr<Phylogeny>& tree,
                                    const AnalysisSettings& settings);

// Analyses `tree` as analyse_tree does, and describes the leaves that break the target clade of
// the tree as read. When those are one set of 1 to `max_outliers` leaves, the answer is that of
// the tree without them (`set_aside`); when several sets tie, the outcome is kAmbiguous. A tree
// that the search rerooted (or the root list rooted elsewhere) and that is not a clade is
// replaced by its copy as read, so `tree` may be replaced; the answer refers to the tree it then
// holds. With a root list the leaves are taken out of the unrooted tree, their branches merged
// (see tree/rooting.h), and the tree without them is rooted by the list; a tree that no entry
// roots is not searched for outliers.
AnalysisResult analyse_tree_with_outliers(std::unique_ptr<Phylogeny>& tree,
                                          const AnalysisSettings& settings,
                                          std::size_t max_outliers);

}  // namespace tavrin

#endif  // TAVRIN_ANALYSIS_PIPELINE_H
