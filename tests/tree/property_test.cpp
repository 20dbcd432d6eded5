// Randomised trees from fixed seeds: rendering reads back to the same tree, and rerooting on any
// edge keeps the links sound, the leaves, the node count and the unrooted topology.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "support/input_checks.h"
#include "support/tree_check.h"
#include "tree/phylogeny.h"

namespace tavrin {

namespace {

using tree_check::check_links;
using tree_check::leaf_names;
using tree_check::node_count;
using tree_check::preorder;
using tree_check::shape;

// Raw engine output keeps the trees the same with every standard library.
std::size_t pick(std::mt19937& rng, std::size_t n) {
    return rng() % n;
}

std::string random_number(std::mt19937& rng) {
    char buf[64];
    switch (pick(rng, 6)) {
        case 0:
            return std::to_string(pick(rng, 101));
        case 1:
            std::snprintf(buf, sizeof buf, "%.*f", static_cast<int>(pick(rng, 10)),
                          static_cast<double>(pick(rng, 10000000)) / 1000.0);
            return buf;
        case 2:
            std::snprintf(buf, sizeof buf, "-%.*f", static_cast<int>(pick(rng, 8)),
                          static_cast<double>(pick(rng, 100000)) / 7.0);
            return buf;
        case 3:
            std::snprintf(buf, sizeof buf, "%zue-%zu", pick(rng, 9) + 1, pick(rng, 8));
            return buf;
        case 4:
            return "." + std::to_string(pick(rng, 100000));
        default:
            return "0";
    }
}

// Any character but the four structural ones, blanks and ';' included.
std::string random_name(std::mt19937& rng) {
    static const std::string alphabet = "ABCDxyz0123456789-_. |;'#\t";
    std::string name;
    for (std::size_t n = pick(rng, 6); n > 0; --n)
        name += alphabet[pick(rng, alphabet.size())];
    return name;
}

std::string random_tail(std::mt19937& rng) {
    switch (pick(rng, 5)) {
        case 0:
            return "";
        case 1:
            return random_number(rng);
        case 2:
            return ":" + random_number(rng);
        case 3:
            return "clade" + std::to_string(pick(rng, 9)) + ":" + random_number(rng);
        default:
            return random_number(rng) + ":" + random_number(rng);
    }
}

struct RandomTree {
    std::string text;
    std::vector<std::string> leaves;  // left to right
};

// Joins runs of neighbouring subtrees until one is left, so leaves keep their order. Runs of three
// or four make multifurcations.
RandomTree random_tree(std::mt19937& rng, std::size_t leaves, bool unique_names) {
    RandomTree tree;
    std::vector<std::string> parts;
    for (std::size_t i = 0; i < leaves; ++i) {
        const std::string name = unique_names ? "t" + std::to_string(i) : random_name(rng);
        tree.leaves.push_back(name);
        parts.push_back(pick(rng, 4) == 0 ? name : name + ":" + random_number(rng));
    }
    while (parts.size() > 1) {
        static const std::size_t run_sizes[] = {2, 2, 2, 3, 4};
        std::size_t run = run_sizes[pick(rng, 5)];
        if (run > parts.size()) run = parts.size();
        const std::size_t first = pick(rng, parts.size() - run + 1);
        std::string joined = "(" + parts[first];
        for (std::size_t i = first + 1; i < first + run; ++i)
            joined += "," + parts[i];
        joined += ")" + random_tail(rng);
        parts.erase(parts.begin() + first + 1, parts.begin() + first + run);
        parts[first] = joined;
    }
    tree.text = parts.front() + ";";
    return tree;
}

// Each random tree, and a few written by hand, passes the reader and renderer checks: sound
// links, the reading rules, both reading paths alike, and a rendering that reads back to the
// same shape, names and values to six decimals.
TEST(Property, RenderingReadsBack) {
    for (const std::string text :
         {"((A:0.1,B:0.2)95:0.3,C:0.4);", "(A:1,B:2,C:3,D:4)5:6;", "((A,B)80,C);", "(x(A,B),C);",
          "( a b :0.1234567,(12,c;d)1e2:-3.25)0.5;", "A:0.5;", "(,);"}) {
        EXPECT_EQ(tavrin_fuzz::check_reader_text(text), "") << text;
    }
    for (std::uint32_t seed = 1; seed <= 300; ++seed) {
        std::mt19937 rng(seed);
        const RandomTree random = random_tree(rng, 1 + pick(rng, 40), false);
        SCOPED_TRACE("seed " + std::to_string(seed) + ": " + random.text);
        EXPECT_EQ(tavrin_fuzz::check_reader_text(random.text), "");
        Phylogeny tree(random.text);
        EXPECT_EQ(leaf_names(tree.root), random.leaves);
    }
}

// The splits of the unrooted tree: for every edge, the leaves on the side without leaf "t0", as a
// bit set over the leaf numbers. The two edges at the root are one edge of the unrooted tree.
std::set<std::uint64_t> unrooted_splits(Phylogeny_Node* root) {
    const std::vector<Phylogeny_Node*> order = preorder(root);
    std::map<const Phylogeny_Node*, std::uint64_t> below;
    for (auto it = order.rbegin(); it != order.rend(); ++it) {
        const Phylogeny_Node* node = *it;
        below[node] = node->is_leaf ? std::uint64_t{1} << std::stoul(node->name.substr(1))
                                    : below[node->left] | below[node->right];
    }
    const std::uint64_t all = below[root];
    std::set<std::uint64_t> splits;
    for (const Phylogeny_Node* node : order) {
        if (node == root) continue;
        const std::uint64_t side = below[node];
        splits.insert((side & 1) != 0 ? all & ~side : side);
    }
    return splits;
}

struct Values {
    double support;
    double length;
};

TEST(Property, RerootOnEveryEdge) {
    std::size_t edges_tried = 0;
    for (std::uint32_t seed = 1; seed <= 40; ++seed) {
        std::mt19937 rng(seed);
        const RandomTree random = random_tree(rng, 2 + pick(rng, 30), true);
        SCOPED_TRACE("seed " + std::to_string(seed) + ": " + random.text);
        Phylogeny original(random.text);
        ASSERT_EQ(check_links(original.root), "");
        const std::vector<Phylogeny_Node*> original_nodes = preorder(original.root);
        const std::set<std::uint64_t> splits = unrooted_splits(original.root);
        std::vector<std::string> sorted_leaves = random.leaves;
        std::sort(sorted_leaves.begin(), sorted_leaves.end());

        for (std::size_t index = 1; index < original_nodes.size(); ++index) {
            if (original_nodes[index]->is_leaf) continue;
            for (const bool take_left : {true, false}) {
                SCOPED_TRACE("A is node " + std::to_string(index) +
                             (take_left ? ", B its left child" : ", B its right child"));
                ++edges_tried;
                Phylogeny tree(random.text);
                const std::vector<Phylogeny_Node*> nodes = preorder(tree.root);
                Phylogeny_Node* a = nodes[index];
                Phylogeny_Node* b = take_left ? a->left : a->right;
                Phylogeny_Node* r = tree.root;
                std::set<const Phylogeny_Node*> path;
                for (const Phylogeny_Node* p = a->parent; p != nullptr; p = p->parent) {
                    path.insert(p);
                }
                std::map<const Phylogeny_Node*, Values> before;
                for (const Phylogeny_Node* node : nodes) {
                    before[node] = {node->support, node->length};
                }
                const Values a_values = before[a];

                Phylogeny_Node* m = Phylogeny::reroot(a, b, r);
                tree.root = m;
                tree.retire_node(r);

                ASSERT_EQ(check_links(m), "");
                EXPECT_EQ(m->left, b);
                EXPECT_EQ(m->right, a);
                EXPECT_EQ(m->support, a_values.support);
                EXPECT_EQ(m->length, a_values.length);
                EXPECT_EQ(node_count(m), nodes.size());
                std::vector<std::string> leaves = leaf_names(m);
                std::sort(leaves.begin(), leaves.end());
                EXPECT_EQ(leaves, sorted_leaves);
                EXPECT_EQ(unrooted_splits(m), splits);
                std::size_t old_nodes_seen = 0;
                for (const Phylogeny_Node* node : preorder(m)) {
                    if (node == m) continue;
                    ++old_nodes_seen;
                    ASSERT_NE(node, r);
                    const Values expected = path.count(node) != 0 ? a_values : before.at(node);
                    EXPECT_EQ(node->support, expected.support);
                    EXPECT_EQ(node->length, expected.length);
                }
                EXPECT_EQ(old_nodes_seen, nodes.size() - 1);
                EXPECT_EQ(r->support, a_values.support);
                EXPECT_EQ(r->length, a_values.length);
            }
        }
    }
    EXPECT_GT(edges_tried, 200u);
}

}  // namespace

}  // namespace tavrin
