// The analysis pipeline as a value: each outcome with its target, sisters, support, reroot and
// count of target leaves; the same rows and messages as the Tavrin class gives; the settings the
// driver prepares once (the pattern) and per tree (the group relations).
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "analysis/pipeline.h"
#include "analysis/steps.h"
#include "contract/tavrin.h"
#include "output/report.h"
#include "support/analysis_fixtures.h"

namespace tavrin {

namespace {

using analysis_fixtures::kNestedGroups;
using analysis_fixtures::left_ladder;
using analysis_fixtures::TempFile;
using tavrin::AnalysisResult;
using tavrin::AnalysisSettings;
using tavrin::TreeStatus;
using Names = std::vector<std::string>;

struct Case {
    const char* tree;
    const char* prefix;
    bool use_regex;
    TreeStatus status;
    Names sisters;
    const char* rows;
    std::size_t target_leaves;
    bool rerooted;
};

// Trees of the worked examples, with the nested group list.
const std::vector<Case>& cases() {
    static const std::vector<Case> all = {
        {"((((Choano-a:0.1,Choano-b:0.2)95:0.05,Metazoa-m:0.3)80:0.1,Fungi-f:0.4)70:0.2,"
         "Fungi-g:0.5);",
         "Choano",
         false,
         TreeStatus::kSisters,
         {"Metazoa", "Fungi"},
         "Choano\tMetazoa\t80\nChoano\tFungi\t80\n",
         2,
         false},
        {"((Choano-a:0.1,Metazoa-m:0.2)60:0.1,(Choano-b:0.1,Choano-c:0.1)85:0.1);",
         "Choano",
         false,
         TreeStatus::kSisters,
         {"Metazoa"},
         "Choano\tMetazoa\tn/a\n",
         3,
         true},
        {"((Choano-a,Choano-b)90,(Fungi-f,Metazoa-m)75);",
         "Cho.*",
         true,
         TreeStatus::kSisters,
         {"Fungi", "Metazoa"},
         "Cho.*\tFungi\t75\nCho.*\tMetazoa\t75\n",
         2,
         false},
        {"((((Choano-a,Choano-b)90,Fungi-f)80,Fungi-g)70,Fungi-h);",
         "Choano",
         false,
         TreeStatus::kSisters,
         {"Fungi"},
         "Choano\tFungi\t80\n",
         2,
         false},
        {"(((Choano-a,Choano-b),Fungi-f),Metazoa-m);",
         "Choano",
         false,
         TreeStatus::kSisters,
         {"Fungi", "Metazoa-m"},
         "Choano\tFungi\t0\nChoano\tMetazoa-m\t0\n",
         2,
         false},
        {"((((Choano-a,Choano-b)90,(Fungi-f,Rhodo-r)40)80,Fungi-g)70,Metazoa-h);",
         "Choano",
         false,
         TreeStatus::kUnnamed,
         {},
         "",
         2,
         false},
        {"(((Choano-1,Metazoa-1),Plantae-1),(Choano-2,Choano-3));",
         "Choano",
         false,
         TreeStatus::kNotAClade,
         {},
         "",
         3,
         true},
        {"((Choano-1,Metazoa-1),(Choano-2,Plantae-1));",
         "Choano",
         false,
         TreeStatus::kNotAClade,
         {},
         "",
         2,
         false},
        {"((Fungi-1,Metazoa-1),Plantae-1);",
         "Choano",
         false,
         TreeStatus::kNoTarget,
         {},
         "",
         0,
         false},
        {"((Choano-1,Choano-2),Choano-3);",
         "Choano",
         false,
         TreeStatus::kWholeTree,
         {},
         "",
         3,
         false},
        // Fungi and Metazoa leaves are Opisthokonta leaves through the group list.
        {"((Fungi-1,Metazoa-1),Amoebozoa-1);",
         "Opisthokonta",
         false,
         TreeStatus::kSisters,
         {"Amoebozoa"},
         "Opisthokonta\tAmoebozoa\tn/a\n",
         2,
         false},
    };
    return all;
}

AnalysisSettings settings_for(const Case& c, const std::string& group_file) {
    AnalysisSettings settings;
    settings.prefix = c.prefix;
    settings.use_regex = c.use_regex;
    EXPECT_EQ(settings.groups.load(group_file), GroupRelations::LoadResult::kLoaded);
    return settings;
}

std::string rows_of(const AnalysisResult& result, const std::string& prefix) {
    std::ostringstream out;
    tavrin::write_rows(out, prefix, result.sisters, result.support);
    return out.str();
}

TEST(AnalysisResult, EveryOutcomeWithWhatItCarries) {
    const TempFile groups(kNestedGroups);
    for (const Case& c : cases()) {
        SCOPED_TRACE(c.tree);
        const AnalysisSettings settings = settings_for(c, groups.path());
        Phylogeny tree(c.tree);
        testing::internal::CaptureStderr();
        const AnalysisResult result = tavrin::analyse_tree(tree, settings);
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "");  // it writes nothing
        EXPECT_EQ(result.status, c.status);
        EXPECT_EQ(result.sisters, c.sisters);
        EXPECT_EQ(rows_of(result, c.prefix), c.rows);
        EXPECT_EQ(result.target_leaves, c.target_leaves);
        EXPECT_EQ(result.rerooted, c.rerooted);
        const bool has_target = c.status == TreeStatus::kSisters ||
                                c.status == TreeStatus::kUnnamed ||
                                c.status == TreeStatus::kWholeTree;
        EXPECT_EQ(result.target != nullptr, has_target);
        if (c.status == TreeStatus::kWholeTree) {
            EXPECT_EQ(result.target, tree.root);
        }
        if (c.rerooted && has_target) {
            EXPECT_EQ(result.target, tavrin::root_of(tree).right());
        }
    }
}

// The driver's rows and messages come from the result; the Tavrin class keeps giving the same.
TEST(AnalysisResult, SameRowsAndMessagesAsTheTavrinClass) {
    const TempFile groups(kNestedGroups);
    for (const Case& c : cases()) {
        SCOPED_TRACE(c.tree);
        Phylogeny by_value(c.tree);
        const AnalysisResult result =
            tavrin::analyse_tree(by_value, settings_for(c, groups.path()));
        std::ostringstream message;
        tavrin::write_status_message(message, result.status);

        Phylogeny by_class(c.tree);
        testing::internal::CaptureStderr();
        const Tavrin analysis(&by_class, c.prefix, groups.path(), c.use_regex);
        EXPECT_EQ(testing::internal::GetCapturedStderr(), message.str());
        std::ostringstream rows;
        write_rows(rows, analysis, c.prefix);
        EXPECT_EQ(rows.str(), rows_of(result, c.prefix));
        EXPECT_EQ(analysis.sister_count, static_cast<int32_t>(result.sisters.size()));
        EXPECT_EQ(by_class.root->print(), by_value.root->print());  // same reroot and fold
    }
}

// The pipeline keeps its search state to itself: the Tavrin class's flags neither steer it nor
// change with it, and each tree starts afresh.
TEST(AnalysisResult, SearchStateIsTheAnalysisOwn) {
    AnalysisSettings settings;
    settings.prefix = "Fungi";
    rerooted = true;
    null_in_error = true;
    Phylogeny reroots("((Fungi-1,Metazoa-1),(Fungi-2,Fungi-3));");
    EXPECT_TRUE(tavrin::analyse_tree(reroots, settings).rerooted);
    Phylogeny split("((Fungi-1,Metazoa-1),(Fungi-2,Plantae-1));");
    EXPECT_EQ(tavrin::analyse_tree(split, settings).status, TreeStatus::kNotAClade);
    Phylogeny clade("((Fungi-1,Fungi-2),Metazoa-1);");
    const AnalysisResult result = tavrin::analyse_tree(clade, settings);
    EXPECT_EQ(result.status, TreeStatus::kSisters);
    EXPECT_FALSE(result.rerooted);
    EXPECT_TRUE(rerooted);
    EXPECT_TRUE(null_in_error);
    rerooted = false;
    null_in_error = false;
}

// The steps' order shows in the answer: naming reads the tree only, and the parent fold, which
// runs before the support is read, raises the support of the target's new parent.
TEST(AnalysisResult, ParentFoldRunsBeforeTheSupportIsRead) {
    const char* const text = "((((Choano-a,Choano-b)90,Fungi-f)40,Fungi-g)95,Fungi-h);";
    AnalysisSettings settings;
    settings.prefix = "Choano";

    const Analysis analysis(settings);
    Phylogeny by_steps(text);
    const tavrin::SearchResult search =
        tavrin::search_target(&by_steps, by_steps.root, analysis.target_test());
    ASSERT_NE(search.target, nullptr);
    const std::string before = by_steps.root->print();
    const tavrin::Sisters sisters =
        tavrin::name_sisters(by_steps, search.target, analysis.naming());
    EXPECT_EQ(sisters.names, Names{"Fungi"});
    EXPECT_TRUE(sisters.fold_parent);
    EXPECT_EQ(by_steps.root->print(), before);  // naming changes nothing
    EXPECT_EQ(tavrin::support_value(by_steps, search.target), 40);
    tavrin::fold_parent(by_steps, search.target);
    EXPECT_EQ(tavrin::support_value(by_steps, search.target), 95);

    Phylogeny whole(text);
    const AnalysisResult result = tavrin::analyse_tree(whole, settings);
    EXPECT_EQ(result.sisters, Names{"Fungi"});
    EXPECT_EQ(result.support.value, 95);
    EXPECT_EQ(whole.root->print(), by_steps.root->print());
}

TEST(AnalysisSettings, PatternCompiledOnceAndGroupsKeptWhenAReloadFails) {
    AnalysisSettings settings;
    settings.prefix = "(";
    settings.use_regex = true;
    EXPECT_NE(Analysis(settings).pattern_error(), "");
    settings.prefix = "Fung(?=i)";
    EXPECT_EQ(Analysis(settings).pattern_error(), "");

    const TempFile groups(kNestedGroups);
    ASSERT_EQ(settings.groups.load(groups.path()), GroupRelations::LoadResult::kLoaded);
    EXPECT_EQ(settings.groups.size(), 6u);
    EXPECT_EQ(settings.groups.load(groups.path() + ".absent"),
              GroupRelations::LoadResult::kUnreadable);
    EXPECT_EQ(settings.groups.size(), 6u);

    Phylogeny tree("((Fungi-1,Fungi-2),(Metazoa-1,Amoebozoa-1));");
    const AnalysisResult result = tavrin::analyse_tree(tree, settings);
    EXPECT_EQ(result.sisters, (Names{"Metazoa", "Amoebozoa"}));
}

// The parent fold is read, not made: the driver's analysis leaves every leaf in the tree and reads
// the grandparent's support as the fold would raise it; the in-place analysis folds.
TEST(AnalysisResult, ParentFoldReadWithoutCuttingTheTree) {
    AnalysisSettings settings;
    settings.prefix = "Choano";
    const std::string text = "((((Choano-a,Choano-b)90,Fungi-f)80,Fungi-g)70,Fungi-h);";
    auto tree = std::make_unique<Phylogeny>(text);
    const std::string before = tree->root->print();
    const AnalysisResult read = tavrin::analyse(*tree, settings);
    EXPECT_TRUE(read.folded);
    EXPECT_EQ(read.sisters, (Names{"Fungi"}));
    EXPECT_EQ(read.support.value, 80);
    EXPECT_TRUE(read.support.applies);
    EXPECT_EQ(tree->root->print(), before);
    ASSERT_NE(read.support_node, nullptr);
    EXPECT_EQ(read.support_node, read.target.parent().parent());

    Phylogeny in_place(text);
    const AnalysisResult folded = tavrin::analyse_tree(in_place, settings);
    EXPECT_EQ(folded.support.value, 80);
    EXPECT_EQ(folded.target.parent().support(), 80);
    EXPECT_NE(in_place.root->print(), before);

    // Across the root after the fold (an uncle leaf whose whole name is the sister's): the
    // uncle's support, "n/a" since it is wholly the sister.
    auto across = std::make_unique<Phylogeny>("(((Choano-a,Choano-b)90,Fungi-f)80,Fungi);");
    const AnalysisResult root_side = tavrin::analyse(*across, settings);
    EXPECT_TRUE(root_side.folded);
    EXPECT_FALSE(root_side.support.applies);
    EXPECT_EQ(root_side.support_node,
              tavrin::root_of(*across).other_child(root_side.target.parent()));
}

// A million-deep ladder is counted, searched and named without deep recursion.
TEST(AnalysisResult, MillionDeepLadder) {
    AnalysisSettings settings;
    settings.prefix = "Choano";
    Phylogeny tree(left_ladder("Choano-a", "Choano-b", "Fungi-", 999998));
    const AnalysisResult result = tavrin::analyse_tree(tree, settings);
    EXPECT_EQ(result.status, TreeStatus::kSisters);
    EXPECT_EQ(result.sisters, Names{"Fungi"});
    EXPECT_EQ(result.target_leaves, 2u);
    EXPECT_FALSE(result.rerooted);
}

}  // namespace

}  // namespace tavrin
