// Releasing a tree: the nodes it holds and the nodes taken out of it while it was analysed. The
// constructors that read a tree from text live beside the readers they call.
#include "tree/phylogeny.h"

#include <initializer_list>
#include <utility>

#include "platform/chunked_stack.h"
#include "tree/walk.h"

namespace tavrin {

Phylogeny_Node::~Phylogeny_Node() {
    // Every node below is cut from its children before it is deleted, so no destructor call
    // ever reaches below one level, however deep the subtree.
    for (Phylogeny_Node* child : {left, right}) {
        tavrin::preorder(child, [](Phylogeny_Node* n) {
            n->left = n->right = nullptr;
            delete n;
        });
    }
}

Phylogeny::~Phylogeny() {
    // Nodes retired alone may still point into the tree or at each other: cut their links
    // before releasing anything.
    for (auto& [node, with_subtree] : retired_) {
        if (!with_subtree) node->left = node->right = nullptr;
    }
    for (auto& [node, with_subtree] : retired_)
        delete node;
    delete root;
}

void Phylogeny::retire_node(Phylogeny_Node* node) {
    if (node) retired_.emplace_back(node, false);
}

void Phylogeny::retire_subtree(Phylogeny_Node* node) {
    if (node) retired_.emplace_back(node, true);
}

std::unique_ptr<Phylogeny> Phylogeny::copy() const {
    auto copied = std::make_unique<Phylogeny>();
    copied->root_children = root_children;
    // Each original node is visited after its parent, whose copy is then waiting for it on top
    // of `open`: a left child takes the left slot of the copy on top, a right child the right
    // one, which completes that copy.
    tavrin::ChunkedStack<Phylogeny_Node*> open;
    tavrin::preorder(static_cast<const Phylogeny_Node*>(root), [&](const Phylogeny_Node* n) {
        auto* node = new Phylogeny_Node();
        node->length = n->length;
        node->support = n->support;
        node->is_leaf = n->is_leaf;
        node->name = n->name;
        node->label = n->label;
        if (open.empty()) {
            copied->root = node;
        } else {
            Phylogeny_Node* parent = open.back();
            node->parent = parent;
            (n->parent->left == n ? parent->left : parent->right) = node;
            // A parent is complete once the child it was waiting for last has come.
            if (n->parent->right == n || n->parent->right == nullptr) open.pop_back();
        }
        if (n->left != nullptr || n->right != nullptr) open.push_back(node);
    });
    return copied;
}

}  // namespace tavrin
