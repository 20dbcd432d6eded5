// The analysis pipeline: one tree analysed, step by step, into a plain value (what the search
// found, the sister names and the support), computed once and written by whichever writer the
// driver chose.
//
// The analysis writes nothing and shares no state: beyond the tree it analyses (which a reroot
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
#include "analysis/leaf_matching.h"
#include "analysis/outliers.h"
#include "analysis/root_list.h"
#include "analysis/steps.h"
#include "output/table_format.h"
#include "tree/node_ref.h"
#include "tree/phylogeny.h"
#include "tree/rooting.h"
#include "tree/tree_changes.h"

namespace tavrin {

// The leaves that break the target clade of the tree as read (see analysis/outliers.h).
struct OutlierSummary {
    std::optional<std::size_t> count;  // absent when no set exists
    bool ambiguous = false;            // several sets tie, so none is named
    std::vector<std::string> names;    // the one set's leaf names, in file order
};

// What a run asks of the analysis: the target test (the search prefix or pattern, and the group
// relations), the naming of clades, the rooting and the outliers. Written once, from the command
// line or a test; an Analysis is made from it.
struct AnalysisSettings {
    std::string prefix;
    bool use_regex = false;
    // The group relations in force; a run takes those of its GroupFile
    // (analysis/group_relations.h) instead.
    GroupRelations groups;
    // The leaf prefix, used by the group test and by clade naming, ends at the first separator;
    // see is_valid_separator (analysis/leaf_matching.h) for the bytes a user may choose.
    char separator = '-';
    // How each tree is rooted before it is analysed; an empty list takes it as given.
    RootList root{};
    // A tree that is not a clade is analysed without the 1 to `max_outliers` leaves that break
    // its target clade, when one such set explains it (0: never).
    std::size_t max_outliers = 0;
    // The share of a clade's leaves that must pass the name it is given: at 1 every leaf; below
    // (down to just above 0.5) a clade may hold scattered strays, leaves outside its name (the
    // NamingRule of the run, analysis/group_relations.h).
    double purity = kWholePurity;
};

// What the outputs of a run need besides the answer.
struct AnalysisNeeds {
    // The outliers of every tree, even those analysed whole (the table's columns).
    bool outliers = false;
    // A picture: a tree that is not a clade left as it was read, and its target leaves listed.
    bool picture = false;
    // The number of target leaves in full (the table and pictures show it). Without it, a count
    // that needs a walk of its own stops at the first target leaf: 1 tells a tree that has
    // target leaves from one that has none.
    bool leaf_count = true;
};

// What the analyses of one tree for several targets share while it stands as read, each part
// found by the first analysis that needs it: the rooting places that do not depend on the
// target, the shape of the census of its outliers, and the names of the clades of the tree
// rooted at such a place (or as read) when the search leaves it there.
struct SharedAnalyses {
    SharedRootPlaces roots;
    CensusShape census;
    KnownCladeNames names;
};

// The analysis of a run: its settings, the target test compiled once and the naming rule, made
// once per run (and once per change of the group file) and read by every tree, on any thread.
// Made from settings alone (as a test does, also implicitly) it takes their group relations;
// the relations in force are the naming rule's.
class Analysis {
public:
    Analysis(const AnalysisSettings& settings);  // NOLINT: settings serve as their analysis
    Analysis(const AnalysisSettings& settings, GroupRelations groups);
    Analysis(const Analysis&) = delete;
    Analysis& operator=(const Analysis&) = delete;

    const AnalysisSettings& settings() const { return settings_; }
    const NamingRule& naming() const { return naming_; }
    const TargetTest& target_test() const { return test_; }
    // What is wrong with the pattern, or empty when it can be used (an unusable one matches no
    // name).
    const std::string& pattern_error() const { return matcher_.error(); }

private:
    AnalysisSettings settings_;
    NamingRule naming_;
    LeafMatcher matcher_;
    TargetTest test_;
};

struct AnalysisResult {
    TreeStatus status = TreeStatus::kNoTarget;
    NodeRef target = nullptr;          // in the analysed tree; absent unless a clade was found
    std::vector<std::string> sisters;  // 0, 1 or 2 names, none empty, two of them different
    SisterClades sister_clades;        // the clades examined for each sister, for pictures
    SupportCell support;               // meaningful only with sisters
    // The node the support is read from (the target's parent, its grandparent after the parent
    // fold, or the sibling across the root); absent without sisters.
    NodeRef support_node = nullptr;
    // The two sister names came out equal below the root's children: the support is read as if
    // the target's parent were folded out. The tree keeps it.
    bool folded = false;
    bool rerooted = false;          // the search rerooted the tree
    std::size_t target_leaves = 0;  // leaves of the tree as read that pass the target test
    OutlierSummary outliers;        // filled when outliers are looked for
    bool set_aside = false;         // the result is that of the tree without `outliers.names`
    std::string root = kRootGiven;  // the root list's entry that rooted the tree; empty for
                                    // kNoRoot
    // The leaves that broke the outgroup that rooted the tree (RootList::max_strays): outgroup
    // leaves outside the side it rooted on, other leaves inside it, by name in file order.
    std::vector<std::string> root_strays;
    // For each distinct outgroup of the root list (RootList::outgroups): whether some leaf of
    // the tree as read passes its test. Empty without outgroups.
    std::vector<bool> outgroups_matched;
    // With AnalysisNeeds::picture, when no target clade was found: the leaves of the tree
    // analysed that pass the target test, in address order (for a binary search).
    std::vector<NodeRef> target_leaf_nodes;
    // With sisters named below purity 1, the leaves the named sister clades hold outside their
    // names (see Sisters::strays), by name in the order they stand in the file as read (the
    // tree before any reroot); and the same leaves, in the same order, for pictures.
    std::vector<std::string> strays;
    std::vector<NodeRef> stray_leaves;
    // With AnalysisNeeds::picture, the leaves the tree analysed was taken without, and where each
    // stood in it (also when no entry of the root list rooted the tree left).
    std::vector<RemovedLeaf> aside;
};

// The analysis of one tree, the one entry of the programs, giving what `needs` asks for: the tree
// is rooted by the root list first, when there is one, then searched; it may be rooted elsewhere
// and rerooted, as the result describes it (the parent fold is read, not made: `folded`). A tree
// that is not a clade is analysed without its outliers when its max_outliers allows (the
// answer refers to the tree without them: `set_aside`), and when outliers or a picture are
// needed it is left as it was read: its rootings are undone, with no copy of the tree.
// With `keep`, every change the analysis makes to the tree (rootings, reroots, leaves set aside)
// is kept there, so that the caller, once done with the result (which points into the tree),
// can have the tree as read back for another analysis. With `shared`, that analysis (of the tree
// as read, for another target) takes what does not depend on the target from the analyses
// before it, and the tree's leaves are numbered by their prefix (LeafKeys) for all of them.
AnalysisResult analyse(Phylogeny& tree, const Analysis& analysis, const AnalysisNeeds& needs = {},
                       TreeChanges* keep = nullptr, SharedAnalyses* shared = nullptr);

}  // namespace tavrin

#endif  // TAVRIN_ANALYSIS_PIPELINE_H
