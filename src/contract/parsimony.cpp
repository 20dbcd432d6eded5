// Unit-cost small parsimony (every change of state costs 1) over the states 0..k.
#include <algorithm>
#include <memory>

#include "tree/phylogeny.h"
#include "tree/walk.h"

namespace tavrin {

void Phylogeny_Node::label_by_name(std::string leaf_name, int state) {
    tavrin::preorder(this, [&](Phylogeny_Node* n) {
        if (n->is_leaf && n->name == leaf_name) n->label = state;
    });
}

int32_t Phylogeny_Node::max_label() const {
    bool any = false;
    int32_t best = 0;
    tavrin::preorder(this, [&](const Phylogeny_Node* n) {
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
        tavrin::preorder(this, [](Phylogeny_Node* n) { n->changes.reset(); });
        return;
    }
    const size_t states = static_cast<size_t>(highest_state) + 1;
    tavrin::postorder(this, [&](Phylogeny_Node* n) {
        n->changes.reset(new int32_t[states]);
        int32_t* c = n->changes.get();
        if (n->is_leaf) {
            for (size_t i = 0; i < states; ++i)
                c[i] = (n->label >= 0 && static_cast<size_t>(n->label) == i) ? 0 : 1;
            return;
        }
        std::fill(c, c + states, 0);
        for (const Phylogeny_Node* child : {n->left, n->right}) {
            if (child == nullptr || !child->changes) continue;
            const int32_t* cc = child->changes.get();
            const int32_t best = *std::min_element(cc, cc + states);
            for (size_t i = 0; i < states; ++i)
                c[i] += std::min(cc[i], best + 1);
        }
    });
}

int32_t Phylogeny_Node::min_changes() {
    const int32_t k = max_label();
    compute_changes(k);
    if (k < 0 || !changes) return 0;
    const int32_t* c = changes.get();
    return *std::min_element(c, c + static_cast<size_t>(k) + 1);
}

}  // namespace tavrin
