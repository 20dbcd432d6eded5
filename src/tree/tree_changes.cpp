#include "tree/tree_changes.h"

namespace tavrin {

TreeChanges::~TreeChanges() {
    for (NodeRef node : taken_out_)
        retire_node(tree_, node);
}

void TreeChanges::undo() {
    // Newest first, so that a node kept twice ends with its oldest state.
    for (; kept_ > 0; --kept_) {
        const State& state = states_.back();
        NodeRef node = state.node;
        node.set_left(state.left);
        node.set_right(state.right);
        node.set_parent(state.parent);
        node.set_support(state.support);
        node.set_length(state.length);
        states_.pop_back();
    }
    for (NodeRef node : made_) {
        node.set_left(nullptr);  // its children are the tree's again
        node.set_right(nullptr);
        node.set_parent(nullptr);
        release_node(tree_, node);
    }
    made_.clear();
    taken_out_.clear();
    set_root(tree_, root_);
}

}  // namespace tavrin
