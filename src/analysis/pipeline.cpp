// One tree analysed into a plain value, step by step.
#include "analysis/pipeline.h"

#include <algorithm>
#include <cstdint>
#include <functional>
#include <optional>
#include <unordered_set>
#include <utility>
#include <vector>

#include "analysis/leaf_matching.h"
#include "analysis/outliers.h"
#include "analysis/steps.h"
#include "tree/rooting.h"
#include "tree/tree_changes.h"
#include "tree/walk.h"

namespace tavrin {

namespace {

// The number of leaves below `top` that pass `test`, up to `at_most`, for a search that did
// not test them all.
std::size_t count_target_leaves(NodeRef top, const TargetTest& test, std::size_t at_most) {
    std::size_t count = 0;
    const TargetTest::Here here = test.here();
    preorder(top, [&](NodeRef n) {
        if (n.is_leaf() && here(n)) ++count;
        return count < at_most;
    });
    return count;
}

// All target leaves are counted, or only whether there is one.
constexpr std::size_t kCountAll = SIZE_MAX;

// The leaves of a tree from left to right: the order of the file as read while its root has not
// moved.
using LeafOrder = std::vector<NodeRef>;

// Roots `tree` by the root list of `analysis` and says so in `result`; false, with the outcome
// kNoRoot, when no entry applies. With `changes`, the rooting is kept there. With `file_order`,
// the leaves as read when the root moved. `by_target` tells whether the place depends on the
// target: an outgroup, whose leaves are taken from the others, rooted the tree.
bool root_tree(Phylogeny& tree, const Analysis& analysis, AnalysisResult& result,
               TreeChanges* changes, SharedRootPlaces* shared, LeafOrder* file_order,
               std::size_t count_at_most, bool& by_target) {
    const RootList& list = analysis.settings().root;
    by_target = false;
    if (list.entries.empty()) return true;
    const TargetTest& test = analysis.target_test();
    std::vector<NodeRef> broke;
    const RootEntry* entry = root_by_list(
        tree, list, test, analysis.naming().groups, analysis.naming().separator, changes,
        &result.outgroups_matched, list.max_strays > 0 ? &broke : nullptr, shared, file_order);
    if (entry == nullptr) {
        result.status = TreeStatus::kNoRoot;
        result.root.clear();
        result.target_leaves = count_target_leaves(root_of(tree), test, count_at_most);
        return false;
    }
    result.root = entry->text;
    by_target = entry->outgroup.has_value();
    result.root_strays.reserve(broke.size());
    for (NodeRef leaf : broke)
        result.root_strays.emplace_back(leaf.name());
    return true;
}

// The target search. A search that reroots answers for the old rooting; what its full search of
// the rerooted tree answered stands. Also counts the target leaves (a reroot keeps the
// leaves), but for a tree that is not a clade when `census_follows`: the census of its outliers
// counts them, and the count here is left at 1. With `changes`, the reroot is kept there.
SearchResult find_target(Phylogeny& tree, const TargetTest& test, AnalysisResult& result,
                         TreeChanges* changes, bool census_follows, std::size_t count_at_most) {
    SearchResult search = search_target(&tree, root_of(tree), test, {}, changes);
    const bool every_leaf_tested = !search.state.rerooted && !search.state.not_a_clade;
    std::size_t tested = search.tested;
    if (search.state.rerooted) {
        // The search searched the new root in full before it went on: that answer stands.
        search.target = search.restart_target;
        search.state = search.restart_state;
    }
    if (every_leaf_tested) {
        result.target_leaves = tested;
    } else if (census_follows && search.target == nullptr && search.state.not_a_clade) {
        result.target_leaves = 1;
    } else {
        result.target_leaves = count_target_leaves(root_of(tree), test, count_at_most);
    }
    result.rerooted = search.state.rerooted;
    result.target = search.target;
    return search;
}

// Names the outcome of the search; true when the target clade has sisters to look for.
bool judge_target(const Phylogeny& tree, AnalysisResult& result) {
    if (result.target == nullptr) {
        result.status = result.target_leaves == 0 ? TreeStatus::kNoTarget : TreeStatus::kNotAClade;
        return false;
    }
    if (result.target == root_of(tree)) {
        result.status = TreeStatus::kWholeTree;
        return false;
    }
    return true;
}

// The support of the target's parent, read after the fold (which may raise it), and whether the
// rows show it.
void read_support(const Phylogeny& tree, const NamingRule& rule, AnalysisResult& result) {
    result.support.value = support_value(tree, result.target, result.folded);
    result.support.applies =
        !support_not_applicable(tree, result.target, result.sisters, rule, result.folded);
    result.support_node = support_node(tree, result.target, result.folded);
}

// A compact tree read in one pass holds its leaves in the order of the file: their addresses
// give that order, with no list kept.
bool leaves_in_address_order(const Phylogeny& tree) {
    return tree.compact_nodes && tree.compact_nodes->leaves_in_text_order();
}

// Gives `result` the strays in the order of the file: by address when `tree`'s leaves lie in it,
// else in the order of `file_order` when it was recorded (the tree may have moved since);
// otherwise the tree still stands as read and they come in that order already.
void place_strays(const Phylogeny& tree, std::vector<NodeRef> strays, const LeafOrder& file_order,
                  AnalysisResult& result) {
    if (leaves_in_address_order(tree)) {
        std::sort(strays.begin(), strays.end(),
                  [](NodeRef a, NodeRef b) { return a.identity() < b.identity(); });
    } else if (!file_order.empty() && !strays.empty()) {
        const std::unordered_set<NodeRef> stray_set(strays.begin(), strays.end());
        strays.clear();
        for (NodeRef leaf : file_order) {
            if (stray_set.count(leaf) != 0) strays.push_back(leaf);
        }
    }
    result.strays.reserve(strays.size());
    for (NodeRef leaf : strays)
        result.strays.emplace_back(leaf.name());
    result.stray_leaves = std::move(strays);
}

// The whole analysis of `tree`; with `changes`, the rootings it makes are kept there, so that
// the tree as read can be had back. `shared` only while the tree stands as read.
AnalysisResult run_pipeline(Phylogeny& tree, const Analysis& analysis, TreeChanges* changes,
                            SharedAnalyses* shared = nullptr, bool census_follows = false,
                            std::size_t count_at_most = kCountAll) {
    AnalysisResult result;
    if (root_of(tree) == nullptr) return result;
    const NamingRule& rule = analysis.naming();

    // Strays are listed in the order of the file, which a root list may change: with a naming
    // rule that tolerates them the root list keeps the leaves' order when it moves the root,
    // unless their addresses keep it. A reroot by the search leaves it: a target found after one
    // is the whole new root's side but the sibling, a subtree as read.
    LeafOrder file_order;
    bool by_target = false;
    const bool keep_order = rule.tolerates_strays() && !leaves_in_address_order(tree);
    if (!root_tree(tree, analysis, result, changes, shared ? &shared->roots : nullptr,
                   keep_order ? &file_order : nullptr, count_at_most, by_target))
        return result;
    find_target(tree, analysis.target_test(), result, changes, census_follows, count_at_most);
    if (!judge_target(tree, result)) return result;
    // Unless an outgroup or a reroot of the search placed its root, the tree stands as it does
    // for every other target so placed: the names of its clades are theirs too.
    const bool alike = shared != nullptr && !by_target && !result.rerooted;
    Sisters sisters = name_sisters(tree, result.target, rule, alike ? &shared->names : nullptr);
    result.sisters = std::move(sisters.names);
    result.sister_clades = std::move(sisters.clades);
    // The fold changes which support is read, not the tree: the picture draws every leaf.
    result.folded = sisters.fold_parent;
    if (result.sisters.empty()) {
        result.status = TreeStatus::kUnnamed;
        return result;
    }
    place_strays(tree, std::move(sisters.strays), file_order, result);
    result.status = TreeStatus::kSisters;
    read_support(tree, rule, result);
    return result;
}

// Finds the outliers of `tree` and writes what the answer says into `summary`.
OutlierSet describe_outliers(const Phylogeny& tree, const TargetTest& test, OutlierSummary& summary,
                             CensusShape* shape) {
    const TargetTest::Here here = test.here();
    // The censuses of a shared shape are asked by prefix number where the test allows it.
    std::optional<PrefixTest> by_prefix;
    if (shape != nullptr && test.decided_by_prefix()) {
        by_prefix.emplace(
            PrefixTest{test.separator(), [&test](uint32_t key) { return test.passes_key(key); }});
    }
    OutlierSet set = find_outliers(tree, std::cref(here), shape, by_prefix ? &*by_prefix : nullptr);
    summary.count = set.outliers;
    summary.ambiguous = set.ambiguous;
    summary.names.reserve(set.leaves.size());
    for (NodeRef leaf : set.leaves)
        summary.names.emplace_back(leaf.name());
    return set;
}

// The analysis of `tree`, which is left as it was read when it is not a clade: the rootings of
// the search (and of the root list) are undone, with no copy of the tree.
AnalysisResult analyse_as_read(Phylogeny& tree, const Analysis& analysis, TreeChanges* keep,
                               SharedAnalyses* shared, bool census_follows = false) {
    std::optional<TreeChanges> own;
    TreeChanges& changes = keep != nullptr ? *keep : own.emplace(tree);
    AnalysisResult result = run_pipeline(tree, analysis, &changes, shared, census_follows);
    if (result.status == TreeStatus::kNotAClade) changes.undo();
    return result;
}

// The analysis as analyse_as_read gives it, with the leaves that break the target clade of the
// tree as read. When those are one set of 1 to max_outliers leaves, the answer is that
// of the tree without them (for a `picture`, with where each of them stood); when several sets
// tie, the status is kAmbiguous. With a root list the leaves are taken out of the unrooted tree,
// their branches merged (see tree/rooting.h), and the tree without them is rooted by the list; a
// tree that no entry roots is not searched for outliers.
AnalysisResult analyse_with_outliers(Phylogeny& tree, const Analysis& analysis, bool picture,
                                     TreeChanges* keep, SharedAnalyses* shared) {
    const AnalysisSettings& settings = analysis.settings();
    AnalysisResult result = analyse_as_read(tree, analysis, keep, shared, true);
    if (result.status == TreeStatus::kSisters || result.status == TreeStatus::kUnnamed) {
        // The target clade's leaves are one side of the edge above it, and every leaf beyond
        // that edge is not a target leaf.
        result.outliers.count = 0;
        return result;
    }
    // Without a target leaf, or with nothing but target leaves, no set exists: only a tree
    // that is not a clade needs the walk. A reroot (or a root the list moved) moves the leaves
    // and the edges: the outliers describe the tree as read, which `tree` holds again, and are
    // taken out of it.
    if (result.status != TreeStatus::kNotAClade) return result;
    const OutlierSet set = describe_outliers(tree, analysis.target_test(), result.outliers,
                                             shared ? &shared->census : nullptr);
    result.target_leaves = set.target_leaves;
    const std::size_t count = result.outliers.count.value_or(0);
    if (count == 0 || count > settings.max_outliers) return result;
    if (set.ambiguous) {
        result.status = TreeStatus::kAmbiguous;
        return result;
    }
    // Under a root list the tree is unrooted, and the merged branches must not depend on its
    // root.
    std::vector<RemovedLeaf> places;
    remove_leaves(tree, set.leaves,
                  settings.root.entries.empty() ? BranchMerge::kRooted : BranchMerge::kUnrooted,
                  picture ? &places : nullptr, keep);
    AnalysisResult reduced = run_pipeline(tree, analysis, keep);
    reduced.target_leaves = result.target_leaves;
    // The tree left is what a picture draws, whatever became of it: the leaves go back in.
    reduced.aside = std::move(places);
    reduced.outgroups_matched = std::move(result.outgroups_matched);
    if (reduced.status == TreeStatus::kNoRoot) return reduced;
    reduced.outliers = std::move(result.outliers);
    reduced.set_aside = true;
    return reduced;
}

// Lists the target leaves of `tree` in `result`, for a picture of a tree without a target clade.
void list_target_leaves(const Phylogeny& tree, const TargetTest& test, AnalysisResult& result) {
    result.target_leaf_nodes.reserve(result.target_leaves);
    preorder(root_of(tree), [&](NodeRef n) {
        if (n.is_leaf() && test(n)) result.target_leaf_nodes.push_back(n);
    });
    std::sort(result.target_leaf_nodes.begin(), result.target_leaf_nodes.end(),
              std::less<NodeRef>());
}

}  // namespace

Analysis::Analysis(const AnalysisSettings& settings) : Analysis(settings, settings.groups) {}

Analysis::Analysis(const AnalysisSettings& settings, GroupRelations groups)
    : settings_(settings),
      naming_{std::move(groups), settings.separator, settings.purity},
      matcher_(settings.prefix, settings.use_regex),
      test_(matcher_, naming_.groups, settings_.prefix, naming_.separator) {}

AnalysisResult analyse(Phylogeny& tree, const Analysis& analysis, const AnalysisNeeds& needs,
                       TreeChanges* keep, SharedAnalyses* shared) {
    // A tree analysed for several targets is asked the same questions of each leaf prefix many
    // times: numbering its leaves once lets every later answer be found by number. Asked once,
    // the questions cost less than a walk to number them (a tree whose names the run's set-up
    // warnings surveyed with a group file comes numbered: that walk numbers them on its way).
    if (shared != nullptr) LeafKeys::of_thread().number(tree, analysis.naming().separator);
    AnalysisResult result;
    if (needs.outliers || analysis.settings().max_outliers > 0) {
        result = analyse_with_outliers(tree, analysis, needs.picture, keep, shared);
    } else if (needs.picture) {
        result = analyse_as_read(tree, analysis, keep, shared);
    } else {
        result =
            run_pipeline(tree, analysis, keep, shared, false, needs.leaf_count ? kCountAll : 1);
    }
    if (needs.picture && result.target == nullptr && result.target_leaves > 0)
        list_target_leaves(tree, analysis.target_test(), result);
    return result;
}

}  // namespace tavrin
