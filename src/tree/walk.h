// The walks over a subtree shared by the tree operations, the analysis and the tests. Each keeps
// its own stack, so a ladder of any depth is walked without recursion.
#ifndef TAVRIN_TREE_WALK_H
#define TAVRIN_TREE_WALK_H

#include <type_traits>

#include "platform/chunked_stack.h"
#include "tree/node_ref.h"

namespace tavrin {

// A node's children, for a walk over handles or over the model's nodes themselves.
template <typename Ref>
auto left_child(Ref node) -> decltype(node.left()) {
    return node.left();
}
template <typename Ref>
auto right_child(Ref node) -> decltype(node.right()) {
    return node.right();
}
template <typename Node>
Node* left_child(Node* node) {
    return node->left;
}
template <typename Node>
Node* right_child(Node* node) {
    return node->right;
}

// Visits every node below and including `top` (absent children are skipped), each before its
// children and the left subtree before the right. A node's children are read before the node
// is visited, so the visit may release it. A visit that answers a bool stops the walk by
// answering false; `preorder` then answers false too.
//
// The walk goes down the left children, keeping only the right child of a node that has both
// for later: one push per such node and one pop per node without children, where pushing every
// child and popping every node would cost twice as much.
template <typename Node, typename Visit>
bool preorder(Node top, Visit visit) {
    ChunkedStack<Node> later;
    Node node = top;
    while (node != nullptr) {
        const Node left = left_child(node);
        const Node right = right_child(node);
        if constexpr (std::is_same_v<decltype(visit(node)), bool>) {
            if (!visit(node)) return false;
        } else {
            visit(node);
        }
        if (left != nullptr) {
            if (right != nullptr) later.push_back(right);
            node = left;
        } else if (right != nullptr) {
            node = right;
        } else if (later.empty()) {
            node = nullptr;
        } else {
            node = later.back();
            later.pop_back();
        }
    }
    return true;
}

// Visits every node below and including `top`, each after its children.
template <typename Node, typename Visit>
void postorder(Node top, Visit visit) {
    ChunkedStack<Node> order;
    preorder(top, [&](Node node) { order.push_back(node); });
    while (!order.empty()) {
        visit(order.back());
        order.pop_back();
    }
}

}  // namespace tavrin

#endif  // TAVRIN_TREE_WALK_H
