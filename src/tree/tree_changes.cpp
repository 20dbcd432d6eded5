#include "tree/tree_changes.h"

namespace tavrin {

TreeChanges::~TreeChanges() {
    for (Phylogeny_Node* node : taken_out_)
        tree_.retire_node(node);
}

void TreeChanges::undo() {
    // Newest first, so that a node kept twice ends with its oldest state.
    for (; kept_ > 0; --kept_) {
        const State& state = states_.back();
        Phylogeny_Node* node = state.node;
        node->left = state.left;
        node->right = state.right;
        node->parent = state.parent;
        node->support = state.support;
        node->length = state.length;
        states_.pop_back();
    }
    for (Phylogeny_Node* node : made_) {
        node->left = node->right = node->parent = nullptr;  // its children are the tree's again
        delete node;
    }
    made_.clear();
    taken_out_.clear();
    tree_.root = root_;
}

}  // namespace tavrin
