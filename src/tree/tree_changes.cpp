#include "tree/tree_changes.h"

namespace tavrin {

TreeChanges::~TreeChanges() {
    for (NodeRef node : taken_out_)
        retire_node(tree_, node);
    if (room_lent_) tree_.compact_nodes->take_back_spare_text();
}

void TreeChanges::prepare_for_path() {
    // Asked once: a path of a big ladder is a large share of its nodes, and the text past the
    // names, which the midpoint's records have just left, is in pages already touched.
    if (room_asked_ || !tree_.compact_nodes) return;
    room_asked_ = true;
    const SpareRoom room = tree_.compact_nodes->lend_spare_text();
    room_lent_ = room.data != nullptr;
    states_.add_room(room.data, room.size);
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
