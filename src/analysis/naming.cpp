// Clade naming: the shared leaf prefix, or the first group (list order) holding every leaf.
#include <string>
#include <string_view>
#include <unordered_set>
#include <utility>
#include <vector>

#include "analysis/group_index.h"
#include "analysis/leaf_matching.h"
#include "analysis/tavrin.h"

namespace {

// A leaf's rendered text ("%s:%f" of name and length) cut before its first '-'.
std::string rendered_prefix(const Phylogeny_Node* leaf) {
    const size_t dash = leaf->name.find('-');
    if (dash != std::string::npos) return leaf->name.substr(0, dash);
    std::string text = leaf->print();
    const size_t cut = text.find('-');
    if (cut != std::string::npos) text.resize(cut);
    return text;
}

// The distinct leaf prefixes below `top`, or false when some internal node lacks a child (no
// name then fits). Walked with an explicit stack.
bool distinct_leaf_prefixes(const Phylogeny_Node* top,
                            std::unordered_set<std::string_view>& prefixes) {
    std::vector<const Phylogeny_Node*> stack{top};
    std::string_view last;
    bool have_last = false;
    while (!stack.empty()) {
        const Phylogeny_Node* n = stack.back();
        stack.pop_back();
        if (n->is_leaf) {
            const std::string_view p = leaf_prefix(n->name);
            // Neighbouring leaves mostly share their prefix: skip the hash for repeats.
            if (!have_last || p != last) {
                prefixes.insert(p);
                last = p;
                have_last = true;
            }
            continue;
        }
        if (n->left == nullptr || n->right == nullptr) return false;
        stack.push_back(n->right);
        stack.push_back(n->left);
    }
    return true;
}

}  // namespace

Phylogeny_Node* Tavrin::whole_tree_by_name(Phylogeny_Node* n, std::string group) const {
    if (n == nullptr) return nullptr;
    std::vector<const Phylogeny_Node*> stack{n};
    while (!stack.empty()) {
        const Phylogeny_Node* x = stack.back();
        stack.pop_back();
        if (x->is_leaf) {
            if (!passes_group_test(x->name, group)) return nullptr;
            continue;
        }
        if (x->left == nullptr || x->right == nullptr) return nullptr;
        stack.push_back(x->right);
        stack.push_back(x->left);
    }
    return n;
}

std::string Tavrin::print_name_if_same(Phylogeny_Node* n) const {
    if (n == nullptr) return std::string();
    if (n->is_leaf) return rendered_prefix(n);

    const Phylogeny_Node* leftmost = n->left;
    while (leftmost != nullptr && !leftmost->is_leaf)
        leftmost = leftmost->left;
    if (leftmost == nullptr) return std::string();
    const std::string p = rendered_prefix(leftmost);

    // Every candidate is tested against the distinct leaf prefixes of the subtree, which is
    // the same as testing every leaf.
    std::unordered_set<std::string_view> prefixes;
    if (!distinct_leaf_prefixes(n, prefixes)) return std::string();
    const GroupIndex& idx = index();
    std::vector<std::pair<std::string_view, uint32_t>> known;  // each prefix with its name id
    known.reserve(prefixes.size());
    for (std::string_view q : prefixes)
        known.emplace_back(q, idx.id(q));
    auto holds_all = [&](std::string_view group) {
        const uint32_t group_id = idx.id(group);
        for (const auto& [q, q_id] : known) {
            if (q != group && !idx.has_pair(q_id, group_id)) return false;
        }
        return true;
    };

    if (holds_all(p)) return p;
    std::unordered_set<uint32_t> tried;
    std::string name;
    idx.for_each_pair_with_member(idx.id(p), [&](uint32_t pair) {
        const uint32_t group = idx.group_of_pair(pair);
        if (!tried.insert(group).second || !holds_all(idx.name(group))) return false;
        name = idx.name(group);
        return true;
    });
    return name;
}
