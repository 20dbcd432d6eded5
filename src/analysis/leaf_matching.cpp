#include "analysis/leaf_matching.h"

#include <atomic>
#include <cstring>
#include <string>

#include "tree/walk.h"

namespace tavrin {

// A compact tree's leaf holds every number a table gives.
static_assert(LeafKeys::kMaxKeys <= CompactRef::kNoKey, "prefix numbers fit a compact leaf");

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

std::uint64_t next_serial() {
    static std::atomic<std::uint64_t> next{1};
    return next.fetch_add(1, std::memory_order_relaxed);
}

LeafKeys::LeafKeys() : serial_(next_serial()) {}

LeafKeys& LeafKeys::of_thread() {
    thread_local LeafKeys keys;
    return keys;
}

PrefixAnswers<std::uint32_t>& LeafKeys::numbers(char separator) {
    for (auto& table : by_separator_) {
        if (table.first == separator) return *table.second;
    }
    by_separator_.emplace_back(separator, std::make_unique<PrefixAnswers<std::uint32_t>>());
    return *by_separator_.back().second;
}

std::uint32_t LeafKeys::key_in(PrefixAnswers<std::uint32_t>& numbers, std::string_view name,
                               char separator) {
    return numbers.get(name, separator, [&](std::string_view prefix) {
        if (entries_.size() >= kMaxKeys) return kNoLeafKey;
        entries_.push_back(Entry{std::string(prefix), separator});
        return static_cast<std::uint32_t>(entries_.size() - 1);
    });
}

void LeafKeys::number(Phylogeny& tree, char separator) {
    if (numbered(tree, separator)) return;
    // Every leaf, however big the tree: a leaf without a number is answered by its text, which
    // costs more on every later question than its number costs once.
    number_each(tree, separator, [](NodeRef) { return true; });
}

bool is_valid_separator(char c) {
    return c != '\0' && std::strchr(" \t\n\v\f\r(),:;'[]", c) == nullptr;
}

bool is_prefix(std::string name, std::string prefix, bool use_regex) {
    const LeafMatcher matcher(prefix, use_regex);
    return matcher.valid() && matcher.matches(name);
}

}  // namespace tavrin
