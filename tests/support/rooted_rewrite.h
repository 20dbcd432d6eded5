// One unrooted tree written with its root elsewhere: the tree as read is taken as unrooted (its
// root's two branches merged into one, with the larger support and the summed length), and
// written again in the classic dialect with the root on another branch. Supports and lengths
// stay on their branches: every node is written with the values of the branch above it, and
// both children of the new root carry the chosen branch's support. Leaves carry none.
//
// Branches are numbered in preorder of their lower nodes in the tree as read; the merged root
// branch is numbered once, at the root's left child. Every walk keeps its own stack.
#ifndef TAVRIN_TESTS_SUPPORT_ROOTED_REWRITE_H
#define TAVRIN_TESTS_SUPPORT_ROOTED_REWRITE_H

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <string>
#include <unordered_map>
#include <vector>

#include "tree/phylogeny.h"
#include "tree/walk.h"

namespace tavrin {

namespace rooted_rewrite {

// The unrooted view of a tree: each node's neighbours with the branch to each.
class Unrooted {
public:
    explicit Unrooted(const Phylogeny& tree) {
        const Phylogeny_Node* root = tree.root;
        tavrin::preorder(root, [&](const Phylogeny_Node* node) {
            if (node == root) return;
            const Phylogeny_Node* parent = node->parent;
            if (parent == root) {
                if (node != root->left) return;  // the merged branch, added once
                const Phylogeny_Node* other = root->right;
                const bool trivial = node->is_leaf || other->is_leaf;
                add_branch(node, other, trivial ? 0 : std::max(node->support, other->support),
                           node->length + other->length);
            } else {
                add_branch(node, parent, node->is_leaf ? 0 : node->support, node->length);
            }
        });
        if (root != nullptr && root->is_leaf) neighbours_[root];
    }

    std::size_t branch_count() const { return branches_.size(); }

    // The classic text of the tree rooted on branch `branch`, `fraction` of its length on the
    // side of its lower node.
    std::string rooted_on(std::size_t branch, double fraction = 0.5) const {
        const Branch& b = branches_[branch];
        Item left{b.lower, b.upper, b.support, b.length * fraction, nullptr};
        Item right{b.upper, b.lower, b.support, b.length - left.length, nullptr};
        return "(" + subtree(left) + "," + subtree(right) + ");";
    }

private:
    struct Branch {
        const Phylogeny_Node* lower;
        const Phylogeny_Node* upper;
        double support;
        double length;
    };
    struct Link {
        const Phylogeny_Node* to;
        std::size_t branch;
    };
    // A node to write, entered from `from` along a branch of these values, or a text to append.
    struct Item {
        const Phylogeny_Node* node;
        const Phylogeny_Node* from;
        double support;
        double length;
        const char* text;
    };

    void add_branch(const Phylogeny_Node* lower, const Phylogeny_Node* upper, double support,
                    double length) {
        neighbours_[lower].push_back({upper, branches_.size()});
        neighbours_[upper].push_back({lower, branches_.size()});
        branches_.push_back({lower, upper, support, length});
    }

    static std::string number(double value) {
        char text[40];
        std::snprintf(text, sizeof text, "%.17g", value);
        return text;
    }

    std::string subtree(const Item& top) const {
        std::string out;
        std::vector<Item> stack{top};
        std::vector<std::string> closings;  // kept alive for the items that point into them
        closings.reserve(branches_.size() + 1);
        while (!stack.empty()) {
            const Item item = stack.back();
            stack.pop_back();
            if (item.text != nullptr) {
                out += item.text;
                continue;
            }
            const std::vector<Link>& links = neighbours_.at(item.node);
            if (item.node->is_leaf || links.size() < 2) {
                out += item.node->name + ":" + number(item.length);
                continue;
            }
            closings.push_back(")" + number(item.support) + ":" + number(item.length));
            stack.push_back({nullptr, nullptr, 0, 0, closings.back().c_str()});
            const char* separator = nullptr;
            for (auto link = links.rbegin(); link != links.rend(); ++link) {
                if (link->to == item.from) continue;
                if (separator != nullptr) stack.push_back({nullptr, nullptr, 0, 0, separator});
                const Branch& b = branches_[link->branch];
                stack.push_back({link->to, item.node, b.support, b.length, nullptr});
                separator = ",";
            }
            stack.push_back({nullptr, nullptr, 0, 0, "("});
        }
        return out;
    }

    std::vector<Branch> branches_;
    std::unordered_map<const Phylogeny_Node*, std::vector<Link>> neighbours_;
};

}  // namespace rooted_rewrite

}  // namespace tavrin

#endif  // TAVRIN_TESTS_SUPPORT_ROOTED_REWRITE_H
