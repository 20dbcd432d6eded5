// The driver's warnings: when each is due, and that quoted values stay on one line.
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "driver/options.h"
#include "driver/warnings.h"

namespace tavrin {

namespace {

TEST(SeveralTrees, ASemicolonFollowedByMoreThanBlanks) {
    for (const char* text :
         {"(A,B);(C,D);", "(A,B);  (C,D);", "(A,B);\r(C,D)", "(A;B,C);", ";x", "(A,B);\t;"}) {
        EXPECT_TRUE(tavrin::holds_several_trees(text)) << text;
    }
    for (const char* text : {"", "(A,B)", "(A,B);", "(A,B); \t\r\n ", ";", "(A,B)\n"}) {
        EXPECT_FALSE(tavrin::holds_several_trees(text)) << text;
    }
}

TEST(PrefixLikeOption, OnlyALeadingDash) {
    for (const std::string prefix : {"--groupfile", "-", "-x\ty"}) {
        std::ostringstream err;
        tavrin::warn_of_prefix_like_option(err, prefix);
        EXPECT_EQ(err.str().rfind("Warning: the search prefix '", 0), 0u) << prefix;
        EXPECT_EQ(err.str().find('\n'), err.str().size() - 1) << "one line";
    }
    for (const std::string prefix : {"Choano", "Cho-ano", ""}) {
        std::ostringstream err;
        tavrin::warn_of_prefix_like_option(err, prefix);
        EXPECT_EQ(err.str(), "") << prefix;
    }
}

// The closing warnings of `seen` under `config`.
std::string closing(const tavrin::RunSeen& seen, const tavrin::RunConfig& config) {
    std::ostringstream err;
    seen.warn(err, config, config.analysis.prefix);
    return err.str();
}

TEST(RunSeen, TargetWarnedOnlyWhenTreesWereAnalysedAndNoneHadATargetLeaf) {
    tavrin::RunConfig config;
    config.analysis.prefix = "Choa\nnos";
    tavrin::RunSeen seen;
    EXPECT_EQ(closing(seen, config), "");  // no tree analysed
    seen.tree({0, false, {}});
    seen.tree({0, false, {}});
    EXPECT_EQ(closing(seen, config),
              "Warning: no leaf of any tree passes the target test for 'Choa\\nnos'\n");
    config.group_file = "groups.txt";
    EXPECT_EQ(closing(seen, config),
              "Warning: no leaf of any tree passes the target test for 'Choa\\nnos' with the "
              "groups of groups.txt\n");
    seen.tree({3, false, {}});
    EXPECT_EQ(closing(seen, config), "");
}

// Each outgroup of the list that no tree matched, once, in the list's order, escaped.
TEST(RunSeen, OutgroupsThatMatchedNoLeafOfAnyTree) {
    tavrin::RunConfig config;
    ASSERT_TRUE(
        tavrin::parse_root_list("Bact\teria,midpoint,Archaea,Bact\teria,Ex", config.analysis.root));
    tavrin::RunSeen seen;
    seen.tree({1, false, {false, false, false}});
    EXPECT_EQ(closing(seen, config),
              "Warning: --root entry 'Bact\\teria' matched no leaf in any tree\n"
              "Warning: --root entry 'Archaea' matched no leaf in any tree\n"
              "Warning: --root entry 'Ex' matched no leaf in any tree\n");
    seen.tree({1, false, {false, true, false}});
    seen.tree({1, false, {true, false, false}});
    EXPECT_EQ(closing(seen, config), "Warning: --root entry 'Ex' matched no leaf in any tree\n");
}

// Only with --table or --standard-newick, and only without --root.
TEST(RunSeen, ThreeWayRootsCountedOverTheTreesAnalysed) {
    tavrin::RunConfig config;
    config.analysis.prefix = "Choano";
    tavrin::RunSeen seen;
    seen.tree({1, true, {}});
    seen.tree({1, false, {}});
    seen.tree({2, true, {}});
    EXPECT_EQ(closing(seen, config), "");  // the classic report
    const std::string warning =
        "Warning: 2 of 3 trees have a three-way root (written unrooted): their answers depend on "
        "where the program put the root; see --root\n";
    config.table = true;
    EXPECT_EQ(closing(seen, config), warning);
    config.table = false;
    config.read.dialect = tavrin::Dialect::kStandard;
    EXPECT_EQ(closing(seen, config), warning);
    ASSERT_TRUE(tavrin::parse_root_list("midpoint", config.analysis.root));
    EXPECT_EQ(closing(seen, config), "");
    tavrin::RunSeen none;
    none.tree({1, false, {}});
    config.analysis.root = tavrin::RootList();
    EXPECT_EQ(closing(none, config), "");
}

}  // namespace

}  // namespace tavrin
