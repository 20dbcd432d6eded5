// Trees a million levels deep: reading, checking, rendering, rerooting, counting and releasing
// them must not exhaust the call stack. The texts are generated here rather than stored.
#include <gtest/gtest.h>

#include <cstddef>
#include <memory>
#include <string>

#include "support/tree_check.h"
#include "tree/phylogeny.h"

namespace tavrin {

namespace {

using tree_check::check_links;
using tree_check::leaf_count;
using tree_check::node_count;

constexpr std::size_t kLeaves = 1000000;

const char kZeroLeafTail[] = ":0.000000";
const char kZeroInternalTail[] = ")0.000000:0.000000";

// The rendering of the left ladder of `n` leaves with every value 0 (also that of a star).
std::string left_ladder_rendering(std::size_t n) {
    std::string text(n - 1, '(');
    text.reserve(n * 40);
    text += "L1";
    text += kZeroLeafTail;
    for (std::size_t i = 2; i <= n; ++i) {
        text += ",L";
        text += std::to_string(i);
        text += kZeroLeafTail;
        text += kZeroInternalTail;
    }
    return text;
}

std::string right_ladder_rendering(std::size_t n) {
    std::string text;
    text.reserve(n * 40);
    for (std::size_t i = 1; i < n; ++i) {
        text += "(L";
        text += std::to_string(i);
        text += kZeroLeafTail;
        text += ',';
    }
    text += "L" + std::to_string(n) + kZeroLeafTail;
    for (std::size_t i = 1; i < n; ++i)
        text += kZeroInternalTail;
    return text;
}

// Number of internal nodes on the leftmost (or rightmost) path from `node`.
std::size_t spine_length(const Phylogeny_Node* node, bool left) {
    std::size_t levels = 0;
    while (!node->is_leaf) {
        node = left ? node->left : node->right;
        ++levels;
    }
    return levels;
}

Phylogeny_Node* deepest_internal(Phylogeny_Node* root, bool left) {
    Phylogeny_Node* node = root;
    for (Phylogeny_Node* next = left ? node->left : node->right; !next->is_leaf;
         next = left ? next->left : next->right) {
        node = next;
    }
    return node;
}

void expect_whole_tree(const Phylogeny_Node* root) {
    EXPECT_EQ(check_links(root), "");
    EXPECT_EQ(leaf_count(root), kLeaves);
    EXPECT_EQ(node_count(root), 2 * kLeaves - 1);
}

TEST(DeepTree, LeftLadder) {
    const std::string expected = left_ladder_rendering(kLeaves);
    Phylogeny tree(tree_check::caterpillar(kLeaves) + ";");
    ASSERT_NE(tree.root, nullptr);
    expect_whole_tree(tree.root);
    EXPECT_EQ(spine_length(tree.root, true), kLeaves - 1);

    const std::string rendered = tree.root->print();
    EXPECT_EQ(rendered.size(), expected.size());
    EXPECT_TRUE(rendered == expected) << "first 200 characters: " << rendered.substr(0, 200);

    tree.root->label_by_name("L1", 1);
    tree.root->label_by_name("L" + std::to_string(kLeaves), 2);
    EXPECT_EQ(tree.root->max_label(), 2);
    EXPECT_EQ(tree.root->min_changes(), 2);
    EXPECT_EQ(tree.root->changes[2], 2);
}

TEST(DeepTree, StarReadsAsTheLeftLadder) {
    const std::string expected = left_ladder_rendering(kLeaves);
    Phylogeny tree(tree_check::star(kLeaves) + ";");
    ASSERT_NE(tree.root, nullptr);
    expect_whole_tree(tree.root);
    EXPECT_EQ(spine_length(tree.root, true), kLeaves - 1);
    const std::string rendered = tree.root->print();
    EXPECT_EQ(rendered.size(), expected.size());
    EXPECT_TRUE(rendered == expected) << "first 200 characters: " << rendered.substr(0, 200);
    EXPECT_EQ(tree.root->max_label(), 0);
    EXPECT_EQ(tree.root->min_changes(), 0);
}

// One pair of parentheses too many ends up as a '(' in the first name and a ')' in the last; such
// text takes the general reading rules all the way down, which must be as stack-safe as the
// common case.
TEST(DeepTree, LadderWithRedundantParentheses) {
    Phylogeny tree("(" + tree_check::caterpillar(kLeaves) + ");");
    ASSERT_NE(tree.root, nullptr);
    expect_whole_tree(tree.root);
    EXPECT_EQ(spine_length(tree.root, true), kLeaves - 1);
    EXPECT_EQ(tree.root->right->name, "L" + std::to_string(kLeaves) + ")");
    EXPECT_EQ(deepest_internal(tree.root, true)->left->name, "(L1");
}

TEST(DeepTree, RightLadder) {
    Phylogeny tree(tree_check::right_ladder(kLeaves) + ";");
    ASSERT_NE(tree.root, nullptr);
    expect_whole_tree(tree.root);
    EXPECT_EQ(spine_length(tree.root, false), kLeaves - 1);
    const std::string rendered = tree.root->print();
    EXPECT_TRUE(rendered == right_ladder_rendering(kLeaves))
        << "first 200 characters: " << rendered.substr(0, 200);
    tree.root->label_by_name("L1", 1);
    EXPECT_EQ(tree.root->min_changes(), 1);
}

// Reroots a ladder on the edge above its deepest leaf, so the path reversed is the whole ladder.
void reroot_at_the_bottom(bool left) {
    const std::string text =
        left ? tree_check::caterpillar(kLeaves) : tree_check::right_ladder(kLeaves);
    Phylogeny tree(text + ";");
    ASSERT_NE(tree.root, nullptr);
    const std::size_t rendered_size = tree.root->print().size();
    Phylogeny_Node* a = deepest_internal(tree.root, left);
    Phylogeny_Node* b = left ? a->left : a->right;
    Phylogeny_Node* old_root = tree.root;

    tree.root = Phylogeny::reroot(a, b, old_root);
    tree.retire_node(old_root);

    expect_whole_tree(tree.root);
    EXPECT_EQ(tree.root->left, b);
    EXPECT_EQ(tree.root->right, a);
    // Every value is 0, so the rendering keeps its length though the text is reordered.
    EXPECT_EQ(tree.root->print().size(), rendered_size);
    tree.root->label_by_name("L1", 3);
    EXPECT_EQ(tree.root->max_label(), 3);
    EXPECT_EQ(tree.root->min_changes(), 1);
}

// A copy has the shape, order and values of the tree, shares no node with it, and is made and
// released without recursion however deep the tree.
TEST(DeepTree, CopiesOfLaddersAndOfAnOrdinaryTree) {
    for (const std::string& text :
         {tree_check::caterpillar(kLeaves), tree_check::right_ladder(kLeaves),
          std::string("((A:0.5,(B,C)90:0.25)70:1,D:2)")}) {
        Phylogeny tree(text + ";");
        const std::unique_ptr<Phylogeny> copy = tree.copy();
        EXPECT_EQ(check_links(copy->root), "");
        EXPECT_EQ(node_count(copy->root), node_count(tree.root));
        EXPECT_NE(copy->root, tree.root);
        EXPECT_EQ(copy->root->parent, nullptr);
        EXPECT_TRUE(copy->root->print() == tree.root->print());
    }
    EXPECT_EQ(Phylogeny().copy()->root, nullptr);
}

TEST(DeepTree, RerootAtTheBottomOfTheLeftLadder) {
    reroot_at_the_bottom(true);
}

TEST(DeepTree, RerootAtTheBottomOfTheRightLadder) {
    reroot_at_the_bottom(false);
}

TEST(DeepTree, DetachedSubtreesAndLooseNodesAreReleased) {
    const std::string ladder = tree_check::caterpillar(kLeaves);
    {
        // A node read straight from its text, and released on its own.
        Phylogeny_Node* node = new Phylogeny_Node(ladder, nullptr);
        EXPECT_EQ(node_count(node), 2 * kLeaves - 1);
        delete node;
    }
    {
        // A deep subtree cut out of the tree and handed back to it.
        Phylogeny tree("(" + ladder + ",Z);");
        ASSERT_NE(tree.root, nullptr);
        Phylogeny_Node* cut = tree.root->left;
        tree.root->left = nullptr;
        cut->parent = nullptr;
        tree.retire_subtree(cut);
        EXPECT_EQ(node_count(tree.root), 2u);
    }
}

}  // namespace

}  // namespace tavrin
