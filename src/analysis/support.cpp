// The support value printed on every row of a tree, or "n/a".
#include "analysis/tavrin.h"

double Tavrin::bootstrap() const {
    if (target == nullptr || target->parent == nullptr) return 0;
    const Phylogeny_Node* p = target->parent;
    if (p != tree->root) return p->support;
    // Across the root the target's own parent carries no split: report the sibling's support.
    const Phylogeny_Node* sibling = p->left == target ? p->right : p->left;
    return sibling ? sibling->support : 0;
}

bool Tavrin::bootstrapIsNull() const {
    if (sister_count > 1) return false;
    if (target == nullptr || target->parent == nullptr || sisters.empty()) return false;
    const Phylogeny_Node* p = target->parent;
    if (p != tree->root) return p->is_leaf;
    Phylogeny_Node* sibling = p->left == target ? p->right : p->left;
    return sibling != nullptr && whole_tree_by_name(sibling, sisters[0]) == sibling;
}
