// Leaf names: the leaf prefix, and the matcher for the target test.
#ifndef TAVRIN_ANALYSIS_LEAF_MATCHING_H
#define TAVRIN_ANALYSIS_LEAF_MATCHING_H

#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>

#include "pattern/pattern_automaton.h"

namespace tavrin {

// The byte that ends the group part of a leaf name unless another one is chosen.
constexpr char kDefaultSeparator = '-';

// The bytes of a leaf name before its first `separator` (the whole name when it has none).
inline std::string_view leaf_prefix(std::string_view name, char separator) {
    const size_t cut = name.find(separator);
    return cut == std::string_view::npos ? name : name.substr(0, cut);
}

// Can `c` separate the group from the rest of a leaf name? Any byte but NUL, blanks (space, tab,
// line breaks, vertical tab, form feed) and the bytes Newick gives a meaning to: ( ) , : ; ' [ ]
bool is_valid_separator(char c);

// Tests leaf names against the search prefix: a byte-exact prefix test, or with a pattern, an
// ECMAScript search anywhere in the name. The pattern is compiled once, and every name is
// matched in time linear in its length, without recursion that grows with it.
class LeafMatcher {
public:
    LeafMatcher(const std::string& prefix, bool use_regex);

    // False when the pattern could not be compiled; `error()` then says why and where.
    bool valid() const { return error_.empty(); }
    const std::string& error() const { return error_; }

    bool matches(std::string_view name) const;
    // Does matches() answer the same for every name with the same leaf prefix? So for a plain
    // prefix that does not hold the separator; a pattern, or a prefix running past the
    // separator, tests the rest of the name too.
    bool decided_by_leaf_prefix(char separator) const {
        return !use_regex_ && prefix_.find(separator) == std::string::npos;
    }

private:
    std::string prefix_;
    bool use_regex_;
    // The pattern behind an any-prefix, matched at the start of the name.
    std::unique_ptr<PatternAutomaton> automaton_;
    std::string error_;
};

// Answers that depend on a leaf's prefix alone, each computed once per distinct prefix: a big
// tree holds millions of leaves and a few hundred prefixes. The prefix asked about last is
// checked first (leaves that share a prefix mostly stand together), then the table of those
// seen so far.
template <typename Answer>
class PrefixAnswers {
public:
    PrefixAnswers() = default;
    // A copy has its own table: it does not point into the one it was copied from.
    PrefixAnswers(const PrefixAnswers& other) : table_(other.table_) {}
    PrefixAnswers& operator=(const PrefixAnswers& other) {
        table_ = other.table_;
        last_ = nullptr;
        return *this;
    }

    // The answer for `prefix`, computed by `compute(prefix)` the first time it is asked for.
    template <typename Compute>
    const Answer& get(std::string_view prefix, Compute compute) {
        if (last_ != nullptr && prefix == last_->first) return last_->second;
        auto it = table_.find(std::string(prefix));
        if (it == table_.end()) it = table_.emplace(std::string(prefix), compute(prefix)).first;
        last_ = &*it;  // elements of the table never move
        return last_->second;
    }

private:
    std::unordered_map<std::string, Answer> table_;
    const std::pair<const std::string, Answer>* last_ = nullptr;
};

// Does `name` start with `prefix` (byte-exact)? With `use_regex`, `prefix` is an ECMAScript
// pattern searched for anywhere in `name`; an invalid pattern matches nothing.
bool is_prefix(std::string name, std::string prefix, bool use_regex);

}  // namespace tavrin

#endif  // TAVRIN_ANALYSIS_LEAF_MATCHING_H
