// The pattern automaton: answers on long names, and, where GCC's std::regex with its linear mode
// is available, the same validity, error codes and answers as that mode on many patterns.
#include <gtest/gtest.h>

#include <random>
#include <regex>
#include <string>
#include <vector>

#include "analysis/pattern_automaton.h"

namespace {

// The wrapper the leaf matcher puts around a pattern: a search anywhere, as one prefix match.
std::string wrapped(const std::string& pattern) {
    return "[\\s\\S]*?(?:" + pattern + ")";
}

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

TEST(PatternAutomaton, RefusesLikeTheLinearMode) {
    namespace rc = std::regex_constants;
    const std::vector<std::pair<std::string, rc::error_type>> refused = {
        {"(a)\\1", rc::error_complexity},  {"(", rc::error_paren},
        {"a)", rc::error_paren},           {"[a", rc::error_brack},
        {"*a", rc::error_paren},           {"a{2", rc::error_brace},
        {"a{x}", rc::error_badbrace},      {"a{3,2}", rc::error_badbrace},
        {"[z-a]", rc::error_range},        {"[\\w-z]", rc::error_range},
        {"[[:nope:]]", rc::error_collate}, {"[[:alpha]", rc::error_ctype},
        {"[[.0.]]", rc::error_collate},    {"\\", rc::error_escape},
        {"\\x4", rc::error_escape},        {"a{100000}", rc::error_space},
        {"(?<a)", rc::error_paren},        {"[\\1]", rc::error_brack},
    };
    for (const auto& [pattern, code] : refused) {
        SCOPED_TRACE(pattern);
        const PatternAutomaton automaton(pattern);
        EXPECT_FALSE(automaton.valid());
        EXPECT_EQ(automaton.error(), code);
        EXPECT_FALSE(automaton.matches_prefix("a"));
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

// Groups nest on the heap: 10,000 levels (the longest pattern the matcher accepts) compile and
// match, in sanitizer builds too.
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
}

#if defined(TAVRIN_HAVE_REGEX_POLYNOMIAL)

const auto kLinear = std::regex::ECMAScript | std::regex_constants::__polynomial;

// Compiles with the standard library; false (and the code) when it refuses the pattern.
bool reference_compile(const std::string& pattern, std::regex& out,
                       std::regex_constants::error_type& code) {
    try {
        out = std::regex(pattern, kLinear);
        return true;
    } catch (const std::regex_error& e) {
        code = e.code();
        return false;
    }
}

bool reference_search(const std::regex& re, const std::string& name) {
    return std::regex_search(
        name.begin(), name.end(), re,
        std::regex_constants::match_any | std::regex_constants::match_continuous);
}

// Compares validity, error code and the answer for every name, bare and wrapped.
void expect_same(const std::string& pattern, const std::vector<std::string>& names) {
    SCOPED_TRACE("pattern: " + pattern);
    for (const std::string& text : {pattern, wrapped(pattern)}) {
        std::regex re;
        std::regex_constants::error_type code{};
        const bool valid = reference_compile(text, re, code);
        const PatternAutomaton automaton(text);
        ASSERT_EQ(automaton.valid(), valid) << text;
        if (!valid) {
            EXPECT_EQ(automaton.error(), code) << text;
            return;
        }
        for (const std::string& name : names)
            EXPECT_EQ(automaton.matches_prefix(name), reference_search(re, name))
                << text << " on \"" << name << "\"";
    }
}

const std::vector<std::string> kNames = {
    "",          "a",        "b",         "ab",          "ba",       "aab",        "abab",
    "Fungi-Sc1", "XFungi-1", "fungi-sc1", "Metazoa-Hs2", "Choano-a", "{,1234567}", "a\nb",
    "a\rb",      " a b ",    "a_b",       "_",           "-",        "--a",        "[]",
    "a]b",       "\\",       "A1-b2",     "\t\v\f",      "zzz",      "E",          "\x80\xff",
    "x9y",       "aaaaaaa",  "a-b-c",     "Sc1",         "%$#",      "^a$",
};

TEST(PatternAutomaton, SameAnswersAsTheLinearModeOnChosenPatterns) {
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
TEST(PatternAutomaton, SameAnswersAsTheLinearModeOnRandomPatterns) {
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
        valid += reference_compile(pattern, re, code) ? 1 : 0;
        if (HasFailure()) break;
    }
    EXPECT_GT(valid, 750);  // the sample exercises matching, not only refusals
}

// The state limit is met at the same point: the largest count accepted is the same.
TEST(PatternAutomaton, StateLimitMetAtTheSamePoint) {
    for (const std::string base : {"a", "(?=q)b?", "(a{2}){3,}"}) {
        SCOPED_TRACE(base);
        const auto counted = [&](size_t count) { return base + "{" + std::to_string(count) + "}"; };
        // Each copy adds the same number of states: the last count that fits follows.
        const size_t one = PatternAutomaton(counted(1)).size();
        const size_t per_copy = PatternAutomaton(counted(2)).size() - one;
        const size_t last = 1 + (PatternAutomaton::kMaxStates - one) / per_copy;
        const PatternAutomaton fits(counted(last)), too_many(counted(last + 1));
        EXPECT_TRUE(fits.valid());
        EXPECT_FALSE(too_many.valid());
        std::regex re;
        std::regex_constants::error_type code{};
        EXPECT_TRUE(reference_compile(counted(last), re, code)) << counted(last);
        EXPECT_FALSE(reference_compile(counted(last + 1), re, code)) << counted(last + 1);
        EXPECT_EQ(code, too_many.error());
    }
}

#endif  // TAVRIN_HAVE_REGEX_POLYNOMIAL

}  // namespace
