// A handle on one node of a tree: how the steps that walk, root and name a tree read and change
// its nodes. The steps go through these calls rather than the node's fields, so that what they
// do does not depend on how the nodes are stored.
#ifndef TAVRIN_TREE_NODE_REF_H
#define TAVRIN_TREE_NODE_REF_H

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string_view>

#include "tree/phylogeny.h"

namespace tavrin {

class TreeChanges;

class NodeRef {
public:
    // Trivial, as a pointer is: a handle made without a value has none until it is given one, and
    // vectors of handles move as raw memory.
    NodeRef() = default;
    NodeRef(std::nullptr_t) : node_(nullptr) {}     // NOLINT: absent, as a null pointer is
    NodeRef(Phylogeny_Node* node) : node_(node) {}  // NOLINT: the model's nodes are handles
    NodeRef(const Phylogeny_Node* node) : node_(const_cast<Phylogeny_Node*>(node)) {}  // NOLINT

    explicit operator bool() const { return node_ != nullptr; }
    friend bool operator==(NodeRef a, NodeRef b) { return a.node_ == b.node_; }
    friend bool operator!=(NodeRef a, NodeRef b) { return a.node_ != b.node_; }
    // An order of the nodes, for ordered containers; not an order of the tree.
    friend bool operator<(NodeRef a, NodeRef b) { return a.identity() < b.identity(); }

    NodeRef left() const { return node_->left; }
    NodeRef right() const { return node_->right; }
    NodeRef parent() const { return node_->parent; }
    bool is_leaf() const { return node_->is_leaf; }
    double length() const { return node_->length; }
    double support() const { return node_->support; }
    std::string_view name() const { return node_->name; }
    std::uint32_t leaf_key() const { return node_->leaf_key; }

    void set_left(NodeRef child) const { node_->left = child.node_; }
    void set_right(NodeRef child) const { node_->right = child.node_; }
    void set_parent(NodeRef parent) const { node_->parent = parent.node_; }
    void set_is_leaf(bool leaf) const { node_->is_leaf = leaf; }
    void set_length(double length) const { node_->length = length; }
    void set_support(double support) const { node_->support = support; }
    void set_leaf_key(std::uint32_t key) const { node_->leaf_key = key; }

    // Puts `child` in the slot of this node that holds `old_child`: the left one when it holds
    // it there, else the right one.
    void replace_child(NodeRef old_child, NodeRef child) const {
        if (left() == old_child) {
            set_left(child);
        } else {
            set_right(child);
        }
    }

    // The child of this node that is not `child`: its right child when `child` is its left one,
    // else its left one.
    NodeRef other_child(NodeRef child) const { return left() == child ? right() : left(); }
    // The other child of this node's parent; the node must have a parent.
    NodeRef sibling() const { return parent().other_child(*this); }

    // The node of the model this handle names.
    Phylogeny_Node* get() const { return node_; }
    // A number that tells this node from every other node alive.
    std::uintptr_t identity() const { return reinterpret_cast<std::uintptr_t>(node_); }

private:
    Phylogeny_Node* node_;
};

// What the steps do to a tree as a whole, beside its nodes: its root, and the nodes they take
// out of it or make and then drop.

// The root of `tree`, absent when it has none.
inline NodeRef root_of(const Phylogeny& tree) {
    return tree.root;
}
inline void set_root(Phylogeny& tree, NodeRef root) {
    tree.root = root.get();
}
// Hands over a node taken out of the tree, alone or with its subtree: it stays readable until the
// tree is released.
inline void retire_node(Phylogeny& tree, NodeRef node) {
    tree.retire_node(node.get());
}
inline void retire_subtree(Phylogeny& tree, NodeRef node) {
    tree.retire_subtree(node.get());
}
// A new node for `tree`, not yet linked into it: no links, no name, zero values.
inline NodeRef make_node(Phylogeny& /*tree*/) {
    return new Phylogeny_Node();
}
// Releases a node that a step made for `tree` and no longer needs; its links must be cut first.
inline void release_node(Phylogeny& /*tree*/, NodeRef node) {
    delete node.get();
}

// Places a new root on the edge between `a` and its child `b`, `r` being the current root, as
// Phylogeny::reroot does, and answers the new root, which the caller makes the tree's. With
// `keeping_values`, the values move the other way: each node of the reversed path takes the
// support and length its former child had as read, so that the old root ends with those of its
// child on the path (the new root takes a's values either way). With `changes`, what it changes
// is kept there.
NodeRef reroot_at(Phylogeny& tree, NodeRef a, NodeRef b, NodeRef r, TreeChanges* changes,
                  bool keeping_values = false);

}  // namespace tavrin

namespace std {
template <>
struct hash<tavrin::NodeRef> {
    size_t operator()(tavrin::NodeRef node) const noexcept {
        return hash<std::uintptr_t>()(node.identity());
    }
};
}  // namespace std

#endif  // TAVRIN_TREE_NODE_REF_H
