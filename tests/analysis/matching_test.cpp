// Leaf name matching: the plain prefix test, the pattern search of --E, and the group-file
// fallback of the target test, alone and inside an analysis.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "analysis/leaf_matching.h"
#include "analysis/pipeline.h"
#include "analysis/steps.h"
#include "contract/tavrin.h"
#include "support/analysis_fixtures.h"
#include "tree/walk.h"

namespace tavrin {

namespace {

using analysis_fixtures::analyse;
using analysis_fixtures::TempFile;
using Names = std::vector<std::string>;

// A ladder of the given leaves, (((a,b),c),d); for a, b, c, d: a preorder walk meets them in order.
std::string ladder_text(const std::vector<std::pair<const char*, bool>>& leaves) {
    std::string text(leaves.size() - 1, '(');
    for (std::size_t i = 0; i < leaves.size(); ++i)
        text += std::string(leaves[i].first) + (i == 0 ? "," : i + 1 < leaves.size() ? ")," : ")");
    return text + ";";
}

constexpr bool kPlain = false;
constexpr bool kRegex = true;

TEST(Matching, EmptyPrefixMatchesEveryName) {
    for (const char* name : {"Fungi-Sc1", "", "-x", "Sc1"}) {
        SCOPED_TRACE(name);
        EXPECT_TRUE(is_prefix(name, "", kPlain));
        EXPECT_TRUE(is_prefix(name, "", kRegex));
    }
}

TEST(Matching, PlainPrefixIsByteExactOverTheWholeName) {
    EXPECT_TRUE(is_prefix("Fungi-Sc1", "Fungi", kPlain));
    EXPECT_TRUE(is_prefix("Fungi-Sc1", "Fung", kPlain));
    EXPECT_TRUE(is_prefix("Fungi-Sc1", "Fungi-S", kPlain));
    EXPECT_TRUE(is_prefix("Fungi-Sc1", "Fungi-Sc1", kPlain));
    EXPECT_FALSE(is_prefix("Fungi-Sc1", "Fungi-Sc12", kPlain));
    EXPECT_FALSE(is_prefix("Fung", "Fungi", kPlain));
    EXPECT_FALSE(is_prefix("", "F", kPlain));
    EXPECT_FALSE(is_prefix("fungi-Sc1", "Fungi", kPlain));
    EXPECT_FALSE(is_prefix("XFungi-Sc1", "Fungi", kPlain));
    EXPECT_FALSE(is_prefix(" Fungi-Sc1", "Fungi", kPlain));
    // Pattern characters mean nothing to the plain test.
    EXPECT_FALSE(is_prefix("Fungi-Sc1", "Fung.", kPlain));
    EXPECT_TRUE(is_prefix("Fung.-1", "Fung.", kPlain));
}

TEST(Matching, MultibyteNamesCompareByBytes) {
    EXPECT_TRUE(is_prefix("\xCE\xA9mega-1", "\xCE\xA9", kPlain));  // Omega sign, two bytes
    EXPECT_TRUE(is_prefix("\xCE\xA9mega-1", "\xCE", kPlain));      // half a character
    EXPECT_FALSE(is_prefix("Omega-1", "\xCE\xA9", kPlain));
    // Precomposed e-acute does not match e followed by a combining accent.
    EXPECT_FALSE(is_prefix("\xC3\xA9t\xC3\xA9-1", "e\xCC\x81", kPlain));
}

TEST(Matching, PatternIsSearchedAnywhereWithEcmaScriptSyntax) {
    EXPECT_TRUE(is_prefix("Fungi-Sc1", "^Fungi-S", kRegex));
    EXPECT_FALSE(is_prefix("XFungi-Sc1", "^Fungi-S", kRegex));
    EXPECT_TRUE(is_prefix("Fungi-Sc1", "Fungi", kRegex));
    EXPECT_TRUE(is_prefix("XFungi-Sc1", "Fungi", kRegex));
    EXPECT_FALSE(is_prefix("fungi-Sc1", "Fungi", kRegex));
    EXPECT_TRUE(is_prefix("Metazoa-Hs2", "Fungi|Metazoa", kRegex));
    EXPECT_TRUE(is_prefix("Sc1", "\\d", kRegex));
    // Lookahead exists in the ECMAScript grammar only.
    EXPECT_TRUE(is_prefix("Fungi-Sc1", "Fungi(?=-)", kRegex));
    EXPECT_FALSE(is_prefix("FungiSc1", "Fungi(?=-)", kRegex));
}

TEST(Matching, InvalidPatternMatchesNothing) {
    for (const char* pattern : {"(", "Fungi(", "[a-", "*a", "a)"}) {
        SCOPED_TRACE(pattern);
        EXPECT_FALSE(is_prefix("Fungi(-1", pattern, kRegex));
        EXPECT_FALSE(is_prefix("", pattern, kRegex));
    }
}

// Patterns with a repeated group or a leading .* on very long names must neither overflow the
// stack nor give up: each case has a definite answer.
TEST(Matching, VeryLongNamesGetAnAnswer) {
    std::string ab(99999, 'a');
    for (std::size_t i = 1; i < ab.size(); i += 2)
        ab[i] = 'b';
    EXPECT_TRUE(is_prefix(ab + "c", "(a|b)*c", kRegex));
    EXPECT_FALSE(is_prefix(ab + "a", "(a|b)*c", kRegex));
    const std::string ys(99999, 'y');
    EXPECT_TRUE(is_prefix(ys + "x", ".*x", kRegex));
    EXPECT_TRUE(is_prefix("x" + ys, ".*x", kRegex));
    EXPECT_FALSE(is_prefix(ys + "y", ".*x", kRegex));
}

TEST(Matching, VeryLongNamesInsideAnAnalysis) {
    const std::string ys(99999, 'y');
    {
        auto run = analyse("((" + ys + "x,x-2)80,q-1);", ".*x", nullptr, kRegex);
        EXPECT_EQ(run->failure, Tavrin::Failure::kNone);
        EXPECT_EQ(run->target, run.tree->root->left);
        EXPECT_EQ(run.sisters(), Names{"q"});
    }
    std::string ab(99999, 'a');
    for (std::size_t i = 1; i < ab.size(); i += 2)
        ab[i] = 'b';
    {
        // The sibling's name has no '-', so it is named by its whole rendered text.
        auto run = analyse("((" + ab + "c,c-1)80," + ab + "a);", "(a|b)*c", nullptr, kRegex);
        EXPECT_EQ(run->failure, Tavrin::Failure::kNone);
        EXPECT_EQ(run->target, run.tree->root->left);
        ASSERT_EQ(run->sister_count, 1);
        EXPECT_TRUE(run->sisters[0] == ab + "a:0.000000");
    }
}

TEST(Matching, InvalidPatternStopsTheAnalysisWithOneDiagnostic) {
    auto run = analyse("((Fungi-1,Fungi-2)80,Metazoa-1);", "Fungi(", nullptr, kRegex);
    EXPECT_EQ(run->failure, Tavrin::Failure::kInvalidPattern);
    EXPECT_EQ(run->sister_count, 0);
    EXPECT_TRUE(run->sisters.empty());
    EXPECT_EQ(run.err, "Invalid regular expression for --E: Fungi( (missing ')' at offset 6)\n");
}

// Long numbers reach the engine as they are: a huge repeat count is over the limit, a
// back-reference is refused as such, and digits that are plain characters are matched.
TEST(Matching, LongNumbersInPatterns) {
    for (const char* pattern : {"a{1234567}", "a{1,1234567}", "a{1234567,}", "[a]{99999999999}"}) {
        SCOPED_TRACE(pattern);
        const std::string at = pattern[0] == '[' ? "3" : "1";
        EXPECT_EQ(LeafMatcher(pattern, kRegex).error(), "repeat count over 1000 at offset " + at);
    }
    EXPECT_EQ(LeafMatcher("(a)\\1234567", kRegex).error(),
              "back-references are not supported at offset 3");
    EXPECT_TRUE(LeafMatcher("a{000012}", kRegex).valid());
    // Literal digits: in a class, after an escaped brace or NUL, as a control letter, or plain.
    const std::vector<std::pair<std::string, std::string>> accepted = {
        {"[{],1234567|Choano", "Choano-a"},
        {"[{],1234567", "{,1234567-x"},
        {"[\\{]1234567}", "{1234567}"},
        {"\\{1234567\\}", "x{1234567}"},
        {"\\01234567", std::string("\0001234567", 8)},
        {"\\c12345678", "12345678"},  // the engine takes \cX as the letter X
        {"\\\\1234567", "\\1234567"},
        {"\\x311234567", "11234567"},
        {"[[:digit:]]1234567", "01234567"},
        {"a1234567", "a1234567"}};
    for (const auto& [pattern, name] : accepted) {
        SCOPED_TRACE(pattern);
        const LeafMatcher matcher(pattern, kRegex);
        EXPECT_TRUE(matcher.valid()) << matcher.error();
        EXPECT_TRUE(matcher.matches(name));
    }
    EXPECT_FALSE(LeafMatcher("[\\1234567]", kRegex).valid());
}

// A leaf whose leaf prefix (the name up to its first '-') belongs to the search prefix taken as a
// group is a target leaf, with or without --E.
TEST(Matching, LeafOfAMemberGroupIsATargetLeaf) {
    const std::string text = "((Metazoa-Hs-2,Metazoa-Mm-1)80,Plantae-At1);";
    TempFile groups("Opisthokonta Metazoa\n");
    for (bool use_regex : {kPlain, kRegex}) {
        SCOPED_TRACE(use_regex);
        auto run = analyse(text, "Opisthokonta", &groups.path(), use_regex);
        EXPECT_EQ(run.err, "");
        EXPECT_EQ(run->target, run.tree->root->left);
        EXPECT_EQ(run.sisters(), Names{"Plantae"});

        auto without = analyse(text, "Opisthokonta", nullptr, use_regex);
        EXPECT_EQ(without.err, "CLADE NOT FOUND\n");
        EXPECT_EQ(without->target, nullptr);
    }
}

// With --E the fallback compares the pattern's text literally, as a group name.
TEST(Matching, PatternFallbackUsesThePatternTextAsAGroupName) {
    const std::string text = "((Choano-a,Fungi-f)70,(Plantae-1,Plantae-2)60);";
    TempFile literal("Fungi|Metazoa Choano\n");
    auto run = analyse(text, "Fungi|Metazoa", &literal.path(), kRegex);
    EXPECT_EQ(run->target, run.tree->root->left);
    EXPECT_EQ(run.sisters(), Names{"Plantae"});

    // Groups named by the pattern's alternatives do not count: only Fungi-f is a target leaf.
    TempFile alternatives("Fungi Choano\nMetazoa Choano\n");
    auto split = analyse(text, "Fungi|Metazoa", &alternatives.path(), kRegex);
    EXPECT_EQ(split->target, split.tree->root->left->right);

    // A leaf prefix equal to the pattern's text passes even where the pattern finds no match.
    EXPECT_FALSE(is_prefix("a+b-1", "a+b", kRegex));
    auto equal = analyse("((a+b-1,a+b-2)80,c-1);", "a+b", nullptr, kRegex);
    EXPECT_EQ(equal->target, equal.tree->root->left);
    EXPECT_EQ(equal.sisters(), Names{"c"});
}

// The target test answers once per leaf prefix where the prefix decides, and by the whole name
// where it does not: leaves that share a prefix and differ after it, asked in an order that a
// remembered answer would get wrong.
TEST(Matching, TargetTestAnswersPerPrefixOnlyWhereThePrefixDecides) {
    struct Case {
        const char* prefix;
        bool use_regex;
        char separator;
        const char* groups;                                // a group file's text, or none
        std::vector<std::pair<const char*, bool>> leaves;  // name, target leaf
    };
    const std::vector<Case> cases = {
        // a plain prefix without the separator: decided by the prefix
        {"Fun",
         kPlain,
         '-',
         nullptr,
         {{"Fungi-1", true},
          {"Fungi-2", true},
          {"Fun", true},
          {"Fu-ngi", false},
          {"Fungi", true},
          {"Metazoa-1", false},
          {"Fungi-3", true}}},
        // a prefix running past the separator tests the rest of the name
        {"Fungi-1",
         kPlain,
         '-',
         nullptr,
         {{"Fungi-1", true},
          {"Fungi-2", false},
          {"Fungi-12", true},
          {"Fungi-3", false},
          {"Fungi-1x", true},
          {"Fungi", false}}},
        {"Fungi_a",
         kPlain,
         '_',
         nullptr,
         {{"Fungi_a1", true}, {"Fungi_b", false}, {"Fungi_a", true}}},
        // a pattern looks at the whole name
        {"1$",
         kRegex,
         '-',
         nullptr,
         {{"Fungi-1", true}, {"Fungi-2", false}, {"Fungi-21", true}, {"Fungi-3", false}}},
        {"Fungi",
         kRegex,
         '-',
         nullptr,
         {{"Fungi-1", true}, {"Metazoa-Fungi", true}, {"Metazoa-1", false}}},
        // the group file: a member group's leaves pass by their prefix, the rest do not
        {"Opisthokonta",
         kPlain,
         '-',
         "Opisthokonta Metazoa\nOpisthokonta Fungi\n",
         {{"Metazoa-1", true},
          {"Plantae-1", false},
          {"Metazoa-2", true},
          {"Fungi-1", true},
          {"Opisthokonta", true},
          {"Plantae-2", false},
          {"Metazoa-Plantae", true},
          // names that start with the prefix asked last but have another prefix
          {"MetazoaX-1", false},
          {"Metazoa", true},
          {"Metazo", false},
          {"Metazoa-", true},
          {"PlantaeMetazoa-1", false},
          {"Fungi", true},
          {"Fungi_1", false}}},
        {"Opisthokonta-x",
         kPlain,
         '-',
         "Opisthokonta-x Metazoa\n",
         {{"Metazoa-1", true},
          {"Opisthokonta-x", true},
          {"Opisthokonta-y", false},
          {"Metazoa-2", true}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.prefix);
        AnalysisSettings settings;
        settings.prefix = c.prefix;
        settings.use_regex = c.use_regex;
        settings.separator = c.separator;
        std::unique_ptr<TempFile> file;
        if (c.groups != nullptr) {
            file = std::make_unique<TempFile>(c.groups);
            ASSERT_EQ(settings.groups.load(file->path()), GroupRelations::LoadResult::kLoaded);
        }
        const Analysis analysis(settings);
        ASSERT_EQ(analysis.pattern_error(), "");
        const TargetTest& test = analysis.target_test();
        // Twice through, so that every answer is asked again once known.
        for (int round = 0; round < 2; ++round) {
            for (const auto& [name, target] : c.leaves) {
                Phylogeny_Node leaf;
                leaf.is_leaf = true;
                leaf.name = name;
                EXPECT_EQ(test(&leaf), target) << name;
            }
        }
        // The same leaves in a tree whose leaves carry numbers for their prefixes, cut at the
        // test's separator or at another one (the answers by number must not be used then).
        Phylogeny tree(ladder_text(c.leaves));
        for (const char numbered_at : {c.separator, '_', '-'}) {
            LeafKeys::of_thread().number(tree, numbered_at);
            std::size_t k = 0;
            preorder(tree.root, [&](const Phylogeny_Node* n) {
                if (!n->is_leaf) return;
                EXPECT_EQ(test(n), c.leaves[k++].second) << n->name;
            });
        }
    }
}

// Past the numbers a thread's table holds, leaves carry none and are answered by their names;
// below it, every leaf of a big tree carries one.
TEST(Matching, LeavesWithoutNumbersAreAnsweredByName) {
    struct Case {
        std::size_t leaves;
        std::size_t kinds;  // distinct prefixes among them
        std::size_t without;
    };
    for (const Case c : {Case{LeafKeys::kMaxKeys + 100, LeafKeys::kMaxKeys + 100, 100},
                         Case{(std::size_t{1} << 16) + 300, 3, 0}}) {
        SCOPED_TRACE(c.leaves);
        // A thread of its own: its table starts empty.
        std::thread([c] {
            std::vector<std::pair<const char*, bool>> leaves;
            std::vector<std::string> names;
            for (std::size_t i = 0; i < c.leaves; ++i) {
                names.push_back((i % 3 == 0 ? "Fungi" : "Metazoa") + std::to_string(i % c.kinds) +
                                "-" + std::to_string(i));
            }
            for (const std::string& name : names)
                leaves.emplace_back(name.c_str(), name[0] == 'F');
            Phylogeny tree(ladder_text(leaves));
            LeafKeys::of_thread().number(tree, '-');
            AnalysisSettings settings;
            settings.prefix = "Fungi";
            const Analysis analysis(settings);
            std::size_t k = 0, without = 0;
            preorder(tree.root, [&](const Phylogeny_Node* n) {
                if (!n->is_leaf) return;
                without += n->leaf_key == kNoLeafKey;
                EXPECT_EQ(analysis.target_test()(n), leaves[k++].second) << n->name;
            });
            EXPECT_EQ(without, c.without);
        }).join();
    }
}

// The answers kept by prefix belong to one test: a group file read anew makes a new analysis
// whose answers follow the new groups, and the tests of several targets asked in turn (more of
// them than a thread keeps) each keep their own.
TEST(Matching, PrefixAnswersFollowEachTestAndEachGroupFileLoad) {
    const std::vector<const char*> loads = {"Opisthokonta Metazoa\n", "Opisthokonta Fungi\n",
                                            "Opisthokonta Metazoa\nOpisthokonta Fungi\n"};
    std::vector<std::unique_ptr<Analysis>> analyses;
    for (int copy = 0; copy < 4; ++copy) {
        for (const char* groups : loads) {
            AnalysisSettings settings;
            settings.prefix = "Opisthokonta";
            const TempFile file(groups);
            ASSERT_EQ(settings.groups.load(file.path()), GroupRelations::LoadResult::kLoaded);
            analyses.push_back(std::make_unique<Analysis>(settings));
        }
    }
    const auto ask = [](const Analysis& analysis, const char* name) {
        Phylogeny_Node leaf;
        leaf.is_leaf = true;
        leaf.name = name;
        return analysis.target_test()(&leaf);
    };
    for (int round = 0; round < 3; ++round) {
        for (std::size_t i = 0; i < analyses.size(); ++i) {
            SCOPED_TRACE(i);
            const std::size_t load = i % loads.size();
            EXPECT_EQ(ask(*analyses[i], "Metazoa-1"), load != 1);
            EXPECT_EQ(ask(*analyses[i], "Fungi-1"), load != 0);
            EXPECT_FALSE(ask(*analyses[i], "Plantae-1"));
        }
    }
}

}  // namespace

}  // namespace tavrin
