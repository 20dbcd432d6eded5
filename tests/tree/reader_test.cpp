// Reading Newick text into a tree: fields per node, the dialect's odd corners, the malformed-file
// message and how numbers are read.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "support/tree_check.h"
#include "tree/phylogeny.h"

namespace tavrin {

namespace {

using tree_check::check_links;
using tree_check::shape;

// Compares the fields the reader sets on one node.
testing::AssertionResult fields_are(const Phylogeny_Node* node, bool is_leaf,
                                    const std::string& name, double support, double length) {
    if (node == nullptr) return testing::AssertionFailure() << "node is absent";
    if (node->is_leaf != is_leaf || node->name != name || node->support != support ||
        node->length != length) {
        return testing::AssertionFailure()
               << "got is_leaf=" << node->is_leaf << " name='" << node->name
               << "' support=" << node->support << " length=" << node->length
               << ", want is_leaf=" << is_leaf << " name='" << name << "' support=" << support
               << " length=" << length;
    }
    if (node->label != 0 || node->changes != nullptr) {
        return testing::AssertionFailure() << "label or change counts set by the reader";
    }
    return testing::AssertionSuccess();
}

testing::AssertionResult leaf_is(const Phylogeny_Node* node, const std::string& name,
                                 double length) {
    return fields_are(node, true, name, 0, length);
}

testing::AssertionResult internal_is(const Phylogeny_Node* node, double support, double length) {
    return fields_are(node, false, "", support, length);
}

// Reads `text` and returns what went to standard error.
std::string stderr_of_reading(const std::string& text, bool* has_root) {
    testing::internal::CaptureStderr();
    Phylogeny tree(text);
    std::string err = testing::internal::GetCapturedStderr();
    *has_root = tree.root != nullptr;
    return err;
}

const char kMalformed[] = "Malformed Newik Format file, the last character should be a ';', it's '";

TEST(Reader, SupportAndLengthsOnEveryNode) {
    Phylogeny tree("((A:0.1,B:0.2)95:0.3,C:0.4);");
    ASSERT_EQ(check_links(tree.root), "");
    EXPECT_EQ(shape(tree.root), "((A,B),C)");
    EXPECT_TRUE(internal_is(tree.root, 0, 0));
    EXPECT_TRUE(internal_is(tree.root->left, 95, 0.3));
    EXPECT_TRUE(leaf_is(tree.root->left->left, "A", 0.1));
    EXPECT_TRUE(leaf_is(tree.root->left->right, "B", 0.2));
    EXPECT_TRUE(leaf_is(tree.root->right, "C", 0.4));
}

TEST(Reader, MultifurcationNestsOnTheLeft) {
    Phylogeny tree("(A:1,B:2,C:3,D:4);");
    ASSERT_EQ(check_links(tree.root), "");
    EXPECT_EQ(shape(tree.root), "(((A,B),C),D)");
    EXPECT_TRUE(internal_is(tree.root, 0, 0));
    EXPECT_TRUE(internal_is(tree.root->left, 0, 0));
    EXPECT_TRUE(internal_is(tree.root->left->left, 0, 0));
    EXPECT_TRUE(leaf_is(tree.root->left->left->left, "A", 1));
    EXPECT_TRUE(leaf_is(tree.root->left->left->right, "B", 2));
    EXPECT_TRUE(leaf_is(tree.root->left->right, "C", 3));
    EXPECT_TRUE(leaf_is(tree.root->right, "D", 4));

    // A multifurcation reads like its left-nested form, not like the right-nested one.
    EXPECT_EQ(shape(Phylogeny("(A,B,C);").root), shape(Phylogeny("((A,B),C);").root));
    EXPECT_NE(shape(Phylogeny("(A,B,C);").root), shape(Phylogeny("(A,(B,C));").root));
}

TEST(Reader, InternalTailWithoutColonGivesSupportAndLengthTheSameValue) {
    Phylogeny tree("((A,B)80,C);");
    ASSERT_EQ(check_links(tree.root), "");
    EXPECT_TRUE(internal_is(tree.root->left, 80, 80));
    EXPECT_TRUE(leaf_is(tree.root->left->left, "A", 0));
    EXPECT_TRUE(leaf_is(tree.root->left->right, "B", 0));
    EXPECT_TRUE(leaf_is(tree.root->right, "C", 0));
}

TEST(Reader, InternalTailForms) {
    Phylogeny length_only("((A,B):0.5,C);");
    EXPECT_TRUE(internal_is(length_only.root->left, 0, 0.5));

    Phylogeny on_root("(A,(B,C)90:0.2)100:0;");
    EXPECT_TRUE(internal_is(on_root.root, 100, 0));
    EXPECT_TRUE(internal_is(on_root.root->right, 90, 0.2));

    // An internal node name sits where the support goes; it reads as 0 and is not kept.
    Phylogeny named("((A,B)clade:0.5,C);");
    EXPECT_TRUE(internal_is(named.root->left, 0, 0.5));

    // The tail splits at its last ':'.
    Phylogeny colons("((A,B)x:1:2,C);");
    EXPECT_TRUE(internal_is(colons.root->left, 0, 2));
    Phylogeny numbers("((A,B)7:1:2,C);");
    EXPECT_TRUE(internal_is(numbers.root->left, 7, 2));

    // Text in front of the first '(' of a node is dropped.
    Phylogeny prefixed("(x(A,B),C);");
    ASSERT_EQ(check_links(prefixed.root), "");
    EXPECT_EQ(shape(prefixed.root), "((A,B),C)");
    EXPECT_TRUE(internal_is(prefixed.root->left, 0, 0));
}

TEST(Reader, RedundantParenthesesLeaveOneParenthesisInEachName) {
    Phylogeny tree("((A,B));");
    ASSERT_EQ(check_links(tree.root), "");
    EXPECT_TRUE(internal_is(tree.root, 0, 0));
    EXPECT_TRUE(leaf_is(tree.root->left, "(A", 0));
    EXPECT_TRUE(leaf_is(tree.root->right, "B)", 0));
}

TEST(Reader, TextWithoutCommaIsASingleLeaf) {
    Phylogeny plain("A:0.5;");
    ASSERT_EQ(check_links(plain.root), "");
    EXPECT_TRUE(leaf_is(plain.root, "A", 0.5));

    Phylogeny wrapped("(A:1);");
    ASSERT_EQ(check_links(wrapped.root), "");
    EXPECT_TRUE(leaf_is(wrapped.root, "(A", 1));

    Phylogeny bare(";");
    ASSERT_EQ(check_links(bare.root), "");
    EXPECT_TRUE(leaf_is(bare.root, "", 0));
}

TEST(Reader, TopLevelCommaGivesAnUnwrappedRoot) {
    Phylogeny tree("A:1,B:2;");
    ASSERT_EQ(check_links(tree.root), "");
    EXPECT_TRUE(internal_is(tree.root, 0, 0));
    EXPECT_TRUE(leaf_is(tree.root->left, "A", 1));
    EXPECT_TRUE(leaf_is(tree.root->right, "B", 2));
}

TEST(Reader, LeafNamesKeepEveryCharacterButTheStructuralOnes) {
    Phylogeny blank("(A, B);");
    EXPECT_TRUE(leaf_is(blank.root->left, "A", 0));
    EXPECT_TRUE(leaf_is(blank.root->right, " B", 0));

    // Blanks after ':' are skipped by the number reading only.
    Phylogeny spaced("(A : 2,B);");
    EXPECT_TRUE(leaf_is(spaced.root->left, "A ", 2));

    // A name ends at its first ':'; the rest does not begin with a number.
    Phylogeny colon("(A:x:0.5,B:2);");
    EXPECT_TRUE(leaf_is(colon.root->left, "A", 0));
    EXPECT_TRUE(leaf_is(colon.root->right, "B", 2));

    // Only the last character is the terminator.
    Phylogeny semicolon("(A;B,C);");
    EXPECT_TRUE(leaf_is(semicolon.root->left, "A;B", 0));

    Phylogeny empty_left("(,B);");
    ASSERT_EQ(check_links(empty_left.root), "");
    EXPECT_TRUE(leaf_is(empty_left.root->left, "", 0));
    EXPECT_TRUE(leaf_is(empty_left.root->right, "B", 0));
    Phylogeny empty_right("(A,);");
    EXPECT_TRUE(leaf_is(empty_right.root->right, "", 0));
}

TEST(Reader, LeafNameWithoutColonReadsItsLeadingNumberAsLength) {
    Phylogeny tree("(12,B);");
    EXPECT_TRUE(leaf_is(tree.root->left, "12", 12));
    EXPECT_TRUE(leaf_is(tree.root->right, "B", 0));

    Phylogeny mixed("(3.5e1abc,Homo);");
    EXPECT_TRUE(leaf_is(mixed.root->left, "3.5e1abc", 35));
    EXPECT_TRUE(leaf_is(mixed.root->right, "Homo", 0));
}

TEST(Reader, UnbalancedTextStillGivesATree) {
    Phylogeny open("(A,B;");
    ASSERT_EQ(check_links(open.root), "");
    EXPECT_TRUE(internal_is(open.root, 0, 0));
    EXPECT_TRUE(leaf_is(open.root->left, "A", 0));
    EXPECT_TRUE(leaf_is(open.root->right, "B", 0));

    Phylogeny closed("A,B);");
    ASSERT_EQ(check_links(closed.root), "");
    EXPECT_TRUE(leaf_is(closed.root->left, "A", 0));
    EXPECT_TRUE(leaf_is(closed.root->right, "B)", 0));

    Phylogeny stray("((A,B)),(C;");
    EXPECT_EQ(check_links(stray.root), "");
}

TEST(Reader, NodeTextConstructorLinksTheGivenParent) {
    Phylogeny_Node holder;
    Phylogeny_Node* node = new Phylogeny_Node("(A:1,B:2)5:3", &holder);
    holder.left = node;
    EXPECT_EQ(node->parent, &holder);
    EXPECT_TRUE(internal_is(node, 5, 3));
    EXPECT_EQ(node->left->parent, node);
    EXPECT_EQ(node->right->parent, node);

    Phylogeny_Node fresh;
    EXPECT_TRUE(internal_is(&fresh, 0, 0));
    EXPECT_EQ(fresh.left, nullptr);
    EXPECT_EQ(fresh.right, nullptr);
    EXPECT_EQ(fresh.parent, nullptr);
    EXPECT_EQ(Phylogeny().root, nullptr);
}

TEST(ReaderMalformed, MessageShowsTheLastCharacter) {
    bool has_root = true;
    EXPECT_EQ(stderr_of_reading("(A,B)x", &has_root), std::string(kMalformed) + "x'\n");
    EXPECT_FALSE(has_root);

    // Carriage-return line ends and trailing blanks hide the ';'.
    EXPECT_EQ(stderr_of_reading("(A,B);\r", &has_root), std::string(kMalformed) + "\r'\n");
    EXPECT_FALSE(has_root);
    EXPECT_EQ(stderr_of_reading("(A,B); ", &has_root), std::string(kMalformed) + " '\n");
    EXPECT_FALSE(has_root);

    EXPECT_EQ(stderr_of_reading("", &has_root), std::string(kMalformed) + "'\n");
    EXPECT_FALSE(has_root);
}

TEST(ReaderMalformed, WellFormedTextWritesNothing) {
    bool has_root = false;
    EXPECT_EQ(stderr_of_reading("((A,B),C);", &has_root), "");
    EXPECT_TRUE(has_root);
    EXPECT_EQ(stderr_of_reading(";", &has_root), "");
    EXPECT_TRUE(has_root);
}

struct NumberCase {
    const char* text;
    double value;
};

TEST(ReaderNumbers, ReadAsTheLongestLeadingNumber) {
    const std::vector<NumberCase> cases = {
        {" 1.5e2", 150}, {"\t7", 7},     {"-3", -3}, {"+2.5", 2.5}, {".5", 0.5},
        {"-.5", -0.5},   {"2E-2", 0.02}, {"1e", 1},  {"1e+", 1},    {"1.5.3", 1.5},
        {"5abc", 5},     {"1:2", 1},     {"abc", 0}, {"", 0},       {"- 3", 0},
        {"e5", 0},       {"007", 7},     {"1.", 1},  {".", 0},      {"1e2.5", 100},
    };
    for (const NumberCase& c : cases) {
        SCOPED_TRACE(std::string("length text '") + c.text + "'");
        Phylogeny tree(std::string("A:") + c.text + ";");
        ASSERT_NE(tree.root, nullptr);
        EXPECT_DOUBLE_EQ(tree.root->length, c.value);
        EXPECT_EQ(tree.root->name, "A");
    }
}

// A number is a sign, digits with one optional point and an optional exponent, nothing more: the
// words and hexadecimal forms that strtod also takes would turn names such as "Nanoarchaeum" or
// "Infernus" into NaN or infinite lengths.
TEST(ReaderNumbers, OnlyDecimalNumbersAreRead) {
    const std::vector<NumberCase> cases = {
        {"inf", 0},    {"-INF", 0}, {"infinity", 0}, {"nan", 0},
        {"NaN(1)", 0}, {"0x1A", 0}, {"0x1p3", 0},    {"1e5x", 100000},
    };
    for (const NumberCase& c : cases) {
        SCOPED_TRACE(std::string("length text '") + c.text + "'");
        Phylogeny tree(std::string("A:") + c.text + ";");
        ASSERT_NE(tree.root, nullptr);
        EXPECT_EQ(tree.root->length, c.value);
    }
    Phylogeny names("(Nanoarchaeum,Infernus);");
    EXPECT_TRUE(leaf_is(names.root->left, "Nanoarchaeum", 0));
    EXPECT_TRUE(leaf_is(names.root->right, "Infernus", 0));
    Phylogeny tail("((A,B)nan:inf,C);");
    EXPECT_TRUE(internal_is(tail.root->left, 0, 0));
}

TEST(ReaderNumbers, DecimalPointIsAlwaysAPoint) {
    tree_check::CommaDecimalLocale locale;
    if (!locale.active()) GTEST_SKIP() << "no locale with a decimal comma is installed";
    Phylogeny tree("((A:0.25,B:1)9.5:0.75,C);");
    EXPECT_DOUBLE_EQ(tree.root->left->length, 0.75);
    EXPECT_DOUBLE_EQ(tree.root->left->support, 9.5);
    EXPECT_DOUBLE_EQ(tree.root->left->left->length, 0.25);
    // Numbers out of double's range take another path, which must not follow the locale
    // either: 1.5e400 is infinity, not 1 (a reading that stops at the '.').
    Phylogeny far("((A:1.5e400,B:2.5e-400)1.8e308:4.9e-324,C);");
    EXPECT_EQ(far.root->left->left->length, HUGE_VAL);
    EXPECT_EQ(far.root->left->right->length, 0.0);
    EXPECT_EQ(far.root->left->support, HUGE_VAL);
    EXPECT_EQ(far.root->left->length, 4.9e-324);
}

}  // namespace

}  // namespace tavrin
