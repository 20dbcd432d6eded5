// The driver's warnings: when each is due, and that quoted values stay on one line.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "analysis/leaf_matching.h"
#include "driver/options.h"
#include "driver/warnings.h"
#include "support/analysis_fixtures.h"
#include "tree/phylogeny.h"

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
    // A path with a line break or a terminal's escape cannot forge a line or reach the terminal.
    std::ostringstream err;
    tavrin::warn_of_several_trees(err, "two\nWarning: forged\x1b[2J.nwk");
    EXPECT_EQ(err.str(),
              "Warning: two\\nWarning: forged\\x1b[2J.nwk holds several trees; read it with "
              "--standard-newick\n");
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

// The set-up warnings of runs over `trees`, with a leading option given or not.
std::string set_up_warnings(const std::vector<std::string>& trees, tavrin::RunConfig& config,
                            const std::string& groups = "") {
    tavrin::GroupRelations relations;
    if (!groups.empty()) {
        const analysis_fixtures::TempFile file(groups);
        EXPECT_EQ(relations.load(file.path()), tavrin::GroupRelations::LoadResult::kLoaded);
    }
    tavrin::RunSeen seen;
    for (const std::string& text : trees) {
        tavrin::Phylogeny tree(text);
        seen.tree(
            {1, false, {}, tavrin::see_leaf_names(tree, config.analysis.separator, relations)});
    }
    return closing(seen, config);
}

TEST(RunSeen, NoLeafHoldsTheSeparatorButHalfHoldAnother) {
    tavrin::RunConfig config;
    config.leading_options = true;
    const std::string underscored = "((C_a,C_b),(M_c,(F_d,Sc1)));";
    EXPECT_EQ(set_up_warnings({underscored, "(C_x,M_y);"}, config),
              "Warning: no leaf name contains '-' but 6 of 7 contain '_': the whole name is each "
              "leaf's prefix; see --separator\n");
    // One name of the run with the separator, fewer than half with another byte, or the
    // contract's own command line: no warning.
    EXPECT_EQ(set_up_warnings({underscored, "(C-x,M_y);"}, config), "");
    EXPECT_EQ(set_up_warnings({"((C_a,Cb),(Mc,Fd));"}, config), "");
    config.leading_options = false;
    EXPECT_EQ(set_up_warnings({underscored}, config), "");
    // Half is enough; the separator in force is never the byte found; quoted bytes escaped.
    config.leading_options = true;
    config.analysis.separator = '_';
    EXPECT_EQ(set_up_warnings({"((C|a,C.b),(M.c,F d));"}, config),
              "Warning: no leaf name contains '_' but 2 of 4 contain '.': the whole name is each "
              "leaf's prefix; see --separator\n");
    config.analysis.separator = '\t';
    EXPECT_EQ(set_up_warnings({"((C|a,C|b),(M|c,F|d));"}, config),
              "Warning: no leaf name contains '\\t' but 4 of 4 contain '|': the whole name is "
              "each leaf's prefix; see --separator\n");
    // The default separator, when another is given, is the last byte looked for.
    config.analysis.separator = '_';
    EXPECT_EQ(set_up_warnings({"((C-a,C-b),(M-c,F.d));"}, config),
              "Warning: no leaf name contains '_' but 3 of 4 contain '-': the whole name is each "
              "leaf's prefix; see --separator\n");
}

TEST(RunSeen, GroupFileMembersThatNoLeafCarries) {
    tavrin::RunConfig config;
    config.leading_options = true;
    const std::string groups =
        "Tracheophyta Lyco\nTracheophyta Lycco\nEmbryophyta Tracheophyta\nEmbryophyta Bryo\n"
        "Embryophyta Brio\n";
    // Tracheophyta is a group, Lyco and Bryo are carried by some tree of the run.
    EXPECT_EQ(set_up_warnings({"((Bryo-a,Bryo-b),Chloro-c);", "(Lyco-1,Bryo-c);"}, config, groups),
              "Warning: 2 group file members match no leaf: 'Lycco' (group Tracheophyta), 'Brio' "
              "(group Embryophyta)\n");
    EXPECT_EQ(set_up_warnings({"(Lyco-1,(Lycco-2,Bryo-c));"}, config, groups),
              "Warning: 1 group file member matches no leaf: 'Brio' (group Embryophyta)\n");
    config.leading_options = false;
    EXPECT_EQ(set_up_warnings({"(Lyco-1,Bryo-c);"}, config, groups), "");
    // At most ten named, then the count.
    config.leading_options = true;
    std::string many;
    for (int i = 0; i < 13; ++i)
        many += "G M" + std::to_string(i) + "\n";
    EXPECT_EQ(set_up_warnings({"(M0-a,M12-b);"}, config, many),
              "Warning: 11 group file members match no leaf: 'M1' (group G), 'M2' (group G), 'M3' "
              "(group G), 'M4' (group G), 'M5' (group G), 'M6' (group G), 'M7' (group G), 'M8' "
              "(group G), 'M9' (group G), 'M10' (group G), and 1 more\n");
    // Many prefixes, each on leaves apart from each other: members M0 to M101, the leaves
    // carrying M0 to M99 twice over.
    std::string members;
    for (int i = 0; i < 102; ++i)
        members += "G M" + std::to_string(i) + "\n";
    std::string ladder = "M0-x";
    for (int i = 1; i < 200; ++i)
        ladder = "(" + ladder + ",M" + std::to_string(i % 100) + "-" + std::to_string(i) + ")";
    EXPECT_EQ(set_up_warnings({ladder + ";"}, config, members),
              "Warning: 2 group file members match no leaf: 'M100' (group G), 'M101' (group G)\n");
    // More prefixes than a thread's table numbers: the leaves past it are surveyed by their
    // names, in the tree that fills the table and in the next one. A thread of its own, so
    // that its table starts empty.
    std::thread([&config] {
        const std::size_t carried = tavrin::LeafKeys::kMaxKeys + 5;
        std::string all, first = std::string(carried, '(') + "M0-x";
        for (std::size_t i = 0; i < carried + 5; ++i)
            all += "G M" + std::to_string(i) + "\n";
        for (std::size_t i = 1; i <= carried; ++i)  // M1 to M4100, and M4100 once more
            first +=
                ",M" + std::to_string(std::min(i, carried - 1)) + "-" + std::to_string(i) + ")";
        const std::string second = "(M4101-a,(M4101-b,M7-c));";
        EXPECT_EQ(set_up_warnings({first + ";", second}, config, all),
                  "Warning: 4 group file members match no leaf: 'M4102' (group G), 'M4103' "
                  "(group G), 'M4104' (group G), 'M4105' (group G)\n");
    }).join();
    // A big ladder, every leaf numbered on the survey's walk.
    std::thread([&config] {
        const std::size_t leaves = (std::size_t{1} << 16) + 3;
        std::string big = std::string(leaves - 1, '(') + "P0-0";
        for (std::size_t i = 1; i < leaves; ++i) {
            const std::string prefix = i + 3 < leaves ? "P" + std::to_string(i % 7) : "Q";
            big += "," + prefix + "-" + std::to_string(i) + ")";
        }
        EXPECT_EQ(set_up_warnings({big + ";"}, config, "G P0\nG Q\nG R\n"),
                  "Warning: 1 group file member matches no leaf: 'R' (group G)\n");
    }).join();
}

}  // namespace

}  // namespace tavrin
