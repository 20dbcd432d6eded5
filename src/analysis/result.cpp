// One tree analysed into a plain value.
#include "analysis/result.h"

#include <functional>
#include <utility>

#include "analysis/leaf_matching.h"
#include "analysis/outliers.h"
#include "analysis/steps.h"
#include "analysis/tavrin.h"
#include "tree/walk.h"

namespace tavrin {
namespace {

// The matcher of `settings`, compiled here when it never was; an unusable pattern matches no
// name.
std::shared_ptr<const LeafMatcher> matcher_of(const AnalysisSettings& settings) {
    if (settings.matcher != nullptr) return settings.matcher;
    return std::make_shared<const LeafMatcher>(settings.prefix, settings.use_regex);
}

// The number of leaves below `top` that pass `test`, for a search that did not test them all.
std::size_t count_target_leaves(const Phylogeny_Node* top, const TargetTest& test) {
    std::size_t count = 0;
    preorder(top, [&](const Phylogeny_Node* n) {
        if (n->is_leaf && test(n)) ++count;
    });
    return count;
}

// Finds the outliers of `tree` and writes what the answer says into `summary`.
OutlierSet describe_outliers(const Phylogeny& tree, const AnalysisSettings& settings,
                             OutlierSummary& summary) {
    const std::shared_ptr<const LeafMatcher> matcher = matcher_of(settings);
    const TargetTest test(*matcher, settings.groups, settings.prefix, settings.separator);
    OutlierSet set = find_outliers(tree, std::cref(test));
    summary.count = set.outliers;
    summary.ambiguous = set.ambiguous;
    summary.names.reserve(set.leaves.size());
    for (const Phylogeny_Node* leaf : set.leaves)
        summary.names.push_back(leaf->name);
    return set;
}

}  // namespace

std::string compile_target_test(AnalysisSettings& settings) {
    auto matcher = std::make_shared<const LeafMatcher>(settings.prefix, settings.use_regex);
    if (!matcher->valid()) return matcher->error();
    settings.matcher = std::move(matcher);
    return std::string();
}

GroupRelations::LoadResult load_group_relations(const std::string& path, GroupRelations& groups) {
    GroupRelations loaded;
    const GroupRelations::LoadResult result = loaded.load(path);
    if (result == GroupRelations::LoadResult::kLoaded) groups = std::move(loaded);
    return result;
}

AnalysisResult analyse_tree(Phylogeny& tree, const AnalysisSettings& settings) {
    rerooted = false;
    null_in_error = false;
    AnalysisResult result;
    if (tree.root == nullptr) return result;
    const std::shared_ptr<const LeafMatcher> matcher = matcher_of(settings);
    const TargetTest test(*matcher, settings.groups, settings.prefix, settings.separator);

    // A search that reroots answers for the old rooting; the rerooted tree is searched again
    // and that answer stands.
    std::size_t tested = 0;
    Phylogeny_Node* target = search_target(&tree, tree.root, test, &tested);
    const bool every_leaf_tested = !rerooted && !null_in_error;
    if (rerooted) {
        null_in_error = false;
        target = search_target(&tree, tree.root, test);
    }
    // A reroot keeps the leaves; the fold below may cut a subtree out, so count before it.
    result.target_leaves = every_leaf_tested ? tested : count_target_leaves(tree.root, test);
    result.rerooted = rerooted;
    result.target = target;
    if (target == nullptr) {
        result.outcome = result.target_leaves == 0 ? Outcome::kNoTargetLeaf : Outcome::kNotAClade;
        return result;
    }
    if (target == tree.root) {
        result.outcome = Outcome::kWholeTree;
        return result;
    }
    result.sisters = collect_sisters(tree, target, settings.groups, settings.separator);
    if (result.sisters.empty()) {
        result.outcome = Outcome::kUnnamed;
        return result;
    }
    result.outcome = Outcome::kSisters;
    result.support = support_value(tree, target);
    result.support_applies =
        !support_not_applicable(tree, target, result.sisters, settings.groups, settings.separator);
    return result;
}

AnalysisResult analyse_tree_with_outliers(std::unique_ptr<Phylogeny>& tree,
                                          const TreeReader& reader,
                                          const AnalysisSettings& settings,
                                          std::size_t max_outliers) {
    AnalysisResult result = analyse_tree(*tree, settings);
    if (result.outcome == Outcome::kSisters || result.outcome == Outcome::kUnnamed) {
        // The target clade's leaves are one side of the edge above it, and every leaf beyond
        // that edge is not a target leaf.
        result.outliers.count = 0;
        return result;
    }
    // Without a target leaf, or with nothing but target leaves, no set exists: only a tree
    // that is not a clade needs the walk.
    if (result.outcome != Outcome::kNotAClade) return result;
    // A reroot moves the leaves and the edges: the outliers describe the tree as read, and are
    // taken out of it. The rerooted tree goes first, so that the second reading reuses its
    // memory.
    if (result.rerooted) {
        tree.reset();
        tree = reader.read_again();
    }
    const OutlierSet set = describe_outliers(*tree, settings, result.outliers);
    const std::size_t count = result.outliers.count.value_or(0);
    if (count == 0 || count > max_outliers) return result;
    if (set.ambiguous) {
        result.outcome = Outcome::kAmbiguous;
        return result;
    }
    set_aside(*tree, set.leaves);
    AnalysisResult reduced = analyse_tree(*tree, settings);
    reduced.target_leaves = result.target_leaves;
    reduced.outliers = std::move(result.outliers);
    reduced.set_aside = true;
    return reduced;
}

}  // namespace tavrin
