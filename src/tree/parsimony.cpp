// Unit-cost small parsimony (every change of state costs 1) over the states 0..k.
#include <algorithm>
#include <memory>
#include <vector>

#include "tree/phylogeny.h"

namespace {

// Visits every node of the subtree, each before its children, left subtree before right.
template <typename Visit>
void preorder(Phylogeny_Node* top, Visit visit) {
    std::vector<Phylogeny_Node*> stack{top};
    while (!stack.empty()) {
        Phylogeny_Node* n = stack.back();
        stack.pop_back();
        visit(n);
        if (n->right) stack.push_back(n->right);
        if (n->left) stack.push_back(n->left);
    }
}

}  // namespace

void Phylogeny_Node::label_by_name(std::string leaf_name, int state) {
    preorder(this, [&](Phylogeny_Node* n) {
        if (n->is_leaf && n->name == leaf_name) n->label = state;
    });
}

int32_t Phylogeny_Node::max_label() const {
    bool any = false;
    int32_t best = 0;
    preorder(const_cast<Phylogeny_Node*>(this), [&](Phylogeny_Node* n) {
        if (!n->is_leaf) return;
        if (!any || n->label > best) best = n->label;
        any = true;
    });
    return best;
}

Phylogeny_Node* Phylogeny_Node::find_by_name(std::string leaf_name) {
    return (is_leaf && name == leaf_name) ? this : nullptr;
}

void Phylogeny_Node::compute_changes(int highest_state) {
    // With a negative highest state there are no states to count: every node is left without
    // a change array.
    if (highest_state < 0) {
        preorder(this, [](Phylogeny_Node* n) { n->changes.reset(); });
        return;
    }
    const size_t states = static_cast<size_t>(highest_state) + 1;
    // Children before parents: the reverse of a preorder that visits right before left is a
    // postorder visiting left before right.
    std::vector<Phylogeny_Node*> order;
    std::vector<Phylogeny_Node*> stack{this};
    while (!stack.empty()) {
        Phylogeny_Node* n = stack.back();
        stack.pop_back();
        order.push_back(n);
        if (n->left) stack.push_back(n->left);
        if (n->right) stack.push_back(n->right);
    }
    for (auto it = order.rbegin(); it != order.rend(); ++it) {
        Phylogeny_Node* n = *it;
        n->changes.reset(new int32_t[states]);
        int32_t* c = n->changes.get();
        if (n->is_leaf) {
            for (size_t i = 0; i < states; ++i)
                c[i] = (n->label >= 0 && static_cast<size_t>(n->label) == i) ? 0 : 1;
            continue;
        }
        std::fill(c, c + states, 0);
        for (const Phylogeny_Node* child : {n->left, n->right}) {
            if (child == nullptr || !child->changes) continue;
            const int32_t* cc = child->changes.get();
            const int32_t best = *std::min_element(cc, cc + states);
            for (size_t i = 0; i < states; ++i)
                c[i] += std::min(cc[i], best + 1);
        }
    }
}

int32_t Phylogeny_Node::min_changes() {
    const int32_t k = max_label();
    compute_changes(k);
    if (k < 0 || !changes) return 0;
    const int32_t* c = changes.get();
    return *std::min_element(c, c + static_cast<size_t>(k) + 1);
}
