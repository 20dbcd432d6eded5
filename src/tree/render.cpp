#include <initializer_list>
#include <string>

#include "platform/chunked_stack.h"
#include "tree/numbers.h"
#include "tree/phylogeny.h"

namespace tavrin {

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

}  // namespace tavrin
