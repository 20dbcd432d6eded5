// Clade naming: single leaves by their rendered prefix, larger clades by a shared leaf prefix or
// the first group in the list that holds every leaf.
#include <gtest/gtest.h>

#include <string>

#include "analysis/leaf_matching.h"
#include "analysis/steps.h"
#include "contract/tavrin.h"
#include "support/analysis_fixtures.h"

namespace tavrin {

namespace {

using analysis_fixtures::Bare;
using analysis_fixtures::kNestedGroups;
using analysis_fixtures::left_ladder;

std::string name_of(const Bare& bare, const std::string& text) {
    Phylogeny tree(text);
    return bare->print_name_if_same(tree.root);
}

TEST(Naming, NamesWithAndWithoutTheGroupList) {
    struct Row {
        const char* text;
        const char* with_list;
        const char* without_list;
    };
    const Row rows[] = {
        {"Fungi-Sc1:0.1;", "Fungi", "Fungi"},
        {"Fungi-Sc1:-0.5;", "Fungi", "Fungi"},
        {"Sc1:0.1;", "Sc1:0.100000", "Sc1:0.100000"},
        {"Sc1:-0.5;", "Sc1:", "Sc1:"},
        {"Bacteria-Ec1:0.1;", "Bacteria", "Bacteria"},
        {"(Fungi-Sc1:0.1,Fungi-Sp2:0.1);", "Fungi", "Fungi"},
        {"((Fungi-Sc1:0.1,Fungi-Sp2:0.1):0.1,Metazoa-Hs2:0.1);", "Opisthokonta", ""},
        {"(Metazoa-Hs2:0.1,Amoebozoa-Dd1:0.1);", "Amorphea", ""},
        {"(Fungi-Sc1:0.1,Opisthokonta-X1:0.1);", "Opisthokonta", ""},
        {"(Fungi-Sc1:0.1,Bacteria-Ec1:0.1);", "", ""},
        {"(Sc1:0.1,Sc2:0.1);", "", ""},
        {"(Sc1:0.1,Sc1:0.1);", "", ""},
        // The whole subtree must fit: one outsider deep down spoils the group name.
        {"(((Fungi-a,Metazoa-b),(Fungi-c,Fungi-d)),(Metazoa-e,(Fungi-f,Bacteria-g)));", "", ""},
    };
    Bare with_list;
    with_list.load(kNestedGroups);
    Bare without_list;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.text);
        EXPECT_EQ(name_of(with_list, row.text), row.with_list);
        EXPECT_EQ(name_of(without_list, row.text), row.without_list);
    }
    EXPECT_EQ(with_list->print_name_if_same(nullptr), "");
    EXPECT_EQ(without_list->print_name_if_same(nullptr), "");
}

// With a list not written smallest groups first, the leftmost leaf picks the candidates.
TEST(Naming, ChildOrderDecidesWhenTheListIsNotSmallestFirst) {
    Bare bare;
    bare.load("Amorphea Fungi\nOpisthokonta Fungi\nOpisthokonta Metazoa\nAmorphea Metazoa\n");
    EXPECT_EQ(name_of(bare, "(Fungi-Sc1,Metazoa-Hs2);"), "Amorphea");
    EXPECT_EQ(name_of(bare, "(Metazoa-Hs2,Fungi-Sc1);"), "Opisthokonta");
}

TEST(Naming, LeavesBeginningWithHyphenHaveTheEmptyName) {
    Bare bare;
    bare.load(kNestedGroups);
    EXPECT_EQ(name_of(bare, "-x:0.1;"), "");
    EXPECT_EQ(name_of(bare, "(-a,-b);"), "");
    EXPECT_EQ(name_of(bare, "(Fungi-a,-b);"), "");
    EXPECT_EQ(name_of(bare, "(-a,Fungi-b);"), "");
    Phylogeny hyphens("(-a,-b);");
    EXPECT_EQ(bare->whole_tree_by_name(hyphens.root, ""), hyphens.root);
    EXPECT_EQ(bare->whole_tree_by_name(hyphens.root, "Fungi"), nullptr);
}

TEST(Naming, WholeTreeByNameTestsEveryLeaf) {
    Phylogeny mixed("((Fungi-Sc1,Fungi-Sp2),Metazoa-Hs2);");
    Bare with_list;
    with_list.load(kNestedGroups);
    EXPECT_EQ(with_list->whole_tree_by_name(mixed.root, "Opisthokonta"), mixed.root);
    EXPECT_EQ(with_list->whole_tree_by_name(mixed.root, "Amorphea"), mixed.root);
    EXPECT_EQ(with_list->whole_tree_by_name(mixed.root, "Fungi"), nullptr);
    EXPECT_EQ(with_list->whole_tree_by_name(mixed.root, "Metazoa"), nullptr);
    EXPECT_EQ(with_list->whole_tree_by_name(mixed.root->left, "Fungi"), mixed.root->left);

    Bare without_list;
    for (const char* name : {"Opisthokonta", "Amorphea", "Fungi", "Metazoa", ""}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(without_list->whole_tree_by_name(mixed.root, name), nullptr);
    }
    // The group test needs the leaf prefix to equal the name: a shorter prefix does not do.
    EXPECT_EQ(without_list->whole_tree_by_name(mixed.root->left, "Fung"), nullptr);
}

// The group test reads the leaf prefix from the name, not from the rendered text, and never
// treats the name as a pattern.
TEST(Naming, GroupTestUsesTheNameLiterally) {
    Phylogeny leaf("Sc1:0.1;");
    Bare plain;
    EXPECT_EQ(plain->whole_tree_by_name(leaf.root, "Sc1"), leaf.root);
    EXPECT_EQ(plain->whole_tree_by_name(leaf.root, "Sc1:0.100000"), nullptr);

    Phylogeny fungi("(Fungi-a,Fungi-b);");
    Bare regex(true);
    EXPECT_EQ(regex->whole_tree_by_name(fungi.root, "Fung.*"), nullptr);
    EXPECT_EQ(regex->whole_tree_by_name(fungi.root, "Fungi"), fungi.root);
    EXPECT_EQ(regex->print_name_if_same(fungi.root), "Fungi");
}

// A subtree a million levels deep is named without exhausting the stack.
TEST(Naming, DeepSubtreeIsNamed) {
    Bare bare;
    bare.load(kNestedGroups);
    Phylogeny mixed(left_ladder("Fungi-a", "Metazoa-b", "Fungi-", 999998));
    ASSERT_NE(mixed.root, nullptr);
    EXPECT_EQ(bare->print_name_if_same(mixed.root), "Opisthokonta");
    EXPECT_EQ(bare->whole_tree_by_name(mixed.root, "Fungi"), nullptr);
}

// Names found for a set of numbered prefixes are kept per thread: they must follow every change
// of the relations (a load that appends to the same list, a fresh list, none) and of the
// separator, and a kept name must never answer for another first leaf.
TEST(Naming, KeptNamesFollowTheRelationsAndTheSeparator) {
    Phylogeny tree("(((Fungi-a_1,Metazoa-b_2),(Metazoa-c_3,Fungi-d_4)),Bacteria-e_5);");
    ASSERT_NE(tree.root, nullptr);
    const Phylogeny_Node* fungi_first = tree.root->left->left;
    const Phylogeny_Node* metazoa_first = tree.root->left->right;
    auto name = [&](const GroupRelations& groups, const Phylogeny_Node* n, char separator) {
        LeafKeys::of_thread().number(tree, separator);
        return clade_name(groups, n, separator);
    };
    GroupRelations groups;
    EXPECT_EQ(name(groups, fungi_first, '-'), "");
    analysis_fixtures::TempFile metazoa("Opisthokonta Metazoa\nHolozoa Metazoa\n");
    ASSERT_EQ(groups.load(metazoa.path()), GroupRelations::LoadResult::kLoaded);
    EXPECT_EQ(name(groups, fungi_first, '-'), "");
    EXPECT_EQ(name(groups, metazoa_first, '-'), "");
    const GroupRelations before = groups;
    analysis_fixtures::TempFile fungi("Opisthokonta Fungi\n");
    ASSERT_EQ(groups.load(fungi.path()), GroupRelations::LoadResult::kLoaded);
    EXPECT_EQ(name(groups, fungi_first, '-'), "Opisthokonta");
    EXPECT_EQ(name(groups, metazoa_first, '-'), "Opisthokonta");
    EXPECT_EQ(name(before, metazoa_first, '-'), "");
    GroupRelations holozoa;
    analysis_fixtures::TempFile both(
        "Holozoa Metazoa\nOpisthokonta Fungi\nOpisthokonta Metazoa\nHolozoa Fungi\n");
    ASSERT_EQ(holozoa.load(both.path()), GroupRelations::LoadResult::kLoaded);
    EXPECT_EQ(name(holozoa, metazoa_first, '-'), "Holozoa");
    EXPECT_EQ(name(holozoa, fungi_first, '-'), "Opisthokonta");
    // The same leaves cut at '_': each prefix is a whole species name, held by no group.
    EXPECT_EQ(name(holozoa, metazoa_first, '_'), "");
    EXPECT_EQ(name(holozoa, tree.root->left->left->left, '_'), "Fungi-a");
    EXPECT_EQ(name(holozoa, metazoa_first, '-'), "Holozoa");
    EXPECT_EQ(name(groups, tree.root, '-'), "");
}

}  // namespace

}  // namespace tavrin
