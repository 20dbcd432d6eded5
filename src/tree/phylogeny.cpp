// Making a tree from text, and releasing it: the nodes it holds and the nodes taken out of it
// while it was analysed.
#include "tree/phylogeny.h"

#include <initializer_list>
#include <iostream>
#include <utility>

#include "tree/newick_reader.h"
#include "tree/tree_reader.h"
#include "tree/walk.h"

Phylogeny_Node::Phylogeny_Node(std::string text, Phylogeny_Node* parent_node) {
    parent = parent_node;
    tavrin::read_node_text(this, text, 0, text.size());
}

Phylogeny::Phylogeny(std::string text) {
    tavrin::TreeRead read = *tavrin::TreeReader(std::move(text)).next();
    if (read.tree) {
        std::swap(root, read.tree->root);
        return;
    }
    std::cerr << tavrin::malformed_message(read.malformed, "") << std::endl;
}

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
