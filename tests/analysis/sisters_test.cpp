// Sister collection: the sibling across the root, the uncle, the upward walk that merges the
// clades off the path through the group relations, its step limit, and the parent fold.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "analysis/group_relations.h"
#include "analysis/steps.h"
#include "contract/tavrin.h"
#include "support/analysis_fixtures.h"
#include "support/tree_check.h"

namespace tavrin {

namespace {

using analysis_fixtures::analyse;
using analysis_fixtures::AnalysisRun;
using analysis_fixtures::kNestedGroups;
using analysis_fixtures::TempFile;
using Names = std::vector<std::string>;

struct Example {
    const char* tree;
    Names sisters;
};

class SisterCollection : public testing::Test {
protected:
    AnalysisRun collect(const std::string& text) {
        auto result = analyse(text, "Choano", &groups_.path());
        EXPECT_EQ(result.err, "");
        EXPECT_EQ(result->sister_count, static_cast<int32_t>(result->sisters.size()));
        return result;
    }
    void expect_all(const std::vector<Example>& examples) {
        for (const Example& example : examples) {
            SCOPED_TRACE(example.tree);
            EXPECT_EQ(collect(example.tree).sisters(), example.sisters);
        }
    }

    TempFile groups_{kNestedGroups};
};

TEST_F(SisterCollection, SiblingAcrossTheRootIsSplitInItsHalves) {
    expect_all({
        {"((Choano-a,Choano-b)90,Fungi-f);", {"Fungi"}},
        {"((Choano-a,Choano-b)90,(Fungi-f,Metazoa-m)75);", {"Fungi", "Metazoa"}},
        {"((Choano-a,Choano-b)90,(Fungi-f,Fungi-g)75);", {"Fungi"}},
        // One half unnamed: the other is the only sister, whichever side it stands on.
        {"((Choano-a,Choano-b)90,((Fungi-f,Rhodo-r)60,Metazoa-m)75);", {"Metazoa"}},
        {"((Choano-a,Choano-b)90,(Metazoa-m,(Fungi-f,Rhodo-r)60)75);", {"Metazoa"}},
        {"((Choano-a,Choano-b)90,((Fungi-f,Rhodo-r),(Fungi-g,Rhodo-s))75);", {}},
    });
}

TEST_F(SisterCollection, EqualHalvesAcrossTheRootLeaveTheTreeAlone) {
    auto result = collect("((Choano-a,Choano-b)90,(Fungi-f,Fungi-g)75);");
    EXPECT_EQ(tree_check::shape(result.tree->root), "((Choano-a,Choano-b),(Fungi-f,Fungi-g))");
    EXPECT_EQ(result->target->parent, result.tree->root);
}

TEST_F(SisterCollection, UncleBelowTheRootGivesItsStoredName) {
    expect_all({
        {"(((Choano-a,Choano-b)90,Fungi-f)80,Metazoa-m);", {"Fungi", "Metazoa-m"}},
        {"(((Choano-a,Choano-b)90,Fungi-f)80,(Metazoa-m,Metazoa-n)70);", {"Fungi"}},
        {"(((Choano-a,Choano-b)90,(Fungi-f,Metazoa-m)50)80,Fungi-g);", {"Opisthokonta", "Fungi-g"}},
    });
}

TEST_F(SisterCollection, UpwardWalkMergesThroughTheGroups) {
    expect_all({
        {"((((Choano-a,Choano-b)90,Metazoa-m)80,Fungi-f)70,Fungi-g);", {"Metazoa", "Fungi"}},
        {"((((Choano-a,Choano-b)90,Metazoa-m)80,Fungi-f)70,Amoebozoa-p);", {"Metazoa"}},
        {"(((((Choano-a,Choano-b)90,Metazoa-m)80,Fungi-f)70,Metazoa-n)60,Fungi-g);",
         {"Metazoa", "Opisthokonta"}},
        {"(((((Choano-a,Choano-b)90,Metazoa-m)80,Fungi-f)70,Metazoa-n)60,Amoebozoa-p);",
         {"Metazoa"}},
        {"(((((Choano-a,Choano-b)90,Metazoa-m)80,Fungi-f)70,(Fungi-g,Metazoa-n)55)60,Metazoa-p);",
         {"Metazoa", "Opisthokonta"}},
        // Below the top the walk falls back on the common group; the root's other child cannot.
        {"((((((Choano-a,Choano-b)90,Metazoa-m)80,Fungi-f)70,Metazoa-n)60,Amoebozoa-q)50,Fungi-g);",
         {"Metazoa", "Amorphea"}},
    });
}

TEST_F(SisterCollection, UnnamedSiblingGivesWayToTheRemainder) {
    expect_all({
        {"((((Choano-a,Choano-b)90,(Fungi-f,Rhodo-r)40)80,Fungi-g)70,Fungi-h);", {"Fungi"}},
        {"((((Choano-a,Choano-b)90,(Fungi-f,Rhodo-r)40)80,Fungi-g)70,Metazoa-h);", {}},
    });
}

// Equal sisters fold the target's parent away: the target hangs from its former grandparent,
// which keeps the larger of the two supports.
TEST_F(SisterCollection, EqualSistersFoldTheParent) {
    struct Fold {
        const char* tree;
        double grandparent_support;
    };
    for (const Fold& fold :
         {Fold{"((((Choano-a,Choano-b)90,Fungi-f)60,Fungi-g)70,Fungi-h);", 70},
          Fold{"((((Choano-a,Choano-b)90,Fungi-f)80,Fungi-g)70,Fungi-h);", 80}}) {
        SCOPED_TRACE(fold.tree);
        Phylogeny tree(fold.tree);
        Phylogeny_Node* g = tree.root->left;
        Phylogeny_Node* p = g->left;
        Phylogeny_Node* t = p->left;
        testing::internal::CaptureStderr();
        Tavrin tavrin(&tree, "Choano", groups_.path(), false);
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
        EXPECT_EQ(tavrin.sisters, Names{"Fungi"});
        EXPECT_EQ(tavrin.target, t);
        EXPECT_EQ(t->parent, g);
        EXPECT_EQ(g->left, t);
        EXPECT_DOUBLE_EQ(g->support, fold.grandparent_support);
        EXPECT_EQ(tree_check::shape(tree.root), "(((Choano-a,Choano-b),Fungi-g),Fungi-h)");
        EXPECT_EQ(tree_check::check_links(tree.root), "");
    }
}

// Two empty names count as equal: the fold happens even though nothing is published.
TEST_F(SisterCollection, NoNameAtAllStillFolds) {
    Phylogeny tree("((((Choano-a,Choano-b)90,(Fungi-f,Rhodo-r)40)80,Fungi-g)70,Metazoa-h);");
    Phylogeny_Node* g = tree.root->left;
    Phylogeny_Node* t = g->left->left;
    testing::internal::CaptureStderr();
    Tavrin tavrin(&tree, "Choano", groups_.path(), false);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(tavrin.sister_count, 0);
    EXPECT_TRUE(tavrin.sisters.empty());
    EXPECT_EQ(t->parent, g);
    EXPECT_DOUBLE_EQ(g->support, 80);
    EXPECT_EQ(tree_check::shape(tree.root), "(((Choano-a,Choano-b),Fungi-g),Metazoa-h)");
}

// The clades examined for each sister are kept, named or not: the sibling no name fits stays
// examined second when the walk's name takes its place; two unnamed sides stay apart; equal
// names put every clade examined in the first.
TEST_F(SisterCollection, CladesExaminedAreKeptWhenNoNameFits) {
    GroupRelations groups;
    ASSERT_EQ(groups.load(groups_.path()), GroupRelations::LoadResult::kLoaded);
    using Clades = std::vector<NodeRef>;
    const auto examine = [&groups](const Phylogeny& tree) {
        return name_sisters(tree, tree.root->left->left->left, NamingRule{groups, '-'});
    };
    Phylogeny named("((((Choano-a,Choano-b)90,(Fungi-f,Rhodo-r)40)80,Fungi-g)70,Fungi-h);");
    const Sisters one = examine(named);
    EXPECT_EQ(one.names, Names{"Fungi"});
    EXPECT_EQ(one.clades[0], (Clades{named.root->left->right, named.root->right}));
    EXPECT_EQ(one.clades[1], Clades{named.root->left->left->right});

    Phylogeny unnamed("((((Choano-a,Choano-b)90,(Fungi-f,Rhodo-r)40)80,Fungi-g)70,Metazoa-h);");
    const Sisters none = examine(unnamed);
    EXPECT_TRUE(none.names.empty());
    EXPECT_TRUE(none.fold_parent);
    EXPECT_EQ(none.clades[0], Clades{unnamed.root->left->left->right});
    EXPECT_EQ(none.clades[1], (Clades{unnamed.root->left->right, unnamed.root->right}));

    Phylogeny equal("((((Choano-a,Choano-b)90,Fungi-f)60,Fungi-g)70,Fungi-h);");
    const Sisters folded = examine(equal);
    EXPECT_EQ(folded.names, Names{"Fungi"});
    EXPECT_EQ(folded.clades[0],
              (Clades{equal.root->left->left->right, equal.root->left->right, equal.root->right}));
    EXPECT_TRUE(folded.clades[1].empty());
}

// A target k levels deep whose sibling is a Metazoa leaf, with Fungi leaves further up and an
// Amoebozoa leaf as the root's other child.
std::string ladder_with_depth(int k) {
    std::string text = "((Choano-a,Choano-b)90,Metazoa-m)";
    for (int j = 2; j < k; ++j)
        text = "(" + text + ",Fungi-f" + std::to_string(j) + ")";
    return "(" + text + ",Amoebozoa-p);";
}

// The walk takes at most eleven steps: down to depth 14 the root's other child is merged and
// clears the Fungi name; from depth 15 on it is never reached.
TEST_F(SisterCollection, WalkStopsAfterElevenSteps) {
    for (int k = 3; k <= 20; ++k) {
        SCOPED_TRACE("depth " + std::to_string(k));
        auto result = collect(ladder_with_depth(k));
        ASSERT_NE(result->target, nullptr);
        ASSERT_NE(result->target->parent, nullptr);
        EXPECT_NE(result->target->parent->parent, nullptr);
        const Names expected = k <= 14 ? Names{"Metazoa"} : Names{"Metazoa", "Fungi"};
        EXPECT_EQ(result.sisters(), expected);
    }
}

// An emptied second sister ends the walk at once. A final unpaired token in the group file records
// the empty name as a member of Fungi, which would bring Fungi back if the walk went on; only the
// root step, when the emptying happens just below it, still applies.
TEST(SisterWalk, EmptiedSecondSisterEndsTheWalk) {
    TempFile odd(std::string(kNestedGroups) + "Fungi\n");
    const std::string stops_below_top =
        "((((((Choano-a,Choano-b)90,Metazoa-m)80,Fungi-f)70,Rhodo-r)60,Fungi-g)50,Fungi-h);";
    const std::string stops_at_top =
        "(((((Choano-a,Choano-b)90,Metazoa-m)80,Fungi-f)70,Rhodo-r)60,Fungi-h);";
    TempFile nested(kNestedGroups);
    EXPECT_EQ(analyse(stops_below_top, "Choano", &odd.path()).sisters(), Names{"Metazoa"});
    EXPECT_EQ(analyse(stops_at_top, "Choano", &odd.path()).sisters(), (Names{"Metazoa", "Fungi"}));
    EXPECT_EQ(analyse(stops_at_top, "Choano", &nested.path()).sisters(), Names{"Metazoa"});
}

}  // namespace

}  // namespace tavrin
