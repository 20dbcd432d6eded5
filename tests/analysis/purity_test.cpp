// Sister names that tolerate strays: a clade named by the most specific name that a share of its
// leaves pass, the "n/a" rule that goes with it, and the strays each answer lists.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <limits>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "analysis/leaf_matching.h"
#include "analysis/pipeline.h"
#include "analysis/steps.h"
#include "contract/tavrin.h"
#include "platform/files.h"
#include "support/analysis_fixtures.h"
#include "tree/walk.h"

namespace tavrin {

namespace {

using analysis_fixtures::kNestedGroups;
using analysis_fixtures::left_ladder;
using analysis_fixtures::TempFile;
using Names = std::vector<std::string>;

const char* const kWorkedGroups =
    "Holozoa Metazoa\nHolozoa Choano\nOpisthokonta Holozoa\nOpisthokonta Fungi\n"
    "Eukaryota Opisthokonta\nEukaryota Viridi\n";

AnalysisSettings settings_for(const std::string& groups, double purity,
                              const std::string& root = "") {
    AnalysisSettings settings;
    settings.prefix = "Choano";
    settings.purity = purity;
    if (!root.empty()) settings.root = analysis_fixtures::root_list_of(root);
    const TempFile file(groups);
    EXPECT_EQ(settings.groups.load(file.path()), GroupRelations::LoadResult::kLoaded);
    return settings;
}

struct Answer {
    Names sisters;
    Names strays;
    std::string support;  // as a row shows it
};

Answer summary_of(const AnalysisResult& result) {
    Answer a{result.sisters, result.strays, "none"};
    if (!result.sisters.empty()) {
        a.support = result.support.applies ? std::to_string(static_cast<int>(result.support.value))
                                           : std::string("n/a");
    }
    // The pointers kept for pictures are the same leaves, in the same order.
    EXPECT_EQ(result.stray_leaves.size(), result.strays.size());
    for (std::size_t i = 0; i < result.stray_leaves.size() && i < result.strays.size(); ++i)
        EXPECT_EQ(result.stray_leaves[i].name(), result.strays[i]);
    return a;
}

// The answer of the analysis class's steps, which fold the target's parent out of the tree when
// the names ask for it; the driver's analysis, which reads the support as the fold would leave
// it and keeps the tree whole, must give the same, its strays leaves of the tree it analysed.
Answer answer(const std::string& text, const AnalysisSettings& settings) {
    Phylogeny tree(text);
    const Answer folded = summary_of(analyse_tree(tree, settings));
    auto kept = std::make_unique<Phylogeny>(text);
    const AnalysisResult read = analyse(*kept, settings);
    const Answer unfolded = summary_of(read);
    EXPECT_EQ(unfolded.sisters, folded.sisters);
    EXPECT_EQ(unfolded.strays, folded.strays);
    EXPECT_EQ(unfolded.support, folded.support);
    std::vector<NodeRef> leaves;
    preorder(kept->root, [&](NodeRef n) {
        if (n.is_leaf()) leaves.push_back(n);
    });
    for (NodeRef stray : read.stray_leaves)
        EXPECT_NE(std::find(leaves.begin(), leaves.end(), stray), leaves.end()) << stray.name();
    return folded;
}

void expect_answer(const std::string& text, const AnalysisSettings& settings, const Answer& want) {
    SCOPED_TRACE(text + " at purity " + std::to_string(settings.purity));
    const Answer got = answer(text, settings);
    EXPECT_EQ(got.sisters, want.sisters);
    EXPECT_EQ(got.strays, want.strays);
    EXPECT_EQ(got.support, want.support);
}

std::string name_at(const GroupRelations& groups, const std::string& text, double purity) {
    const Phylogeny tree(text);
    return clade_name_at_purity(NamingRule{groups, '-', purity}, tree.root);
}

// The stray stands inside the sister clade, or is its leftmost leaf: the tolerant rule does not
// start from the leftmost leaf, so both give the same answers.
TEST(SisterPurity, WorkedExample) {
    for (const char* sister :
         {"(Metazoa-a,(Metazoa-b,(Viridi-c,(Metazoa-d,Metazoa-e)80)70)60)50",
          "(Viridi-c,(Metazoa-b,(Metazoa-a,(Metazoa-d,Metazoa-e)80)70)60)50"}) {
        const std::string text =
            std::string("((((Choano-x,Choano-y)90,") + sister + ")40,Fungi-f)30,Viridi-g);";
        expect_answer(text, settings_for(kWorkedGroups, 1), {{"Eukaryota"}, {}, "40"});
        expect_answer(text, settings_for(kWorkedGroups, 0.9), {{"Eukaryota"}, {}, "40"});
        expect_answer(text, settings_for(kWorkedGroups, 0.8), {{"Metazoa"}, {"Viridi-c"}, "40"});
        // Leaf prefixes end at the separator chosen, in the names and in the strays.
        std::string underscored = text;
        for (char& c : underscored)
            c = c == '-' ? '_' : c;
        AnalysisSettings settings = settings_for(kWorkedGroups, 0.8);
        settings.separator = '_';
        expect_answer(underscored, settings, {{"Metazoa"}, {"Viridi_c"}, "40"});
    }
    // Each prefix passes one leaf of two: the group holding both, whatever the purity.
    for (const double purity : {0.51, 0.8, 0.99, 1.0}) {
        expect_answer("((((Choano-x,Choano-y)90,(Metazoa-a,Fungi-b)50)40,Fungi-f)30,Viridi-g);",
                      settings_for(kWorkedGroups, purity), {{"Opisthokonta"}, {}, "40"});
    }
}

TEST(SisterPurity, FewestPassingThenEarliestCandidate) {
    const GroupRelations groups = settings_for(kWorkedGroups, 0.8).groups;
    // A prefix that is also a group counts its members' leaves: Holozoa 4 of 5, Metazoa 3.
    const char* const holozoa = "(Holozoa-h,(Metazoa-a,(Metazoa-b,(Metazoa-c,Fungi-f))));";
    EXPECT_EQ(name_at(groups, holozoa, 0.8), "Holozoa");
    EXPECT_EQ(name_at(groups, holozoa, 0.6), "Metazoa");
    // Metazoa, Holozoa and Opisthokonta tie at 4 of 5: the leaf prefix first.
    EXPECT_EQ(name_at(groups, "(Viridi-v,(Metazoa-a,(Metazoa-b,(Metazoa-c,Metazoa-d))));", 0.8),
              "Metazoa");

    // Groups that tie come in the order they first stand in the file as a group, not in the
    // order of the leftmost leaf's pairs, which the naming at purity 1 follows.
    const GroupRelations crossed =
        settings_for("G2 Fungi\nG1 Metazoa\nG1 Fungi\nG2 Metazoa\n", 1).groups;
    EXPECT_EQ(name_at(crossed, "(Metazoa-a,Fungi-b);", 1), "G1");
    EXPECT_EQ(name_at(crossed, "(Metazoa-a,Fungi-b);", 0.9), "G2");

    // A line "X X" does not make a leaf count twice for X.
    const GroupRelations doubled = settings_for("Metazoa Metazoa\n", 1).groups;
    EXPECT_EQ(name_at(doubled, "(Metazoa-a,Fungi-b);", 0.6), "");
    EXPECT_EQ(name_at(doubled, "(Metazoa-a,(Metazoa-b,Fungi-c));", 0.6), "Metazoa");

    // Leaves with an empty prefix are no candidate, but pass a group that holds the empty
    // member of a final unpaired token.
    const char* const hyphens = "(-a,(-b,(-c,Fungi-d)));";
    EXPECT_EQ(name_at(settings_for("Opisthokonta Fungi\n", 1).groups, hyphens, 0.7), "");
    EXPECT_EQ(name_at(settings_for("Opisthokonta Fungi\nLone", 1).groups, hyphens, 0.7), "Lone");
    // A single leaf keeps its rendered prefix.
    EXPECT_EQ(name_at(groups, "Sc1:0.1;", 0.8), "Sc1:0.100000");
}

// Across the root the sibling belongs to a single sister that holds it at the purity; when both
// halves get one name, only the first half's strays are listed.
TEST(SisterPurity, SiblingAcrossTheRoot) {
    const std::string pure = "(Fungi-f,Fungi-g)60";
    const std::string stray = "(Fungi-h,(Fungi-i,(Fungi-j,(Fungi-k,Rhodo-r))))";
    const std::string stray_first = "((Choano-a,Choano-b)90,(" + stray + "," + pure + ")75);";
    const std::string stray_second = "((Choano-a,Choano-b)90,(" + pure + "," + stray + ")75);";
    expect_answer(stray_second, settings_for(kNestedGroups, 1), {{"Fungi"}, {}, "75"});
    expect_answer(stray_second, settings_for(kNestedGroups, 0.9), {{"Fungi"}, {}, "75"});
    expect_answer(stray_second, settings_for(kNestedGroups, 0.8), {{"Fungi"}, {}, "n/a"});
    expect_answer(stray_first, settings_for(kNestedGroups, 1), {{"Fungi"}, {}, "75"});
    expect_answer(stray_first, settings_for(kNestedGroups, 0.8), {{"Fungi"}, {"Rhodo-r"}, "n/a"});

    // Two names: the strays of both halves; a leaf sibling passes its own name.
    const std::string two =
        "((Choano-a,Choano-b)90,((Fungi-a,(Rhodo-r,(Fungi-c,Fungi-d))),"
        "(Metazoa-a,(Metazoa-b,(Rhodo-s,Metazoa-d))))75);";
    expect_answer(two, settings_for(kNestedGroups, 0.75),
                  {{"Fungi", "Metazoa"}, {"Rhodo-r", "Rhodo-s"}, "75"});
    expect_answer("((Choano-a,Choano-b)90,Fungi-f);", settings_for(kNestedGroups, 0.8),
                  {{"Fungi"}, {}, "n/a"});
}

TEST(SisterPurity, ParentFoldAndUpwardWalk) {
    // The sibling is Fungi only with its stray tolerated: it then equals the rest of the tree,
    // and the fold raises the support read from 60 to 70.
    const std::string fold =
        "((((Choano-a,Choano-b)90,(Fungi-f,(Fungi-g,(Fungi-h,(Fungi-i,Rhodo-r)))))60,Fungi-j)70,"
        "Fungi-k);";
    expect_answer(fold, settings_for(kNestedGroups, 1), {{"Fungi"}, {}, "60"});
    expect_answer(fold, settings_for(kNestedGroups, 0.8), {{"Fungi"}, {"Rhodo-r"}, "70"});
    // Folded up to the root, whose other child is a leaf named as the sibling: the support is
    // read across the root, where that leaf passes the single sister's name.
    const std::string to_root =
        "(((Choano-a,Choano-b)90,(Fungi-f,(Fungi-g,(Fungi-h,(Fungi-i,Rhodo-r)))))60,Fungi);";
    expect_answer(to_root, settings_for(kNestedGroups, 1), {{"Fungi"}, {}, "60"});
    expect_answer(to_root, settings_for(kNestedGroups, 0.8), {{"Fungi"}, {"Rhodo-r"}, "n/a"});
    // The clades of the upward walk are named with their strays, but list none.
    const std::string walk =
        "(((((Choano-a,Choano-b)90,Fungi-f)60,(Metazoa-a,(Metazoa-b,(Metazoa-c,(Metazoa-d,"
        "Rhodo-r)))))70,Metazoa-x)50,Metazoa-y);";
    expect_answer(walk, settings_for(kNestedGroups, 1), {{"Fungi"}, {}, "60"});
    expect_answer(walk, settings_for(kNestedGroups, 0.8), {{"Fungi", "Metazoa"}, {}, "60"});
}

const char* const kLandPlantGroups =
    "Euphyllophyta Angio\nEuphyllophyta Gymno\nEuphyllophyta Fern\nTracheophyta Lyco\n"
    "Tracheophyta Euphyllophyta\nEmbryophyta Bryo\nEmbryophyta Tracheophyta\n";

// A ladder of leaves `names`, the first the deepest: (a,(b,(c,d))).
std::string ladder_of(const Names& names) {
    std::string text = names.back();
    for (std::size_t i = names.size() - 1; i-- > 0;)
        text = "(" + names[i] + "," + text + ")";
    return text;
}

// `count` leaves prefix-1, prefix-2, ...
Names leaves_of(const std::string& prefix, int count, int from = 1) {
    Names names;
    for (int i = from; i < from + count; ++i)
        names.push_back(prefix + "-" + std::to_string(i));
    return names;
}

Names joined(Names a, const Names& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// A name tolerates strays only when they are scattered: no clade of two or more leaves inside
// the named clade is made of strays only. A real subclade is not a stray.
TEST(SisterPurity, StraysMustBeScattered) {
    // Bryo's sister is Tracheophyta: four lycophytes beside 18 euphyllophytes, which cover
    // 18 of 22 >= 0.8, yet the lycophytes are a clade of their own.
    const std::string lyco = "((Lyco-1,Lyco-2),(Lyco-3,Lyco-4))";
    const std::string euphyllophyta = "(" + ladder_of(leaves_of("Angio", 8)) + ",(" +
                                      ladder_of(leaves_of("Gymno", 4)) + "," +
                                      ladder_of(leaves_of("Fern", 6)) + "))";
    const std::string land =
        "(((Bryo-a,Bryo-b)95,(" + lyco + "," + euphyllophyta + ")80)70,(Chloro-x,Chloro-y));";
    AnalysisSettings plants = settings_for(kLandPlantGroups, 0.8);
    plants.prefix = "Bryo";
    expect_answer(land, plants, {{"Tracheophyta"}, {}, "70"});
    EXPECT_EQ(name_at(plants.groups, "(" + lyco + "," + euphyllophyta + ");", 0.8), "Tracheophyta");

    const GroupRelations groups = settings_for(kNestedGroups, 0.8).groups;
    struct Case {
        std::string clade;
        double purity;
        std::string name;
    };
    const std::string seven = ladder_of(leaves_of("Metazoa", 7));
    const Case cases[] = {
        // One contaminant in an 8-leaf clade, wherever it stands.
        {ladder_of(joined(leaves_of("Metazoa", 7), {"Fungi-x"})), 0.8, "Metazoa"},
        {ladder_of(joined({"Fungi-x"}, leaves_of("Metazoa", 7))), 0.8, "Metazoa"},
        {"(" + seven + ",Fungi-x)", 0.8, "Metazoa"},
        // Two contaminants of ten: scattered they are tolerated, as a clade they are not.
        {"(" + ladder_of(joined(leaves_of("Metazoa", 4), {"Fungi-x"})) + "," +
             ladder_of(joined(leaves_of("Metazoa", 4, 5), {"Fungi-y"})) + ")",
         0.8, "Metazoa"},
        {ladder_of(joined(leaves_of("Metazoa", 8), {"(Fungi-x,Fungi-y)"})), 0.8, "Opisthokonta"},
        {"(" + ladder_of(leaves_of("Metazoa", 8)) + ",(Fungi-x,Fungi-y))", 0.8, "Opisthokonta"},
        // The named clade itself is no inner clade: a cherry of two strays names nothing at
        // any purity below 1, and passes by the share alone when half of it is enough.
        {"(Metazoa-a,Fungi-x)", 0.8, "Opisthokonta"},
        // Strays of two prefixes in one cherry are a clade of strays too.
        {ladder_of(joined(leaves_of("Metazoa", 8), {"(Rhodo-x,Amoebozoa-y)"})), 0.8, "Amorphea"},
        // A stray paired with a leaf that passes is scattered, however deep it sits.
        {ladder_of(joined(leaves_of("Metazoa", 8), {"(Fungi-x,Metazoa-9)", "Fungi-y"})), 0.8,
         "Metazoa"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.clade);
        EXPECT_EQ(name_at(groups, c.clade + ";", c.purity), c.name);
    }

    // The n/a test across the root: the sibling's second half gets no name, so the single
    // sister is the first half's; the sibling belongs to it only when its strays are scattered.
    const std::string fungi = ladder_of(joined(leaves_of("Fungi", 7), {"Rhodo-r"}));
    expect_answer("((Choano-a,Choano-b)90,(" + fungi + ",(Fungi-8,Bacteria-s))75);",
                  settings_for(kNestedGroups, 0.8), {{"Fungi"}, {"Rhodo-r"}, "n/a"});
    expect_answer("((Choano-a,Choano-b)90,(" + ladder_of(leaves_of("Fungi", 8)) +
                      ",(Rhodo-r,Bacteria-s))75);",
                  settings_for(kNestedGroups, 0.8), {{"Fungi"}, {}, "75"});
}

// Strays are listed as the file has them, after the search or a root list moved the root.
TEST(SisterPurity, StraysInFileOrder) {
    // The search reroots above Choano-a: the sibling is a subtree as read.
    expect_answer(
        "((Choano-a,((Fungi-1,(Rhodo-x,(Fungi-2,Fungi-3))),(Metazoa-1,(Metazoa-2,(Rhodo-y,"
        "Metazoa-3))))80),(Choano-b,Choano-c));",
        settings_for(kNestedGroups, 0.75), {{"Fungi", "Metazoa"}, {"Rhodo-x", "Rhodo-y"}, "80"});
    // Rooted on the outgroup, the sibling's two sides come in the other order.
    const char* const outgroup =
        "((Fungi-1,(Fungi-2,Rhodo-x)),((Fungi-3,(Fungi-4,(Rhodo-y,Fungi-5))),"
        "((Choano-a,Choano-b),Out-o)));";
    expect_answer(outgroup, settings_for(kNestedGroups, 0.7, "Out"),
                  {{"Fungi", "Out-o"}, {"Rhodo-x", "Rhodo-y"}, "0"});
    Phylogeny tree(outgroup);
    const AnalysisResult result = analyse_tree(tree, settings_for(kNestedGroups, 0.7, "Out"));
    ASSERT_EQ(result.sister_clades[0].size(), 1u);
    std::vector<std::string> as_rooted;
    preorder(result.sister_clades[0][0], [&](NodeRef n) {
        if (n.name().rfind("Rhodo", 0) == 0) as_rooted.emplace_back(n.name());
    });
    EXPECT_EQ(as_rooted, (Names{"Rhodo-y", "Rhodo-x"}));
}

// A million-leaf ladder as the sibling across the root: named, tallied and its stray found
// without deep recursion.
TEST(SisterPurity, MillionLeafLadder) {
    std::string ladder = left_ladder("Rhodo-r", "Fungi-0", "Fungi-", 999998);
    ladder.pop_back();  // its ';'
    const std::string text = "((Choano-a,Choano-b)," + ladder + ");";
    expect_answer(text, settings_for(kNestedGroups, 0.8), {{"Fungi"}, {"Rhodo-r"}, "n/a"});
}

// The rule as the words give it, candidate by candidate, leaf by leaf and clade by clade: enough
// leaves pass, and every clade of two or more leaves strictly inside holds one that passes.
std::string name_as_written(const GroupRelations& groups, NodeRef clade, char separator,
                            double purity) {
    std::vector<std::string_view> prefixes;
    std::vector<std::vector<std::string_view>> inner;  // the leaf prefixes of each inner clade
    preorder(clade, [&](NodeRef n) {
        if (n.is_leaf()) prefixes.push_back(leaf_prefix(n.name(), separator));
        if (n.is_leaf() || n == clade) return;
        inner.emplace_back();
        preorder(n, [&](NodeRef m) {
            if (m.is_leaf()) inner.back().push_back(leaf_prefix(m.name(), separator));
        });
    });
    auto scattered = [&](const std::string& candidate) {
        for (const auto& leaves : inner) {
            bool any = false;
            for (const std::string_view p : leaves)
                any = any || groups.same_group(p, candidate);
            if (!any) return false;
        }
        return true;
    };
    std::vector<std::string> candidates;
    auto add = [&](std::string_view name) {
        for (const std::string& c : candidates) {
            if (c == name) return;
        }
        candidates.emplace_back(name);
    };
    for (const std::string_view p : prefixes) {
        if (!p.empty()) add(p);
    }
    for (const GroupPair& pair : groups)
        add(pair.group);
    std::string best;
    std::size_t fewest = std::numeric_limits<std::size_t>::max();
    for (const std::string& candidate : candidates) {
        std::size_t passing = 0;
        for (const std::string_view p : prefixes)
            passing += groups.same_group(p, candidate) ? 1 : 0;
        if (static_cast<double>(passing) >= purity * static_cast<double>(prefixes.size()) &&
            passing < fewest && scattered(candidate)) {
            best = candidate;
            fewest = passing;
        }
    }
    return best;
}

// Random group files (any order, lines "X X", cycles, an unpaired last token) and random trees
// whose leaves carry their prefixes, some empty: every clade gets the name of the rule as
// written; at purity 1, the name clade_name gives.
TEST(SisterPurity, EveryCladeNamedAsTheRuleIsWritten) {
    const char* const names[] = {"Fungi", "Metazoa", "Holozoa", "Opisthokonta", "Viridi", "X"};
    std::mt19937 rng(20261208);
    for (int round = 0; round < 300; ++round) {
        std::string file;
        for (unsigned i = 0, tokens = rng() % 14; i < tokens; ++i)
            file += std::string(names[rng() % 6]) + (i % 2 ? "\n" : " ");
        const AnalysisSettings settings = settings_for(file, 1);
        std::vector<std::string> items;
        for (unsigned i = 0, leaves = 2 + rng() % 12; i < leaves; ++i) {
            const unsigned kind = rng() % 10;  // an empty prefix, no separator, or a name
            const std::string serial = std::to_string(i);
            items.push_back(kind == 0   ? "-" + serial
                            : kind == 1 ? "Sc" + serial
                                        : names[rng() % 6] + ("-" + serial));
        }
        while (items.size() > 1) {
            const std::size_t at = rng() % (items.size() - 1);
            items[at] = "(" + items[at] + "," + items[at + 1] + ")";
            items.erase(items.begin() + static_cast<long>(at) + 1);
        }
        const Phylogeny tree(items[0] + ";");
        const double purity = 0.5 + (1 + rng() % 50) / 100.0;
        preorder(tree.root, [&](NodeRef n) {
            if (n.is_leaf()) return;
            SCOPED_TRACE(file + " / " + n.get()->print() + " at " + std::to_string(purity));
            EXPECT_EQ(clade_name_at_purity(NamingRule{settings.groups, '-', purity}, n),
                      name_as_written(settings.groups, n, '-', purity));
            EXPECT_EQ(clade_name_at_purity(NamingRule{settings.groups, '-', 1}, n),
                      clade_name(settings.groups, n, '-'));
        });
    }
}

// Random trees with unique leaf names, as read, rerooted by the search and rooted by a list:
// the strays always come in the order the file has them.
TEST(SisterPurity, StraysFollowTheFileWhereverTheRootGoes) {
    std::mt19937 rng(20261209);
    std::size_t listed = 0;
    for (int round = 0; round < 600; ++round) {
        // A block of target leaves somewhere, the others mostly M.
        std::vector<std::string> items;
        const unsigned leaves = 10 + rng() % 30, targets_from = rng() % (leaves - 2);
        for (unsigned i = 0; i < leaves; ++i) {
            const bool target = i >= targets_from && i < targets_from + 2;
            items.push_back(std::string(target      ? "C-"
                                        : rng() % 4 ? "M-"
                                                    : "F-") +
                            std::to_string(i) + ":0." + std::to_string(1 + rng() % 9));
        }
        std::string file_order;
        for (const std::string& item : items)
            file_order += item.substr(0, item.find(':')) + ",";
        while (items.size() > 1) {
            const std::size_t at = rng() % (items.size() - 1);
            items[at] = "(" + items[at] + "," + items[at + 1] + "):0.1";
            items.erase(items.begin() + static_cast<long>(at) + 1);
        }
        const std::string text = items[0] + ";";
        for (const char* root : {"", "midpoint", "F,midpoint"}) {
            AnalysisSettings settings = settings_for("", 0.55, root);
            settings.prefix = "C";
            SCOPED_TRACE(text + " rooted by " + root);
            const Answer got = answer(text, settings);
            std::size_t at = 0;
            for (const std::string& name : got.strays) {
                const std::size_t found = file_order.find(name + ",", at);
                EXPECT_NE(found, std::string::npos) << name;
                at = found == std::string::npos ? at : found + 1;
            }
            listed += got.strays.size() > 1 ? 1 : 0;
        }
    }
    EXPECT_GT(listed, 10u);  // enough answers with several strays to tell an order
}

// At purity 1 the realistic gene trees get the answers of the Tavrin class and no strays.
TEST(SisterPurity, PurityOneAnswersAsTheTavrinClassOnGeneTrees) {
    const std::string genes = std::string(TAVRIN_SOURCE_DIR) + "/bench/genes/";
    const std::string groups = genes + "groups.txt";
    for (const char* target : {"Choano", "Fungi", "Stramen", "Viridi"}) {
        AnalysisSettings settings;
        settings.prefix = target;
        settings.purity = 1;
        ASSERT_EQ(settings.groups.load(groups), GroupRelations::LoadResult::kLoaded);
        for (const char* program : {"fasttree", "iqtree", "raxml"}) {
            for (int gene = 1; gene <= 35; ++gene) {
                char name[16];
                std::snprintf(name, sizeof name, "/g%03d.nwk", gene);
                std::string text;
                ASSERT_TRUE(read_tree_file(genes + program + name, text));
                SCOPED_TRACE(std::string(target) + " " + program + name);
                Phylogeny by_pipeline(text);
                const AnalysisResult result = analyse_tree(by_pipeline, settings);
                const auto by_class = analysis_fixtures::analyse(text, target, &groups);
                EXPECT_EQ(result.sisters, by_class.sisters());
                EXPECT_TRUE(result.strays.empty());
                if (result.sisters.empty()) continue;
                EXPECT_EQ(result.support.applies, !by_class->bootstrapIsNull());
                EXPECT_EQ(result.support.value, by_class->bootstrap());
            }
        }
    }
}

}  // namespace

}  // namespace tavrin
