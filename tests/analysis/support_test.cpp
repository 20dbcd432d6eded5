// Support reporting: the support of the target's parent, or of its sibling across the root, and
// the "n/a" given when a single sister takes in the whole sibling.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "contract/tavrin.h"
#include "support/analysis_fixtures.h"

namespace tavrin {

namespace {

using analysis_fixtures::analyse;
using analysis_fixtures::kNestedGroups;
using analysis_fixtures::TempFile;
using Names = std::vector<std::string>;

constexpr double kNotApplicable = -1;  // stands for "n/a" in the tables below

struct Row {
    const char* tree;
    double value;  // kNotApplicable for "n/a"
};

void expect_rows(const std::string& groups_path, const std::vector<Row>& rows) {
    for (const Row& row : rows) {
        SCOPED_TRACE(row.tree);
        auto run = analyse(row.tree, "Choano", &groups_path);
        ASSERT_GE(run->sister_count, 1);
        if (row.value == kNotApplicable) {
            EXPECT_TRUE(run->bootstrapIsNull());
        } else {
            EXPECT_FALSE(run->bootstrapIsNull());
            EXPECT_DOUBLE_EQ(run->bootstrap(), row.value);
        }
    }
}

TEST(SupportReporting, ValueOfEveryExampleWithSisters) {
    TempFile groups(kNestedGroups);
    expect_rows(
        groups.path(),
        {
            {"((Choano-a,Choano-b)90,Fungi-f);", kNotApplicable},
            {"((Choano-a,Choano-b)90,(Fungi-f,Metazoa-m)75);", 75},
            {"((Choano-a,Choano-b)90,(Fungi-f,Fungi-g)75);", kNotApplicable},
            {"(((Choano-a,Choano-b)90,Fungi-f)80,Metazoa-m);", 80},
            {"(((Choano-a,Choano-b)90,Fungi-f)80,(Metazoa-m,Metazoa-n)70);", 80},
            {"((((Choano-a,Choano-b)90,Metazoa-m)80,Fungi-f)70,Fungi-g);", 80},
            {"((((Choano-a,Choano-b)90,Metazoa-m)80,Fungi-f)70,Amoebozoa-p);", 80},
            {"(((((Choano-a,Choano-b)90,Metazoa-m)80,Fungi-f)70,Metazoa-n)60,Fungi-g);", 80},
            {"(((((Choano-a,Choano-b)90,Metazoa-m)80,Fungi-f)70,Metazoa-n)60,Amoebozoa-p);", 80},
            {"(((((Choano-a,Choano-b)90,Metazoa-m)80,Fungi-f)70,(Fungi-g,Metazoa-n)55)60,"
             "Metazoa-p);",
             80},
            {"((((((Choano-a,Choano-b)90,Metazoa-m)80,Fungi-f)70,Metazoa-n)60,Amoebozoa-q)50,"
             "Fungi-g);",
             80},
            {"((((Choano-a,Choano-b)90,Fungi-f)60,Fungi-g)70,Fungi-h);", 70},
            {"((((Choano-a,Choano-b)90,Fungi-f)80,Fungi-g)70,Fungi-h);", 80},
            {"((((Choano-a,Choano-b)90,(Fungi-f,Rhodo-r)40)80,Fungi-g)70,Fungi-h);", 80},
            {"(((Choano-a,Choano-b)90,(Fungi-f,Metazoa-m)50)80,Fungi-g);", 80},
        });
}

TEST(SupportReporting, SiblingNotWhollyInTheSisterShowsItsSupport) {
    TempFile groups(kNestedGroups);
    expect_rows(groups.path(),
                {
                    {"((Choano-a,Choano-b)90,((Fungi-f,Rhodo-r)60,Fungi-g)75);", 75},
                    {"((Choano-a,Choano-b)90,(Fungi-g,(Fungi-f,Rhodo-r)60)75);", 75},
                    // A parent without a support value still shows its 0, never "n/a".
                    {"(((Choano-a,Choano-b)90,Fungi-f),Metazoa-m);", 0},
                });
}

// A leaf sibling without '-' is named by its rendered text, which its leaf prefix does not equal,
// unless the group file records the prefix as a member of that text.
TEST(SupportReporting, LeafSiblingWithoutHyphen) {
    const std::string text = "((Choano-a,Choano-b)90,Sc1:0.1);";
    TempFile nested(kNestedGroups);
    auto run = analyse(text, "Choano", &nested.path());
    ASSERT_EQ(run.sisters(), Names{"Sc1:0.100000"});
    EXPECT_FALSE(run->bootstrapIsNull());
    EXPECT_DOUBLE_EQ(run->bootstrap(), 0);

    TempFile member("Sc1:0.100000 Sc1\n");
    auto with_member = analyse(text, "Choano", &member.path());
    ASSERT_EQ(with_member.sisters(), Names{"Sc1:0.100000"});
    EXPECT_TRUE(with_member->bootstrapIsNull());
}

// A fold onto the root makes the target's parent the root: the sibling is then the former uncle.
TEST(SupportReporting, FoldOntoTheRoot) {
    TempFile groups(kNestedGroups);
    auto run = analyse("(((Choano-a,Choano-b)90,Fungi-f)80,Fungi);", "Choano", &groups.path());
    ASSERT_EQ(run.sisters(), Names{"Fungi"});
    EXPECT_EQ(run->target->parent, run.tree->root);
    EXPECT_DOUBLE_EQ(run.tree->root->support, 80);
    EXPECT_TRUE(run->bootstrapIsNull());
}

// After the reroot the target's parent is the new root and its sibling the leaf cut off by it.
TEST(SupportReporting, AfterARerootTheSiblingDecides) {
    TempFile groups(kNestedGroups);
    auto run = analyse("((Choano-a:0.1,Metazoa-m:0.2)60:0.1,(Choano-b:0.1,Choano-c:0.1)85:0.1);",
                       "Choano", &groups.path());
    ASSERT_EQ(run.sisters(), Names{"Metazoa"});
    EXPECT_TRUE(run->bootstrapIsNull());
}

}  // namespace

}  // namespace tavrin
