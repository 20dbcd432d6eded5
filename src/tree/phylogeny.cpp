#include "tree/phylogeny.h"

#include <iostream>
#include <utility>
#include <vector>

#include "tree/newick_reader.h"

namespace {
constexpr const char* kMalformed =
    "Malformed Newik Format file, the last character should be a ';', it's '";
}  // namespace

Phylogeny_Node::Phylogeny_Node(std::string text, Phylogeny_Node* parent_node) {
    parent = parent_node;
    tavrin::read_node_text(this, text, 0, text.size());
}

Phylogeny_Node::~Phylogeny_Node() {
    // Take the subtree apart with an explicit stack: each node's children are detached before
    // the node is deleted, so no destructor call ever reaches below one level.
    std::vector<Phylogeny_Node*> stack;
    if (left) stack.push_back(left);
    if (right) stack.push_back(right);
    left = right = nullptr;
    while (!stack.empty()) {
        Phylogeny_Node* n = stack.back();
        stack.pop_back();
        if (n->left) stack.push_back(n->left);
        if (n->right) stack.push_back(n->right);
        n->left = n->right = nullptr;
        delete n;
    }
}

Phylogeny::Phylogeny(std::string text) {
    if (text.empty() || text.back() != ';') {
        std::cerr << kMalformed;
        if (!text.empty()) std::cerr << text.back();
        std::cerr << "'" << std::endl;
        return;
    }
    root = new Phylogeny_Node();
    tavrin::read_node_text(root, text, 0, text.size() - 1);
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
