// Leaf names: the leaf prefix, and the matcher for the target test.
#ifndef TAVRIN_ANALYSIS_LEAF_MATCHING_H
#define TAVRIN_ANALYSIS_LEAF_MATCHING_H

#include <memory>
#include <regex>
#include <string>
#include <string_view>

#include "analysis/pattern_automaton.h"

// The bytes of a leaf name before its first '-' (the whole name when it has none).
inline std::string_view leaf_prefix(std::string_view name) {
    const size_t dash = name.find('-');
    return dash == std::string_view::npos ? name : name.substr(0, dash);
}

// Tests leaf names against the search prefix: a byte-exact prefix test, or with a pattern, an
// ECMAScript search anywhere in the name. The pattern is compiled once, and every name is
// matched in time linear in its length, without recursion that grows with it.
class LeafMatcher {
public:
    LeafMatcher(const std::string& prefix, bool use_regex);

    // False when the pattern could not be compiled; `error()` then says why.
    bool valid() const { return error_.empty(); }
    const std::string& error() const { return error_; }

    bool matches(std::string_view name) const;

    // Set when a name could not be tested safely; the answer for it was "no match".
    const std::string& failure() const { return failure_; }

private:
    std::string prefix_;
    bool use_regex_;
    // The pattern behind an any-prefix, matched at the start: with the standard library's
    // linear mode where it has one, else with the automaton.
    std::unique_ptr<std::regex> regex_;
    std::unique_ptr<PatternAutomaton> automaton_;
    std::string error_;
    mutable std::string failure_;
};

#endif  // TAVRIN_ANALYSIS_LEAF_MATCHING_H
