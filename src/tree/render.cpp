#include <string>
#include <utility>
#include <vector>

#include "tree/numbers.h"
#include "tree/phylogeny.h"

std::string Phylogeny_Node::print(std::string) const {
    return print();
}

std::string Phylogeny_Node::print() const {
    // A leaf is "name:length"; an internal node is "(L,R)support:length", with NULL in place of
    // a missing child. Walked with an explicit stack; each internal node is visited twice, on the
    // way down (opening) and once its children are written (closing).
    std::string out;
    struct Step {
        const Phylogeny_Node* node;  // null stands for a missing child
        int stage;                   // 0: open, 1: between children, 2: close
    };
    std::vector<Step> stack{{this, 0}};
    while (!stack.empty()) {
        Step& step = stack.back();
        const Phylogeny_Node* n = step.node;
        if (n == nullptr) {
            out += "NULL";
            stack.pop_back();
            continue;
        }
        if (n->is_leaf) {
            out += n->name;
            out += ':';
            tavrin::append_fixed(out, n->length);
            stack.pop_back();
            continue;
        }
        if (step.stage == 0) {
            out += '(';
            step.stage = 1;
            stack.push_back({n->left, 0});
        } else if (step.stage == 1) {
            out += ',';
            step.stage = 2;
            stack.push_back({n->right, 0});
        } else {
            out += ')';
            tavrin::append_fixed(out, n->support);
            out += ':';
            tavrin::append_fixed(out, n->length);
            stack.pop_back();
        }
    }
    return out;
}
