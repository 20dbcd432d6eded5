#include <string>
#include <utility>
#include <vector>

#include "tree/numbers.h"
#include "tree/phylogeny.h"

std::string Phylogeny_Node::print(std::string) const {
    // A leaf is "name:length"; an internal node is "(L,R)support:length", with NULL in place of
    // a missing child. The stack holds what is still to be written, the next piece on top.
    enum Piece { kNode, kComma, kClose };
    std::vector<std::pair<const Phylogeny_Node*, Piece>> stack{{this, kNode}};
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
            stack.insert(stack.end(),
                         {{n, kClose}, {n->right, kNode}, {n, kComma}, {n->left, kNode}});
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
