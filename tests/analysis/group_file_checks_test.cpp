// The warnings of a group file: what each kind catches, what none of them touches (the pairs
// read), their order and limit, and a shared file read once warning once.
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "analysis/group_file_checks.h"
#include "analysis/group_relations.h"
#include "support/analysis_fixtures.h"

namespace tavrin {

namespace {

using analysis_fixtures::kLargerFirstGroups;
using analysis_fixtures::kNestedGroups;
using analysis_fixtures::Pairs;
using analysis_fixtures::pairs_of;
using analysis_fixtures::TempFile;

struct Loaded {
    Pairs pairs;
    std::string warnings;  // as written for the path "g.txt"
};

// Loads `content` with its checks, into a list of its own.
Loaded load_checked(const std::string& content) {
    TempFile file(content);
    GroupRelations groups;
    tavrin::GroupFileChecks checks;
    EXPECT_EQ(groups.load(file.path(), GroupRelations::kMaxPairs, &checks),
              GroupRelations::LoadResult::kLoaded);
    std::ostringstream err;
    checks.write(err, "g.txt");
    return Loaded{pairs_of(groups), err.str()};
}

Pairs load_unchecked(const std::string& content) {
    TempFile file(content);
    GroupRelations groups;
    groups.load(file.path());
    return pairs_of(groups);
}

const std::string kShifted =
    ": tokens are paired across lines, so the pairs after this line are shifted\n";
const std::string kSmallerFirst = " given after this line (list the smaller groups first)\n";

TEST(GroupFileChecks, WellFormedFilesSayNothing) {
    for (const std::string& content :
         {std::string(kNestedGroups), std::string(""), std::string(" \n\t\n"),
          std::string("B C\r\nA B\r\n"),          // CRLF line ends
          std::string("B C\rA B\r\rD E"),         // CR line ends
          std::string("\n\nA B\n\n  C   D  \n"),  // blank lines, spaces around
          std::string("A B\nC D"),                // no line break at the end
          std::string("X X\nX X\n"),              // a group its own member
          std::string("A B\nB A\n"),              // a cycle
          std::string("Opisthokonta Fungi\nAmorphea Opisthokonta\nOpisthokonta Fungi\n"),
          std::string("Eukaryota Opisthokonta\nOpisthokonta Fungi\nEukaryota Fungi\n")}) {
        SCOPED_TRACE(content);
        const Loaded loaded = load_checked(content);
        EXPECT_EQ(loaded.warnings, "");
        EXPECT_EQ(loaded.pairs, load_unchecked(content));
    }
}

TEST(GroupFileChecks, LinesOfOtherThanTwoTokensAreNamedAndThePairsStay) {
    const std::string content = "# eukaryote groups\nHolozoa Metazoa\nHolozoa\nFungi\tx y z\nA";
    const Loaded loaded = load_checked(content);
    EXPECT_EQ(loaded.warnings, "Warning: g.txt:1: 3 tokens, not 2, the first '#'" + kShifted +
                                   "Warning: g.txt:3: 1 token, not 2, 'Holozoa'" + kShifted +
                                   "Warning: g.txt:4: 4 tokens, not 2, the first 'Fungi'" +
                                   kShifted + "Warning: g.txt:5: 1 token, not 2, 'A'" + kShifted);
    EXPECT_EQ(loaded.pairs, load_unchecked(content));
    EXPECT_EQ(loaded.pairs.front(), (std::pair<std::string, std::string>{"#", "eukaryote"}));
    // The same lines ended by CR alone, or by CR LF, are named at the same line numbers.
    for (const std::string end : {"\r", "\r\n"}) {
        std::string lines = content;
        for (std::size_t at = lines.find('\n'); at != std::string::npos;
             at = lines.find('\n', at + end.size())) {
            lines.replace(at, 1, end);
        }
        EXPECT_EQ(load_checked(lines).warnings, loaded.warnings);
    }
}

TEST(GroupFileChecks, QuotedTokensStayOnOneLineAndShort) {
    const Loaded loaded = load_checked("a\\b\x01 c d\n" + std::string(100, 'x') + "\n");
    EXPECT_EQ(loaded.warnings, "Warning: g.txt:1: 3 tokens, not 2, the first 'a\\\\b\\x01'" +
                                   kShifted + "Warning: g.txt:2: 1 token, not 2, '" +
                                   std::string(60, 'x') + "...'" + kShifted);
}

TEST(GroupFileChecks, ByteOrderMarkIsNamedOnLineOne) {
    const std::string content = "\xEF\xBB\xBFOpisthokonta Fungi\nOpisthokonta Metazoa\n";
    const Loaded loaded = load_checked(content);
    EXPECT_EQ(loaded.warnings,
              "Warning: g.txt:1: a UTF-8 byte order mark begins the file; it becomes part of "
              "the first group's name\n");
    EXPECT_EQ(loaded.pairs.front().first, "\xEF\xBB\xBFOpisthokonta");
    // Only at the start of the file.
    EXPECT_EQ(load_checked("A B\n\xEF\xBB\xBF"
                           "C D\n")
                  .warnings,
              "");
}

TEST(GroupFileChecks, LargerGroupFirstNamesEveryMemberLost) {
    const Loaded loaded = load_checked(kLargerFirstGroups);
    EXPECT_EQ(loaded.warnings,
              "Warning: g.txt:1: 'Amorphea' does not hold 'Fungi', a member of 'Opisthokonta'" +
                  kSmallerFirst +
                  "Warning: g.txt:1: 'Amorphea' does not hold 'Metazoa', a member of "
                  "'Opisthokonta'" +
                  kSmallerFirst);
    EXPECT_EQ(loaded.pairs, load_unchecked(kLargerFirstGroups));
}

TEST(GroupFileChecks, MemberAddedAfterPlacementIsNamed) {
    const Loaded loaded =
        load_checked("Opisthokonta Fungi\nAmorphea Opisthokonta\nOpisthokonta Metazoa\n");
    EXPECT_EQ(loaded.warnings,
              "Warning: g.txt:2: 'Amorphea' does not hold 'Metazoa', a member of "
              "'Opisthokonta'" +
                  kSmallerFirst);
}

TEST(GroupFileChecks, LostMemberNamedOncePerGroupAndMember) {
    // Eukaryota misses Fungi through two lines, and Fungi reaches Opisthokonta twice; the
    // group itself as a member of its subgroup (Eukaryota in Opisthokonta) is no loss.
    const Loaded loaded = load_checked(
        "Eukaryota Opisthokonta\nEukaryota Holomycota\nOpisthokonta Fungi\n"
        "Holomycota Fungi\nOpisthokonta Eukaryota\n");
    EXPECT_EQ(loaded.warnings,
              "Warning: g.txt:1: 'Eukaryota' does not hold 'Fungi', a member of 'Opisthokonta'" +
                  kSmallerFirst);
    // A line read again gives the members its group gained between its readings (Fungi), and
    // what only its last reading missed (Metazoa) is named at its first.
    EXPECT_EQ(load_checked("Amorphea Opisthokonta\nOpisthokonta Fungi\nAmorphea Opisthokonta\n"
                           "Opisthokonta Metazoa\nAmorphea Opisthokonta\nOpisthokonta Holozoa\n")
                  .warnings,
              "Warning: g.txt:1: 'Amorphea' does not hold 'Holozoa', a member of 'Opisthokonta'" +
                  kSmallerFirst);
}

TEST(GroupFileChecks, ShiftedLinesAreNotCheckedForLostMembers) {
    // The pairs after the header are (Holozoa, Opisthokonta) and (Fungi, Holozoa): neither is a
    // line of the file.
    const Loaded loaded = load_checked("groups of\neukaryotes\nHolozoa Opisthokonta\nFungi\n");
    EXPECT_EQ(loaded.warnings, "Warning: g.txt:2: 1 token, not 2, 'eukaryotes'" + kShifted +
                                   "Warning: g.txt:4: 1 token, not 2, 'Fungi'" + kShifted);
}

TEST(GroupFileChecks, TenShownInLineOrderThenTheCount) {
    // Lines 1 to 12 each place a group before it is filled (lines 13 to 24); line 25 has three
    // tokens.
    std::string content;
    for (int i = 0; i < 12; ++i)
        content += "Big" + std::to_string(i) + " Small" + std::to_string(i) + "\n";
    for (int i = 0; i < 12; ++i)
        content += "Small" + std::to_string(i) + " Leaf" + std::to_string(i) + "\n";
    content += "One Two Three\n";
    const Loaded loaded = load_checked(content);
    std::istringstream lines(loaded.warnings);
    std::string line, last;
    int count = 0;
    while (std::getline(lines, line)) {
        last = line;
        ++count;
        if (count <= 10) {
            EXPECT_EQ(line.rfind("Warning: g.txt:" + std::to_string(count) + ": 'Big", 0), 0u)
                << line;
        }
    }
    EXPECT_EQ(count, 11);
    EXPECT_EQ(last, "Warning: g.txt: 3 more");
}

TEST(GroupFileChecks, RunsGroupFileIsReadOnceAndWarnsOnce) {
    TempFile file("A B C\n");
    tavrin::GroupFileChecks first, second;
    tavrin::GroupFile group_file(file.path());
    group_file.refresh(&first);
    const GroupRelations one = group_file.relations();
    group_file.refresh(&second);
    EXPECT_EQ(first.count(), 1u);
    EXPECT_EQ(second.count(), 0u);
    EXPECT_EQ(pairs_of(one), pairs_of(group_file.relations()));
}

}  // namespace

}  // namespace tavrin
