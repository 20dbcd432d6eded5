// The table writer: its header, the columns each status fills, and the escapes.
#include "analysis/table.h"
#include "analysis/escapes.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "analysis/pipeline.h"

namespace tavrin {

namespace {

using tavrin::AnalysisResult;
using tavrin::Outcome;

std::string row_of(const AnalysisResult& result, const std::string& file = "t.nwk",
                   const std::string& target = "Choano") {
    std::ostringstream out;
    tavrin::write_table_row(out, tavrin::TableRowKey{file, 1, target}, result);
    return out.str();
}

AnalysisResult with(Outcome outcome, std::size_t target_leaves) {
    AnalysisResult result;
    result.outcome = outcome;
    result.target_leaves = target_leaves;
    return result;
}

TEST(Table, HeaderNamesTwelveColumns) {
    std::ostringstream out;
    tavrin::write_table_header(out);
    EXPECT_EQ(out.str(),
              "file\ttree\ttarget\tstatus\tsister1\tsister2\tsupport\trerooted\ttarget_leaves\t"
              "outliers\toutlier_leaves\troot\n");
}

TEST(Table, EachStatusFillsItsColumns) {
    AnalysisResult sisters = with(Outcome::kSisters, 2);
    sisters.sisters = {"Metazoa", "Fungi"};
    sisters.support = 1e-07;
    sisters.support_applies = true;
    sisters.outliers.count = 0;
    EXPECT_EQ(row_of(sisters),
              "t.nwk\t1\tChoano\tsisters\tMetazoa\tFungi\t1e-07\t0\t2\t0\t\tgiven\n");

    AnalysisResult one = with(Outcome::kSisters, 3);
    one.sisters = {"Metazoa"};
    one.rerooted = true;
    one.outliers.count = 0;
    EXPECT_EQ(row_of(one), "t.nwk\t1\tChoano\tsisters\tMetazoa\t\tn/a\t1\t3\t0\t\tgiven\n");

    AnalysisResult unnamed = with(Outcome::kUnnamed, 2);
    unnamed.outliers.count = 0;
    EXPECT_EQ(row_of(unnamed), "t.nwk\t1\tChoano\tunnamed\t\t\t\t0\t2\t0\t\tgiven\n");

    AnalysisResult split = with(Outcome::kNotAClade, 3);
    split.rerooted = true;  // not a column of a tree without its clade
    split.outliers.count = 2;
    split.outliers.names = {"M-1", "F-2"};
    EXPECT_EQ(row_of(split), "t.nwk\t1\tChoano\tnot-a-clade\t\t\t\t\t3\t2\tM-1,F-2\tgiven\n");

    AnalysisResult tie = with(Outcome::kAmbiguous, 2);
    tie.outliers.count = 1;
    tie.outliers.ambiguous = true;
    EXPECT_EQ(row_of(tie), "t.nwk\t1\tChoano\tambiguous\t\t\t\t\t2\t1\t\tgiven\n");

    EXPECT_EQ(row_of(with(Outcome::kNoTargetLeaf, 0)),
              "t.nwk\t1\tChoano\tno-target\t\t\t\t\t0\t\t\tgiven\n");
    EXPECT_EQ(row_of(with(Outcome::kWholeTree, 4)),
              "t.nwk\t1\tChoano\twhole-tree\t\t\t\t\t4\t\t\tgiven\n");

    // No entry of the root list applied: only the target's leaves are counted.
    AnalysisResult unrooted = with(Outcome::kNoRoot, 3);
    unrooted.root.clear();
    EXPECT_EQ(row_of(unrooted), "t.nwk\t1\tChoano\tno-root\t\t\t\t\t3\t\t\t\n");
    AnalysisResult outgroup = sisters;
    outgroup.root = "Bac\tteria";
    EXPECT_EQ(row_of(outgroup),
              "t.nwk\t1\tChoano\tsisters\tMetazoa\tFungi\t1e-07\t0\t2\t0\t\tBac\\tteria\n");

    std::ostringstream out;
    tavrin::write_malformed_row(out, tavrin::TableRowKey{"t3.nwk", 1, "Choano"});
    EXPECT_EQ(out.str(), "t3.nwk\t1\tChoano\tmalformed\t\t\t\t\t\t\t\t\n");
}

TEST(Table, SetAsideTreeShowsTheReducedAnswerAndTheLeavesAsRead) {
    AnalysisResult reduced = with(Outcome::kSisters, 5);
    reduced.sisters = {"Fungi"};
    reduced.support = 87.123456;
    reduced.support_applies = true;
    reduced.set_aside = true;
    reduced.outliers.count = 1;
    reduced.outliers.names = {"Metazoa-m"};
    EXPECT_EQ(row_of(reduced),
              "t.nwk\t1\tChoano\tsisters\tFungi\t\t87.1235\t0\t5\t1\tMetazoa-m\tgiven\n");
}

TEST(Table, FieldsEscapeTabsLineBreaksAndBackslashes) {
    EXPECT_EQ(tavrin::escape_field("a\tb\nc\\d,e"), "a\\tb\\nc\\\\d,e");
    EXPECT_EQ(tavrin::escape_field(""), "");

    AnalysisResult result = with(Outcome::kNotAClade, 1);
    result.sisters = {};
    result.outliers.count = 2;
    result.outliers.names = {"odd,name", "tab\there\\"};
    EXPECT_EQ(row_of(result, "dir\\x\ty.nwk", "Ch\\w\n"),
              "dir\\\\x\\ty.nwk\t1\tCh\\\\w\\n\tnot-a-clade\t\t\t\t\t1\t2\todd\\,name,"
              "tab\\there\\\\\tgiven\n");

    AnalysisResult named = with(Outcome::kSisters, 1);
    named.sisters = {"a\tb", "c,d"};  // a comma only needs escaping inside the list of leaves
    named.outliers.count = 0;
    EXPECT_EQ(row_of(named), "t.nwk\t1\tChoano\tsisters\ta\\tb\tc,d\tn/a\t0\t1\t0\t\tgiven\n");
}

}  // namespace

}  // namespace tavrin
