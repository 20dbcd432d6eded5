// The changes a rooting makes to a tree, kept so that they can be undone: the tree as read comes
// back, every node with the links and values it had, without a copy of the tree. A rooting
// touches only the path it turns over, so the record is as long as that path.
#ifndef TAVRIN_TREE_TREE_CHANGES_H
#define TAVRIN_TREE_TREE_CHANGES_H

#include <vector>

#include "platform/chunked_stack.h"
#include "tree/node_ref.h"
#include "tree/phylogeny.h"

namespace tavrin {

class TreeChanges {
public:
    explicit TreeChanges(Phylogeny& tree) : tree_(tree), root_(root_of(tree)) {}
    // Changes that were not undone stay: the nodes taken out are handed to the tree, which keeps
    // them readable until it is released.
    ~TreeChanges();
    TreeChanges(const TreeChanges&) = delete;
    TreeChanges& operator=(const TreeChanges&) = delete;

    // Before `node`'s links or values change: keeps them. A node may be kept several times; the
    // oldest state is the one an undo gives back.
    void keep(NodeRef node) {
        if (node == nullptr) return;
        states_.push_back(
            State{node, node.left(), node.right(), node.parent(), node.support(), node.length()});
        ++kept_;
    }
    // Before a change that keeps a long path: a compact tree's spare text takes the states.
    void prepare_for_path();
    // `node` was made by the change: an undo releases it.
    void made(NodeRef node) { made_.push_back(node); }
    // `node` (kept before) left the tree: it stays readable, and an undo puts it back.
    void took_out(NodeRef node) { taken_out_.push_back(node); }

    // Whether the tree was changed since the record began.
    bool any() const { return !made_.empty() || !taken_out_.empty() || kept_ > 0; }
    // Puts the tree back as it was when the record began, root included; the record is then
    // empty.
    void undo();

private:
    struct State {
        NodeRef node;
        NodeRef left;
        NodeRef right;
        NodeRef parent;
        double support;
        double length;
    };

    Phylogeny& tree_;
    NodeRef root_;
    ChunkedStack<State> states_;
    std::size_t kept_ = 0;
    bool room_asked_ = false;
    bool room_lent_ = false;
    std::vector<NodeRef> made_;
    std::vector<NodeRef> taken_out_;
};

}  // namespace tavrin

#endif  // TAVRIN_TREE_TREE_CHANGES_H
