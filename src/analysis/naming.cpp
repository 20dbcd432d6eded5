// Clade naming: the shared leaf prefix, or the first group (list order) holding every leaf.
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "analysis/leaf_matching.h"
#include "analysis/steps.h"
#include "tree/walk.h"

namespace tavrin {

namespace {

// A leaf's rendered text ("%s:%f" of name and length) cut before its first `separator`: its
// leaf prefix when the name holds one, else the text with its length (Sc1:0.100000), cut at a
// separator the length holds (Sc1: for -0.5 when the separator is '-').
std::string rendered_prefix(const Phylogeny_Node* leaf, char separator) {
    const size_t in_name = leaf->name.find(separator);
    if (in_name != std::string::npos) return leaf->name.substr(0, in_name);
    std::string text = leaf->print();
    const size_t cut = text.find(separator);
    if (cut != std::string::npos) text.resize(cut);
    return text;
}

// The distinct leaf prefixes below `top`, or false when some internal node lacks a child (no
// name then fits).
bool distinct_leaf_prefixes(const Phylogeny_Node* top, char separator,
                            std::vector<std::string_view>& prefixes) {
    std::unordered_set<std::string_view> seen;
    std::string_view last;
    bool have_last = false;
    return preorder(top, [&](const Phylogeny_Node* n) {
        if (!n->is_leaf) return n->left != nullptr && n->right != nullptr;
        const std::string_view p = leaf_prefix(n->name, separator);
        // Neighbouring leaves mostly share their prefix: skip the hash for repeats.
        if (!have_last || p != last) {
            if (seen.insert(p).second) prefixes.push_back(p);
            last = p;
            have_last = true;
        }
        return true;
    });
}

}  // namespace

bool wholly_in_group(const GroupRelations& groups, const Phylogeny_Node* n, std::string_view group,
                     char separator) {
    return n != nullptr && preorder(n, [&](const Phylogeny_Node* x) {
               if (!x->is_leaf) return x->left != nullptr && x->right != nullptr;
               return groups.same_group(leaf_prefix(x->name, separator), group);
           });
}

std::string clade_name(const GroupRelations& groups, const Phylogeny_Node* n, char separator) {
    if (n == nullptr) return std::string();
    if (n->is_leaf) return rendered_prefix(n, separator);

    const Phylogeny_Node* leftmost = n->left;
    while (leftmost != nullptr && !leftmost->is_leaf)
        leftmost = leftmost->left;
    if (leftmost == nullptr) return std::string();

    // Every candidate is tested against the distinct leaf prefixes of the subtree, which is
    // the same as testing every leaf.
    std::vector<std::string_view> prefixes;
    if (!distinct_leaf_prefixes(n, separator, prefixes)) return std::string();
    return groups.first_group_holding_all(rendered_prefix(leftmost, separator), prefixes);
}

}  // namespace tavrin
