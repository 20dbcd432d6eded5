// Reading reports: support values, the line kinds, and where the errors are reported.
#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <string>

#include "output/table_format.h"
#include "summary/report_reader.h"
#include "summary/support_field.h"
#include "summary/tally.h"
#include "summary/tree_table.h"
#include "support/tree_check.h"

namespace tavrin::summary {

namespace {

// The header of a table that ends before the root column.
std::string header_without_root() {
    const std::string& header = tavrin::table_header();
    return header.substr(0, header.find("\troot"));
}

using summary::parse_support;
using summary::ReportReader;
using summary::Support;
using summary::Tally;

TEST(Support, AcceptsWhatTavrinWrites) {
    const struct {
        const char* text;
        double value;
    } numbers[] = {{"95", 95},         {"87.5", 87.5}, {"0.95", 0.95}, {"1e-07", 1e-07},
                   {"2.5e+06", 2.5e6}, {"-3", -3},     {"+4", 4},      {".5", 0.5},
                   {"7.", 7},          {"1E3", 1000},  {"1e-400", 0}};
    for (const auto& number : numbers) {
        SCOPED_TRACE(number.text);
        Support support;
        std::string problem;
        ASSERT_TRUE(parse_support(number.text, support, problem)) << problem;
        EXPECT_TRUE(support.numeric);
        EXPECT_EQ(support.value, number.value);
    }
    Support support;
    std::string problem;
    ASSERT_TRUE(parse_support("-inf", support, problem));
    EXPECT_TRUE(support.numeric && std::isinf(support.value) && support.value < 0);
    for (const char* not_numeric : {"n/a", "nan", "-nan"}) {
        ASSERT_TRUE(parse_support(not_numeric, support, problem)) << not_numeric;
        EXPECT_FALSE(support.numeric) << not_numeric;
    }
}

TEST(Support, RefusesAnythingElseSayingWhy) {
    for (const char* text : {"abc", "95 ", " 95", "95abc", "0x1A", "1e", "1e+", ".", "-", "N/A",
                             "NaN", "Inf", "infinity", "9,5", "1..2", "80 (bootstrap)"}) {
        Support support;
        std::string problem;
        EXPECT_FALSE(parse_support(text, support, problem)) << text;
        EXPECT_EQ(problem, std::string("support '") + text + "' is neither a number nor n/a");
    }
    Support support;
    std::string problem;
    EXPECT_FALSE(parse_support("", support, problem));
    EXPECT_EQ(problem, "empty support (a number or n/a expected)");
    EXPECT_FALSE(parse_support("1e999", support, problem));
    EXPECT_EQ(problem, "support '1e999' is out of range");
}

TEST(Support, DecimalPointIsAPointWhateverTheLocale) {
    tree_check::CommaDecimalLocale comma;
    if (!comma.active()) GTEST_SKIP() << "no locale with a decimal comma is installed";
    Support support;
    std::string problem;
    ASSERT_TRUE(parse_support("87.5", support, problem)) << problem;
    EXPECT_EQ(support.value, 87.5);
    ASSERT_TRUE(parse_support("2.5e-3", support, problem)) << problem;
    EXPECT_EQ(support.value, 2.5e-3);
    double threshold = 0;
    ASSERT_TRUE(summary::parse_number("0.95", threshold));
    EXPECT_EQ(threshold, 0.95);
}

// The error of reading `text` as one source named "r.tsv", or "" when it is read.
std::string read_error(const std::string& text, Tally* tally = nullptr) {
    Tally own;
    ReportReader reader(tally ? *tally : own);
    std::istringstream in(text);
    return reader.read(in, "r.tsv") ? "" : reader.error();
}

TEST(Reader, ReportsEachMalformedLineWithItsNumber) {
    const std::string tree = "t.nwk:\nC\tM\t80\n";
    const struct {
        std::string text;
        const char* error;
    } cases[] = {
        {"C\tM\t80\n", "r.tsv:1: row before the first tree line '<File>:'"},
        {tree + "C\tM\n", "r.tsv:3: row with 2 fields, 3 expected (target<TAB>sister<TAB>support)"},
        {tree + "C\tM\t80\tx\n",
         "r.tsv:3: row with 4 fields, 3 expected (target<TAB>sister<TAB>support)"},
        {tree + "C\tM\t\n", "r.tsv:3: empty support (a number or n/a expected)"},
        {tree + "C\tM\t8O\n", "r.tsv:3: support '8O' is neither a number nor n/a"},
        {tree + "\n", "r.tsv:3: empty line"},
        {tree + "t2.nwk\n",
         "r.tsv:3: neither a tree line '<File>:' nor a row 'target<TAB>sister<TAB>support'"},
        {"t.nwk:\r\n", "r.tsv:1: line ends with a carriage return (convert CRLF line ends first)"},
        // A last line without a line break was cut: its support may have lost digits.
        {tree + "C\tM\t8", "r.tsv:3: ends inside a line (cut?)"},
        {"t.nwk", "r.tsv:1: ends inside a line (cut?)"},
        {tavrin::table_header() + "\nt.nwk\t1\tC\tsisters\tM\t\t8",
         "r.tsv:2: ends inside a line (cut?)"},
        {tree + "t2.nwk:\nt3:\n", ""},
        {"", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(read_error(c.text), c.error);
    }
}

TEST(Reader, LinesLongerThanOneReadBlock) {
    Tally tally;
    const std::string sister(3 << 20, 'S');
    EXPECT_EQ(read_error("t.nwk:\nC\t" + sister + "\t80\nu.nwk:\nC\tM\tx\n", &tally),
              "r.tsv:4: support 'x' is neither a number nor n/a");
    ASSERT_EQ(tally.pair_count(), 1u);
    EXPECT_EQ(tally.summarise({70})[0].sister, sister);
}

TEST(Reader, SourcesReadInOrderFormOneReportNumberedEachFromOne) {
    Tally tally;
    ReportReader reader(tally);
    std::istringstream first("t1.nwk:\nC\tM\t80\n"), second("C\tF\t80\nt2.nwk:\n"),
        third("C\tM\tbad\n");
    EXPECT_TRUE(reader.read(first, "a"));
    EXPECT_TRUE(reader.read(second, "b"));  // its first row belongs to t1.nwk
    EXPECT_FALSE(reader.read(third, "c"));
    EXPECT_EQ(reader.error(), "c:1: support 'bad' is neither a number nor n/a");
    EXPECT_EQ(tally.tree_count(), 2u);
    EXPECT_EQ(tally.trees_with_sister(), 1u);
    EXPECT_EQ(tally.pair_count(), 2u);
}

// A table starts at its header line wherever it stands, runs to the next tree line and, like a
// report, into the next source.
TEST(Reader, TablesAmongReportsAcrossSources) {
    const std::string header(tavrin::table_header());
    const std::string row = "g.nwk\t1\tC\tsisters\tM\t\t80\t0\t2\t0\t\tgiven\t\t\t\n";
    Tally tally;
    ReportReader reader(tally);
    std::istringstream first("t1.nwk:\nC\tF\t80\n" + header + "\n" + row),
        second(row + "t2.nwk:\nC\tF\t90\n" + header + "\n"), third("\n");
    EXPECT_TRUE(reader.read(first, "a"));
    EXPECT_TRUE(reader.read(second, "b"));
    EXPECT_EQ(tally.tree_count(), 4u);
    EXPECT_EQ(tally.trees_with_sister(), 4u);
    EXPECT_TRUE(tally.table_read());
    EXPECT_FALSE(reader.read(third, "c"));
    EXPECT_EQ(reader.error(), "c:1: empty line");
    EXPECT_EQ(read_error(header + "\nt.nwk:\n" + header + "\nt2.nwk\n"),
              "r.tsv:4: table row with 1 field, 15 expected");
}

// Tables that end before the root column are read with their eleven columns, beside whole ones.
TEST(Reader, TablesWithAndWithoutTheRootColumn) {
    const std::string old_header = header_without_root();
    const std::string header(tavrin::table_header());
    Tally tally;
    ReportReader reader(tally);
    std::istringstream old_table(old_header + "\ng.nwk\t1\tC\tsisters\tM\t\t80\t0\t2\t0\t\n"),
        new_table(header + "\ng.nwk\t1\tC\tno-root\t\t\t\t\t2\t\t\t\t\t\t\n");
    EXPECT_TRUE(reader.read(old_table, "old"));
    EXPECT_TRUE(reader.read(new_table, "new"));
    EXPECT_EQ(tally.tree_count(), 2u);
    EXPECT_EQ(tally.status_count(tavrin::TreeStatus::kNoRoot), 1u);
    EXPECT_EQ(read_error(old_header + "\ng.nwk\t1\tC\tsisters\tM\t\t80\t0\t2\t0\t\tgiven\n"),
              "r.tsv:2: table row with 12 fields, 11 expected");
}

}  // namespace

}  // namespace tavrin::summary
