// The help writers of the option tables: lines that fit, items kept whole, names looked up with
// their aliases and placements.
#include "cli/option_table.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace tavrin {

namespace {

struct Config {
    std::string value;
    bool flag = false;
};

std::string take_value(const char*, const std::string& value, Config& config) {
    config.value = value;
    return value.empty() ? "empty" : "";
}

std::string take_flag(const char*, const std::string&, Config& config) {
    config.flag = true;
    return "";
}

const Option<Config> kTable[] = {
    {"--value", nullptr, "V", Placement::kLeading, "a value", take_value},
    {"-h", "-?", nullptr, Placement::kPositional, "help", take_flag},
    {"--flag", nullptr, nullptr, Placement::kLeading, "a flag", take_flag},
};

std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

TEST(OptionTable, LookupByNameAliasAndPlacement) {
    EXPECT_EQ(find_option(kTable, Placement::kLeading, "--value"), &kTable[0]);
    EXPECT_EQ(find_option(kTable, Placement::kPositional, "-?"), &kTable[1]);
    EXPECT_EQ(find_option(kTable, Placement::kLeading, "-h"), nullptr);
    EXPECT_EQ(find_option(kTable, Placement::kLeading, "--val"), nullptr);
    const std::vector<OptionHelp> leading = help_of(kTable, Placement::kLeading);
    ASSERT_EQ(leading.size(), 2u);
    EXPECT_EQ(usage_item(leading[0]), "[--value V]");
    EXPECT_EQ(usage_item(leading[1]), "[--flag]");
    EXPECT_EQ(usage_item(help_of(kTable, Placement::kPositional)[0]), "[-h|-?]");
}

TEST(OptionTable, UsageWrapsBetweenItemsOnly) {
    std::vector<std::string> items;
    for (int i = 0; i < 30; ++i)
        items.push_back("[--option-" + std::to_string(i) + " VALUE]");
    const std::vector<std::string> lines = lines_of(usage_lines("Usage: Program", items));
    ASSERT_GT(lines.size(), 3u);
    std::string joined;
    for (const std::string& line : lines) {
        EXPECT_LE(line.size(), 79u) << line;
        const std::string words = line.substr(line.find_first_not_of(' '));
        EXPECT_EQ(words.front() == '[' || words.rfind("Usage:", 0) == 0, true) << line;
        EXPECT_EQ(words.back(), ']') << line;
        joined += (joined.empty() ? "" : " ") + words;
    }
    EXPECT_EQ(lines[1].find_first_not_of(' '), std::string("Usage: Program ").size());
    std::string expected = "Usage: Program";
    for (const std::string& item : items)
        expected += " " + item;
    EXPECT_EQ(joined, expected);
}

TEST(OptionTable, HelpEntriesAlignAndWrap) {
    std::ostringstream out;
    write_help_entry(out, "--x V", "short", 12);
    write_help_entry(out, "--a-very-long-name VALUE", "goes on the next line", 12);
    write_help_entry(out, "--y", std::string(30, 'w') + " " + std::string(50, 'z'), 12);
    EXPECT_EQ(out.str(),
              "  --x V     short\n"
              "  --a-very-long-name VALUE\n"
              "            goes on the next line\n"
              "  --y       " +
                  std::string(30, 'w') + "\n" + "            " + std::string(50, 'z') + "\n");
}

}  // namespace

}  // namespace tavrin
