// Counting state changes of one character: labels by name, the per-state arrays of every node,
// and the answers for degenerate labellings.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "support/tree_check.h"
#include "tree/phylogeny.h"

namespace tavrin {

namespace {

using tree_check::preorder;

// Entries 0..highest of a node's change array; empty when it has none.
std::vector<int32_t> counts(const Phylogeny_Node* node, int highest) {
    if (node->changes == nullptr) return {};
    return std::vector<int32_t>(node->changes.get(), node->changes.get() + highest + 1);
}

using V = std::vector<int32_t>;

TEST(Parsimony, ThreeLeavesTwoStates) {
    Phylogeny tree("((A,B),C);");
    Phylogeny_Node* root = tree.root;
    root->label_by_name("A", 0);
    root->label_by_name("B", 1);
    root->label_by_name("C", 1);
    EXPECT_EQ(root->max_label(), 1);
    EXPECT_EQ(root->min_changes(), 1);
    EXPECT_EQ(counts(root->left->left, 1), V({0, 1}));
    EXPECT_EQ(counts(root->left->right, 1), V({1, 0}));
    EXPECT_EQ(counts(root->right, 1), V({1, 0}));
    EXPECT_EQ(counts(root->left, 1), V({1, 1}));
    EXPECT_EQ(counts(root, 1), V({2, 1}));
}

TEST(Parsimony, FourLeavesThreeStates) {
    Phylogeny tree("((A,B),(C,D));");
    Phylogeny_Node* root = tree.root;
    root->label_by_name("A", 0);
    root->label_by_name("B", 2);
    root->label_by_name("C", 1);
    root->label_by_name("D", 2);
    EXPECT_EQ(root->max_label(), 2);
    EXPECT_EQ(root->min_changes(), 2);
    EXPECT_EQ(counts(root->left->left, 2), V({0, 1, 1}));
    EXPECT_EQ(counts(root->left->right, 2), V({1, 1, 0}));
    EXPECT_EQ(counts(root->right->left, 2), V({1, 0, 1}));
    EXPECT_EQ(counts(root->right->right, 2), V({1, 1, 0}));
    EXPECT_EQ(counts(root->left, 2), V({1, 2, 1}));
    EXPECT_EQ(counts(root->right, 2), V({2, 1, 1}));
    EXPECT_EQ(counts(root, 2), V({3, 3, 2}));

    // The facility works on any subtree.
    EXPECT_EQ(root->right->min_changes(), 1);
    EXPECT_EQ(root->left->max_label(), 2);
}

TEST(Parsimony, SingleLeafAndUniformLabels) {
    Phylogeny single("A;");
    single.root->label_by_name("A", 3);
    EXPECT_EQ(single.root->max_label(), 3);
    EXPECT_EQ(single.root->min_changes(), 0);
    EXPECT_EQ(counts(single.root, 3), V({1, 1, 1, 0}));

    Phylogeny same("(((A,B),C),(D,E));");
    for (const char* name : {"A", "B", "C", "D", "E"})
        same.root->label_by_name(name, 2);
    EXPECT_EQ(same.root->min_changes(), 0);
    EXPECT_EQ(counts(same.root, 2), V({2, 2, 0}));

    // Unlabelled leaves are all in state 0.
    Phylogeny unlabelled("((A,B),C);");
    EXPECT_EQ(unlabelled.root->max_label(), 0);
    EXPECT_EQ(unlabelled.root->min_changes(), 0);
    EXPECT_EQ(counts(unlabelled.root, 0), V({0}));
}

TEST(Parsimony, LabellingMatchesWholeNamesOnly) {
    Phylogeny tree("((A,B),(A,Ab));");
    tree.root->label_by_name("Z", 5);
    tree.root->label_by_name("a", 5);
    tree.root->label_by_name("", 5);
    for (const Phylogeny_Node* node : preorder(tree.root))
        EXPECT_EQ(node->label, 0);
    EXPECT_EQ(tree.root->max_label(), 0);

    tree.root->label_by_name("A", 1);
    EXPECT_EQ(tree.root->left->left->label, 1);
    EXPECT_EQ(tree.root->right->left->label, 1);
    EXPECT_EQ(tree.root->left->right->label, 0);
    EXPECT_EQ(tree.root->right->right->label, 0);
    EXPECT_EQ(tree.root->min_changes(), 2);

    // Labelling a subtree leaves the rest alone; a later label replaces an earlier one.
    tree.root->right->label_by_name("A", 4);
    EXPECT_EQ(tree.root->left->left->label, 1);
    EXPECT_EQ(tree.root->right->left->label, 4);
    EXPECT_EQ(tree.root->max_label(), 4);
}

TEST(Parsimony, FindByNameLooksAtTheNodeItselfOnly) {
    Phylogeny tree("((A,B),C);");
    Phylogeny_Node* a = tree.root->left->left;
    EXPECT_EQ(a->find_by_name("A"), a);
    EXPECT_EQ(a->find_by_name("B"), nullptr);
    EXPECT_EQ(a->find_by_name("a"), nullptr);
    EXPECT_EQ(a->find_by_name("A "), nullptr);
    EXPECT_EQ(tree.root->find_by_name("A"), nullptr);
    EXPECT_EQ(tree.root->left->find_by_name("A"), nullptr);
    EXPECT_EQ(tree.root->find_by_name(""), nullptr);
}

TEST(Parsimony, RerunningReplacesEveryArray) {
    Phylogeny tree("((A,B),(C,D));");
    Phylogeny_Node* root = tree.root;
    root->label_by_name("B", 2);
    root->label_by_name("C", 1);
    root->label_by_name("D", 2);
    EXPECT_EQ(root->min_changes(), 2);
    EXPECT_EQ(root->min_changes(), 2);
    EXPECT_EQ(counts(root, 2), V({3, 3, 2}));

    // Fewer states now: every array follows the new labels.
    root->label_by_name("B", 0);
    root->label_by_name("D", 1);
    EXPECT_EQ(root->min_changes(), 1);
    EXPECT_EQ(counts(root, 1), V({1, 1}));
    EXPECT_EQ(counts(root->left, 1), V({0, 2}));
    EXPECT_EQ(counts(root->right->right, 1), V({1, 0}));
}

TEST(Parsimony, LabelsOutsideTheStateRangeCountAsChanges) {
    Phylogeny tree("((A,B),C);");
    tree.root->label_by_name("A", -2);
    tree.root->label_by_name("B", 1);
    tree.root->label_by_name("C", 1);
    EXPECT_EQ(tree.root->min_changes(), 1);
    EXPECT_EQ(counts(tree.root->left->left, 1), V({1, 1}));
    EXPECT_EQ(counts(tree.root, 1), V({3, 1}));

    // An explicit highest state below a leaf's label.
    tree.root->label_by_name("A", 3);
    tree.root->compute_changes(1);
    EXPECT_EQ(counts(tree.root->left->left, 1), V({1, 1}));
    EXPECT_EQ(counts(tree.root->left, 1), V({2, 1}));
    EXPECT_EQ(counts(tree.root, 1), V({3, 1}));
}

TEST(Parsimony, NegativeHighestLabelMeansNoStates) {
    Phylogeny tree("((A,B),C);");
    tree.root->label_by_name("A", -1);
    tree.root->label_by_name("B", -3);
    tree.root->label_by_name("C", -1);
    EXPECT_EQ(tree.root->max_label(), -1);
    EXPECT_EQ(tree.root->min_changes(), 0);
    for (const Phylogeny_Node* node : preorder(tree.root))
        EXPECT_EQ(node->changes, nullptr);

    Phylogeny fresh("((A,B),C);");
    fresh.root->compute_changes(-1);
    for (const Phylogeny_Node* node : preorder(fresh.root))
        EXPECT_EQ(node->changes, nullptr);

    // Arrays of an earlier run do not survive a run without states.
    Phylogeny earlier("((A,B),C);");
    earlier.root->label_by_name("A", 1);
    EXPECT_EQ(earlier.root->min_changes(), 1);
    earlier.root->compute_changes(-1);
    for (const Phylogeny_Node* node : preorder(earlier.root))
        EXPECT_EQ(node->changes, nullptr);
}

}  // namespace

}  // namespace tavrin
