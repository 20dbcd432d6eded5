#include "analysis/leaf_matching.h"

#include <cctype>
#include <regex>
#include <string>

#include "analysis/tavrin.h"

namespace {

// Longest pattern compiled: the compiler recurses once per element of the pattern, and this
// keeps it well inside an 8 MiB stack, also in sanitizer builds.
constexpr size_t kMaxPattern = 20000;
// Longest run of digits read as a number by the pattern compiler (a back-reference or a repeat
// count); longer runs overflow its arithmetic.
constexpr size_t kMaxPatternNumberDigits = 6;

bool plain_prefix(std::string_view name, std::string_view prefix) {
    return prefix.size() <= name.size() && name.compare(0, prefix.size(), prefix) == 0;
}

bool is_digit(char c) {
    return c >= '0' && c <= '9';
}

// Does the pattern hold a number that the compiler reads (a back-reference `\N` or a repeat
// count in braces, both outside bracket expressions) longer than it can safely read? The scan
// follows the compiler's ECMAScript tokens: inside `[...]` braces and digits are plain
// characters, `]` right after `[` or `[^` closes the class, and `[:`, `[.` and `[=` open a name
// that ends at the next `:`, `.` or `=` followed by `]`. `\0` is a character, `\cX` takes one
// more character, `\xHH` and `\uHHHH` their hex digits. An invalid pattern may end the scan
// early: the compiler refuses it anyway.
bool has_oversized_number(const std::string& pattern) {
    const size_t n = pattern.size();
    size_t i = 0;
    const auto digit_run = [&](size_t from) {
        size_t end = from;
        while (end < n && is_digit(pattern[end]))
            ++end;
        return end - from;
    };
    // Skips the escape whose backslash is at i; returns the length of the back-reference number
    // it holds (0 for none). Leaves i after the escape.
    const auto skip_escape = [&](bool in_bracket) -> size_t {
        ++i;  // the backslash
        if (i >= n) return 0;
        const char c = pattern[i];
        if (c >= '1' && c <= '9') {
            const size_t digits = digit_run(i);
            i += digits;
            return in_bracket ? 0 : digits;  // in a class the compiler refuses it unread
        }
        ++i;
        if (c == 'c' && i < n) {
            ++i;
        } else if (c == 'x' || c == 'u') {
            for (int k = c == 'x' ? 2 : 4;
                 k > 0 && i < n && std::isxdigit(static_cast<unsigned char>(pattern[i])); --k)
                ++i;
        }
        return 0;
    };
    while (i < n) {
        const char c = pattern[i];
        if (c == '\\') {
            if (skip_escape(false) > kMaxPatternNumberDigits) return true;
        } else if (c == '[') {
            ++i;
            if (i < n && pattern[i] == '^') ++i;
            while (i < n && pattern[i] != ']') {
                if (pattern[i] == '\\') {
                    skip_escape(true);
                } else if (pattern[i] == '[' && i + 1 < n &&
                           (pattern[i + 1] == ':' || pattern[i + 1] == '.' ||
                            pattern[i + 1] == '=')) {
                    const size_t end = pattern.find(pattern[i + 1], i + 2);
                    if (end == std::string::npos || end + 1 >= n || pattern[end + 1] != ']')
                        return false;
                    i = end + 2;
                } else {
                    ++i;
                }
            }
            ++i;  // the closing ']'
        } else if (c == '{') {
            ++i;
            while (i < n && pattern[i] != '}') {
                if (is_digit(pattern[i])) {
                    const size_t digits = digit_run(i);
                    if (digits > kMaxPatternNumberDigits) return true;
                    i += digits;
                } else if (pattern[i] == ',') {
                    ++i;
                } else {
                    return false;  // not a count: the compiler refuses the brace
                }
            }
            ++i;
        } else {
            ++i;
        }
    }
    return false;
}

#if !defined(TAVRIN_REGEX_POLYNOMIAL)
// Why the automaton refused a pattern. (The standard library's engine says it in its own words.)
std::string pattern_error_text(std::regex_constants::error_type code) {
    namespace rc = std::regex_constants;
    switch (code) {
        case rc::error_collate:
            return "invalid name in a bracket expression";
        case rc::error_ctype:
            return "unterminated character class name";
        case rc::error_escape:
            return "invalid escape";
        case rc::error_backref:
            return "invalid back-reference";
        case rc::error_brack:
            return "invalid or unterminated bracket expression";
        case rc::error_paren:
            return "unbalanced parentheses";
        case rc::error_brace:
            return "unterminated repeat count";
        case rc::error_badbrace:
            return "invalid repeat count";
        case rc::error_range:
            return "invalid character range";
        case rc::error_space:
            return "pattern too large once its repeats are expanded";
        case rc::error_badrepeat:
            return "nothing to repeat";
        case rc::error_complexity:
            return "back-references are not supported";
        case rc::error_stack:
            return "pattern too complex";
        default:
            return "invalid pattern";
    }
}
#endif

}  // namespace

LeafMatcher::LeafMatcher(const std::string& prefix, bool use_regex)
    : prefix_(prefix), use_regex_(use_regex) {
    if (!use_regex_) return;
    if (prefix_.size() > kMaxPattern) {
        error_ = "pattern longer than " + std::to_string(kMaxPattern) + " characters";
        return;
    }
    if (has_oversized_number(prefix_)) {
        error_ = "a back-reference or repeat count with more than " +
                 std::to_string(kMaxPatternNumberDigits) + " digits";
        return;
    }
    // Patterns run breadth-first: the work per character is bounded by the size of the
    // pattern (a backtracking engine takes exponential time on some patterns, and one stack
    // frame per character of the name). Breadth-first matching cannot follow back-references,
    // so a pattern that uses them is refused.
    //
    // A search tries every start position, each a pass over the rest of the name: quadratic on
    // long names without a match. An any-prefix wrapper matched from the start only is one
    // linear pass with the same answer. The pattern alone decides validity ("a)|(b" is
    // invalid, though valid once wrapped).
    const std::string wrapped = "[\\s\\S]*?(?:" + prefix_ + ")";
#if defined(TAVRIN_REGEX_POLYNOMIAL)
    // The standard library's own breadth-first mode (a GCC extension).
    const auto syntax = std::regex::ECMAScript | std::regex_constants::__polynomial;
    try {
        std::regex(prefix_, syntax);
        regex_ = std::make_unique<std::regex>(wrapped, syntax);
    } catch (const std::regex_error& e) {
        error_ = e.code() == std::regex_constants::error_complexity
                     ? std::string("back-references are not supported")
                     : std::string(e.what());
    }
#else
    // Elsewhere the automaton, which reads patterns exactly as that mode does.
    const PatternAutomaton alone(prefix_);
    if (!alone.valid()) {
        error_ = pattern_error_text(alone.error());
        return;
    }
    automaton_ = std::make_unique<PatternAutomaton>(wrapped);
    if (!automaton_->valid()) {
        error_ = pattern_error_text(automaton_->error());
        automaton_.reset();
    }
#endif
}

bool LeafMatcher::matches(std::string_view name) const {
    if (!use_regex_) return plain_prefix(name, prefix_);
    if (automaton_) return automaton_->matches_prefix(name);
    if (!regex_) return false;
    try {
        return std::regex_search(
            name.begin(), name.end(), *regex_,
            std::regex_constants::match_any | std::regex_constants::match_continuous);
    } catch (const std::regex_error& e) {
        // The engine gave up on this name (its own complexity limits).
        if (failure_.empty()) failure_ = std::string("Pattern search failed: ") + e.what();
        return false;
    }
}

bool is_prefix(std::string name, std::string prefix, bool use_regex) {
    const LeafMatcher matcher(prefix, use_regex);
    return matcher.valid() && matcher.matches(name);
}
