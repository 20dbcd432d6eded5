// The layout of big trees against a plain model of its rules, on many random trees: every node
// in an array; the tips chosen from the root down (leaves, the target clade, the largest
// subtrees of one prefix without a target leaf); then, while more than 400 tips remain, the
// deepest node whose children are all tips merged, one at a time, through one list per depth
// (the last one listed first), the path to the target only once nothing else is left.
#include <gtest/gtest.h>

#include <cstddef>
#include <random>
#include <string>
#include <vector>

#include "draw/layout.h"
#include "tree/phylogeny.h"

namespace tavrin {

namespace {

using tavrin::DrawnTree;
using tavrin::Tip;

constexpr std::size_t kNone = static_cast<std::size_t>(-1);

struct ModelNode {
    const Phylogeny_Node* node = nullptr;
    std::size_t parent = kNone;
    std::size_t depth = 0;
    std::vector<std::size_t> children;
    std::size_t leaves = 0;
    bool has_target = false;
    bool one_prefix = true;
    std::string prefix;
    Tip tip = Tip::kNone;
    bool drawn = false;
    bool kept = false;
    std::size_t open = 0;  // children drawn that are not tips
    std::size_t next = kNone;
};

// Every node in preorder, each with what its leaves share.
std::vector<ModelNode> model_nodes(const Phylogeny_Node* root, const Phylogeny_Node* target) {
    std::vector<ModelNode> nodes;
    std::vector<std::pair<const Phylogeny_Node*, std::size_t>> stack{{root, kNone}};
    std::vector<bool> in_target;
    while (!stack.empty()) {
        const auto [n, parent] = stack.back();
        stack.pop_back();
        const std::size_t index = nodes.size();
        ModelNode added;
        added.node = n;
        added.parent = parent;
        added.depth = parent == kNone ? 0 : nodes[parent].depth + 1;
        nodes.push_back(added);
        in_target.push_back(n == target || (parent != kNone && in_target[parent]));
        if (parent != kNone) nodes[parent].children.push_back(index);
        if (n->right != nullptr) stack.push_back({n->right, index});
        if (n->left != nullptr) stack.push_back({n->left, index});
    }
    for (std::size_t k = nodes.size(); k-- > 0;) {
        ModelNode& m = nodes[k];
        if (m.children.empty()) {
            m.leaves = 1;
            m.has_target = m.node->is_leaf && in_target[k];
            m.one_prefix = m.node->is_leaf;
            m.prefix = m.node->name.substr(0, m.node->name.find('-'));
        }
        for (const std::size_t c : m.children) {
            m.leaves += nodes[c].leaves;
            m.has_target = m.has_target || nodes[c].has_target;
            m.one_prefix = m.one_prefix && nodes[c].one_prefix &&
                           (c == m.children.front() || nodes[c].prefix == m.prefix);
            if (c == m.children.front()) m.prefix = nodes[c].prefix;
        }
    }
    return nodes;
}

// The tips chosen from the root down, then the merge. Answers the tips left.
std::size_t model_tips(std::vector<ModelNode>& nodes, const Phylogeny_Node* target) {
    const bool big = nodes[0].leaves > tavrin::kAllLeaves;
    std::size_t tips = 0, deepest = 0;
    for (std::size_t k = 0; k < nodes.size(); ++k) {
        ModelNode& m = nodes[k];
        m.drawn = k == 0 || (nodes[m.parent].drawn && nodes[m.parent].tip == Tip::kNone);
        if (!m.drawn) continue;
        if (m.children.empty()) {
            m.tip = Tip::kLeaf;
        } else if (big && m.node == target) {
            m.tip = Tip::kTargetWedge;
        } else if (big && !m.has_target && m.one_prefix) {
            m.tip = Tip::kWedge;
        }
        tips += m.tip != Tip::kNone;
        if (m.tip == Tip::kNone) deepest = std::max(deepest, m.depth);
        if (m.node == target) {
            for (std::size_t p = k; p != kNone; p = nodes[p].parent)
                nodes[p].kept = true;
        }
        if (m.parent != kNone && m.tip == Tip::kNone) ++nodes[m.parent].open;
    }
    for (const bool keep_path : {true, false}) {
        std::vector<std::size_t> head(deepest + 1, kNone);
        const auto ready = [&](std::size_t k) {
            ModelNode& m = nodes[k];
            if (!m.drawn || m.tip != Tip::kNone || m.open != 0 || (keep_path && m.kept)) return;
            m.next = head[m.depth];
            head[m.depth] = k;
        };
        for (std::size_t k = 0; k < nodes.size() && tips > tavrin::kMaxTips; ++k)
            ready(k);
        for (std::size_t d = deepest + 1; d-- > 0 && tips > tavrin::kMaxTips;) {
            while (head[d] != kNone && tips > tavrin::kMaxTips) {
                ModelNode& m = nodes[head[d]];
                head[d] = m.next;
                m.tip = Tip::kMixed;
                tips -= m.children.size() - 1;
                if (m.parent == kNone) continue;
                --nodes[m.parent].open;
                ready(m.parent);
            }
        }
    }
    return tips;
}

// A tree of `leaves` leaves in the order of their names, joined two neighbours at a time:
// anywhere (shape 0), mostly at the front, a ladder with some branches (1), or pairwise
// level by level (2). Names come in runs of one prefix, of random lengths.
std::string random_tree(std::mt19937& rng, std::size_t leaves, int shape) {
    const char* const groups[] = {"Fungi", "Metazoa", "Plantae", "Choano", "SAR"};
    std::vector<std::string> parts;
    std::size_t group = 0, run = 0;
    for (std::size_t i = 0; i < leaves; ++i) {
        if (run == 0) {
            group = rng() % 5;
            run = 1 + rng() % (rng() % 2 == 0 ? 3 : 40);
        }
        --run;
        parts.push_back(std::string(groups[group]) + "-" + std::to_string(i) + ":" +
                        std::to_string(1 + rng() % 9));
    }
    for (std::size_t pass = 0; parts.size() > 1; ++pass) {
        std::size_t i = rng() % (parts.size() - 1);
        if (shape == 1) i = rng() % 8 == 0 ? i : 0;
        if (shape == 2) i = (2 * pass) % (parts.size() - 1);
        parts[i] = "(" + parts[i] + "," + parts[i + 1] + ")" + std::to_string(rng() % 100) + ":1";
        parts.erase(parts.begin() + static_cast<std::ptrdiff_t>(i) + 1);
    }
    return parts[0] + ";";
}

void expect_as_model(const Phylogeny& tree, const Phylogeny_Node* target) {
    std::vector<ModelNode> nodes = model_nodes(tree.root, target);
    const std::size_t tips = model_tips(nodes, target);
    tavrin::LayoutInput input;
    input.root = tree.root;
    input.target = target;
    input.target_label = "Target";
    const DrawnTree drawn = tavrin::lay_out(input);
    EXPECT_EQ(drawn.tips, tips);
    EXPECT_EQ(drawn.leaves, nodes[0].leaves);
    std::size_t at = 0;
    for (std::size_t k = 0; k < nodes.size(); ++k) {
        const ModelNode& m = nodes[k];
        if (!m.drawn || (m.parent != kNone && nodes[m.parent].tip != Tip::kNone)) continue;
        ASSERT_LT(at, drawn.nodes.size());
        EXPECT_EQ(drawn.nodes[at].node, m.node) << "node " << at;
        EXPECT_EQ(drawn.nodes[at].tip, m.tip) << "node " << at;
        EXPECT_EQ(drawn.nodes[at].leaves, m.leaves) << "node " << at;
        ++at;
    }
    EXPECT_EQ(at, drawn.nodes.size());
}

// The merge within the depth where it stops takes the nodes in the order of the lists, which
// depends on how the merge went one level down, and so on to the deepest.
TEST(Layout, MergesAsTheModelOnRandomTrees) {
    std::mt19937 rng(20261208);
    for (int round = 0; round < 60; ++round) {
        const std::size_t leaves = 250 + rng() % 1800;
        Phylogeny tree(random_tree(rng, leaves, round % 3));
        std::vector<const Phylogeny_Node*> all;
        for (const ModelNode& m : model_nodes(tree.root, nullptr))
            all.push_back(m.node);
        // No target, a target clade anywhere, or one leaf as the target.
        const Phylogeny_Node* target = round % 4 == 0 ? nullptr : all[rng() % all.size()];
        SCOPED_TRACE("round " + std::to_string(round));
        expect_as_model(tree, target);
    }
}

// A node with one child is not a shape the readers make, but the layout takes it: its leaves
// are counted as they are, and merging it leaves as many tips as before.
TEST(Layout, NodesWithOneChildAreCountedAsTheyAre) {
    std::mt19937 rng(7);
    for (int round = 0; round < 12; ++round) {
        Phylogeny tree(random_tree(rng, 600 + rng() % 600, round % 3));
        std::vector<ModelNode> nodes = model_nodes(tree.root, nullptr);
        for (std::size_t k = 1; k < nodes.size(); k += 1 + rng() % 40) {
            Phylogeny_Node* n = const_cast<Phylogeny_Node*>(nodes[k].node);
            if (n->right == nullptr || n->left == nullptr) continue;
            tree.retire_subtree(n->right);
            n->right = nullptr;
            break;
        }
        expect_as_model(tree, round % 2 == 0 ? nullptr : nodes[nodes.size() / 3].node);
    }
}

}  // namespace

}  // namespace tavrin
