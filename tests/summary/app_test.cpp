// The program run in-process: the rules of its options, and output that cannot be written (a
// full standard output, which a command-line case cannot arrange). Whole runs on report files
// and standard input are the command-line cases in cases/.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <streambuf>
#include <string>
#include <vector>

#include "cli/exit_status.h"
#include "summary/app.h"
#include "support/golden_cases.h"
#include "support/man_page.h"

namespace tavrin::summary {

namespace {

constexpr const char* kReport = "g1.nwk:\nChoano\tMetazoa\t95\ng2.nwk:\n";

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

TEST(Program, UsageErrors) {
    const std::string usage =
        "usage: Tavrin-summary [--first] [--min-support X] [--by KEYS] [--svg FILE]\n"
        "                      [--html FILE] [--pictures DIR] [--progress] [-h|--help]\n"
        "                      [--version] [REPORT ...]\n";
    const auto kNotKeys = [](const std::string& value) {
        return "--by: '" + value +
               "' is not label, target, file or several of them separated by commas, each once";
    };
    const struct {
        std::vector<std::string> args;
        std::string message;
    } cases[] = {
        {{"--bogus"}, "unknown option '--bogus'"},
        {{"--min-suport", "50"}, "unknown option '--min-suport'"},
        {{"-x", "r.tsv"}, "unknown option '-x'"},
        {{"--svg"}, "option '--svg' needs a value"},
        {{"r.tsv", "--svg"}, "option '--svg' needs a value"},
        {{"r.tsv", "--min-support"}, "option '--min-support' needs a value"},
        {{"--min-support", "high"}, "--min-support: 'high' is not a finite decimal number"},
        {{"--min-support=nan"}, "--min-support: 'nan' is not a finite decimal number"},
        {{"--min-support", "inf"}, "--min-support: 'inf' is not a finite decimal number"},
        {{"--svg="}, "--svg: the file name is empty"},
        {{"--min-support", "70%%"},
         "--min-support: '70%%' is not a finite decimal number followed by %"},
        {{"--min-support", "%"}, "--min-support: '%' is not a finite decimal number followed by %"},
        {{"--by", "run"}, kNotKeys("run")},
        {{"--by=label,label"}, kNotKeys("label,label")},
        {{"--by", "file,target,file"}, kNotKeys("file,target,file")},
        {{"--by", "label,"}, kNotKeys("label,")},
        {{"--by", ""}, kNotKeys("")},
        {{"--svg", "-", "r.tsv"},
         "--svg: '-' is not a file name here (the table goes to standard output; write ./- for a "
         "file named -)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        const Outcome result = run_program(c.args);
        EXPECT_EQ(result.status, tavrin::kExitCommandLine);
        EXPECT_EQ(result.out, "");
        EXPECT_EQ(result.err, "Tavrin-summary: " + c.message + "\n" + usage);
    }
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
    EXPECT_EQ(summary::run({}, in, out, err), tavrin::kExitCommandLine);
    EXPECT_EQ(err.str(), "Tavrin-summary: cannot write the table to standard output\n");

    const Outcome chart = run_program({"--svg", "no/such/dir/chart.svg"});
    EXPECT_EQ(chart.status, tavrin::kExitCommandLine);
    EXPECT_EQ(chart.out, "");
    EXPECT_EQ(chart.err,
              "Tavrin-summary: cannot write the chart to no/such/dir/chart.svg (No such file or "
              "directory)\n");
}

// A file's content, or "(none)" when there is no such file.
std::string content_of(const std::filesystem::path& path) {
    std::string text;
    return golden_cases::read_whole(path, text) ? text : "(none)";
}

// The chart and the page may not land on one file nor on a report, however their paths are
// spelled and whether the file exists yet or not; nothing is written then.
TEST(Program, OutputsRefusedOverEachOtherOrAReportByTheirNormalisedPaths) {
    namespace fs = std::filesystem;
    const fs::path dir = fs::path(::testing::TempDir()) / "summary_app_paths";
    fs::remove_all(dir);
    fs::create_directories(dir);
    const std::string d = dir.string();
    std::ofstream(dir / "r.tsv") << kReport;
    const struct {
        std::vector<std::string> args;
        std::string message;
    } cases[] = {
        {{"--html", d + "/./out.svg", "--svg", d + "/out.svg", d + "/r.tsv"},
         "--html " + d + "/./out.svg: the page would replace the chart of --svg"},
        {{"--svg", d + "/new/../out.svg", "--html", d + "//out.svg", d + "/r.tsv"},
         "--html " + d + "//out.svg: the page would replace the chart of --svg"},
        {{"--svg", d + "/no/../r.tsv", d + "/r.tsv"},
         "--svg " + d + "/no/../r.tsv: the chart would replace the report " + d + "/r.tsv"},
        {{"--html", d + "/./r.tsv", d + "/r.tsv"},
         "--html " + d + "/./r.tsv: the page would replace the report " + d + "/r.tsv"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        const Outcome result = run_program(c.args);
        EXPECT_EQ(result.status, tavrin::kExitCommandLine);
        EXPECT_EQ(result.out, "");
        EXPECT_EQ(result.err, "Tavrin-summary: " + c.message + "\n");
    }
    EXPECT_EQ(content_of(dir / "r.tsv"), kReport);
    EXPECT_EQ(content_of(dir / "out.svg"), "(none)");
    fs::remove_all(dir);
}

// The chart and the page are written whole or not at all, and neither when one of them cannot
// be: the old files stay as they were, with nothing left beside them.
TEST(Program, ChartAndPageReplacedTogetherOrNotAtAll) {
    namespace fs = std::filesystem;
    const fs::path dir = fs::path(::testing::TempDir()) / "summary_app_replace";
    fs::remove_all(dir);
    fs::create_directories(dir);
    std::ofstream(dir / "chart.svg") << "old chart";
    const Outcome failed = run_program(
        {"--svg", (dir / "chart.svg").string(), "--html", (dir / "no" / "page.html").string()});
    EXPECT_EQ(failed.status, tavrin::kExitCommandLine);
    EXPECT_EQ(failed.err, "Tavrin-summary: cannot write the page to " +
                              (dir / "no" / "page.html").string() +
                              " (No such file or directory)\n");
    EXPECT_EQ(content_of(dir / "chart.svg"), "old chart");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);

    const Outcome written = run_program(
        {"--svg", (dir / "chart.svg").string(), "--html", (dir / "page.html").string()});
    EXPECT_EQ(written.status, 0);
    EXPECT_EQ(content_of(dir / "chart.svg").rfind("<?xml", 0), 0u);
    EXPECT_NE(content_of(dir / "page.html").find("<figure><svg"), std::string::npos);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 2);
    fs::remove_all(dir);
}

// The help and the man page list the same options, in the same order in the synopsis.
TEST(Program, HelpAgreesWithTheManPage) {
    const Outcome help = run_program({"--help"});
    ASSERT_EQ(help.status, 0);
    std::string page;
    ASSERT_TRUE(golden_cases::read_whole(TAVRIN_SOURCE_DIR "/doc/Tavrin-summary.1", page));
    EXPECT_EQ(man_page::options_named(man_page::plain(man_page::section(page, "SYNOPSIS"))),
              man_page::options_named(man_page::usage_of(help.out)));
    EXPECT_EQ(man_page::page_entries(page), man_page::help_entries(help.out));
    EXPECT_GE(man_page::help_entries(help.out).size(), 9u);
}

// Past 200 groups only the charts of the 200 with the most trees are drawn (the first to appear
// among equals), in the groups' order; the page lists the other groups as tables only and says so.
TEST(Program, ManyGroupsChartTheLargestOnly) {
    namespace fs = std::filesystem;
    const fs::path dir = fs::path(::testing::TempDir()) / "summary_app_groups";
    fs::remove_all(dir);
    fs::create_directories(dir);
    // 250 targets of one tree each, then one of three trees.
    std::string report;
    for (int i = 0; i < 250; ++i)
        report += "g" + std::to_string(i) + ".nwk:\nT" + std::to_string(i) + "\tSister\t90\n";
    for (int i = 0; i < 3; ++i)
        report += "b" + std::to_string(i) + ".nwk:\nBig\tSister\t90\n";
    const std::string chart = (dir / "chart.svg").string(), page = (dir / "page.html").string();
    const Outcome run =
        run_program({"--by", "target", "--svg", chart, "--html", page}, report);
    ASSERT_EQ(run.status, 0) << run.err;
    const auto count = [](const std::string& text, const std::string& what) {
        std::size_t n = 0;
        for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
            ++n;
        return n;
    };
    const std::string svg = content_of(dir / "chart.svg"), html = content_of(dir / "page.html");
    EXPECT_EQ(count(svg, "<svg"), 201u);  // the document and its 200 charts
    EXPECT_NE(svg.find("by target, the 200 largest of 251 groups</title>"), std::string::npos);
    EXPECT_NE(svg.find("target Big"), std::string::npos);
    EXPECT_NE(svg.find("target T198 "), std::string::npos);
    EXPECT_EQ(svg.find("target T199 "), std::string::npos);
    EXPECT_LT(svg.find("target T198 "), svg.find("target Big"));
    EXPECT_EQ(count(html, "<figure>"), 200u);
    EXPECT_EQ(count(html, "<table class=\"tally\""), 251u);
    EXPECT_NE(html.find("251 groups: the charts of the 200 with the most trees are drawn; the "
                        "other 51 are listed as tables only."),
              std::string::npos);

    // 200 groups or fewer: every chart, no note.
    const Outcome few = run_program({"--by", "target", "--svg", chart, "--html", page},
                                    report.substr(0, report.find("g200.nwk")));
    ASSERT_EQ(few.status, 0) << few.err;
    EXPECT_EQ(count(content_of(dir / "chart.svg"), "<svg"), 201u);
    EXPECT_EQ(content_of(dir / "chart.svg").find("largest"), std::string::npos);
    EXPECT_EQ(count(content_of(dir / "page.html"), "<figure>"), 200u);
    EXPECT_EQ(content_of(dir / "page.html").find("listed as tables only"), std::string::npos);
    fs::remove_all(dir);
}

}  // namespace

}  // namespace tavrin::summary
