// The tree model's operations that only the contract's callers use: reading a whole tree file's
// text into a tree (its message on standard error), rendering a subtree, and copying a tree.
#include <initializer_list>
#include <iostream>
#include <string>
#include <utility>

#include "platform/chunked_stack.h"
#include "tree/malformed.h"
#include "tree/numbers.h"
#include "tree/phylogeny.h"
#include "tree/tree_reader.h"
#include "tree/walk.h"

namespace tavrin {

Phylogeny::Phylogeny(std::string text) {
    tavrin::TreeRead read = *tavrin::TreeReader(std::move(text)).next();
    if (read.tree) {
        std::swap(root, read.tree->root);
        return;
    }
    std::cerr << tavrin::malformed_message(read.malformed, "") << std::endl;
}

std::string Phylogeny_Node::print(std::string) const {
    // A leaf is "name:length"; an internal node is "(L,R)support:length", with NULL in place of
    // a missing child. The stack holds what is still to be written, the next piece on top.
    enum Piece { kNode, kComma, kClose };
    struct Step {
        const Phylogeny_Node* node;
        Piece piece;
    };
    tavrin::ChunkedStack<Step> stack{{this, kNode}};
    std::string out;
    while (!stack.empty()) {
        const auto [n, piece] = stack.back();
        stack.pop_back();
        if (piece == kComma) {
            out += ',';
        } else if (piece == kNode && n == nullptr) {
            out += "NULL";
        } else if (piece == kNode && !n->is_leaf) {
            out += '(';
            for (const Step step :
                 {Step{n, kClose}, {n->right, kNode}, {n, kComma}, {n->left, kNode}})
                stack.push_back(step);
        } else {
            if (piece == kClose) {
                out += ')';
                tavrin::append_fixed(out, n->support);
            } else {
                out += n->name;
            }
            out += ':';
            tavrin::append_fixed(out, n->length);
        }
    }
    return out;
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
