// One tree analysed into a plain value.
#include "analysis/result.h"

#include "analysis/leaf_matching.h"
#include "analysis/steps.h"
#include "analysis/tavrin.h"

namespace tavrin {

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
    // Settings that were never compiled get their matcher here; an unusable pattern matches
    // no name.
    std::shared_ptr<const LeafMatcher> matcher = settings.matcher;
    if (matcher == nullptr) {
        matcher = std::make_shared<const LeafMatcher>(settings.prefix, settings.use_regex);
    }
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

}  // namespace tavrin
