// The support value printed on every row of a tree, or "n/a".
#include "analysis/steps.h"

namespace tavrin {

double support_value(const Phylogeny& tree, const Phylogeny_Node* target) {
    if (target == nullptr || target->parent == nullptr) return 0;
    const Phylogeny_Node* p = target->parent;
    if (p != tree.root) return p->support;
    // Across the root the target's own parent carries no split: report the sibling's support.
    const Phylogeny_Node* sibling = sibling_of(target);
    return sibling ? sibling->support : 0;
}

bool support_not_applicable(const Phylogeny& tree, const Phylogeny_Node* target,
                            const std::vector<std::string>& sisters, const GroupRelations& groups,
                            char separator, double purity) {
    if (sisters.size() > 1) return false;
    if (target == nullptr || target->parent == nullptr || sisters.empty()) return false;
    const Phylogeny_Node* p = target->parent;
    if (p != tree.root) return p->is_leaf;
    const Phylogeny_Node* sibling = sibling_of(target);
    if (purity < 1 && sibling != nullptr && !sibling->is_leaf) {
        // A name that tolerates strays: the sibling belongs to it when the name holds it.
        const GroupTally tally = tally_group(groups, sibling, sisters[0], separator);
        return holds_at_purity(tally.passing, tally.leaves, purity);
    }
    return wholly_in_group(groups, sibling, sisters[0], separator);
}

}  // namespace tavrin
