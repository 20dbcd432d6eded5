// The command line: leading options in any order, then the classic positional shapes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "driver/options.h"

namespace tavrin {

namespace {

// The command line read, and the configuration flattened for the checks.
struct Parsed {
    CommandLine result;
    bool table = false;
    std::size_t max_outliers = 0;
    std::string group_file, prefix;
    bool use_regex = false;
    std::vector<std::string> files;
};

Parsed parse(const std::vector<std::string>& args) {
    Parsed parsed;
    parsed.result = parse_command_line(args);
    const RunConfig& config = parsed.result.config;
    parsed.table = config.table;
    parsed.max_outliers = config.analysis.max_outliers;
    parsed.group_file = config.group_file;
    parsed.prefix = config.analysis.prefix;
    parsed.use_regex = config.analysis.use_regex;
    parsed.files = config.files;
    return parsed;
}

using Files = std::vector<std::string>;

TEST(CommandLine, LeadingOptionsInAnyOrderThenTheClassicShapes) {
    const Parsed plain = parse({"Choano", "a.nwk"});
    EXPECT_EQ(plain.result.request, Request::kRun);
    EXPECT_FALSE(plain.table);
    EXPECT_EQ(plain.max_outliers, 0u);
    EXPECT_EQ(plain.files, Files{"a.nwk"});

    const Parsed both =
        parse({"--outliers", "3", "--table", "--groupFile", "g.txt", "--E", "Ch", "a.nwk"});
    ASSERT_EQ(both.result.request, Request::kRun);
    EXPECT_TRUE(both.table);
    EXPECT_EQ(both.max_outliers, 3u);
    EXPECT_EQ(both.group_file, "g.txt");
    EXPECT_TRUE(both.use_regex);
    EXPECT_EQ(both.prefix, "Ch");
    EXPECT_EQ(both.files, Files{"a.nwk"});

    // Once the classic arguments begin, an option's name is a prefix or a file like any other.
    const Parsed late = parse({"--table", "Choano", "--outliers", "x"});
    ASSERT_EQ(late.result.request, Request::kRun);
    EXPECT_EQ(late.prefix, "Choano");
    EXPECT_EQ(late.files, (Files{"--outliers", "x"}));
    EXPECT_EQ(late.max_outliers, 0u);

    // --E before --groupFile: "--groupFile" becomes the prefix.
    const Parsed swapped = parse({"--table", "--E", "--groupFile", "g.txt"});
    ASSERT_EQ(swapped.result.request, Request::kRun);
    EXPECT_EQ(swapped.prefix, "--groupFile");
    EXPECT_TRUE(swapped.group_file.empty());
}

TEST(CommandLine, HelpRequests) {
    EXPECT_EQ(parse({"--help"}).result.request, Request::kUsage);
    EXPECT_EQ(parse({}).result.request, Request::kShortHelp);
    EXPECT_EQ(parse({"--table"}).result.request, Request::kShortHelp);
    EXPECT_EQ(parse({"--table", "--outliers", "1", "Choano"}).result.request, Request::kShortHelp);
    EXPECT_EQ(parse({"--outliers", "1", "-?", "Choano", "a.nwk"}).result.request,
              Request::kShortHelp);
    EXPECT_EQ(parse({"--table", "--groupFile", "g.txt", "--E"}).result.request,
              Request::kShortHelp);
    EXPECT_EQ(parse({"--table", "--groupFile", "g.txt", "--E", "Ch"}).result.request,
              Request::kRun);  // no file: nothing to do
    EXPECT_EQ(parse({"--version"}).result.request, Request::kVersion);
    // Not alone, --help is a search prefix.
    const Parsed prefix = parse({"--help", "a.nwk"});
    EXPECT_EQ(prefix.result.request, Request::kRun);
    EXPECT_EQ(prefix.prefix, "--help");
}

TEST(CommandLine, ErrorsNameTheProblem) {
    const auto error_of = [](std::vector<std::string> arg) {
        const Parsed parsed = parse(std::move(arg));
        EXPECT_EQ(parsed.result.request, Request::kError);
        return parsed.result.error;
    };
    EXPECT_EQ(error_of({"--outliers"}), "Missing value for --outliers");
    EXPECT_EQ(error_of({"--outliers", "", "F", "a"}), "Not a whole number for --outliers: ''");
    EXPECT_EQ(error_of({"--outliers", "+1", "F", "a"}), "Not a whole number for --outliers: '+1'");
    EXPECT_EQ(error_of({"--outliers", "1e3", "F", "a"}),
              "Not a whole number for --outliers: '1e3'");
    EXPECT_EQ(error_of({"--outliers", "-", "F", "a"}), "Not a whole number for --outliers: '-'");
    EXPECT_EQ(error_of({"--outliers", "-2", "F", "a"}), "Negative value for --outliers: '-2'");
    EXPECT_EQ(error_of({"--outliers", "a\tb\n", "F", "a"}),
              "Not a whole number for --outliers: 'a\\tb\\n'");
    EXPECT_EQ(error_of({"--outliers", "1000000001", "F", "a"}),
              "Value too large for --outliers: '1000000001' (at most 1000000000)");
    EXPECT_EQ(error_of({"--outliers", "99999999999999999999999", "F", "a"}),
              "Value too large for --outliers: '99999999999999999999999' (at most 1000000000)");
    EXPECT_EQ(error_of({"--table", "--table", "F", "a"}), "Option given twice: --table");
    EXPECT_EQ(error_of({"--outliers", "1", "--outliers", "1", "F", "a"}),
              "Option given twice: --outliers");

    Parsed largest = parse({"--outliers", "1000000000", "F", "a"});
    EXPECT_EQ(largest.result.request, Request::kRun);
    EXPECT_EQ(largest.max_outliers, tavrin::kMaxOutliers);
    Parsed zeros = parse({"--outliers", "007", "F", "a"});
    EXPECT_EQ(zeros.max_outliers, 7u);
}

// The share of a sister clade's leaves that must pass its name: a decimal number above 0.5 and
// at most 1, 1 when the option is absent.
TEST(CommandLine, SisterPurity) {
    const auto purity_of = [](const std::string& value) {
        const CommandLine line = parse_command_line({"--sister-purity", value, "F", "a"});
        EXPECT_EQ(line.request, Request::kRun) << value << ": " << line.error;
        return line.config.analysis.purity;
    };
    EXPECT_EQ(parse_command_line({"F", "a"}).config.analysis.purity, 1.0);
    EXPECT_EQ(purity_of("0.8"), 0.8);
    EXPECT_EQ(purity_of("0.95"), 0.95);
    EXPECT_EQ(purity_of("1"), 1.0);
    EXPECT_EQ(purity_of("1.000"), 1.0);
    EXPECT_EQ(purity_of(".9"), 0.9);
    EXPECT_EQ(purity_of("0.5000001"), 0.5000001);
    EXPECT_EQ(purity_of("75e-2"), 0.75);
    // In any order among the leading options.
    const CommandLine mixed =
        parse_command_line({"--table", "--sister-purity", "0.9", "--outliers", "2", "F", "a"});
    ASSERT_EQ(mixed.request, Request::kRun);
    EXPECT_EQ(mixed.config.analysis.purity, 0.9);
    EXPECT_EQ(mixed.config.analysis.max_outliers, 2u);

    const auto error_of = [](const std::vector<std::string>& args) {
        const CommandLine line = parse_command_line(args);
        EXPECT_EQ(line.request, Request::kError);
        return line.error;
    };
    const std::string name = "--sister-purity";
    const std::string range = " (above 0.5, at most 1)";
    for (const char* value : {"abc", "nan", "inf", "-inf", "0.8x", "", " 0.8", "0.8 ", "0,8", "1/2",
                              "0x1p-1", "e", ".", "0.8e"}) {
        EXPECT_EQ(error_of({name, value, "F", "a"}),
                  "Not a number for " + name + ": '" + value + "'");
    }
    for (const char* value : {"0.5", "0", "-0.9", "-0", "0.4999", "5e-1", "1e-999"})
        EXPECT_EQ(error_of({name, value, "F", "a"}),
                  "Value too small for " + name + ": '" + value + "'" + range);
    for (const char* value : {"1.01", "1.0000001", "2", "1e999", "100"})
        EXPECT_EQ(error_of({name, value, "F", "a"}),
                  "Value too large for " + name + ": '" + value + "'" + range);
    EXPECT_EQ(error_of({name, "a\tb", "F", "a"}), "Not a number for " + name + ": 'a\\tb'");
    EXPECT_EQ(error_of({name}), "Missing value for " + name);
    EXPECT_EQ(error_of({name, "0.8", "--table", name, "0.9", "F", "a"}),
              "Option given twice: " + name);
}

}  // namespace

}  // namespace tavrin
