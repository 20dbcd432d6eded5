// Releasing a tree: the nodes it holds and the nodes taken out of it while it was analysed. The
// constructor that reads a node from text lives beside the reader it calls; the tree's reading
// constructor, rendering and copy belong to the contract library (src/contract).
#include "tree/phylogeny.h"

#include <initializer_list>

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

}  // namespace tavrin
