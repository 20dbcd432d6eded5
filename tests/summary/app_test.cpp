// The program run in-process: the table of a hand-written report, standard input, options, and
// failures that must leave no table and a non-zero status.
#include <gtest/gtest.h>

#include <sstream>
#include <streambuf>
#include <string>
#include <vector>

#include "summary/app.h"

namespace {

// Nine trees: repeated pairs, a row repeated within one tree, two targets, n/a, an exponent.
constexpr const char* kReport =
    "g1.nwk:\nChoano\tMetazoa\t95\nChoano\tFungi\t95\n"
    "g2.nwk:\nChoano\tMetazoa\t60\n"
    "g3.nwk:\nChoano\tApusozoa\tn/a\n"
    "g4.nwk:\nChoano\tFungi\tn/a\n"
    "g5.nwk:\nChoano\tMetazoa\t70\nChoano\tMetazoa\t70\n"
    "g6.nwk:\nFungi\tMetazoa\t1e-07\n"
    "g7.nwk:\nChoano\tAmoebozoa\t88.5\nChoano\tFungi\t88.5\n"
    "g8.nwk:\nChoano\tMetazoa\tn/a\n"
    "g9.nwk:\n";

struct Outcome {
    int status;
    std::string out;
    std::string err;
};

Outcome run_program(const std::vector<std::string>& args, const std::string& input = kReport) {
    std::istringstream in(input);
    std::ostringstream out, err;
    const int status = summary::run(args, in, out, err);
    return {status, out.str(), err.str()};
}

TEST(Program, TableOfAHandWrittenReport) {
    const Outcome result = run_program({"--min-support=90"});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out,
              "target\tsister\ttrees\tshare\tsupported\tmedian_support\n"
              "Choano\tMetazoa\t4\t0.444\t1\t70\n"      // 95, 60, 70: odd count
              "Choano\tFungi\t3\t0.333\t1\t91.75\n"     // 95, 88.5: even count
              "Choano\tAmoebozoa\t1\t0.111\t0\t88.5\n"  // ties by target, then sister
              "Choano\tApusozoa\t1\t0.111\t0\tn/a\n"
              "Fungi\tMetazoa\t1\t0.111\t0\t1e-07\n");
    EXPECT_EQ(result.err, "9 trees, 8 with a sister, 1 without\n");
}

TEST(Program, StandardInputAsDashOrWhenNoReportIsNamed) {
    const std::string report = "a.nwk:\nC\tM\t80\n";
    const Outcome piped = run_program({}, report);
    EXPECT_EQ(piped.status, 0);
    EXPECT_EQ(piped.err, "1 tree, 1 with a sister, 0 without\n");
    EXPECT_EQ(run_program({"-"}, report).out, piped.out);
    EXPECT_EQ(run_program({"--", "-"}, report).out, piped.out);
    EXPECT_EQ(run_program({}, "").out, "target\tsister\ttrees\tshare\tsupported\tmedian_support\n");
    EXPECT_EQ(run_program({}, "").err, "0 trees, 0 with a sister, 0 without\n");
}

TEST(Program, MalformedInputGivesNoTable) {
    const Outcome result = run_program({}, "a.nwk:\nC\tM\t80\nb.nwk:\nC\tM\t80%\n");
    EXPECT_EQ(result.status, summary::kFailure);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err, "Tavrin-summary: <stdin>:4: support '80%' is neither a number nor n/a\n");
}

TEST(Program, UsageErrors) {
    const std::string usage = "usage: Tavrin-summary [--min-support X] [--svg FILE] [REPORT ...]\n";
    const struct {
        std::vector<std::string> args;
        std::string message;
    } cases[] = {
        {{"--bogus"}, "unknown option '--bogus'"},
        {{"-x", "r.tsv"}, "unknown option '-x'"},
        {{"--svg"}, "option '--svg' needs a value"},
        {{"r.tsv", "--min-support"}, "option '--min-support' needs a value"},
        {{"--min-support", "high"}, "--min-support: 'high' is not a finite decimal number"},
        {{"--min-support=nan"}, "--min-support: 'nan' is not a finite decimal number"},
        {{"--min-support", "inf"}, "--min-support: 'inf' is not a finite decimal number"},
        {{"--svg="}, "--svg: the file name is empty"},
        {{"--svg", "-", "r.tsv"},
         "--svg: '-' is not a file name here (the table goes to standard output; write ./- for a "
         "file named -)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        const Outcome result = run_program(c.args);
        EXPECT_EQ(result.status, summary::kFailure);
        EXPECT_EQ(result.out, "");
        EXPECT_EQ(result.err, "Tavrin-summary: " + c.message + "\n" + usage);
    }
    const Outcome help = run_program({"r.tsv", "--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out.rfind(usage, 0), 0u);
    EXPECT_EQ(help.err, "");
}

// A stream buffer that accepts nothing, as standard output on a full disk.
class FullBuffer : public std::streambuf {
protected:
    int_type overflow(int_type) override { return traits_type::eof(); }
};

TEST(Program, OutputThatCannotBeWrittenIsAFailure) {
    std::istringstream in(kReport);
    FullBuffer full;
    std::ostream out(&full);
    std::ostringstream err;
    EXPECT_EQ(summary::run({}, in, out, err), summary::kFailure);
    EXPECT_EQ(err.str(), "Tavrin-summary: cannot write the table to standard output\n");

    const Outcome chart = run_program({"--svg", "no/such/dir/chart.svg"});
    EXPECT_EQ(chart.status, summary::kFailure);
    EXPECT_EQ(chart.out, "");
    EXPECT_EQ(chart.err,
              "Tavrin-summary: cannot write the chart to no/such/dir/chart.svg (No such file or "
              "directory)\n");
}

}  // namespace
