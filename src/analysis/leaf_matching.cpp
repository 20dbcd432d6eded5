#include "analysis/leaf_matching.h"

#include <cstring>
#include <string>

namespace tavrin {

LeafMatcher::LeafMatcher(const std::string& prefix, bool use_regex)
    : prefix_(prefix), use_regex_(use_regex) {
    if (!use_regex_) return;
    // The automaton runs breadth-first: the work per character is bounded by the size of the
    // pattern, where a backtracking engine takes exponential time on some patterns and one stack
    // frame per character of the name. It cannot follow back-references, so a pattern that uses
    // them is refused.
    //
    // A search tries every start position, each a pass over the rest of the name: quadratic on
    // long names without a match. An any-prefix wrapper matched from the start only is one
    // linear pass with the same answer. The pattern alone decides validity ("a)|(b" is
    // invalid, though valid once wrapped), and its refusal names offsets in the pattern as given.
    const PatternAutomaton alone(prefix_);
    if (!alone.valid()) {
        error_ = alone.error_text();
        return;
    }
    automaton_ = std::make_unique<PatternAutomaton>("[\\s\\S]*?(?:" + prefix_ + ")");
    if (!automaton_->valid()) {
        // Only the state limit can refuse the wrapped form of a valid pattern.
        error_ = automaton_->error_text();
        automaton_.reset();
    }
}

bool LeafMatcher::matches(std::string_view name) const {
    if (!use_regex_) return name.compare(0, prefix_.size(), prefix_) == 0;
    return automaton_ && automaton_->matches_prefix(name);
}

bool is_valid_separator(char c) {
    return c != '\0' && std::strchr(" \t\n\v\f\r(),:;'[]", c) == nullptr;
}

bool is_prefix(std::string name, std::string prefix, bool use_regex) {
    const LeafMatcher matcher(prefix, use_regex);
    return matcher.valid() && matcher.matches(name);
}

}  // namespace tavrin
