// How both Newick readers turn the children of one parenthesised node into two-child nodes: the
// children are folded from the left, (A,B,C,D) becoming (((A,B),C),D), each node the fold makes
// having support 0 and length 0.
#ifndef TAVRIN_TREE_CHILD_FOLD_H
#define TAVRIN_TREE_CHILD_FOLD_H

#include "platform/chunked_stack.h"
#include "tree/node_ref.h"
#include "tree/phylogeny.h"

namespace tavrin {

template <typename Ref>
void link_children(Ref parent, Ref left, Ref right) {
    parent.set_inner();
    parent.set_left(left);
    parent.set_right(right);
    left.set_parent(parent);
    right.set_parent(parent);
}

// The children of one open node so far: those folded together in `acc`, and the latest, which
// becomes the right child when the node closes. Plain data, so that a reader's stack of frames
// can hold it; it owns the subtrees it holds until they are linked.
struct ChildFold {
    Phylogeny_Node* acc = nullptr;
    Phylogeny_Node* pending = nullptr;

    // Adds the next child; answers whether the fold made a node for it. Two pointers and no
    // more: a ladder's readers hold one of these per level, millions of them.
    bool add(Phylogeny_Node* child) {
        bool folded = false;
        if (acc != nullptr) {
            Phylogeny_Node* fold = new Phylogeny_Node();
            link_children(ModelRef(fold), ModelRef(acc), ModelRef(pending));
            acc = fold;
            folded = true;
        } else if (pending != nullptr) {
            acc = pending;
        }
        pending = child;
        return folded;
    }
    bool has_two() const { return acc != nullptr; }
    // Makes `node` the parent of the last two; needs two children.
    void close(Phylogeny_Node* node) const {
        link_children(ModelRef(node), ModelRef(acc), ModelRef(pending));
    }
    void release() const {
        delete acc;
        delete pending;
    }
};

// A reader's frame for one open '(': the node it will be and its children so far.
struct OpenNode {
    Phylogeny_Node* node;
    ChildFold children;
};

// Empties the frames of an abandoned reading, releasing every node they hold: each node made is
// held by exactly one frame (its own node, or the subtrees of its children). `keep`, a node the
// caller owns, is not released.
inline void release_frames(ChunkedStack<OpenNode>& stack, const Phylogeny_Node* keep = nullptr) {
    stack.for_each([keep](OpenNode& f) {
        if (f.node != keep) delete f.node;
        f.children.release();
    });
    while (!stack.empty())
        stack.pop_back();
}

}  // namespace tavrin

#endif  // TAVRIN_TREE_CHILD_FOLD_H
