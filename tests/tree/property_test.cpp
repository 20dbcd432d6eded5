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

#include "support/tree_check.h"
#include "tree/phylogeny.h"

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

// What a value becomes when written with six decimals and read back.
double six_decimals(double value) {
    char buf[512];
    std::snprintf(buf, sizeof buf, "%f", value);
    return std::strtod(buf, nullptr);
}

TEST(Property, RenderingReadsBack) {
    for (std::uint32_t seed = 1; seed <= 300; ++seed) {
        std::mt19937 rng(seed);
        const RandomTree random = random_tree(rng, 1 + pick(rng, 40), false);
        SCOPED_TRACE("seed " + std::to_string(seed) + ": " + random.text);

        Phylogeny first(random.text);
        ASSERT_EQ(check_links(first.root), "");
        ASSERT_EQ(leaf_names(first.root), random.leaves);
        const std::string rendered = first.root->print();
        Phylogeny second(rendered + ";");
        ASSERT_EQ(check_links(second.root), "");
        EXPECT_EQ(shape(second.root), shape(first.root));
        EXPECT_EQ(second.root->print(), rendered);

        const std::vector<Phylogeny_Node*> a = preorder(first.root);
        const std::vector<Phylogeny_Node*> b = preorder(second.root);
        ASSERT_EQ(a.size(), b.size());
        for (std::size_t i = 0; i < a.size(); ++i) {
            EXPECT_EQ(b[i]->is_leaf, a[i]->is_leaf);
            EXPECT_EQ(b[i]->name, a[i]->name);
            EXPECT_EQ(b[i]->support, six_decimals(a[i]->support));
            EXPECT_EQ(b[i]->length, six_decimals(a[i]->length));
        }
    }
}

// An independent reading of one text, straight from the reading rules: every node scans its own
// text for the comma depths, and children are read from substrings. Slow, and meant for short
// texts only; it keeps a worklist instead of recursing.
struct ReferenceNode {
    bool is_leaf = false;
    std::string name;
    double support = 0;
    double length = 0;
    std::size_t left = 0;  // indices into the node list; 0 stands for none (0 is the root)
    std::size_t right = 0;
};

// Blanks, then an optional sign, digits with at most one point, and an optional exponent.
double reference_number(const std::string& text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r')))
        ++i;
    const std::size_t start = i;
    auto digits = [&]() {
        const std::size_t from = i;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9')
            ++i;
        return i - from;
    };
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    std::size_t mantissa = digits();
    if (i < text.size() && text[i] == '.') {
        ++i;
        mantissa += digits();
    }
    if (mantissa == 0) return 0;
    std::size_t end = i;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
        if (digits() > 0) end = i;
    }
    return std::strtod(text.substr(start, end - start).c_str(), nullptr);
}

std::vector<ReferenceNode> reference_read(const std::string& root_text) {
    std::vector<ReferenceNode> nodes(1);
    std::vector<std::pair<std::size_t, std::string>> todo{{0, root_text}};
    while (!todo.empty()) {
        const std::size_t at = todo.back().first;
        const std::string s = todo.back().second;
        todo.pop_back();
        ReferenceNode node;
        if (s.find(',') == std::string::npos) {
            const std::size_t colon = s.find(':');
            node.is_leaf = true;
            node.name = s.substr(0, colon);
            node.length = reference_number(colon == std::string::npos ? s : s.substr(colon + 1));
            nodes[at] = node;
            continue;
        }
        long depth = 0;
        long least = 2147483647;
        for (const char c : s) {
            if (c == '(') ++depth;
            if (c == ')') --depth;
            if (c == ',' && depth < least) least = depth;
        }
        std::size_t split = 0;
        depth = 0;
        for (std::size_t i = 0; i < s.size(); ++i) {
            if (s[i] == '(') ++depth;
            if (s[i] == ')') --depth;
            if (s[i] == ',' && depth == least) split = i;
        }
        std::size_t first = 0;
        std::size_t right_end = s.size();
        if (least > 0) {
            first = s.find('(') + 1;
            const std::size_t close = s.rfind(')');
            const std::string tail = close == std::string::npos ? s : s.substr(close + 1);
            const std::size_t colon = tail.rfind(':');
            if (colon == std::string::npos) {
                node.support = node.length = reference_number(tail);
            } else {
                node.support = reference_number(tail.substr(0, colon));
                node.length = reference_number(tail.substr(colon + 1));
            }
            if (close != std::string::npos && close > split) right_end = close;
        }
        node.left = nodes.size();
        node.right = nodes.size() + 1;
        nodes.resize(nodes.size() + 2);
        nodes[at] = node;
        todo.push_back({node.right, s.substr(split + 1, right_end - split - 1)});
        todo.push_back({node.left, s.substr(first, split - first)});
    }
    return nodes;
}

// Compares a read tree with the reference reading, node by node in preorder.
testing::AssertionResult same_as_reference(const Phylogeny_Node* root,
                                           const std::vector<ReferenceNode>& reference) {
    std::vector<std::pair<const Phylogeny_Node*, std::size_t>> stack{{root, 0}};
    while (!stack.empty()) {
        const auto [node, at] = stack.back();
        stack.pop_back();
        const ReferenceNode& want = reference[at];
        if (node == nullptr) return testing::AssertionFailure() << "missing node";
        if (node->is_leaf != want.is_leaf || node->name != want.name ||
            node->support != want.support || node->length != want.length) {
            return testing::AssertionFailure()
                   << "node '" << node->name << "' " << node->support << ":" << node->length
                   << " (leaf " << node->is_leaf << "), want '" << want.name << "' " << want.support
                   << ":" << want.length << " (leaf " << want.is_leaf << ")";
        }
        if (!want.is_leaf) {
            stack.push_back({node->right, want.right});
            stack.push_back({node->left, want.left});
        }
    }
    return testing::AssertionSuccess();
}

// Short texts of structural characters, names and number pieces, balanced or not.
TEST(Property, AnyTextReadsLikeTheReadingRules) {
    static const std::string alphabet = "((()),,,:::AB 1.5e-;";
    for (std::uint32_t seed = 1; seed <= 5000; ++seed) {
        std::mt19937 rng(seed);
        std::string text;
        for (std::size_t n = pick(rng, 32); n > 0; --n)
            text += alphabet[pick(rng, alphabet.size())];
        SCOPED_TRACE("seed " + std::to_string(seed) + ": " + text + ";");
        Phylogeny tree(text + ";");
        ASSERT_EQ(check_links(tree.root), "");
        EXPECT_TRUE(same_as_reference(tree.root, reference_read(text)));
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
