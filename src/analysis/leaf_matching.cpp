#include "analysis/leaf_matching.h"

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

// Does the pattern hold a number the compiler would read (digits after a backslash, or a count
// inside braces) longer than it can safely read?
bool has_oversized_number(const std::string& pattern) {
    bool in_braces = false;
    for (size_t i = 0; i < pattern.size(); ++i) {
        const char c = pattern[i];
        const bool opens_number = (c == '\\' || c == '{' || (c == ',' && in_braces));
        if (c == '{') in_braces = true;
        if (c == '}') in_braces = false;
        if (!opens_number) continue;
        size_t digits = 0;
        while (i + 1 + digits < pattern.size() && is_digit(pattern[i + 1 + digits]))
            ++digits;
        if (digits > kMaxPatternNumberDigits) return true;
        if (c == '\\') ++i;  // the escaped character is not itself an opener
    }
    return false;
}

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
    // Patterns run on the standard library's breadth-first engine, whose work per character is
    // bounded by the size of the pattern (the default engine backtracks: exponential time on
    // some patterns, and one stack frame per character of the name). That engine cannot follow
    // back-references, so a pattern that uses them is refused.
    const auto syntax = std::regex::ECMAScript | std::regex_constants::__polynomial;
    try {
        // The pattern alone decides validity ("a)|(b" is invalid, though valid once wrapped).
        std::regex(prefix_, syntax);
        // A search tries every start position, each a pass over the rest of the name: quadratic
        // on long names without a match. An any-prefix wrapper matched from the start only is
        // one linear pass with the same answer.
        regex_ = std::make_unique<std::regex>("[\\s\\S]*?(?:" + prefix_ + ")", syntax);
    } catch (const std::regex_error& e) {
        error_ = e.code() == std::regex_constants::error_complexity
                     ? std::string("back-references are not supported")
                     : std::string(e.what());
    }
}

bool LeafMatcher::matches(std::string_view name) const {
    if (!use_regex_) return plain_prefix(name, prefix_);
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
