// The pattern automaton: answers on long names, refusals, and, with GCC's standard library, the
// same validity, kinds of refusal and answers as std::regex in its linear mode on many patterns.
#include <gtest/gtest.h>

#include <random>
#include <regex>
#include <string>
#include <vector>

#include "pattern/pattern_automaton.h"
#include "support/pattern_checks.h"

namespace tavrin {

namespace {

using tavrin_fuzz::wrapped;

bool automaton_search(const std::string& pattern, const std::string& name) {
    const PatternAutomaton automaton(wrapped(pattern));
    EXPECT_TRUE(automaton.valid()) << pattern;
    return automaton.matches_prefix(name);
}

TEST(PatternAutomaton, AnswersOnSmallCases) {
    struct Case {
        const char* pattern;
        const char* name;
        bool found;
    };
    const Case cases[] = {
        {"^Fungi-S", "Fungi-Sc1", true},
        {"^Fungi-S", "XFungi-Sc1", false},
        {"Fungi(?=-)", "XFungi-Sc1", true},
        {"Fungi(?=-)", "FungiSc1", false},
        {"Fungi(?!-)", "Fungi-1Fungi2", true},
        {"\\bSc\\d$", "Fungi-Sc1", true},
        {"\\BSc\\d$", "Fungi-Sc1", false},
        {"a{2,3}b", "xaab", true},
        {"^a{2,3}b", "ab", false},
        {"[[:upper:]][[=e=]]", "xYE", true},
        {"", "", true},
        // Inside a lookahead, ^ holds where the lookahead starts (as GCC's reader has it).
        {"a(?=^b)", "ab", true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(automaton_search(c.pattern, c.name), c.found) << c.pattern << " in " << c.name;
}

// Each refusal says what is wrong and where (a byte offset in the pattern as given).
TEST(PatternAutomaton, RefusalsSayWhatAndWhere) {
    using E = PatternAutomaton::Error;
    const struct {
        const char* pattern;
        E kind;
        const char* text;
    } refused[] = {
        {"(a)\\1", E::back_reference, "back-references are not supported at offset 3"},
        {"Choano(", E::parenthesis, "missing ')' at offset 7"},
        {"a)", E::parenthesis, "unmatched ')' at offset 1"},
        {"*a", E::parenthesis, "nothing to repeat at offset 0"},
        {"a|(+)", E::parenthesis, "nothing to repeat at offset 3"},
        {"(?<a)", E::parenthesis, "unknown group after \"(?\" at offset 0"},
        {"[a", E::bracket, "invalid or unterminated bracket expression at offset 2"},
        {"[\\1]", E::bracket, "invalid or unterminated bracket expression at offset 1"},
        {"ab{2", E::brace, "unterminated repeat count at offset 2"},
        {"a{x}", E::repeat_count, "invalid repeat count at offset 2"},
        {"a{3,2}", E::repeat_count, "invalid repeat count at offset 1"},
        {"[z-a]", E::range, "invalid character range at offset 3"},
        {"[\\w-z]", E::range, "invalid character range at offset 3"},
        {"[[:nope:]]", E::class_name, "unknown name in a bracket expression at offset 1"},
        {"[[.0.]]", E::class_name, "unknown name in a bracket expression at offset 1"},
        {"[[:alpha]", E::class_name_end, "unterminated character class name at offset 1"},
        {"\\", E::escape, "invalid escape at offset 0"},
        {"x\\x4", E::escape, "invalid escape at offset 1"},
        {"(a{1000}){101}", E::too_large, "pattern too large once its repeats are expanded"},
        // Counts past 1000 are refused as they are read, before any copy is made.
        {"a{1001}", E::repeat_limit, "repeat count over 1000 at offset 1"},
        {"xa{2,1001}", E::repeat_limit, "repeat count over 1000 at offset 2"},
        {"a{1001,}", E::repeat_limit, "repeat count over 1000 at offset 1"},
        {"a{99999999999999999999}", E::repeat_limit, "repeat count over 1000 at offset 1"},
        {"(b|A{30000})", E::repeat_limit, "repeat count over 1000 at offset 4"},
    };
    for (const auto& r : refused) {
        SCOPED_TRACE(r.pattern);
        const PatternAutomaton automaton(r.pattern);
        EXPECT_FALSE(automaton.valid());
        EXPECT_EQ(automaton.error(), r.kind);
        EXPECT_EQ(automaton.error_text(), r.text);
        EXPECT_FALSE(automaton.matches_prefix("a"));
    }
    for (const char* fine_pattern : {"a{2}", "a{1000}", "a{0,1000}", "a{1000,}"}) {
        const PatternAutomaton fine(fine_pattern);
        EXPECT_EQ(fine.error(), PatternAutomaton::Error::none) << fine_pattern;
        EXPECT_EQ(fine.error_text(), "");
    }
}

// Every answer comes from one sweep over the name: no stack growth, no give-up, on names of
// 100,000 characters, lookaheads included.
TEST(PatternAutomaton, VeryLongNamesGetAnAnswer) {
    std::string ab(99999, 'a');
    for (std::size_t i = 1; i < ab.size(); i += 2)
        ab[i] = 'b';
    EXPECT_TRUE(automaton_search("(a|b)*c", ab + "c"));
    EXPECT_FALSE(automaton_search("(a|b)*c", ab + "a"));
    EXPECT_TRUE(automaton_search("^(a|b|ab)*$", ab));
    const std::string ys(99999, 'y');
    EXPECT_TRUE(automaton_search(".*x", ys + "x"));
    EXPECT_FALSE(automaton_search(".*x", ys + "y"));
    EXPECT_FALSE(automaton_search("(?=.*x)", ys + "y"));
    EXPECT_TRUE(automaton_search("(?=.*x)y", ys + "x"));
    EXPECT_TRUE(automaton_search("^(?!.*x)", ys));
    EXPECT_TRUE(automaton_search("(y+)+z|y$", ys));
    EXPECT_FALSE(automaton_search("(y+)+z", ys));
}

// One automaton answers name after name (its working sets are reused): each answer is the one a
// fresh automaton gives, whatever came before, long or short, lookaheads included.
TEST(PatternAutomaton, AnswersDoNotDependOnEarlierNames) {
    const std::vector<std::string> names = {
        std::string(5000, 'y') + "x", "", "x", "yx-", "Fungi-Sc1", "yy", "-x", "x"};
    for (const std::string pattern : {"(?=.*x)y", "^(?!.*-)\\w*x", "\\bx(?=-|$)"}) {
        const PatternAutomaton reused(wrapped(pattern));
        for (const std::string& name : names)
            EXPECT_EQ(reused.matches_prefix(name), automaton_search(pattern, name))
                << pattern << " in " << name.substr(0, 20);
    }
}

// Groups nest on the heap: 10,000 levels compile and match, in sanitizer builds too, and length
// alone never refuses a pattern.
TEST(PatternAutomaton, DeepNestingNeedsNoCallStack) {
    const std::string groups = std::string(10000, '(') + "a" + std::string(10000, ')');
    EXPECT_TRUE(automaton_search(groups, "xa"));
    EXPECT_FALSE(automaton_search(groups, "x"));
    std::string lookaheads;
    for (int i = 0; i < 5000; ++i)
        lookaheads += "(?=";
    lookaheads += "b" + std::string(5000, ')') + "b";
    EXPECT_TRUE(automaton_search(lookaheads, "ab"));
    EXPECT_FALSE(automaton_search(lookaheads, "aa"));
    const std::string long_pattern = std::string(30000, 'q') + "|x";
    EXPECT_TRUE(automaton_search(long_pattern, "ax"));
    EXPECT_FALSE(automaton_search(long_pattern, "qqq"));
}

// Compares validity and the answers for every name, as a prefix match and as the leaf matcher's
// search anywhere.
void expect_same(const std::string& pattern, const std::vector<std::string>& names) {
    EXPECT_EQ(tavrin_fuzz::compare_pattern(pattern, names), "");
}

const std::vector<std::string> kNames = {
    "",          "a",        "b",         "ab",          "ba",       "aab",        "abab",
    "Fungi-Sc1", "XFungi-1", "fungi-sc1", "Metazoa-Hs2", "Choano-a", "{,1234567}", "a\nb",
    "a\rb",      " a b ",    "a_b",       "_",           "-",        "--a",        "[]",
    "a]b",       "\\",       "A1-b2",     "\t\v\f",      "zzz",      "E",          "\x80\xff",
    "x9y",       "aaaaaaa",  "a-b-c",     "Sc1",         "%$#",      "^a$",
};

TEST(PatternAutomaton, SameAnswersAsStdRegexOnChosenPatterns) {
    if (!tavrin_fuzz::kReferenceIsLinear) GTEST_SKIP() << "needs GCC's linear mode as reference";
    const std::vector<std::string> patterns = {
        // The leaf matcher's own tests and the command-line cases.
        "",
        "^Fungi-S",
        "Fungi",
        "Fungi|Metazoa",
        "\\d",
        "Fungi(?=-)",
        "(a|b)*c",
        ".*x",
        "^Cho",
        "Cho",
        "a+b",
        "[{],1234567|Choano",
        "\\01234567",
        "\\c12345678",
        "\\x311234567",
        "[[:digit:]]1234567",
        "[\\{]1234567}",
        "\\{1234567\\}",
        "\\\\1234567",
        // Anchors, boundaries, lookaheads, nested and negated.
        "^",
        "$",
        "^$",
        "a$",
        "^a",
        "\\b",
        "\\B",
        "\\ba",
        "a\\b",
        "\\Bb",
        "(?=a)",
        "(?!a)",
        "(?=a)b",
        "(?=a)a",
        "a(?=b)",
        "a(?!b)",
        "(?=(?=a)a)",
        "(?=(?!b)a)b",
        "(?=^a)",
        "a(?=^b)",
        "(?=\\bb)",
        "a(?=\\bb)",
        "(?=a$)",
        "^(?!.*b)",
        "(?=.*b)a",
        "((?=a)|b)+",
        // Quantifiers, lazy forms, counted repeats.
        "a*",
        "a+",
        "a?",
        "a*?",
        "a+?",
        "a??",
        "a{2}",
        "a{2,}",
        "a{1,3}",
        "a{0}",
        "a{0,0}",
        "a{2,3}?",
        "(ab){2}",
        "(a|b){3,}",
        "(a*)*",
        "(a*)+b",
        "(a?){3}",
        "(|a)+",
        "(?:a|)*b",
        "((a))\\b",
        "a**",
        "a*+",
        // Classes and brackets.
        ".",
        "a.b",
        "[ab]",
        "[^ab]",
        "[a-c]",
        "[-a]",
        "[a-]",
        "[]",
        "[^]",
        "[]a]",
        "[^]a]",
        "[a-c-e]",
        "[--a]",
        "[a\\-z]",
        "[\\d-]",
        "[\\w]",
        "[\\W]",
        "[\\s\\S]",
        "[\\D_]",
        "[[:alpha:]]",
        "[[:ALPHA:]]",
        "[[:w:]]",
        "[[:blank:]]",
        "[[:punct:]]",
        "[[:xdigit:]]",
        "[[.a.]]",
        "[[.hyphen.]]",
        "[[.space.]x]",
        "[[=a=]]",
        "[[=E=]]",
        "[[.a.]-c]",
        "[\\b]",
        "[\\x41-\\x5a]",
        "[\\u0061]",
        "[\\0]",
        "\\D",
        "\\S",
        "\\W",
        "\\w+",
        "\\s",
        "[\\x80-\\xff]",
        "[\\x00-\\x7f]",
        "\\u0141",
        "\\cJ",
        "\\n",
        "\\t|\\v",
        "\\.",
        "\\-",
        "\\a",
        "\\]",
        "\\}",
        "]",
        "}",
        "a}",
        "a]b",
        // Invalid ones.
        "(",
        ")",
        "(?",
        "(?x)",
        "[",
        "[a",
        "[[:a",
        "[[:a:]",
        "a{",
        "a{1",
        "a{1,",
        "a{,1}",
        "{1}",
        "*",
        "+a",
        "?",
        "|*",
        "(*)",
        "a|*",
        "^*",
        "\\",
        "\\x",
        "\\u12",
        "\\c",
        "[z-a]",
        "[a-\\w]",
        "[\\w-a]",
        "[[=zz=]]",
        "[[.zz.]]",
        "[[:zz:]]",
        "(a)\\1",
        "\\1",
        "[\\B]",
    };
    for (const std::string& pattern : patterns)
        expect_same(pattern, kNames);
}

// Random patterns over the grammar's pieces, against random names.
TEST(PatternAutomaton, SameAnswersAsStdRegexOnRandomPatterns) {
    if (!tavrin_fuzz::kReferenceIsLinear) GTEST_SKIP() << "needs GCC's linear mode as reference";
    const std::vector<std::string> pieces = {
        "a",         "b",   "-",   ".",   "*",     "+",   "?",    "|",    "(",   ")",
        "(?:",       "(?=", "(?!", "[",   "]",     "[^",  "^",    "$",    "\\b", "\\B",
        "\\d",       "\\w", "\\s", "\\W", "{1,2}", "{2}", "{0,}", "{,",   "1",   "_",
        "[:alpha:]", "\\-", "a-b", "\\n", "]",     "}",   "{",    "\\x61"};
    const std::string alphabet = "ab-_1 \nA";
    std::mt19937 rng(20251207);
    std::vector<std::string> names = kNames;
    for (int i = 0; i < 30; ++i) {
        std::string name;
        for (int k = static_cast<int>(rng() % 9); k > 0; --k)
            name += alphabet[rng() % alphabet.size()];
        names.push_back(name);
    }
    int valid = 0;
    for (int i = 0; i < 3000; ++i) {
        std::string pattern;
        for (int k = 1 + static_cast<int>(rng() % 8); k > 0; --k)
            pattern += pieces[rng() % pieces.size()];
        expect_same(pattern, names);
        std::regex re;
        std::regex_constants::error_type code{};
        valid += tavrin_fuzz::reference_compile(pattern, re, code) ? 1 : 0;
        if (HasFailure()) break;
    }
    EXPECT_GT(valid, 750);  // the sample exercises matching, not only refusals
}

// The state limit is met at the same point: the largest count accepted is the same.
TEST(PatternAutomaton, StateLimitMetAtTheSamePoint) {
    if (!tavrin_fuzz::kReferenceIsLinear) GTEST_SKIP() << "needs GCC's linear mode as reference";
    for (const std::string base : {"a", "(?=q)b?", "(a{2}){3,}"}) {
        SCOPED_TRACE(base);
        // Counts stay within the repeat limit: a thousand copies of the base, repeated.
        const auto counted = [&](size_t count) {
            return "(" + base + "{1000}){" + std::to_string(count) + "}";
        };
        // Each copy adds the same number of states: the last count that fits follows.
        const size_t one = PatternAutomaton(counted(1)).size();
        const size_t per_copy = PatternAutomaton(counted(2)).size() - one;
        const size_t last = 1 + (PatternAutomaton::kMaxStates - one) / per_copy;
        const PatternAutomaton fits(counted(last)), too_many(counted(last + 1));
        EXPECT_TRUE(fits.valid());
        EXPECT_FALSE(too_many.valid());
        std::regex re;
        std::regex_constants::error_type code{};
        EXPECT_TRUE(tavrin_fuzz::reference_compile(counted(last), re, code)) << counted(last);
        EXPECT_FALSE(tavrin_fuzz::reference_compile(counted(last + 1), re, code))
            << counted(last + 1);
        EXPECT_EQ(tavrin_fuzz::error_kind(code), too_many.error());
    }
}

}  // namespace

}  // namespace tavrin
