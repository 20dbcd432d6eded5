// Sister collection: the clade next to the target, and the rest of the tree merged into one name
// on the way up to the root.
#include <string>

#include "analysis/tavrin.h"

namespace {

Phylogeny_Node* sibling_of(const Phylogeny_Node* node) {
    const Phylogeny_Node* p = node->parent;
    return p->left == node ? p->right : p->left;
}

// The walk upward stops after this many steps, leaving the clades further out unread.
constexpr int kMaxWalkSteps = 10;

}  // namespace

void Tavrin::get_sisters() {
    std::string first, second;
    Phylogeny_Node* t = target;
    Phylogeny_Node* p = t ? t->parent : nullptr;
    Phylogeny_Node* g = p ? p->parent : nullptr;

    if (t != nullptr && p != nullptr) {
        Phylogeny_Node* root = tree->root;
        if (p == root) {
            // Across the root: the halves of the sibling, not the sibling's own name.
            Phylogeny_Node* s = sibling_of(t);
            if (s->is_leaf) {
                first = print_name_if_same(s);
            } else {
                first = print_name_if_same(s->left);
                second = print_name_if_same(s->right);
            }
        } else {
            first = print_name_if_same(sibling_of(t));
            Phylogeny_Node* uncle = sibling_of(p);
            if (g == root) {
                // The uncle's stored name: the whole leaf name, or empty for an internal node.
                second = uncle->name;
            } else {
                Phylogeny_Node* current = uncle;
                second = print_name_if_same(current);
                int steps = 0;
                auto grandparent_is_root = [&]() { return current->parent->parent == root; };
                while (!(grandparent_is_root() || second.empty())) {
                    if (steps > kMaxWalkSteps) break;
                    ++steps;
                    current = sibling_of(current->parent);
                    const std::string w = print_name_if_same(current);
                    if (sameGroup(w, second)) {
                        if (sameGroup(second, w)) second = w;
                    } else if (sameGroup(second, w)) {
                        second = w;
                    } else {
                        second = lowest_common_group(w, second);
                    }
                }
                if (grandparent_is_root()) {
                    // The root step: widen or keep, but no common-group fallback.
                    current = sibling_of(current->parent);
                    const std::string w = print_name_if_same(current);
                    if (sameGroup(w, second)) {
                        if (sameGroup(second, w)) second = w;
                    } else if (sameGroup(second, w)) {
                        second = w;
                    } else {
                        second.clear();
                    }
                }
            }
        }

        if (first.empty() && !second.empty()) {
            first = second;
            second.clear();
        }
        if (first == second) {
            if (g != nullptr) {
                Phylogeny_Node* former_sibling = sibling_of(t);
                // Fold the target's parent out: the target hangs from its grandparent, which
                // keeps the larger of the two supports.
                if (p->support > g->support) g->support = p->support;
                (g->left == p ? g->left : g->right) = t;
                t->parent = g;
                tree->retire_node(p);
                tree->retire_subtree(former_sibling);
            }
            second.clear();
        }
    }

    sisters.clear();
    if (!second.empty()) {
        sisters = {first, second};
    } else if (!first.empty()) {
        sisters = {first};
    }
    sister_count = static_cast<int32_t>(sisters.size());
}
