// Test helpers for the tree model: a link-invariant checker, a compact shape dump, counters and
// generators of deep Newick texts. Every walk keeps its own stack, so the helpers work on trees
// of any depth.
#ifndef TAVRIN_TESTS_SUPPORT_TREE_CHECK_H
#define TAVRIN_TESTS_SUPPORT_TREE_CHECK_H

#include <clocale>
#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "tree/phylogeny.h"
#include "tree/walk.h"

namespace tavrin {

namespace tree_check {

// Describes the first broken link below `root`, or returns "" when the subtree is sound: the
// root has no parent, every child's `parent` is the node holding it, an internal node has two
// distinct children and a leaf has none, and the walk meets at most `limit` nodes, twice the
// leaves less one (more means a node is reachable twice). Leaf names go to `leaves` when given.
inline std::string check_links(const Phylogeny_Node* root, std::size_t limit = SIZE_MAX,
                               std::vector<std::string>* leaves = nullptr) {
    if (root == nullptr) return "root is absent";
    if (root->parent != nullptr) return "root has a parent";
    std::string broken;
    std::size_t seen = 0, leaf_count = 0;
    tavrin::preorder(root, [&](const Phylogeny_Node* node) {
        const std::string where = node->is_leaf ? "leaf '" + node->name + "'" : "internal node";
        if (++seen > limit) {
            broken = "more nodes than the tree can hold: a node is reachable twice";
        } else if (node->is_leaf) {
            if (node->left != nullptr || node->right != nullptr) broken = where + " has a child";
            ++leaf_count;
            if (leaves != nullptr) leaves->push_back(node->name);
        } else if (node->left == nullptr) {
            broken = where + " has no left child";
        } else if (node->right == nullptr) {
            broken = where + " has no right child";
        } else if (node->left == node->right) {
            broken = where + " holds the same node twice";
        } else if (node->left->parent != node || node->right->parent != node) {
            broken = "a child of an " + where + " names another parent";
        }
        return broken.empty();
    });
    if (broken.empty() && seen != 2 * leaf_count - 1) {
        broken = "node count is not twice the leaf count less one";
    }
    return broken;
}

// Leaf names and parentheses only: "(A,(B,C))". An absent child shows as "-".
inline std::string shape(const Phylogeny_Node* root) {
    std::string out;
    struct Item {
        const Phylogeny_Node* node;
        const char* text;  // written as is when set
    };
    std::vector<Item> stack{{root, nullptr}};
    while (!stack.empty()) {
        const Item item = stack.back();
        stack.pop_back();
        if (item.text != nullptr) {
            out += item.text;
        } else if (item.node == nullptr) {
            out += '-';
        } else if (item.node->is_leaf) {
            out += item.node->name;
        } else {
            stack.push_back({nullptr, ")"});
            stack.push_back({item.node->right, nullptr});
            stack.push_back({nullptr, ","});
            stack.push_back({item.node->left, nullptr});
            stack.push_back({nullptr, "("});
        }
    }
    return out;
}

// All nodes of the subtree in preorder (node, left subtree, right subtree).
template <typename Node>
std::vector<Node*> preorder(Node* root) {
    std::vector<Node*> nodes;
    tavrin::preorder(root, [&](Node* node) { nodes.push_back(node); });
    return nodes;
}

// Leaf names from left to right.
inline std::vector<std::string> leaf_names(const Phylogeny_Node* root) {
    std::vector<std::string> names;
    tavrin::preorder(root, [&](const Phylogeny_Node* node) {
        if (node->is_leaf) names.push_back(node->name);
    });
    return names;
}

// The same, for the handles the analysis hands out.
inline std::vector<Phylogeny_Node*> preorder(tavrin::NodeRef root) {
    return preorder(root.get());
}
inline std::vector<std::string> leaf_names(tavrin::NodeRef root) {
    return leaf_names(root.get());
}
inline std::string shape(tavrin::NodeRef root) {
    return shape(root.get());
}

inline std::size_t node_count(const Phylogeny_Node* root) {
    std::size_t count = 0;
    tavrin::preorder(root, [&](const Phylogeny_Node*) { ++count; });
    return count;
}

inline std::size_t leaf_count(const Phylogeny_Node* root) {
    std::size_t count = 0;
    tavrin::preorder(root, [&](const Phylogeny_Node* node) { count += node->is_leaf ? 1 : 0; });
    return count;
}

// "((((L1,L2),L3),L4)...,Ln)": a ladder n - 1 levels deep on the left, without the final ';'.
inline std::string caterpillar(std::size_t n) {
    std::string text(n > 1 ? n - 1 : 0, '(');
    text.reserve(n * 11);
    text += "L1";
    for (std::size_t i = 2; i <= n; ++i) {
        text += ",L";
        text += std::to_string(i);
        text += ')';
    }
    return text;
}

// "(L1,(L2,(...(Ln-1,Ln)...)))": a ladder n - 1 levels deep on the right, without the final ';'.
inline std::string right_ladder(std::size_t n) {
    std::string text;
    text.reserve(n * 11);
    for (std::size_t i = 1; i < n; ++i) {
        text += "(L";
        text += std::to_string(i);
        text += ',';
    }
    text += "L" + std::to_string(n);
    text.append(n > 1 ? n - 1 : 0, ')');
    return text;
}

// "(L1,L2,...,Ln)": one node with n children, without the final ';'.
inline std::string star(std::size_t n) {
    std::string text = "(L1";
    text.reserve(n * 11);
    for (std::size_t i = 2; i <= n; ++i) {
        text += ",L";
        text += std::to_string(i);
    }
    return text + ")";
}

// Switches LC_NUMERIC to a locale whose decimal separator is ',' for the life of the object, when
// one is installed; `active()` tells whether it is. The previous locale comes back afterwards.
class CommaDecimalLocale {
public:
    CommaDecimalLocale() {
        const char* current = std::setlocale(LC_NUMERIC, nullptr);
        previous_ = current != nullptr ? current : "C";
        for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "fr_FR.utf8", "de_DE",
                                 "fr_FR", "nl_NL.UTF-8", "ru_RU.UTF-8"}) {
            if (std::setlocale(LC_NUMERIC, name) != nullptr) {
                const std::lconv* conv = std::localeconv();
                if (conv != nullptr && std::string(conv->decimal_point) == ",") {
                    active_ = true;
                    return;
                }
            }
        }
        std::setlocale(LC_NUMERIC, previous_.c_str());
    }
    ~CommaDecimalLocale() { std::setlocale(LC_NUMERIC, previous_.c_str()); }
    CommaDecimalLocale(const CommaDecimalLocale&) = delete;
    CommaDecimalLocale& operator=(const CommaDecimalLocale&) = delete;

    bool active() const { return active_; }

private:
    std::string previous_;
    bool active_ = false;
};

}  // namespace tree_check

}  // namespace tavrin

#endif  // TAVRIN_TESTS_SUPPORT_TREE_CHECK_H
