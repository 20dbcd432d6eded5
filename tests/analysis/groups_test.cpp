// Group file loading and the two group relations: the list order, its closure under membership,
// the odd inputs a hand-written file brings, and the fatal unreadable file.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "contract/tavrin.h"
#include "support/analysis_fixtures.h"
#include "support/tree_check.h"

namespace tavrin {

namespace {

using analysis_fixtures::analyse;
using analysis_fixtures::Bare;
using analysis_fixtures::kLargerFirstGroups;
using analysis_fixtures::kNestedGroups;
using analysis_fixtures::Pairs;
using analysis_fixtures::pairs_of;
using analysis_fixtures::TempFile;
using analysis_fixtures::unique_temp_path;

Pairs load(const std::string& content) {
    Bare bare;
    bare.load(content);
    return pairs_of(bare->groups);
}

TEST(GroupFile, SmallestGroupsFirstCarriesMembersUp) {
    const Pairs expected = {{"Opisthokonta", "Fungi"},    {"Opisthokonta", "Metazoa"},
                            {"Amorphea", "Opisthokonta"}, {"Amorphea", "Fungi"},
                            {"Amorphea", "Metazoa"},      {"Amorphea", "Amoebozoa"}};
    EXPECT_EQ(load(kNestedGroups), expected);
}

TEST(GroupFile, LargerGroupFirstRecordsOnlyTheLines) {
    const Pairs expected = {{"Amorphea", "Opisthokonta"},
                            {"Amorphea", "Amoebozoa"},
                            {"Opisthokonta", "Fungi"},
                            {"Opisthokonta", "Metazoa"}};
    EXPECT_EQ(load(kLargerFirstGroups), expected);
}

TEST(GroupFile, MemberAddedAfterPlacementIsNotCarriedUp) {
    Bare bare;
    bare.load("Opisthokonta Fungi\nAmorphea Opisthokonta\nOpisthokonta Metazoa\n");
    const Pairs expected = {{"Opisthokonta", "Fungi"},
                            {"Amorphea", "Opisthokonta"},
                            {"Amorphea", "Fungi"},
                            {"Opisthokonta", "Metazoa"}};
    EXPECT_EQ(pairs_of(bare->groups), expected);
    EXPECT_TRUE(bare->sameGroup("Fungi", "Amorphea"));
    EXPECT_FALSE(bare->sameGroup("Metazoa", "Amorphea"));
}

TEST(GroupFile, LineEndsBlankLinesAndSeparatorsMakeNoDifference) {
    const Pairs reference = load(kNestedGroups);
    EXPECT_EQ(load("Opisthokonta Fungi\r\nOpisthokonta Metazoa\r\nAmorphea Opisthokonta\r\n"
                   "Amorphea Amoebozoa"),
              reference);
    EXPECT_EQ(load("Opisthokonta Fungi\nOpisthokonta Metazoa\nAmorphea Opisthokonta\n"
                   "Amorphea Amoebozoa"),
              reference);
    EXPECT_EQ(load("\n\n  Opisthokonta\tFungi\n\nOpisthokonta   Metazoa \v\fAmorphea\n"
                   "Opisthokonta Amorphea Amoebozoa\n\n"),
              reference);
}

TEST(GroupFile, TokensArePairedAcrossLines) {
    Bare bare;
    bare.load("A B C\nD E\n");
    const Pairs expected = {{"A", "B"}, {"C", "D"}, {"E", ""}};
    EXPECT_EQ(pairs_of(bare->groups), expected);
    // The final unpaired token records the empty name as a member.
    EXPECT_TRUE(bare->sameGroup("", "E"));
    EXPECT_FALSE(bare->sameGroup("E", "D"));
}

TEST(GroupFile, SelfPairIsListedTwiceAndLoadingEnds) {
    EXPECT_EQ(load("X X\n"), (Pairs{{"X", "X"}, {"X", "X"}}));
}

TEST(GroupFile, CycleIsClosedOnceAndBothMembershipsHold) {
    Bare bare;
    bare.load("A B\nB A\n");
    EXPECT_EQ(pairs_of(bare->groups), (Pairs{{"A", "B"}, {"B", "A"}, {"B", "B"}}));
    EXPECT_TRUE(bare->sameGroup("A", "B"));
    EXPECT_TRUE(bare->sameGroup("B", "A"));
}

TEST(GroupFile, EmptyOrBlankFileActsAsNoGroupFile) {
    for (const char* content : {"", " \n\t\r\n\n"}) {
        SCOPED_TRACE(testing::PrintToString(content));
        Bare bare;
        bare.load(content);
        EXPECT_TRUE(bare->groups.empty());
        EXPECT_TRUE(bare->sameGroup("Fungi", "Fungi"));
        EXPECT_FALSE(bare->sameGroup("Fungi", "Opisthokonta"));
        EXPECT_EQ(bare->lowest_common_group("Fungi", "Fungi"), "");
    }
}

// The relations must see pairs appended after they were first asked.
TEST(GroupFile, SecondLoadClosesOverTheWholeList) {
    Bare bare;
    bare.load("Opisthokonta Fungi\n");
    EXPECT_FALSE(bare->sameGroup("Fungi", "Amorphea"));
    EXPECT_EQ(bare->lowest_common_group("Fungi", "Opisthokonta"), "");
    bare.load("Amorphea Opisthokonta\n");
    EXPECT_EQ(
        pairs_of(bare->groups),
        (Pairs{{"Opisthokonta", "Fungi"}, {"Amorphea", "Opisthokonta"}, {"Amorphea", "Fungi"}}));
    EXPECT_TRUE(bare->sameGroup("Fungi", "Amorphea"));
    EXPECT_EQ(bare->lowest_common_group("Fungi", "Opisthokonta"), "Amorphea");
}

TEST(GroupFile, UnopenableOrUnreadablePathIsFatal) {
    const std::string missing = unique_temp_path("no such dir") + "/groups file.txt";
    for (const std::string& path : {missing, testing::TempDir()}) {
        SCOPED_TRACE(path);
        Bare bare;
        testing::internal::CaptureStderr();
        bare->groupConfig(path);
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "Couldnt open file: " + path + "\n");
        EXPECT_EQ(bare->failure, Tavrin::Failure::kGroupFileUnreadable);
        EXPECT_TRUE(bare->groups.empty());
    }
}

// A failed load stops the analysis before the search: the tree below would otherwise be
// rerooted and the target found.
TEST(GroupFile, UnopenableFileStopsTheAnalysisBeforeTheSearch) {
    const std::string missing = unique_temp_path("absent") + ".txt";
    for (const std::string& path : {missing, testing::TempDir()}) {
        SCOPED_TRACE(path);
        auto run = analyse("((Fungi-1,Metazoa-1),(Fungi-2,Fungi-3));", "Fungi", &path);
        EXPECT_EQ(run.err, "Couldnt open file: " + path + "\n");
        EXPECT_EQ(run->failure, Tavrin::Failure::kGroupFileUnreadable);
        EXPECT_EQ(run->target, nullptr);
        EXPECT_EQ(run->sister_count, 0);
        EXPECT_TRUE(run->sisters.empty());
        EXPECT_FALSE(rerooted);
        EXPECT_EQ(tree_check::shape(run.tree->root), "((Fungi-1,Metazoa-1),(Fungi-2,Fungi-3))");
    }
}

TEST(GroupRelations, MembershipIsDirectedAndFollowsTheList) {
    struct Row {
        const char* a;
        const char* b;
        bool nested;
        bool larger_first;
    };
    const Row rows[] = {
        {"Fungi", "Fungi", true, true},
        {"Fungi", "Opisthokonta", true, true},
        {"Opisthokonta", "Fungi", false, false},
        {"Fungi", "Amorphea", true, false},
        {"Amoebozoa", "Amorphea", true, true},
        {"Amorphea", "Amorphea", true, true},
        {"Bacteria", "Amorphea", false, false},
        // Exact bytes: case, trailing punctuation and shorter names all differ.
        {"fungi", "Opisthokonta", false, false},
        {"Fungi", "opisthokonta", false, false},
        {"Fungi,", "Opisthokonta", false, false},
        {"Fung", "Opisthokonta", false, false},
    };
    Bare nested;
    nested.load(kNestedGroups);
    Bare larger_first;
    larger_first.load(kLargerFirstGroups);
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.a) + " in " + row.b);
        EXPECT_EQ(nested->sameGroup(row.a, row.b), row.nested);
        EXPECT_EQ(larger_first->sameGroup(row.a, row.b), row.larger_first);
    }
}

TEST(GroupRelations, FirstCommonGroupInListOrder) {
    struct Row {
        const char* a;
        const char* b;
        const char* nested;
        const char* larger_first;
    };
    const Row rows[] = {
        {"Fungi", "Metazoa", "Opisthokonta", "Opisthokonta"},
        {"Metazoa", "Fungi", "Opisthokonta", "Opisthokonta"},
        {"Fungi", "Amoebozoa", "Amorphea", ""},
        {"Metazoa", "Metazoa", "Opisthokonta", "Opisthokonta"},
        {"Fungi", "Opisthokonta", "Amorphea", ""},
        {"Opisthokonta", "Fungi", "Amorphea", ""},
        {"Opisthokonta", "Amoebozoa", "Amorphea", "Amorphea"},
        {"Amorphea", "Fungi", "", ""},
        {"Fungi", "Amorphea", "", ""},
        {"Fungi", "Bacteria", "", ""},
    };
    Bare nested;
    nested.load(kNestedGroups);
    Bare larger_first;
    larger_first.load(kLargerFirstGroups);
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.a) + " with " + row.b);
        EXPECT_EQ(nested->lowest_common_group(row.a, row.b), row.nested);
        EXPECT_EQ(larger_first->lowest_common_group(row.a, row.b), row.larger_first);
    }
}

// The first name's pairs are taken in list order; the second name's pairs only confirm.
TEST(GroupRelations, FirstCommonGroupFollowsTheFirstName) {
    Bare bare;
    bare.load("G1 b\nG2 a\nG2 b\nG1 a\n");
    EXPECT_EQ(bare->lowest_common_group("a", "b"), "G2");
    EXPECT_EQ(bare->lowest_common_group("b", "a"), "G1");
}

}  // namespace

namespace {

// Repeated lines must not double the list at every line (a pass that re-appended every copy of
// a pair would): a pass records each member once, and the answers, which only ever depend on the
// first copy of a pair, are those of the plain list.
TEST(GroupFile, RepeatedLinesGrowTheListLinearly) {
    std::string self_lines, cycle_lines;
    for (int i = 0; i < 60; ++i) {
        self_lines += "X X\n";
        cycle_lines += "A B\nB A\n";
    }
    EXPECT_EQ(load(self_lines).size(), 120u);  // the line's pair and one derived copy per line
    Bare bare;
    bare.load(cycle_lines);
    EXPECT_LT(bare->groups.size(), 1000u);
    EXPECT_TRUE(bare->sameGroup("A", "B"));
    EXPECT_TRUE(bare->sameGroup("B", "A"));
    EXPECT_EQ(bare->lowest_common_group("A", "B"), "B");

    // A pass that meets the same member twice records it once: (C, B) is not listed twice.
    const Pairs expected = {{"A", "B"}, {"A", "B"}, {"C", "A"}, {"C", "B"}};
    EXPECT_EQ(load("A B\nA B\nC A\n"), expected);
}

// A lineage written out for each species repeats its upper lines, and each repeat records the
// upper group's members again: kept, those copies grow the list with the square of the species
// (here past a limit of 3,000 pairs). The programs keep first copies only: the distinct pairs,
// and every answer the same.
TEST(GroupFile, RepeatedLineagesKeepFirstCopiesOnly) {
    std::string lineages;
    for (int s = 0; s < 150; ++s) {
        const std::string genus = "Genus" + std::to_string(s);
        lineages += genus + " Sp" + std::to_string(s) + "\nMetazoa " + genus +
                    "\nOpisthokonta Metazoa\nEukaryota Opisthokonta\n";
    }
    TempFile file(lineages);
    GroupRelations kept, first;
    EXPECT_EQ(kept.load(file.path(), 3000), GroupRelations::LoadResult::kTooLarge);
    ASSERT_EQ(kept.load(file.path()), GroupRelations::LoadResult::kLoaded);
    ASSERT_EQ(first.load(file.path(), 3000, nullptr, GroupRelations::Copies::kFirstOnly),
              GroupRelations::LoadResult::kLoaded);
    EXPECT_GT(kept.size(), 20 * first.size());
    EXPECT_EQ(first.size(), 1053u);  // 7 per species (its genus and itself in 4 groups), and 3
    for (const char* a : {"Sp0", "Sp149", "Genus7", "Metazoa", "Opisthokonta"}) {
        for (const char* b : {"Genus7", "Metazoa", "Opisthokonta", "Eukaryota", "Sp0"}) {
            EXPECT_EQ(first.same_group(a, b), kept.same_group(a, b)) << a << " " << b;
            EXPECT_EQ(first.lowest_common_group(a, b), kept.lowest_common_group(a, b));
        }
    }
    EXPECT_TRUE(first.same_group("Sp149", "Eukaryota"));
}

// The closure limit counts derived pairs as they are recorded: a group with k members placed
// in another adds k + 1 pairs. The file is refused on the first line that takes the list past
// the limit, not before. (The command-line case groupfile_closure_limit reaches the real limit.)
TEST(GroupFile, ClosureLimitRefusesTheLineThatPassesIt) {
    std::string nine;
    for (int i = 0; i < 9; ++i)
        nine += "A m" + std::to_string(i) + "\n";
    const auto load_with_limit = [](const std::string& content, GroupRelations& relations) {
        TempFile file(content);
        return relations.load(file.path(), /*max_pairs=*/30);
    };
    GroupRelations over;  // 9, then 9 + 10 = 19, 20, then 20 + 11 = 31 pairs
    EXPECT_EQ(load_with_limit(nine + "B A\nC X\nD B\n", over),
              GroupRelations::LoadResult::kTooLarge);
    EXPECT_TRUE(over.empty());
    GroupRelations exact;  // 19 + 11 = 30: exactly at the limit
    EXPECT_EQ(load_with_limit(nine + "B A\nD B\n", exact), GroupRelations::LoadResult::kLoaded);
    EXPECT_EQ(exact.size(), 30u);
    EXPECT_EQ(load_with_limit("E Y\n", exact), GroupRelations::LoadResult::kTooLarge);
    EXPECT_EQ(exact.size(), 30u);
}

}  // namespace

namespace {

// Rewrites `path` with `content` and gives it the modification time `seconds`, so that two
// writes in quick succession never share a time stamp.
void rewrite(const std::string& path, const std::string& content, long seconds) {
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out << content;
    }
    const timespec times[2] = {{0, UTIME_OMIT}, {static_cast<time_t>(seconds), 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
}

// A run's group file is read before its first tree and again only when it changed: an unchanged
// file is not read again, and a changed one (even of the same size) gives the new relations, as a
// fresh read would, while the relations handed out before stay as they were.
TEST(GroupFile, EachTreeSeesTheGroupFileAsItIsThen) {
    const std::string path = unique_temp_path("changing");
    const std::string both = "Holozoa Metazoa\nHolozoa Fungi\n";
    const std::string fungi_apart = "Holozoa Metazoa\nHolozoX Fungi\n";  // same size

    rewrite(path, both, 1000);
    GroupFile file(path);
    ASSERT_EQ(file.refresh(), GroupRelations::LoadResult::kLoaded);
    const GroupRelations first = file.relations();
    EXPECT_EQ(first.size(), 2u);
    ASSERT_EQ(file.refresh(), GroupRelations::LoadResult::kLoaded);
    EXPECT_EQ(&file.relations()[0], &first[0]) << "an unchanged file was read again";

    rewrite(path, fungi_apart, 2000);
    ASSERT_EQ(file.refresh(), GroupRelations::LoadResult::kLoaded);
    TempFile fresh(fungi_apart);
    GroupRelations fresh_read;
    ASSERT_EQ(fresh_read.load(fresh.path()), GroupRelations::LoadResult::kLoaded);
    EXPECT_EQ(pairs_of(file.relations()), pairs_of(fresh_read));
    EXPECT_TRUE(file.relations().same_group("Fungi", "HolozoX"));
    EXPECT_TRUE(first.same_group("Fungi", "Holozoa")) << "relations handed out before changed";

    // A file replaced by another (a new inode) at the same path and time is read again.
    const std::string replacement = path + ".new";
    rewrite(replacement, "Fungi Metazoa\n", 2000);
    ASSERT_EQ(std::rename(replacement.c_str(), path.c_str()), 0);
    ASSERT_EQ(file.refresh(), GroupRelations::LoadResult::kLoaded);
    EXPECT_EQ(pairs_of(file.relations()), (Pairs{{"Fungi", "Metazoa"}}));

    // Gone: unreadable, and the relations read last are kept.
    std::remove(path.c_str());
    EXPECT_EQ(file.refresh(), GroupRelations::LoadResult::kUnreadable);
    EXPECT_EQ(pairs_of(file.relations()), (Pairs{{"Fungi", "Metazoa"}}));
}

// The analysis class reads its group file whenever it is built: each tree file's analysis sees
// the file as it is then.
TEST(GroupFile, EachAnalysisReadsItsGroupFile) {
    const std::string path = unique_temp_path("analysis");
    const std::string text = "((((Choano-a,Choano-b)90,Fungi-f)80,Metazoa-m)70,Metazoa-n);";
    rewrite(path, "Holozoa Metazoa\nHolozoa Fungi\n", 1000);
    auto first = analyse(text, "Choano", &path);
    EXPECT_EQ(first.sisters(), (std::vector<std::string>{"Fungi", "Metazoa"}));
    rewrite(path, "Holozoa Metazoa\nHolozoX Fungi\n", 2000);
    auto second = analyse(text, "Choano", &path);
    EXPECT_TRUE(second->sameGroup("Fungi", "HolozoX"));
    EXPECT_TRUE(first->sameGroup("Fungi", "Holozoa"));
    std::remove(path.c_str());
    auto gone = analyse(text, "Choano", &path);
    EXPECT_EQ(gone->failure, Tavrin::Failure::kGroupFileUnreadable);
    EXPECT_TRUE(gone->groups.empty());
}

}  // namespace

namespace {

// The closure as a plain list: every pass scans the whole list as it stood when the line was
// read, and appends each member it finds once.
Pairs reference_closure(const std::vector<std::string>& tokens) {
    Pairs list;
    for (std::size_t t = 0; t < tokens.size(); t += 2) {
        const std::string group = tokens[t];
        const std::string member = t + 1 < tokens.size() ? tokens[t + 1] : "";
        list.emplace_back(group, member);
        const std::size_t n = list.size();
        std::vector<std::string> appended;
        for (std::size_t i = 0; i < n; ++i) {
            if (list[i].first != member) continue;
            bool repeat = false;
            for (const std::string& done : appended)
                repeat = repeat || done == list[i].second;
            if (repeat) continue;
            appended.push_back(list[i].second);
            list.emplace_back(group, list[i].second);
        }
    }
    return list;
}

bool reference_same_group(const Pairs& list, const std::string& a, const std::string& b) {
    if (a == b) return true;
    for (const auto& pair : list) {
        if (pair.second == a && pair.first == b) return true;
    }
    return false;
}

std::string reference_common_group(const Pairs& list, const std::string& a, const std::string& b) {
    for (const auto& i : list) {
        for (const auto& j : list) {
            if (i.second == a && j.second == b && i.first == j.first) return i.first;
        }
    }
    return "";
}

// Small random files over a few names, so that repeats, self pairs and cycles are common.
TEST(GroupFile, ClosureAndQueriesMatchAPlainListOnRandomFiles) {
    const std::vector<std::string> names = {"A", "B", "C", "D", "E"};
    std::mt19937 random(20261207);
    for (int round = 0; round < 300; ++round) {
        std::vector<std::string> tokens(random() % 17);
        std::string content;
        for (std::string& token : tokens) {
            token = names[random() % names.size()];
            content += token + (random() % 3 == 0 ? "\n" : " ");
        }
        SCOPED_TRACE(content);
        const Pairs expected = reference_closure(tokens);
        Bare bare;
        bare.load(content);
        ASSERT_EQ(pairs_of(bare->groups), expected);
        // As the programs load it: the first copy of each pair only, and the same answers.
        TempFile file(content);
        GroupRelations first;
        ASSERT_EQ(first.load(file.path(), GroupRelations::kMaxPairs, nullptr,
                             GroupRelations::Copies::kFirstOnly),
                  GroupRelations::LoadResult::kLoaded);
        Pairs distinct;
        for (const auto& pair : expected)
            if (std::find(distinct.begin(), distinct.end(), pair) == distinct.end())
                distinct.push_back(pair);
        ASSERT_EQ(pairs_of(first), distinct);
        std::vector<std::string> asked = names;
        asked.push_back("");
        for (const std::string& a : asked) {
            for (const std::string& b : asked) {
                EXPECT_EQ(bare->sameGroup(a, b), reference_same_group(expected, a, b)) << a << b;
                EXPECT_EQ(bare->lowest_common_group(a, b), reference_common_group(expected, a, b))
                    << a << " " << b;
                EXPECT_EQ(first.same_group(a, b), bare->sameGroup(a, b)) << a << b;
                EXPECT_EQ(first.lowest_common_group(a, b), bare->lowest_common_group(a, b));
            }
        }
    }
}

}  // namespace

}  // namespace tavrin
