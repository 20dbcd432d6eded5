// The pattern automaton against the standard library's std::regex, the reference for --E
// patterns: shared by the differential tests, the fuzz target `fuzz_pattern` and its replay.
// Both engines compile the same text, the pattern alone and wrapped as the leaf matcher wraps it
// (a search anywhere as one match from the start of the name, so that a lookahead starts its
// own match where GCC's engine starts it).
//
// The reference is GCC's std::regex in its breadth-first ("polynomial") mode, the mode the
// automaton reads patterns like: validity, the kind of every refusal and the answers must agree.
// Other standard libraries read some patterns their own way (`^` and `\b` at the start of a
// lookahead, `\cX`, equivalence classes), so with them only the automaton and the leaf matcher
// are checked against each other.
//
// Pattern input, laid out to stay readable in the corpus:
//   up to '\n'   the pattern (at most kMaxFuzzPattern bytes are used)
//   the rest     the leaf name (at most kMaxFuzzName bytes are used)
#ifndef TAVRIN_TESTS_SUPPORT_PATTERN_CHECKS_H
#define TAVRIN_TESTS_SUPPORT_PATTERN_CHECKS_H

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <regex>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/leaf_matching.h"
#include "pattern/pattern_automaton.h"
#include "tree/numbers.h"

namespace tavrin {

namespace tavrin_fuzz {

#if defined(__GLIBCXX__)
constexpr bool kReferenceIsLinear = true;
constexpr auto kReferenceSyntax = std::regex::ECMAScript | std::regex_constants::__polynomial;
#else
constexpr bool kReferenceIsLinear = false;
constexpr auto kReferenceSyntax = std::regex::ECMAScript;
#endif

// Short patterns and names reach every part of the engines and keep the reference fast.
constexpr size_t kMaxFuzzPattern = 24;
constexpr size_t kMaxFuzzName = 48;
// Larger automata (long counted repeats) are left out of the comparison: the reference would
// spend its time on them, not the comparison.
constexpr size_t kMaxComparedStates = 4000;

// Does the text hold a run of more than six digits? GCC's pattern compiler reads a repeat count
// or back-reference number into a long without checking for overflow (undefined behaviour), so
// such texts are kept from the reference.
inline bool has_long_number(const std::string& text) {
    size_t run = 0;
    for (const char c : text) {
        run = tavrin::is_digit(c) ? run + 1 : 0;
        if (run > 6) return true;
    }
    return false;
}

// The wrapper the leaf matcher puts around a pattern: a search anywhere, as one prefix match.
inline std::string wrapped(const std::string& pattern) {
    return "[\\s\\S]*?(?:" + pattern + ")";
}

// Compiles with the reference; false (and the code) when it refuses the pattern.
inline bool reference_compile(const std::string& pattern, std::regex& out,
                              std::regex_constants::error_type& code) {
    try {
        out = std::regex(pattern, kReferenceSyntax);
        return true;
    } catch (const std::regex_error& e) {
        code = e.code();
        return false;
    }
}

// The automaton's kind of refusal for a reference error code.
inline PatternAutomaton::Error error_kind(std::regex_constants::error_type code) {
    namespace rc = std::regex_constants;
    using E = PatternAutomaton::Error;
    static const struct {
        rc::error_type code;
        E kind;
    } kKinds[] = {
        {rc::error_escape, E::escape},      {rc::error_complexity, E::back_reference},
        {rc::error_brack, E::bracket},      {rc::error_paren, E::parenthesis},
        {rc::error_brace, E::brace},        {rc::error_badbrace, E::repeat_count},
        {rc::error_range, E::range},        {rc::error_space, E::too_large},
        {rc::error_collate, E::class_name}, {rc::error_ctype, E::class_name_end},
    };
    for (const auto& entry : kKinds) {
        if (entry.code == code) return entry.kind;
    }
    return E::none;
}

// Does the pattern match at the start of `name`, with any end?
inline bool reference_prefix_match(const std::regex& re, const std::string& name) {
    return std::regex_search(
        name.begin(), name.end(), re,
        std::regex_constants::match_any | std::regex_constants::match_continuous);
}

// Compares one text compiled by both engines: validity (and the kind of refusal) and the answer
// on every name. "" when they agree.
inline std::string compare_compiled(const std::string& text,
                                    const std::vector<std::string>& names) {
    if (!kReferenceIsLinear || has_long_number(text)) return "";
    const PatternAutomaton automaton(text);
    if (automaton.valid() && automaton.size() > kMaxComparedStates) return "";
    // A count over the automaton's own limit, which the reference does not have.
    if (automaton.error() == PatternAutomaton::Error::repeat_limit) return "";
    std::regex re;
    std::regex_constants::error_type code{};
    const bool valid = reference_compile(text, re, code);
    if (automaton.valid() != valid)
        return "validity differs on \"" + text + "\": " + automaton.error_text();
    if (!valid && automaton.error() != error_kind(code))
        return "kind of refusal differs on \"" + text + "\": " + automaton.error_text();
    if (automaton.valid() != automaton.error_text().empty())
        return "error text does not follow validity on \"" + text + "\"";
    if (!valid || !automaton.valid()) return "";
    for (const std::string& name : names) {
        try {
            if (automaton.matches_prefix(name) != reference_prefix_match(re, name))
                return "answers differ: \"" + text + "\" on \"" + name + "\"";
        } catch (const std::regex_error&) {
            // The reference gave up on this name (its own complexity limits): no comparison.
        }
    }
    return "";
}

// Compares a pattern on names, bare and wrapped as the leaf matcher wraps it, and the leaf
// matcher itself with the automaton of the wrapped form. "" when everything agrees.
inline std::string compare_pattern(const std::string& pattern,
                                   const std::vector<std::string>& names) {
    for (const std::string& text : {pattern, wrapped(pattern)}) {
        const std::string verdict = compare_compiled(text, names);
        if (!verdict.empty()) return verdict;
    }
    const PatternAutomaton bare(pattern);
    if (bare.size() > kMaxComparedStates) return "";
    const LeafMatcher matcher(pattern, true);
    if (matcher.error() != bare.error_text())
        return "leaf matcher refuses \"" + pattern + "\" otherwise: " + matcher.error();
    if (!matcher.valid()) return "";
    const PatternAutomaton search(wrapped(pattern));
    for (const std::string& name : names) {
        if (matcher.matches(name) != search.matches_prefix(name))
            return "leaf matcher answers otherwise: \"" + pattern + "\" on \"" + name + "\"";
    }
    return "";
}

inline std::string check_pattern_input(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const size_t end = bytes.find('\n');
    std::string pattern(bytes.substr(0, std::min(end, kMaxFuzzPattern)));
    std::string name;
    if (end != std::string_view::npos) name = std::string(bytes.substr(end + 1, kMaxFuzzName));
    return compare_pattern(pattern, {name});
}

}  // namespace tavrin_fuzz

}  // namespace tavrin

#endif  // TAVRIN_TESTS_SUPPORT_PATTERN_CHECKS_H
