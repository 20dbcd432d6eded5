// The midpoint against a search over every pair of leaves, on thousands of small random trees
// and on ladders and bigger trees, whose lengths are few and exact in binary (ties everywhere,
// negative and missing lengths among them): the search for the ends of the longest path skips
// subtrees, and must still find the same first leaves in file order. Also asked after an
// outgroup, whose walk then gathers what the midpoint needs.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <optional>
#include <random>
#include <string>
#include <tuple>
#include <unordered_map>
#include <vector>

#include "support/tree_check.h"
#include "tree/phylogeny.h"
#include "tree/rooting.h"

namespace tavrin {

namespace {

using tavrin::RootPlace;

const char* const kLengths[] = {"", ":-1", ":0", ":0.25", ":0.5", ":1", ":1.5", ":3"};

// A random tree of `leaves` leaves t0, t1...: subtrees joined two at a time, each branch given
// one of a few lengths, or none.
std::string random_tree(std::mt19937& random, std::size_t leaves) {
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

enum class Shape { kLeftLadder, kRightLadder, kZigzag, kRandom };

// A tree of `leaves` leaves in `shape`: ladders whose leaves hang on the right (the first leaf
// deepest), on the left, or on alternate sides, or joined at random; lengths as random_tree's.
std::string shaped_tree(std::mt19937& random, Shape shape, std::size_t leaves) {
    if (shape == Shape::kRandom) return random_tree(random, leaves);
    std::uniform_int_distribution<std::size_t> length(0, 7);
    std::string text = std::string("t0") + kLengths[length(random)];
    for (std::size_t i = 1; i < leaves; ++i) {
        const std::string leaf = "t" + std::to_string(i) + kLengths[length(random)];
        const bool on_left =
            shape == Shape::kRightLadder || (shape == Shape::kZigzag && i % 2 == 1);
        text = "(" + (on_left ? leaf + "," + text : text + "," + leaf) + ")" +
               kLengths[length(random)];
    }
    return text + ";";
}

NodeRef meeting(NodeRef x, NodeRef y) {
    std::vector<NodeRef> above_x;
    for (; x != nullptr; x = x.parent())
        above_x.push_back(x);
    for (; std::find(above_x.begin(), above_x.end(), y) == above_x.end(); y = y.parent()) {
    }
    return y;
}

// The distances between every two leaves, each leaf's found by one walk over the tree from it,
// for trees too big to climb for every pair: the lengths are exact in binary, so the sums are
// exact in any order.
class LeafDistances {
public:
    explicit LeafDistances(const std::vector<NodeRef>& leaves) : n_(leaves.size()) {
        std::unordered_map<NodeRef, std::size_t> number;
        for (std::size_t i = 0; i < n_; ++i)
            number[leaves[i]] = i;
        table_.assign(n_ * n_, 0);
        for (std::size_t x = 0; x < n_; ++x) {
            // (node, the node it was reached from, distance)
            std::vector<std::tuple<NodeRef, NodeRef, double>> stack{{leaves[x], nullptr, 0.0}};
            while (!stack.empty()) {
                const auto [node, from, far] = stack.back();
                stack.pop_back();
                if (node.is_leaf()) table_[x * n_ + number.at(node)] = far;
                if (node.parent() != nullptr && node.parent() != from)
                    stack.emplace_back(node.parent(), node, far + node.length());
                for (NodeRef child : {node.left(), node.right()}) {
                    if (child != nullptr && child != from)
                        stack.emplace_back(child, node, far + child.length());
                }
            }
        }
    }
    double operator()(std::size_t x, std::size_t y) const { return table_[x * n_ + y]; }

private:
    std::size_t n_;
    std::vector<double> table_;
};

// The place worked out from every pair: a, the first leaf ending a longest path; b, the first
// leaf that far from a; the first branch of the path from a whose far end lies beyond half.
std::optional<RootPlace> midpoint_from_pairs(const Phylogeny& tree) {
    std::vector<NodeRef> leaves;
    for (NodeRef node : tree_check::preorder(tree.root)) {
        if (node.is_leaf()) leaves.push_back(node);
    }
    const LeafDistances distance(leaves);
    const std::size_t n = leaves.size();
    double longest = -1e300;
    for (std::size_t x = 0; x < n; ++x) {
        for (std::size_t y = 0; y < n; ++y) {
            if (x != y) longest = std::max(longest, distance(x, y));
        }
    }
    if (n < 2 || !(longest > 0)) return std::nullopt;
    const double least = longest - 1e-9 * longest;
    const auto far_from = [&](std::size_t x) {
        for (std::size_t y = 0; y < n; ++y) {
            if (x != y && distance(x, y) >= least) return y;
        }
        return n;
    };
    std::size_t a_number = 0;
    while (far_from(a_number) == n)
        ++a_number;
    const std::size_t b_number = far_from(a_number);
    NodeRef a = leaves[a_number];
    NodeRef b = leaves[b_number];
    NodeRef meet = meeting(a, b);
    const double half = distance(a_number, b_number) / 2;
    // The branches from a up to the meeting node, then down to b; the root's two are one.
    std::vector<NodeRef> down_side;
    for (NodeRef node = b; node != meet; node = node.parent())
        down_side.push_back(node);
    double reached = 0;
    for (NodeRef node = a; node != meet; node = node.parent()) {
        double length = node.length();
        if (node.parent() == tree.root) {
            length += down_side.back().length();
            down_side.pop_back();
        }
        if (reached + length > half) {
            return RootPlace{node, half - reached, length - (half - reached)};
        }
        reached += length;
    }
    for (; !down_side.empty(); down_side.pop_back()) {
        NodeRef node = down_side.back();
        if (reached + node.length() > half) {
            return RootPlace{node, node.length() - (half - reached), half - reached};
        }
        reached += node.length();
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
    const auto odd_leaf = [](NodeRef leaf) { return leaf.name().back() % 2 == 1; };
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

// Ladders of either hand and big trees, whose records fill several chunks; the midpoint's walk
// also gives the leaves in file order.
TEST(MidpointSearch, SameEndsAsEveryPairOnLaddersAndBigTrees) {
    std::mt19937 random(20261209);
    for (const Shape shape :
         {Shape::kLeftLadder, Shape::kRightLadder, Shape::kZigzag, Shape::kRandom}) {
        for (const std::size_t leaves : {2, 3, 7, 150, 400, 700}) {
            for (int round = 0; round < 3; ++round) {
                const std::string text = shaped_tree(random, shape, leaves);
                Phylogeny tree(text);
                ASSERT_NE(tree.root, nullptr) << text;
                std::vector<NodeRef> order;
                expect_same_place(tavrin::UnrootedTree(tree).midpoint_place(&order),
                                  midpoint_from_pairs(tree), text);
                std::vector<NodeRef> as_read;
                tavrin::UnrootedTree(tree).leaves_in_order(as_read);
                EXPECT_EQ(order, as_read) << text;
                if (HasFailure()) return;
            }
        }
    }
}

// The midpoint's walk shows the leaves in file order, numbered so; with the first bytes of the
// names wanted, only those leaves, their numbers still counting every leaf.
TEST(MidpointSearch, WalkShowsTheLeavesWanted) {
    struct Case {
        const char* tree;
        const char* bytes;  // none: every leaf
        const char* shown;  // name:number, in order
    };
    const Case cases[] = {
        {"((apple,(bat,cow)),(ant,(bee,dog)));", nullptr, "apple:0 bat:1 cow:2 ant:3 bee:4 dog:5 "},
        {"((apple,(bat,cow)),(ant,(bee,dog)));", "ab", "apple:0 bat:1 ant:3 bee:4 "},
        {"((apple,(bat,cow)),(ant,(bee,dog)));", "z", ""},
        {"((,x:1):2,(y,'':3));", "x'", "x:1 '':3 "},
    };
    for (const Case& c : cases) {
        const Phylogeny tree(c.tree);
        std::array<bool, 256> wanted{};
        for (const char* b = c.bytes; b != nullptr && *b != '\0'; ++b)
            wanted[static_cast<unsigned char>(*b)] = true;
        std::string shown;
        const std::size_t leaves = tavrin::UnrootedTree(tree).walk_for_midpoint(
            [&](NodeRef leaf, std::size_t number) {
                shown += std::string(leaf.name()) + ":" + std::to_string(number) + " ";
            },
            c.bytes != nullptr ? &wanted : nullptr);
        EXPECT_EQ(shown, c.shown) << c.tree;
        std::vector<NodeRef> order;
        EXPECT_EQ(tavrin::UnrootedTree(tree).walk_for_midpoint(order), leaves) << c.tree;
        EXPECT_EQ(order.size(), leaves) << c.tree;
    }
}

}  // namespace

}  // namespace tavrin
