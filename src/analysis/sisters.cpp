// Sister collection: the clade next to the target, and the rest of the tree merged into one name
// on the way up to the root.
#include <string>
#include <utility>
#include <vector>

#include "analysis/steps.h"

namespace tavrin {

namespace {

// The upward walk takes at most this many steps before the root step; clades further out are
// left unread.
constexpr int kMaxWalkSteps = 11;

// One step of the upward walk: the name gathered so far meets the name of the next clade out.
// The wider of the two wins (the gathered name when each holds the other); when neither holds
// the other, the first group holding both, or nothing at the root step.
std::string merge_outward(const GroupRelations& groups, const std::string& gathered,
                          const std::string& next, bool at_root) {
    if (groups.same_group(next, gathered)) {
        return groups.same_group(gathered, next) ? next : gathered;
    }
    if (groups.same_group(gathered, next)) return next;
    return at_root ? std::string() : groups.lowest_common_group(next, gathered);
}

}  // namespace

void fold_parent(Phylogeny& tree, Phylogeny_Node* target) {
    Phylogeny_Node* parent = target->parent;
    Phylogeny_Node* grandparent = parent->parent;
    Phylogeny_Node* former_sibling = sibling_of(target);
    if (parent->support > grandparent->support) grandparent->support = parent->support;
    (grandparent->left == parent ? grandparent->left : grandparent->right) = target;
    target->parent = grandparent;
    tree.retire_node(parent);
    tree.retire_subtree(former_sibling);
}

Sisters name_sisters(const Phylogeny& tree, const Phylogeny_Node* target,
                     const GroupRelations& groups, char separator) {
    std::string first, second;
    SisterClades gave;  // the clades each name was made of
    const Phylogeny_Node* t = target;
    const Phylogeny_Node* p = t ? t->parent : nullptr;
    const Phylogeny_Node* g = p ? p->parent : nullptr;
    const Phylogeny_Node* root = tree.root;
    auto name_of = [&groups, separator](const Phylogeny_Node* n) {
        return clade_name(groups, n, separator);
    };

    if (p != nullptr && p == root) {
        // Across the root: the halves of the sibling, not the sibling's own name.
        const Phylogeny_Node* s = sibling_of(t);
        if (s->is_leaf) {
            first = name_of(s);
            gave[0] = {s};
        } else {
            first = name_of(s->left);
            second = name_of(s->right);
            gave = {{{s->left}, {s->right}}};
        }
    } else if (p != nullptr) {
        first = name_of(sibling_of(t));
        const Phylogeny_Node* current = sibling_of(p);  // the uncle
        gave = {{{sibling_of(t)}, {current}}};
        if (g == root) {
            // The uncle's stored name: the whole leaf name, or empty for an internal node.
            second = current->name;
        } else {
            second = name_of(current);
            // A name that no group joins (empty) ends the walk early.
            for (int steps = 0; steps < kMaxWalkSteps && !second.empty(); ++steps) {
                if (current->parent->parent == root) break;
                current = sibling_of(current->parent);
                second = merge_outward(groups, second, name_of(current), false);
                gave[1].push_back(current);
            }
            if (current->parent->parent == root) {
                current = sibling_of(current->parent);
                second = merge_outward(groups, second, name_of(current), true);
                gave[1].push_back(current);
            }
        }
    }

    if (first.empty() && !second.empty()) {
        first = second;
        second.clear();
        gave[0].swap(gave[1]);  // the sibling, which no name fits, stays examined second
    }
    Sisters sisters;
    if (p != nullptr && first == second) {
        sisters.fold_parent = g != nullptr;
        second.clear();
        // Two empty names leave each examined clade with its own side.
        if (!first.empty()) {
            gave[0].insert(gave[0].end(), gave[1].begin(), gave[1].end());
            gave[1].clear();
        }
    }
    if (!first.empty()) sisters.names.push_back(first);
    if (!second.empty()) sisters.names.push_back(second);
    sisters.clades = std::move(gave);
    return sisters;
}

}  // namespace tavrin
