// Counting pairs per tree, medians, the order of the table and its number formats.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "output/table_format.h"
#include "summary/table.h"
#include "summary/tally.h"

namespace tavrin::summary {

namespace {

using summary::PairSummary;
using summary::Tally;

constexpr double kNA = std::numeric_limits<double>::quiet_NaN();

// Rows of one tree: {sister, support}, NaN standing for n/a; the target is "T".
void tree(Tally& tally, const std::vector<std::pair<const char*, double>>& rows) {
    tally.start_tree();
    for (const auto& row : rows)
        tally.add_row("T", row.first, {!std::isnan(row.second), row.second});
}

TEST(Tally, CountsEachPairOncePerTreeAndTreesWithoutRows) {
    Tally tally;
    tree(tally, {{"A", 90}, {"A", 10}, {"B", 90}});  // a repeated pair: the first row stands
    tree(tally, {});
    tree(tally, {{"A", kNA}});
    ASSERT_EQ(tally.tree_count(), 3u);
    EXPECT_EQ(tally.trees_with_sister(), 2u);
    const auto rows = tally.summarise({70});
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].sister, "A");
    EXPECT_EQ(rows[0].trees, 2u);
    EXPECT_EQ(rows[0].supported, 1u);
    EXPECT_TRUE(rows[0].has_median);
    EXPECT_EQ(rows[0].median, 90);  // n/a takes no part in the median
}

TEST(Tally, MediansOfOddAndEvenCountsAndNone) {
    Tally tally;
    for (double support : {50.0, 95.0, 60.0})
        tree(tally, {{"Odd", support}});
    for (double support : {80.0, 20.0, 99.0, 70.0})
        tree(tally, {{"Even", support}});
    tree(tally, {{"None", kNA}});
    tree(tally, {{"None", kNA}});
    for (const PairSummary& row : tally.summarise({70})) {
        if (row.sister == "Odd") {
            EXPECT_EQ(row.median, 60);
            EXPECT_EQ(row.supported, 1u);
        } else if (row.sister == "Even") {
            EXPECT_EQ(row.median, 75);     // (70 + 80) / 2
            EXPECT_EQ(row.supported, 3u);  // 70 itself counts
        } else {
            EXPECT_FALSE(row.has_median);
            EXPECT_EQ(row.supported, 0u);
        }
    }
}

// The mean of the middle supports inf and -inf is not a number: no median, written n/a.
TEST(Tally, MedianThatIsNotANumberIsNone) {
    Tally tally;
    const double inf = std::numeric_limits<double>::infinity();
    tree(tally, {{"Split", inf}, {"High", inf}});
    tree(tally, {{"Split", -inf}, {"High", 80}});
    const std::vector<PairSummary> rows = tally.summarise({70});
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[1].sister, "Split");
    EXPECT_FALSE(rows[1].has_median);
    EXPECT_EQ(rows[1].supported, 1u);
    EXPECT_TRUE(rows[0].has_median);
    EXPECT_EQ(rows[0].median, inf);
    std::ostringstream table;
    summary::write_table(table, rows, summary::Grouping());
    EXPECT_NE(table.str().find("T\tSplit\t2\t1.000\t1\tn/a\n"), std::string::npos);
}

TEST(Tally, MedianOfExtremeValuesDoesNotOverflow) {
    std::vector<double> values{1e308, 1.5e308};
    EXPECT_EQ(summary::median_of(values.begin(), values.end()), 1.25e308);
    values = {7, -std::numeric_limits<double>::infinity(), 5};
    EXPECT_EQ(summary::median_of(values.begin(), values.end()), 5);
}

TEST(Tally, OrdersByTreesThenTargetThenSisterAsBytes) {
    Tally tally;
    const std::vector<std::pair<std::string, std::string>> pairs{
        {"b", "x"}, {"a", "z"}, {"a", "\xC3\xA9"}, {"a", "Z"}, {"a", "y"}, {"B", "x"}};
    for (const auto& pair : pairs) {
        tally.start_tree();
        tally.add_row(pair.first, pair.second, {true, 1});
    }
    tally.start_tree();
    tally.add_row("b", "x", {true, 1});  // the one pair seen twice comes first
    std::vector<std::string> order;
    for (const PairSummary& row : tally.summarise({70}))
        order.push_back(row.target + "/" + row.sister);
    // Upper case before lower case, bytes above 0x7F after ASCII.
    EXPECT_EQ(order, (std::vector<std::string>{"b/x", "B/x", "a/Z", "a/y", "a/z", "a/\xC3\xA9"}));
}

TEST(Tally, FirstSisterOnly) {
    Tally tally(true);
    tree(tally, {{"A", 90}, {"Rest", 90}});
    tree(tally, {{"Rest", 80}, {"A", 80}});
    tree(tally, {});
    EXPECT_EQ(tally.tree_count(), 3u);
    EXPECT_EQ(tally.trees_with_sister(), 2u);
    const auto rows = tally.summarise({70});
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].sister + rows[1].sister, "ARest");
    EXPECT_EQ(rows[0].median + rows[1].median, 170);
}

TEST(Tally, SupportsAreFractionsOnlyWhenEveryNumberLiesInZeroToOne) {
    const double inf = std::numeric_limits<double>::infinity();
    const struct {
        std::vector<double> supports;
        bool fractions;
    } cases[] = {
        {{}, false},         {{kNA, kNA}, false},  {{0, 1, kNA, 0.5}, true},
        {{0.5, 1.5}, false}, {{-0.1, 0.5}, false}, {{0.5, inf}, false},
    };
    for (const auto& c : cases) {
        // With one tree of all the rows, the first sister alone counts; the others are read all
        // the same.
        Tally tally(true);
        tally.start_tree();
        for (double support : c.supports)
            tally.add_row("T", "S", {!std::isnan(support), support});
        EXPECT_EQ(tally.supports_are_fractions(), c.fractions)
            << ::testing::PrintToString(c.supports);
    }
}

// Names read from a table may hold tabs and line breaks: pairs stay apart, and the table written
// keeps its columns.
TEST(Tally, NamesWithTabsAndLineBreaks) {
    Tally tally;
    tally.start_tree();
    tally.add_row("a\tb", "c", {true, 1});
    tally.add_row("a", "b\tc", {true, 1});
    tally.add_row("a", "b\nc", {true, 1});
    EXPECT_EQ(tally.pair_count(), 3u);
    std::ostringstream out;
    summary::write_table(out, tally.summarise({1}), summary::Grouping());
    EXPECT_EQ(out.str(),
              "target\tsister\ttrees\tshare\tsupported\tmedian_support\n"
              "a\tb\\tc\t1\t1.000\t1\t1\n"
              "a\tb\\nc\t1\t1.000\t1\t1\n"
              "a\\tb\tc\t1\t1.000\t1\t1\n");
}

// One tree of a table: its label, target and first sister with its support.
void table_tree(Tally& tally, const char* label, const char* target, const char* sister,
                double support) {
    tally.start_table_tree(label, "f.nwk", target);
    tally.add_row(target, sister, {true, support});
}

// A table of two targets: each share is taken of the trees of its own target; the trees of a
// report, whose target is known only from its rows, count for every pair.
TEST(Tally, SharesAreTakenOfTheTreesOfTheTarget) {
    Tally tally;
    for (int i = 0; i < 38; ++i)
        table_tree(tally, "", "A", "S", 90);
    tally.start_table_tree("", "f.nwk", "A");
    tally.note_status(TreeStatus::kNotAClade);
    table_tree(tally, "", "B", "S", 90);
    table_tree(tally, "", "B", "T", 90);
    tally.end_input();
    std::vector<PairSummary> rows = tally.summarise({70});
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].target + rows[0].sister, "AS");
    EXPECT_EQ(format_share(rows[0].trees, rows[0].share_of), "0.974");  // 38 of 39, not of 41
    EXPECT_EQ(rows[1].share_of, 2u);
    EXPECT_EQ(rows[2].share_of, 2u);

    tally.start_tree();  // a report's tree, without rows
    tally.end_input();
    rows = tally.summarise({70});
    EXPECT_EQ(rows[0].share_of, 40u);
    EXPECT_EQ(rows[1].share_of, 3u);
}

// Under --by label each label is its own tally: pairs, medians, shares and counts; the groups
// come in the order they first appear.
TEST(Tally, ByLabelEachLabelApart) {
    Tally tally(false, Grouping{true, false});
    table_tree(tally, "iq", "A", "S", 100);
    table_tree(tally, "fast", "A", "S", 0.9);
    table_tree(tally, "iq", "A", "S", 80);
    table_tree(tally, "fast", "A", "T", 0);
    tally.start_table_tree("fast", "f.nwk", "A");
    tally.note_status(TreeStatus::kUnnamed);
    tally.end_input();
    ASSERT_EQ(tally.groups().size(), 2u);
    EXPECT_EQ(tally.groups()[0].label, "iq");
    EXPECT_EQ(tally.groups()[0].counts.trees, 2u);
    EXPECT_FALSE(tally.groups()[0].counts.supports_are_fractions());
    const TreeCounts& fast = tally.groups()[1].counts;
    EXPECT_EQ(fast.trees, 3u);
    EXPECT_EQ(fast.with_sister, 2u);
    EXPECT_EQ(fast.status_count(TreeStatus::kUnnamed), 1u);
    EXPECT_TRUE(fast.supports_are_fractions());
    EXPECT_FALSE(fast.supports_are_zero());
    const std::vector<PairSummary> rows = tally.summarise({70});
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(std::string(rows[0].label) + rows[0].sister, "iqS");
    EXPECT_EQ(rows[0].median, 90);  // never across labels
    EXPECT_EQ(rows[0].share_of, 2u);
    EXPECT_EQ(std::string(rows[1].label) + rows[1].sister + std::to_string(rows[1].share_of),
              "fastS3");
    EXPECT_EQ(rows[1].median, 0.9);
    EXPECT_EQ(rows[2].group, 1u);
    EXPECT_EQ(tally.labels(), (std::vector<std::string>{"iq", "fast"}));
    // A group found by its label; the file and target, which the grouping passes over, do not
    // matter.
    EXPECT_EQ(tally.group_of("fast", "other.nwk", "Z"), &tally.groups()[1]);
    EXPECT_EQ(tally.group_of("raxml", "f.nwk", "A"), nullptr);
}

// Under --by target a report's tree joins the group of its rows' target, and a tree without
// rows the group of no target; strays and supports of 0 are counted per group.
TEST(Tally, ByTargetReportsAndCountsPerGroup) {
    Tally tally(false, Grouping{false, true});
    tally.start_tree();
    tally.start_tree();
    tally.add_row("B", "S", {true, 0});
    tally.start_table_tree("x", "f.nwk", "A");
    tally.add_row("A", "S", {true, 0});
    tally.note_strays();
    tally.start_tree();  // rows of two targets: the tree is in both groups, each row in its own
    tally.add_row("A", "S", {true, 0});
    tally.add_row("B", "S", {true, 0});
    tally.end_input();
    ASSERT_EQ(tally.groups().size(), 3u);
    EXPECT_EQ(tally.groups()[1].counts.trees, 2u);
    EXPECT_EQ(tally.groups()[1].counts.with_sister, 2u);
    const std::vector<PairSummary> rows = tally.summarise({70});
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].target + std::to_string(rows[0].group) + std::to_string(rows[0].trees),
              "B12");
    EXPECT_EQ(rows[1].target + std::to_string(rows[1].group) + std::to_string(rows[1].trees),
              "A22");
    EXPECT_EQ(tally.groups()[0].target, "");
    EXPECT_EQ(tally.groups()[1].target, "B");
    EXPECT_EQ(tally.groups()[2].target, "A");
    EXPECT_EQ(tally.groups()[2].counts.trees, 2u);
    EXPECT_EQ(tally.groups()[2].counts.with_strays, 1u);
    EXPECT_TRUE(tally.groups()[2].counts.supports_are_zero());
    EXPECT_EQ(tally.totals().with_strays, 1u);
    EXPECT_EQ(group_name(tally.groups()[0], tally.grouping()), "target (none)");
    EXPECT_EQ(group_name(tally.groups()[2], Grouping{true, true}), "label (none), target A");
    EXPECT_EQ(tally.group_of("x", "f.nwk", "A"), &tally.groups()[2]);
    EXPECT_EQ(tally.group_of("", "", ""), &tally.groups()[0]);
    Tally one(false, Grouping());  // without --by: the one group of every tree
    EXPECT_EQ(one.group_of("", "", "A"), nullptr);
    table_tree(one, "iq", "A", "S", 100);
    one.end_input();
    EXPECT_EQ(one.group_of("fast", "g.nwk", "B"), &one.groups()[0]);
}

TEST(Table, SharesAreRoundedHalfUpWithThreeDecimals) {
    EXPECT_EQ(summary::format_share(1, 8), "0.125");
    EXPECT_EQ(summary::format_share(1, 16), "0.063");
    EXPECT_EQ(summary::format_share(1, 3), "0.333");
    EXPECT_EQ(summary::format_share(2, 3), "0.667");
    EXPECT_EQ(summary::format_share(1, 2001), "0.000");
    EXPECT_EQ(summary::format_share(7, 7), "1.000");
    EXPECT_EQ(summary::format_share(0, 0), "0.000");
}

TEST(Table, SupportValuesAsTavrinWritesThem) {
    EXPECT_EQ(summary::format_double(95), "95");
    EXPECT_EQ(summary::format_double(87.5), "87.5");
    EXPECT_EQ(summary::format_double(87.123456), "87.1235");
    EXPECT_EQ(summary::format_double(1e-07), "1e-07");
    EXPECT_EQ(summary::format_double(2.5e6), "2.5e+06");
    EXPECT_EQ(summary::format_double(-3), "-3");
}

}  // namespace

}  // namespace tavrin::summary
