// Rendering a subtree as text: number forms, names, nodes with missing children, and reading the
// rendering back.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/tree_check.h"
#include "tree/phylogeny.h"

namespace tavrin {

namespace {

using tree_check::check_links;
using tree_check::preorder;
using tree_check::shape;

Phylogeny_Node* make_leaf(const std::string& name, double length, Phylogeny_Node* parent) {
    Phylogeny_Node* leaf = new Phylogeny_Node();
    leaf->is_leaf = true;
    leaf->name = name;
    leaf->length = length;
    leaf->parent = parent;
    return leaf;
}

TEST(Render, WholeTreeAndSingleLeaf) {
    Phylogeny tree("((A:0.1,B:0.2)95:0.3,C:0.4);");
    EXPECT_EQ(tree.root->print(),
              "((A:0.100000,B:0.200000)95.000000:0.300000,C:0.400000)0.000000:0.000000");
    EXPECT_EQ(tree.root->left->left->print(), "A:0.100000");
    EXPECT_EQ(tree.root->left->print(), "(A:0.100000,B:0.200000)95.000000:0.300000");

    // The root's own values follow its last ')'.
    EXPECT_EQ(Phylogeny("(A,B)-2.5:1e3;").root->print(),
              "(A:0.000000,B:0.000000)-2.500000:1000.000000");
}

TEST(Render, LeafNumbersAreWrittenInFull) {
    EXPECT_EQ(Phylogeny(";").root->print(), ":0.000000");
    EXPECT_EQ(Phylogeny("A:-0.5;").root->print(), "A:-0.500000");
    EXPECT_EQ(Phylogeny("A:1e20;").root->print(), "A:100000000000000000000.000000");
    EXPECT_EQ(Phylogeny("A:0.0000006;").root->print(), "A:0.000001");
}

TEST(Render, LeafNamesAreWrittenUnchanged) {
    const std::string long_name = "12 " + std::string(700, 'x') + " -y\t";
    Phylogeny tree("(" + long_name + ":1.5,B:2);");
    EXPECT_EQ(tree.root->left->name, long_name);
    EXPECT_EQ(tree.root->print(), "(" + long_name + ":1.500000,B:2.000000)0.000000:0.000000");
    EXPECT_EQ(tree.root->left->print(), long_name + ":1.500000");
}

TEST(Render, MissingChildrenShowAsNull) {
    Phylogeny_Node left_only;
    left_only.support = 95;
    left_only.length = 0.3;
    left_only.left = make_leaf("A", 0.1, &left_only);
    EXPECT_EQ(left_only.print(), "(A:0.100000,NULL)95.000000:0.300000");

    Phylogeny_Node right_only;
    right_only.right = make_leaf("B", 2, &right_only);
    EXPECT_EQ(right_only.print(), "(NULL,B:2.000000)0.000000:0.000000");

    Phylogeny_Node childless;
    childless.support = -1;
    childless.length = 0.5;
    EXPECT_EQ(childless.print(), "(NULL,NULL)-1.000000:0.500000");

    // A gap deeper down is rendered in place.
    Phylogeny_Node outer;
    outer.left = new Phylogeny_Node();
    outer.left->parent = &outer;
    outer.left->right = make_leaf("C", 1, outer.left);
    outer.right = make_leaf("D", 0, &outer);
    EXPECT_EQ(outer.print(), "((NULL,C:1.000000)0.000000:0.000000,D:0.000000)0.000000:0.000000");
}

TEST(Render, ArgumentDoesNotChangeTheResult) {
    Phylogeny tree("((A:0.1,B:0.2)95:0.3,(C:1,D)7:8);");
    for (const Phylogeny_Node* node : preorder(tree.root)) {
        const std::string plain = node->print();
        EXPECT_EQ(node->print(""), plain);
        EXPECT_EQ(node->print("anything at all, with (parens):1"), plain);
        EXPECT_EQ(node->print(std::string(5000, '%')), plain);
    }
    // Rendering leaves the tree alone.
    EXPECT_EQ(check_links(tree.root), "");
    EXPECT_EQ(tree.root->print(), tree.root->print());
}

TEST(Render, DecimalPointIsAlwaysAPoint) {
    Phylogeny tree("((A:0.25,B:1)9.5:0.75,C);");
    tree_check::CommaDecimalLocale locale;
    if (!locale.active()) GTEST_SKIP() << "no locale with a decimal comma is installed";
    EXPECT_EQ(tree.root->print(),
              "((A:0.250000,B:1.000000)9.500000:0.750000,C:0.000000)0.000000:0.000000");
}

}  // namespace

}  // namespace tavrin
