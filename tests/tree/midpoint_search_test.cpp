// The midpoint against a search over every pair of leaves, on thousands of small random trees
// whose lengths are few and exact in binary (ties everywhere, negative and missing lengths among
// them): the search for the ends of the longest path skips subtrees, and must still find the
// same first leaves in file order. Also asked after an outgroup, whose walk then gathers what the
// midpoint needs.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "support/tree_check.h"
#include "tree/phylogeny.h"
#include "tree/rooting.h"

namespace tavrin {

namespace {

using tavrin::RootPlace;

// A random tree of `leaves` leaves t0, t1...: subtrees joined two at a time, each branch given
// one of a few lengths, or none.
std::string random_tree(std::mt19937& random, std::size_t leaves) {
    static const char* const kLengths[] = {"", ":-1", ":0", ":0.25", ":0.5", ":1", ":1.5", ":3"};
    std::uniform_int_distribution<std::size_t> length(0, 7);
    std::vector<std::string> parts;
    for (std::size_t i = 0; i < leaves; ++i)
        parts.push_back("t" + std::to_string(i) + kLengths[length(random)]);
    while (parts.size() > 1) {
        std::uniform_int_distribution<std::size_t> pick(0, parts.size() - 2);
        const std::size_t at = pick(random);
        parts[at] = "(" + parts[at] + "," + parts[at + 1] + ")" + kLengths[length(random)];
        parts.erase(parts.begin() + static_cast<std::ptrdiff_t>(at) + 1);
    }
    return parts.front() + ";";
}

double depth(const Phylogeny_Node* node) {
    double sum = 0;
    for (; node->parent != nullptr; node = node->parent)
        sum += node->length;
    return sum;
}

const Phylogeny_Node* meeting(const Phylogeny_Node* x, const Phylogeny_Node* y) {
    std::vector<const Phylogeny_Node*> above_x;
    for (; x != nullptr; x = x->parent)
        above_x.push_back(x);
    for (; std::find(above_x.begin(), above_x.end(), y) == above_x.end(); y = y->parent) {
    }
    return y;
}

double distance(const Phylogeny_Node* x, const Phylogeny_Node* y) {
    return depth(x) + depth(y) - 2 * depth(meeting(x, y));
}

// The place worked out from every pair: a, the first leaf ending a longest path; b, the first
// leaf that far from a; the first branch of the path from a whose far end lies beyond half.
std::optional<RootPlace> midpoint_from_pairs(const Phylogeny& tree) {
    std::vector<const Phylogeny_Node*> leaves;
    for (const Phylogeny_Node* node : tree_check::preorder(tree.root)) {
        if (node->is_leaf) leaves.push_back(node);
    }
    double longest = -1e300;
    for (const Phylogeny_Node* x : leaves) {
        for (const Phylogeny_Node* y : leaves) {
            if (x != y) longest = std::max(longest, distance(x, y));
        }
    }
    if (leaves.size() < 2 || !(longest > 0)) return std::nullopt;
    const double least = longest - 1e-9 * longest;
    const auto far_from = [&](const Phylogeny_Node* x) {
        return *std::find_if(leaves.begin(), leaves.end(), [&](const Phylogeny_Node* y) {
            return x != y && distance(x, y) >= least;
        });
    };
    const Phylogeny_Node* a = *std::find_if(leaves.begin(), leaves.end(), [&](auto x) {
        return std::any_of(leaves.begin(), leaves.end(),
                           [&](auto y) { return x != y && distance(x, y) >= least; });
    });
    const Phylogeny_Node* b = far_from(a);
    const Phylogeny_Node* meet = meeting(a, b);
    const double half = distance(a, b) / 2;
    // The branches from a up to the meeting node, then down to b; the root's two are one.
    std::vector<const Phylogeny_Node*> down_side;
    for (const Phylogeny_Node* node = b; node != meet; node = node->parent)
        down_side.push_back(node);
    double reached = 0;
    for (const Phylogeny_Node* node = a; node != meet; node = node->parent) {
        double length = node->length;
        if (node->parent == tree.root) {
            length += down_side.back()->length;
            down_side.pop_back();
        }
        if (reached + length > half) {
            return RootPlace{const_cast<Phylogeny_Node*>(node), half - reached,
                             length - (half - reached)};
        }
        reached += length;
    }
    for (; !down_side.empty(); down_side.pop_back()) {
        const Phylogeny_Node* node = down_side.back();
        if (reached + node->length > half) {
            return RootPlace{const_cast<Phylogeny_Node*>(node), node->length - (half - reached),
                             half - reached};
        }
        reached += node->length;
    }
    return std::nullopt;
}

void expect_same_place(const std::optional<RootPlace>& found,
                       const std::optional<RootPlace>& expected, const std::string& text) {
    ASSERT_EQ(found.has_value(), expected.has_value()) << text;
    if (!found.has_value()) return;
    EXPECT_EQ(found->below, expected->below) << text;
    EXPECT_DOUBLE_EQ(found->below_part, expected->below_part) << text;
    EXPECT_DOUBLE_EQ(found->above_part, expected->above_part) << text;
}

TEST(MidpointSearch, SameEndsAsEveryPairOnRandomTrees) {
    std::mt19937 random(20261208);
    std::uniform_int_distribution<std::size_t> size(1, 24);
    const auto odd_leaf = [](const Phylogeny_Node* leaf) { return leaf->name.back() % 2 == 1; };
    for (int round = 0; round < 3000; ++round) {
        const std::string text = random_tree(random, size(random));
        Phylogeny tree(text);
        ASSERT_NE(tree.root, nullptr) << text;
        const std::optional<RootPlace> expected = midpoint_from_pairs(tree);
        expect_same_place(tavrin::UnrootedTree(tree).midpoint_place(), expected, text);
        // One view asked in turn: the midpoint lets the leaves' numbering go, which an outgroup
        // asked after it makes again.
        const tavrin::UnrootedTree view(tree);
        const std::optional<RootPlace> outgroup = view.outgroup_place(odd_leaf);
        expect_same_place(view.midpoint_place(), expected, text);
        expect_same_place(outgroup, tavrin::UnrootedTree(tree).outgroup_place(odd_leaf), text);
        expect_same_place(view.outgroup_place(odd_leaf), outgroup, text);
        if (HasFailure()) return;
    }
}

}  // namespace

}  // namespace tavrin
