// The table rows the driver builds of analysis results: the columns each status fills.
#include "output/table_format.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "analysis/pipeline.h"
#include "support/analysis_fixtures.h"

namespace tavrin {

namespace {

using tavrin::AnalysisResult;
using tavrin::TreeStatus;

std::string row_of(const AnalysisResult& result, const std::string& file = "t.nwk",
                   const std::string& target = "Choano") {
    std::ostringstream out;
    out << analysis_fixtures::table_row_text(result, file, 1, target);
    return out.str();
}

AnalysisResult with(TreeStatus outcome, std::size_t target_leaves) {
    AnalysisResult result;
    result.status = outcome;
    result.target_leaves = target_leaves;
    return result;
}

TEST(TableRows, EachStatusFillsItsColumns) {
    AnalysisResult sisters = with(TreeStatus::kSisters, 2);
    sisters.sisters = {"Metazoa", "Fungi"};
    sisters.support.value = 1e-07;
    sisters.support.applies = true;
    sisters.outliers.count = 0;
    EXPECT_EQ(row_of(sisters),
              "t.nwk\t1\tChoano\tsisters\tMetazoa\tFungi\t1e-07\t0\t2\t0\t\tgiven\t\t\t\n");

    AnalysisResult one = with(TreeStatus::kSisters, 3);
    one.sisters = {"Metazoa"};
    one.rerooted = true;
    one.outliers.count = 0;
    EXPECT_EQ(row_of(one), "t.nwk\t1\tChoano\tsisters\tMetazoa\t\tn/a\t1\t3\t0\t\tgiven\t\t\t\n");

    AnalysisResult unnamed = with(TreeStatus::kUnnamed, 2);
    unnamed.outliers.count = 0;
    EXPECT_EQ(row_of(unnamed), "t.nwk\t1\tChoano\tunnamed\t\t\t\t0\t2\t0\t\tgiven\t\t\t\n");

    AnalysisResult split = with(TreeStatus::kNotAClade, 3);
    split.rerooted = true;  // not a column of a tree without its clade
    split.outliers.count = 2;
    split.outliers.names = {"M-1", "F-2"};
    EXPECT_EQ(row_of(split), "t.nwk\t1\tChoano\tnot-a-clade\t\t\t\t\t3\t2\tM-1,F-2\tgiven\t\t\t\n");

    AnalysisResult tie = with(TreeStatus::kAmbiguous, 2);
    tie.outliers.count = 1;
    tie.outliers.ambiguous = true;
    EXPECT_EQ(row_of(tie), "t.nwk\t1\tChoano\tambiguous\t\t\t\t\t2\t1\t\tgiven\t\t\t\n");

    EXPECT_EQ(row_of(with(TreeStatus::kNoTarget, 0)),
              "t.nwk\t1\tChoano\tno-target\t\t\t\t\t0\t\t\tgiven\t\t\t\n");
    EXPECT_EQ(row_of(with(TreeStatus::kWholeTree, 4)),
              "t.nwk\t1\tChoano\twhole-tree\t\t\t\t\t4\t\t\tgiven\t\t\t\n");

    // No entry of the root list applied: only the target's leaves are counted.
    AnalysisResult unrooted = with(TreeStatus::kNoRoot, 3);
    unrooted.root.clear();
    EXPECT_EQ(row_of(unrooted), "t.nwk\t1\tChoano\tno-root\t\t\t\t\t3\t\t\t\t\t\t\n");
    AnalysisResult outgroup = sisters;
    outgroup.root = "Bac\tteria";
    EXPECT_EQ(row_of(outgroup),
              "t.nwk\t1\tChoano\tsisters\tMetazoa\tFungi\t1e-07\t0\t2\t0\t\tBac\\tteria\t\t\t\n");

    std::ostringstream out;
    tavrin::TableRow malformed;
    malformed.file = "t3.nwk";
    malformed.target = "Choano";
    tavrin::write_table_row(out, malformed);
    EXPECT_EQ(out.str(), "t3.nwk\t1\tChoano\tmalformed\t\t\t\t\t\t\t\t\t\t\t\n");
}

TEST(TableRows, SetAsideTreeShowsTheReducedAnswerAndTheLeavesAsRead) {
    AnalysisResult reduced = with(TreeStatus::kSisters, 5);
    reduced.sisters = {"Fungi"};
    reduced.support.value = 87.123456;
    reduced.support.applies = true;
    reduced.set_aside = true;
    reduced.outliers.count = 1;
    reduced.outliers.names = {"Metazoa-m"};
    EXPECT_EQ(row_of(reduced),
              "t.nwk\t1\tChoano\tsisters\tFungi\t\t87.1235\t0\t5\t1\tMetazoa-m\tgiven\t\t\t\n");
}

TEST(TableRows, FieldsEscapeTabsLineBreaksAndBackslashes) {
    AnalysisResult result = with(TreeStatus::kNotAClade, 1);
    result.sisters = {};
    result.outliers.count = 2;
    result.outliers.names = {"odd,name", "tab\there\\"};
    EXPECT_EQ(row_of(result, "dir\\x\ty.nwk", "Ch\\w\n"),
              "dir\\\\x\\ty.nwk\t1\tCh\\\\w\\n\tnot-a-clade\t\t\t\t\t1\t2\todd\\,name,"
              "tab\\there\\\\\tgiven\t\t\t\n");

    AnalysisResult named = with(TreeStatus::kSisters, 1);
    named.sisters = {"a\tb", "c,d"};  // a comma only needs escaping inside the list of leaves
    named.outliers.count = 0;
    EXPECT_EQ(row_of(named),
              "t.nwk\t1\tChoano\tsisters\ta\\tb\tc,d\tn/a\t0\t1\t0\t\tgiven\t\t\t\n");
}

}  // namespace

}  // namespace tavrin
