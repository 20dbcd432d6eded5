// Rows of the per-tree table: their escapes, and the rows refused before they reach the tally.
#include <gtest/gtest.h>

#include <string>

#include "output/table_format.h"
#include "summary/tally.h"
#include "summary/tree_table.h"

namespace tavrin::summary {

namespace {

using summary::TreeRecord;

// The layouts of the whole table and of a table that ends before the root column.
TableLayout full_layout() {
    return *TableLayout::of_header(table_header());
}
TableLayout layout_without_root() {
    const std::string& header = table_header();
    return *TableLayout::of_header(std::string_view(header).substr(0, header.find("\troot")));
}

// A row whose target, status, sisters and support are given; the other columns are plausible.
std::string row(const std::string& target, const std::string& status, const std::string& sister1,
                const std::string& sister2, const std::string& support) {
    return "g.nwk\t1\t" + target + "\t" + status + "\t" + sister1 + "\t" + sister2 + "\t" +
           support + "\t0\t3\t1\tA\\,b,C\tgiven\tx\\,y\tO-z\tiq";
}

TEST(TreeTable, RowsWithAndWithoutSisters) {
    TreeRecord parsed;
    std::string problem;
    ASSERT_TRUE(
        summary::parse_tree_table_row(row("Cho\\\\ano", "sisters", "Meta\\tzoa", "Fungi", "87.5"),
                                      full_layout(), parsed, problem))
        << problem;
    EXPECT_TRUE(parsed.has_sister);
    EXPECT_EQ(parsed.target, "Cho\\ano");
    EXPECT_EQ(parsed.sister1, "Meta\tzoa");
    EXPECT_EQ(parsed.sister2, "Fungi");
    EXPECT_TRUE(parsed.support.numeric);
    EXPECT_EQ(parsed.support.value, 87.5);

    // The strings are reused: nothing of the row before stays.
    ASSERT_TRUE(summary::parse_tree_table_row(row("C", "sisters", "M", "", "n/a"), full_layout(),
                                              parsed, problem));
    EXPECT_EQ(parsed.sister2, "");
    EXPECT_FALSE(parsed.support.numeric);

    ASSERT_TRUE(summary::parse_tree_table_row(row("C", "whole-tree", "", "", ""), full_layout(),
                                              parsed, problem));
    EXPECT_FALSE(parsed.has_sister);
    EXPECT_EQ(parsed.status, TreeStatus::kWholeTree);

    ASSERT_TRUE(summary::parse_tree_table_row("g.nwk\t1\tC\tno-root\t\t\t\t\t3\t\t\t\t\t\t",
                                              full_layout(), parsed, problem));
    EXPECT_EQ(parsed.status, TreeStatus::kNoRoot);
}

TEST(TreeTable, RowsOfTablesWithoutTheRootColumn) {
    TreeRecord parsed;
    std::string problem;
    const std::string line = "g.nwk\t1\tC\tsisters\tM\t\t80\t0\t2\t0\t";
    ASSERT_TRUE(summary::parse_tree_table_row(line, layout_without_root(), parsed, problem));
    EXPECT_EQ(parsed.sister1, "M");
    EXPECT_FALSE(summary::parse_tree_table_row(line, full_layout(), parsed, problem));
    EXPECT_EQ(problem, "table row with 11 fields, 15 expected");
    EXPECT_FALSE(
        summary::parse_tree_table_row(line + "\tgiven", layout_without_root(), parsed, problem));
    EXPECT_EQ(problem, "table row with 12 fields, 11 expected");
}

// The label groups a tree under --by label; strays on a row with sisters count it as named with
// strays. Tables that end at the strays column have no label.
TEST(TreeTable, LabelAndStrays) {
    TreeRecord parsed;
    std::string problem;
    ASSERT_TRUE(summary::parse_tree_table_row(row("C", "sisters", "M", "", "80"), full_layout(),
                                              parsed, problem));
    EXPECT_EQ(parsed.label, "iq");
    EXPECT_TRUE(parsed.has_strays);
    ASSERT_TRUE(summary::parse_tree_table_row(row("C", "unnamed", "", "", ""), full_layout(),
                                              parsed, problem));
    EXPECT_FALSE(parsed.has_strays);
    const std::string& header = table_header();
    const TableLayout to_strays =
        *TableLayout::of_header(std::string_view(header).substr(0, header.find("\troot_strays")));
    ASSERT_TRUE(summary::parse_tree_table_row("g.nwk\t1\tC\tsisters\tM\t\t80\t0\t2\t0\t\tgiven\t",
                                              to_strays, parsed, problem));
    EXPECT_EQ(parsed.label, "");
    EXPECT_FALSE(parsed.has_strays);
    // A table written before root_strays: its label follows strays.
    const std::string older = header.substr(0, header.find("\troot_strays")) + "\tlabel";
    const TableLayout before_root_strays = *TableLayout::of_header(older);
    ASSERT_TRUE(
        summary::parse_tree_table_row("g.nwk\t1\tC\tsisters\tM\t\t80\t0\t2\t0\t\tgiven\tx\tiq",
                                      before_root_strays, parsed, problem));
    EXPECT_EQ(parsed.label, "iq");
    EXPECT_TRUE(parsed.has_strays);
    EXPECT_FALSE(summary::parse_tree_table_row(row("C", "sisters", "M", "", "80"),
                                               before_root_strays, parsed, problem));
    EXPECT_FALSE(summary::parse_tree_table_row(row("C", "sisters", "M", "", "80") + "\\q",
                                               full_layout(), parsed, problem));
    EXPECT_EQ(problem,
              "a backslash in the label column starts none of the escapes \\t \\n \\\\ \\,");
}

TEST(TreeTable, RefusedRowsSayWhy) {
    const struct {
        std::string line;
        std::string problem;
    } cases[] = {
        {"", "table row with 1 field, 15 expected"},
        {row("C", "sisters", "M", "", "90") + "\t", "table row with 16 fields, 15 expected"},
        {"a.nwk\t1\tC\tsisters\tM\t\t90", "table row with 7 fields, 15 expected"},
        {row("C", "Sisters", "M", "", "90"),
         "unknown status 'Sisters' (sisters, unnamed, not-a-clade, no-target, whole-tree, "
         "malformed, ambiguous, no-root or unreadable expected)"},
        {row("C", "", "", "", ""),
         "unknown status '' (sisters, unnamed, not-a-clade, no-target, whole-tree, malformed, "
         "ambiguous, no-root or unreadable expected)"},
        {row("C", "no-root", "M", "", ""), "status 'no-root' with a sister"},
        {row("C", "sisters", "", "F", "90"), "status 'sisters' with an empty sister1"},
        {row("C", "unnamed", "", "F", ""), "status 'unnamed' with a sister"},
        {row("C", "sisters", "M", "", ""), "empty support (a number or n/a expected)"},
        {row("C", "sisters", "M", "", "high"), "support 'high' is neither a number nor n/a"},
        {row("C\\", "sisters", "M", "", "90"),
         "a backslash in the target column starts none of the escapes \\t \\n \\\\ \\,"},
        {row("C", "sisters", "M", "F\\q", "90"),
         "a backslash in the sister2 column starts none of the escapes \\t \\n \\\\ \\,"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        TreeRecord parsed;
        std::string problem;
        EXPECT_FALSE(summary::parse_tree_table_row(c.line, full_layout(), parsed, problem));
        EXPECT_EQ(problem, c.problem);
    }
}

}  // namespace

}  // namespace tavrin::summary
