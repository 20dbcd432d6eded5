// Leaf names: the leaf prefix, and the matcher for the target test.
#ifndef TAVRIN_ANALYSIS_LEAF_MATCHING_H
#define TAVRIN_ANALYSIS_LEAF_MATCHING_H

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "pattern/pattern_automaton.h"
#include "tree/node_ref.h"
#include "tree/phylogeny.h"
#include "tree/walk.h"

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
// checked first, against the name itself (leaves that share a prefix mostly stand together),
// then the table of those seen so far. The table stops growing at kMaxPrefixes (names without a
// separator are each their own prefix): later prefixes are computed each time they come.
template <typename Answer>
class PrefixAnswers {
public:
    static constexpr std::size_t kMaxPrefixes = 4096;

    PrefixAnswers() = default;
    PrefixAnswers(const PrefixAnswers&) = delete;  // the table's keys point into `keys_`
    PrefixAnswers& operator=(const PrefixAnswers&) = delete;

    // The answer for the leaf prefix of `name`, computed by `compute(prefix)` the first time it
    // is asked for.
    template <typename Compute>
    Answer get(std::string_view name, char separator, Compute compute) {
        // The last prefix holds no separator: a name that starts with it and goes on with the
        // separator, or ends there, has it as its leaf prefix.
        const std::size_t n = last_.size();
        if (has_last_ && name.size() >= n && (name.size() == n || name[n] == separator) &&
            name.compare(0, n, last_) == 0) {
            return last_answer_;
        }
        const std::string_view prefix = leaf_prefix(name, separator);
        const auto it = table_.find(prefix);
        if (it != table_.end()) {
            last_ = it->first;
            last_answer_ = it->second;
        } else {
            last_answer_ = compute(prefix);
            if (table_.size() < kMaxPrefixes) {
                keys_.emplace_back(prefix);
                last_ = keys_.back();
                table_.emplace(last_, last_answer_);
            } else {
                beyond_.assign(prefix.data(), prefix.size());
                last_ = beyond_;
            }
        }
        has_last_ = true;
        return last_answer_;
    }

    void clear() {
        table_.clear();
        keys_.clear();
        has_last_ = false;
    }

private:
    // Prefixes are short: a byte-wise hash of them costs less than the library's.
    struct Hash {
        std::size_t operator()(std::string_view text) const noexcept {
            std::size_t hash = 14695981039346656037ULL;
            for (const char c : text)
                hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ULL;
            return hash;
        }
    };

    std::deque<std::string> keys_;  // stable storage for the views in `table_`
    std::unordered_map<std::string_view, Answer, Hash> table_;
    std::string beyond_;     // the last prefix when the table is full
    std::string_view last_;  // the prefix asked about last, in `keys_` or `beyond_`
    Answer last_answer_{};
    bool has_last_ = false;
};

// A number that no other call in the process answers, from 1: what keeps answers for a table,
// a test or a list of relations tells them apart by it.
std::uint64_t next_serial();

// Numbers for leaf prefixes, so that an answer that depends on a leaf's prefix alone is found by
// the number the leaf carries rather than by its text. A thread numbers the prefixes it meets,
// each with the separator it was cut at, in one table that lives as long as the thread and only
// grows; past kMaxKeys prefixes a leaf carries no number and is answered by its text. A tree is
// numbered by the thread that analyses it, before its analysis there begins.
class LeafKeys {
public:
    static constexpr std::size_t kMaxKeys = 4096;

    static LeafKeys& of_thread();

    // Numbers the leaves of `tree` by their prefix before `separator`, unless they carry this
    // table's numbers for that separator already.
    void number(Phylogeny& tree, char separator);
    // Numbers the leaves of `tree` as number() does and calls visit(leaf) for every leaf, left
    // to right, once it carries its number (if it gets one), until a visit answers false: for a
    // walk over the leaves that is made anyway, where the numbering costs no walk of its own. A
    // tree numbered already is only walked. A tree whose walk stopped is numbered in part.
    template <typename Visit>
    void number_each(Phylogeny& tree, char separator, Visit visit) {
        const bool renumber = !numbered(tree, separator);
        PrefixAnswers<std::uint32_t>& table = numbers(separator);
        const bool whole = with_kind(root_of(tree), [&](auto root) {
            return preorder(root, [&](decltype(root) n) {
                if (!n.is_leaf()) return true;
                if (renumber) n.set_leaf_key(key_in(table, n.name(), separator));
                return visit(NodeRef(n));
            });
        });
        if (renumber) tree.leaf_keys = stamp(separator) | (whole ? 0 : kPartly);
    }
    // Whether the leaves of `tree` carry this table's numbers for `separator` (those a walk that
    // stopped reached), and whether every leaf does.
    bool numbered(const Phylogeny& tree, char separator) const {
        return (tree.leaf_keys & ~kPartly) == stamp(separator);
    }
    bool numbered_whole(const Phylogeny& tree, char separator) const {
        return tree.leaf_keys == stamp(separator);
    }
    // The numbers of the prefixes cut at `separator`, by their text.
    PrefixAnswers<std::uint32_t>& numbers(char separator);
    // The number of the prefix of `name` before `separator` in `numbers` (those of `separator`),
    // numbering it if it is new; kNoLeafKey when the table is full.
    std::uint32_t key_in(PrefixAnswers<std::uint32_t>& numbers, std::string_view name,
                         char separator);

    std::size_t size() const { return entries_.size(); }
    // The prefix numbered `key` (below size()), and the separator it was cut at.
    std::string_view prefix(std::uint32_t key) const { return entries_[key].prefix; }
    char separator(std::uint32_t key) const { return entries_[key].separator; }

private:
    LeafKeys();
    // The stamp of a tree whose leaves are numbered but for those past where the walk stopped.
    static constexpr std::uint64_t kPartly = std::uint64_t{1} << 63;
    // The stamp of a tree numbered by this table at `separator`: it tells this table and the
    // separator apart from every other.
    std::uint64_t stamp(char separator) const {
        return serial_ << 8 | static_cast<unsigned char>(separator);
    }

    struct Entry {
        std::string prefix;
        char separator;
    };
    std::deque<Entry> entries_;
    std::vector<std::pair<char, std::unique_ptr<PrefixAnswers<std::uint32_t>>>> by_separator_;
    std::uint64_t serial_;
};

// Does `name` start with `prefix` (byte-exact)? With `use_regex`, `prefix` is an ECMAScript
// pattern searched for anywhere in `name`; an invalid pattern matches nothing.
bool is_prefix(std::string name, std::string prefix, bool use_regex);

}  // namespace tavrin

#endif  // TAVRIN_ANALYSIS_LEAF_MATCHING_H
