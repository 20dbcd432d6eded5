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

TEST(TargetSeen, WarnsOnlyWhenTreesWereAnalysedAndNoneHadATargetLeaf) {
    tavrin::RunConfig config;
    config.analysis.prefix = "Choa\nnos";
    const auto warning = [&config](const tavrin::TargetSeen& seen) {
        std::ostringstream err;
        seen.warn_if_never_seen(err, config);
        return err.str();
    };
    tavrin::TargetSeen seen;
    EXPECT_EQ(warning(seen), "");  // no tree analysed
    seen.tree(0);
    seen.tree(0);
    EXPECT_EQ(warning(seen),
              "Warning: no leaf of any tree passes the target test for 'Choa\\nnos'\n");
    config.group_file = "groups.txt";
    EXPECT_EQ(warning(seen),
              "Warning: no leaf of any tree passes the target test for 'Choa\\nnos' with the "
              "groups of groups.txt\n");
    seen.tree(3);
    EXPECT_EQ(warning(seen), "");
}

}  // namespace

}  // namespace tavrin
