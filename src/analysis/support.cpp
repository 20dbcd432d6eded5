// The support value printed on every row of a tree, or "n/a".
#include "analysis/steps.h"

namespace tavrin {
namespace {

// The node that joins the target to its first sister, the target's side below it, and the
// support that node carries: the target's parent, or with `folded` its grandparent, which the
// parent fold gives the larger of the two supports.
struct Joint {
    NodeRef node = nullptr;
    NodeRef sibling = nullptr;  // the joint's other child
    double support = 0;
};

Joint joint_of(NodeRef target, bool folded) {
    NodeRef p = target.parent();
    if (!folded) return Joint{p, p.other_child(target), p.support()};
    NodeRef g = p.parent();
    return Joint{g, g.other_child(p), p.support() > g.support() ? p.support() : g.support()};
}

bool has_joint(NodeRef target, bool folded) {
    return target != nullptr && target.parent() != nullptr &&
           (!folded || target.parent().parent() != nullptr);
}

}  // namespace

double support_value(const Phylogeny& tree, NodeRef target, bool folded) {
    if (!has_joint(target, folded)) return 0;
    const Joint joint = joint_of(target, folded);
    if (joint.node != root_of(tree)) return joint.support;
    // Across the root the target's own parent carries no split: report the sibling's support.
    return joint.sibling ? joint.sibling.support() : 0;
}

NodeRef support_node(const Phylogeny& tree, NodeRef target, bool folded) {
    if (!has_joint(target, folded)) return nullptr;
    const Joint joint = joint_of(target, folded);
    return joint.node != root_of(tree) ? joint.node : joint.sibling;
}

bool support_not_applicable(const Phylogeny& tree, NodeRef target,
                            const std::vector<std::string>& sisters, const NamingRule& rule,
                            bool folded) {
    if (sisters.size() > 1) return false;
    if (!has_joint(target, folded) || sisters.empty()) return false;
    const Joint joint = joint_of(target, folded);
    if (joint.node != root_of(tree)) return joint.node.is_leaf();
    if (rule.tolerates_strays() && joint.sibling != nullptr && !joint.sibling.is_leaf()) {
        // A name that tolerates strays: the sibling belongs to it when the name holds it.
        const GroupTally tally =
            tally_group(rule.groups, joint.sibling, sisters[0], rule.separator);
        return rule.holds(tally.passing, tally.leaves, tally.stray_cherries);
    }
    return wholly_in_group(rule.groups, joint.sibling, sisters[0], rule.separator);
}

}  // namespace tavrin
