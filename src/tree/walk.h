// The walks over a subtree shared by the tree operations, the analysis and the tests. Each keeps
// its own stack, so a ladder of any depth is walked without recursion.
#ifndef TAVRIN_TREE_WALK_H
#define TAVRIN_TREE_WALK_H

#include <type_traits>

#include "platform/chunked_stack.h"

namespace tavrin {

// Visits every node below and including `top` (absent children are skipped), each before its
// children and the left subtree before the right. A node's children are read before the node
// is visited, so the visit may release it. A visit that answers a bool stops the walk by
// answering false; `preorder` then answers false too.
template <typename Node, typename Visit>
bool preorder(Node* top, Visit visit) {
    ChunkedStack<Node*> stack;
    if (top != nullptr) stack.push_back(top);
    while (!stack.empty()) {
        Node* node = stack.back();
        stack.pop_back();
        if (node->right != nullptr) stack.push_back(node->right);
        if (node->left != nullptr) stack.push_back(node->left);
        if constexpr (std::is_same_v<decltype(visit(node)), bool>) {
            if (!visit(node)) return false;
        } else {
            visit(node);
        }
    }
    return true;
}

// Visits every node below and including `top`, each after its children.
template <typename Node, typename Visit>
void postorder(Node* top, Visit visit) {
    ChunkedStack<Node*> order;
    preorder(top, [&](Node* node) { order.push_back(node); });
    while (!order.empty()) {
        visit(order.back());
        order.pop_back();
    }
}

}  // namespace tavrin

#endif  // TAVRIN_TREE_WALK_H
