// Analysing a tree without the leaves that break its target clade: the removal seen through the
// answer, the tree as read behind the outliers of a rerooted tree, and random gene trees on which
// a bound of 0 and the table leave every answer as the plain analysis gives it.
#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "analysis/outliers.h"
#include "analysis/pipeline.h"
#include "output/report.h"
#include "output/table_format.h"
#include "support/analysis_fixtures.h"
#include "support/tree_check.h"
#include "tree/phylogeny.h"
#include "tree/tree_reader.h"

namespace tavrin {

namespace {

using tavrin::AnalysisNeeds;
using tavrin::AnalysisResult;
using tavrin::AnalysisSettings;
using tavrin::TreeStatus;
using Names = std::vector<std::string>;

AnalysisSettings settings_for(const std::string& prefix) {
    AnalysisSettings settings;
    settings.prefix = prefix;
    return settings;
}

// A tree with the answer of the analysis that sets outliers aside.
struct TreeRun {
    std::unique_ptr<Phylogeny> tree;
    AnalysisResult result;
};

TreeRun with_outliers(const std::string& text, const AnalysisSettings& settings,
                      std::size_t bound) {
    TreeRun run;
    tavrin::TreeReader reader(text);
    run.tree = std::move(reader.next()->tree);
    run.result = analysis_fixtures::analyse_with_outliers(run.tree, settings, bound);
    return run;
}

AnalysisResult plain(const std::string& text, const AnalysisSettings& settings) {
    Phylogeny tree(text);
    return tavrin::analyse_tree(tree, settings);
}

// The report's rows, or its message when there are none.
std::string report_of(const AnalysisResult& result, const std::string& prefix) {
    std::ostringstream out;
    tavrin::write_status_message(out, result.status);
    tavrin::write_rows(out, prefix, result.sisters, result.support);
    return out.str();
}

void expect_same_answer(const AnalysisResult& actual, const AnalysisResult& expected,
                        const std::string& context) {
    EXPECT_EQ(actual.status, expected.status) << context;
    EXPECT_EQ(actual.sisters, expected.sisters) << context;
    EXPECT_EQ(actual.rerooted, expected.rerooted) << context;
    EXPECT_EQ(report_of(actual, "F"), report_of(expected, "F")) << context;
}

TEST(SettingAside, SiblingKeepsItsSupportAndTakesTheParentsLength) {
    // Both children of the root hold target and other leaves: no reroot is tried. M-1 and F-3
    // each break the clade; setting M-1 aside removes no target leaf, so it is the one.
    const std::string text = "(((F-1:1,F-2:1)90:1,M-1:1)40:2,(F-3:1,(M-2:1,M-3:1)60:1)70:1);";
    const AnalysisSettings settings = settings_for("F");
    TreeRun run = with_outliers(text, settings, 1);
    EXPECT_FALSE(plain(text, settings).rerooted);

    EXPECT_TRUE(run.result.set_aside);
    EXPECT_EQ(run.result.outliers.count, std::optional<std::size_t>(1));
    EXPECT_EQ(run.result.outliers.names, Names{"M-1"});
    EXPECT_EQ(run.result.target_leaves, 3u);
    expect_same_answer(run.result,
                       plain("((F-1:1,F-2:1)90:3,(F-3:1,(M-2:1,M-3:1)60:1)70:1);", settings),
                       "reduced by hand");

    // The removal as such: the sibling of the removed leaf keeps 90 and adds 2 to its length.
    Phylogeny tree(text);
    NodeRef sibling = tavrin::root_of(tree).left().left();
    const OutlierSet set =
        find_outliers(tree, [](NodeRef leaf) { return leaf.name().rfind("F-", 0) == 0; });
    ASSERT_EQ(set.leaves.size(), 1u);
    tavrin::analyse_tree(tree, settings);  // the analysis that found no clade changes nothing
    set_aside(tree, set.leaves);
    EXPECT_EQ(tavrin::root_of(tree).left(), sibling);
    EXPECT_EQ(sibling.support(), 90);
    EXPECT_EQ(sibling.length(), 3);
}

// For a picture, each leaf set aside comes with where it stood in the tree analysed, named by
// nodes that every later rooting keeps; also when no entry of the root list roots the tree left.
TEST(SettingAside, PictureLearnsWhereEachLeafStood) {
    AnalysisSettings settings = settings_for("F");
    settings.max_outliers = 1;
    AnalysisNeeds picture;
    picture.picture = true;
    const std::string text = "(((F-1:1,F-2:1)90:1,M-1:1)40:2,(F-3:1,(M-2:1,M-3:1)60:1)70:1);";
    auto tree = std::make_unique<Phylogeny>(text);
    const auto node_above = [](const Phylogeny& in, const std::string& name) {
        for (NodeRef n : tree_check::preorder(in.root)) {
            if (n.name() == name) return n.parent();
        }
        return static_cast<NodeRef>(nullptr);
    };
    NodeRef clade = node_above(*tree, "F-1");
    NodeRef across = node_above(*tree, "F-3");
    const AnalysisResult result = tavrin::analyse(*tree, settings, picture);
    ASSERT_TRUE(result.set_aside);
    ASSERT_EQ(result.aside.size(), 1u);
    EXPECT_EQ(result.aside[0].leaf.name(), "M-1");
    // 1 up the branch of (F-1,F-2), which now runs through the root to the other side.
    EXPECT_EQ(result.aside[0].below, clade);
    EXPECT_EQ(result.aside[0].above, across);
    EXPECT_DOUBLE_EQ(result.aside[0].distance, 1);

    auto plain_tree = std::make_unique<Phylogeny>(text);
    EXPECT_TRUE(tavrin::analyse(*plain_tree, settings).aside.empty());

    settings.root = analysis_fixtures::root_list_of("O");
    auto unrooted = std::make_unique<Phylogeny>("((F-1:1,(F-2:1,O-1:1):1):1,(M-1:1,M-2:1):1);");
    const AnalysisResult lost = tavrin::analyse(*unrooted, settings, picture);
    EXPECT_EQ(lost.status, TreeStatus::kNoRoot);
    ASSERT_EQ(lost.aside.size(), 1u);
    EXPECT_EQ(lost.aside[0].leaf.name(), "O-1");
}

TEST(SettingAside, RerootedTreeIsDescribedAndReducedAsRead) {
    // The search reroots above (F-1,F-2) and still finds no clade.
    const std::string text = "((((F-1,F-2)80,M-1)30,(F-3,F-4)70)65,((S-1,S-2)45,(S-3,S-4)50)55);";
    const AnalysisSettings settings = settings_for("F");
    EXPECT_TRUE(plain(text, settings).rerooted);
    const TreeRun run = with_outliers(text, settings, 3);
    EXPECT_EQ(run.result.outliers.names, Names{"M-1"});
    // The tree was read again: the answer refers to the tree now held.
    ASSERT_NE(run.result.target, nullptr);
    EXPECT_EQ(tree_check::leaf_names(run.result.target), (Names{"F-1", "F-2", "F-3", "F-4"}));
    expect_same_answer(
        run.result, plain("(((F-1,F-2)80,(F-3,F-4)70)65,((S-1,S-2)45,(S-3,S-4)50)55);", settings),
        "reduced by hand");

    // The misplaced target leaf hangs from the root: its sibling becomes the root.
    const std::string at_root = "(F-9:1,((((F-1,F-2)90,P-1)85,Q-1)75,(S-1,S-2)55)70:2);";
    const TreeRun rooted = with_outliers(at_root, settings, 1);
    EXPECT_EQ(rooted.result.outliers.names, Names{"F-9"});
    expect_same_answer(rooted.result,
                       plain("((((F-1,F-2)90,P-1)85,Q-1)75,(S-1,S-2)55)70:2;", settings),
                       "parent at the root");
}

TEST(SettingAside, OnlyOneSetOfOneToKLeavesChangesTheAnswer) {
    const AnalysisSettings settings = settings_for("F");
    const std::string one = "(((F-1:1,F-2:1)90:1,M-1:1)40:2,(F-3:1,(M-2:1,M-3:1)60:1)70:1);";
    for (const std::size_t bound : {0u, 1u}) {
        const TreeRun run = with_outliers(one, settings, bound);
        EXPECT_EQ(run.result.set_aside, bound == 1);
        EXPECT_EQ(run.result.outliers.names, Names{"M-1"});  // described whatever the bound
    }
    expect_same_answer(with_outliers(one, settings, 0).result, plain(one, settings), "bound 0");

    const std::string tie = "((F-1,M-1)50,(F-2,M-2)60);";
    const TreeRun tied = with_outliers(tie, settings, 1);
    EXPECT_EQ(tied.result.status, TreeStatus::kAmbiguous);
    EXPECT_TRUE(tied.result.outliers.ambiguous);
    EXPECT_TRUE(tied.result.outliers.names.empty());
    EXPECT_TRUE(tied.result.sisters.empty());
    EXPECT_EQ(report_of(tied.result, "F"), "CLADE NOT FOUND\n");
    EXPECT_EQ(with_outliers(tie, settings, 0).result.status, TreeStatus::kNotAClade);

    EXPECT_EQ(with_outliers("((F-1,F-2),(M-1,M-2));", settings, 3).result.outliers.count,
              std::optional<std::size_t>(0));
    EXPECT_FALSE(with_outliers("(F-1,F-2);", settings, 3).result.outliers.count.has_value());
    EXPECT_FALSE(with_outliers("(M-1,M-2);", settings, 3).result.outliers.count.has_value());
}

// ---------------------------------------------------------------- random gene trees

const char* const kGroups[] = {"Choano", "Fungi", "Metazoa", "Plantae", "SAR"};

// A gene tree of `leaves` leaves: each group's leaves mostly joined among themselves, then the
// groups joined at random, and a few leaves given the name of another group's leaf.
std::string random_gene_tree(std::mt19937& rng, int leaves) {
    std::vector<std::string> names;
    for (int i = 0; i < leaves; ++i) {
        names.push_back(std::string(kGroups[i * 5 / leaves]) + "-" + std::to_string(i));
    }
    std::uniform_int_distribution<int> leaf(0, leaves - 1);
    for (int misplaced = static_cast<int>(rng() % 4); misplaced > 0; --misplaced) {
        std::swap(names[static_cast<std::size_t>(leaf(rng))],
                  names[static_cast<std::size_t>(leaf(rng))]);
    }
    std::vector<std::string> parts;
    std::vector<int> group;
    for (int i = 0; i < leaves; ++i) {
        parts.push_back(names[static_cast<std::size_t>(i)] + ":" + std::to_string(rng() % 9 + 1));
        group.push_back(i * 5 / leaves);
    }
    while (parts.size() > 1) {
        const std::size_t a = rng() % parts.size();
        std::size_t b = rng() % parts.size();
        for (std::size_t i = 0; i < parts.size() && rng() % 8 != 0; ++i) {
            if (i != a && group[i] == group[a]) b = i;
        }
        if (b == a) b = (a + 1) % parts.size();
        const std::string joined = "(" + parts[a] + "," + parts[b] + ")" +
                                   std::to_string(rng() % 101) + ":" + std::to_string(rng() % 5);
        const int joined_group = group[a] == group[b] ? group[a] : -1;
        const std::size_t high = std::max(a, b), low = std::min(a, b);
        parts.erase(parts.begin() + static_cast<std::ptrdiff_t>(high));
        group.erase(group.begin() + static_cast<std::ptrdiff_t>(high));
        parts[low] = joined;
        group[low] = joined_group;
    }
    return parts.front() + ";";
}

TEST(SettingAside, GeneTreesKeepTheirRowsWithBoundZeroAndInTheTable) {
    std::mt19937 rng(15);
    const AnalysisSettings settings = settings_for("Choano");
    int reduced_trees = 0;
    for (int round = 0; round < 400; ++round) {
        const std::string text = random_gene_tree(rng, 8 + round % 40);
        const AnalysisResult expected = plain(text, settings);
        const TreeRun zero = with_outliers(text, settings, 0);
        expect_same_answer(zero.result, expected, text);
        EXPECT_EQ(zero.result.target_leaves, expected.target_leaves) << text;

        // The table's sister and support columns are the report's rows.
        std::ostringstream rows, table;
        tavrin::write_rows(rows, "Choano", expected.sisters, expected.support);
        table << analysis_fixtures::table_row_text(zero.result, "g", 1, "Choano");
        std::string from_table;
        std::istringstream fields(table.str());
        std::vector<std::string> column;
        for (std::string field; std::getline(fields, field, '\t');)
            column.push_back(field);
        ASSERT_EQ(column.size(), tavrin::kColumnCount) << table.str();
        for (std::size_t i = 4; i < 6; ++i) {
            if (!column[i].empty()) from_table += "Choano\t" + column[i] + "\t" + column[6] + "\n";
        }
        EXPECT_EQ(from_table, rows.str()) << text;

        // With a bound of 3, only a tree with one set of 1 to 3 leaves answers differently, and
        // then as the tree without them does.
        const TreeRun three = with_outliers(text, settings, 3);
        const std::size_t count = zero.result.outliers.count.value_or(0);
        EXPECT_EQ(three.result.outliers.names, zero.result.outliers.names) << text;
        if (count == 0 || count > 3 || zero.result.outliers.ambiguous) {
            EXPECT_FALSE(three.result.set_aside) << text;
            if (!zero.result.outliers.ambiguous) expect_same_answer(three.result, expected, text);
            continue;
        }
        ++reduced_trees;
        Phylogeny reduced(text);
        const OutlierSet set = find_outliers(
            reduced, [](NodeRef leaf) { return leaf.name().rfind("Choano", 0) == 0; });
        set_aside(reduced, set.leaves);
        expect_same_answer(three.result, tavrin::analyse_tree(reduced, settings), text);
    }
    EXPECT_GT(reduced_trees, 20);  // the trees reach the removal often enough to mean something
}

}  // namespace

}  // namespace tavrin
