// Rootings undone: after a rooting on any branch and a reroot of the contract's kind, kept in a
// record of changes, the tree comes back as it was read, every link, value and node, however deep.
#include "tree/tree_changes.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "support/random_newick.h"
#include "support/tree_check.h"
#include "tree/phylogeny.h"
#include "tree/rooting.h"

namespace tavrin {

namespace {

using tree_check::check_links;
using tree_check::preorder;

// A node of the tree at random, below the root's children so that a reroot has a path to turn.
Phylogeny_Node* deep_node(const Phylogeny& tree, std::mt19937& rng) {
    std::vector<Phylogeny_Node*> nodes;
    for (Phylogeny_Node* node : preorder(tree.root)) {
        if (node->parent != nullptr && node->parent != tree.root) nodes.push_back(node);
    }
    if (nodes.empty()) return nullptr;
    return nodes[std::uniform_int_distribution<std::size_t>(0, nodes.size() - 1)(rng)];
}

TEST(TreeChanges, RootingsAndRerootsAreUndoneExactly) {
    std::mt19937 rng(2026);
    random_newick::Writer writer(rng);
    for (int round = 0; round < 300; ++round) {
        const std::string text = writer.tree(2 + round % 40).classic + ";";
        Phylogeny tree(text);
        const std::string as_read = tree.root->print();
        const std::vector<Phylogeny_Node*> nodes_read = preorder(tree.root);
        {
            TreeChanges changes(tree);
            if (Phylogeny_Node* below = deep_node(tree, rng)) {
                root_on_branch(tree, RootPlace{below, 0.25, 0.5}, &changes);
                ASSERT_EQ(check_links(tree.root), "") << text;
            }
            if (Phylogeny_Node* b = deep_node(tree, rng)) {
                Phylogeny_Node* old_root = tree.root;
                tree.root = Phylogeny::reroot(b->parent, b, old_root, changes);
                changes.took_out(old_root);
            }
            changes.undo();
            EXPECT_FALSE(changes.any());
        }
        ASSERT_EQ(check_links(tree.root), "") << text;
        EXPECT_EQ(tree.root->print(), as_read) << text;
        EXPECT_EQ(preorder(tree.root), nodes_read) << "the same nodes, in the same places";
    }
}

// Changes that are kept leave the nodes taken out readable until the tree is released.
TEST(TreeChanges, KeptChangesHandTheOldRootToTheTree) {
    Phylogeny tree("(((a:1,b:2)50:1,c:3)60:1,(d:1,e:1)70:2);");
    Phylogeny_Node* old_root = tree.root;
    {
        TreeChanges changes(tree);
        Phylogeny_Node* a = tree.root->left->left;
        root_on_branch(tree, RootPlace{a->left, 0.5, 0.5}, &changes);
    }
    EXPECT_NE(tree.root, old_root);
    EXPECT_EQ(check_links(tree.root), "");
    EXPECT_EQ(old_root->left, nullptr);  // still readable: released with the tree
}

// A ladder a million levels deep, rooted at its far end and put back, without recursion.
TEST(TreeChanges, MillionLevelLadder) {
    Phylogeny tree(tree_check::caterpillar(1000000) + ";");
    ASSERT_NE(tree.root, nullptr);
    Phylogeny_Node* deepest = tree.root;
    while (!deepest->is_leaf)
        deepest = deepest->left;
    TreeChanges changes(tree);
    root_on_branch(tree, RootPlace{deepest, 0.5, 0.5}, &changes);
    EXPECT_EQ(tree.root->left, deepest);
    changes.undo();
    EXPECT_EQ(check_links(tree.root), "");
    Phylogeny_Node* again = tree.root;
    while (!again->is_leaf)
        again = again->left;
    EXPECT_EQ(again, deepest);
}

}  // namespace

}  // namespace tavrin
