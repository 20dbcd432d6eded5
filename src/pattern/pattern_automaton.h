// ECMAScript patterns matched in time linear in the text.
//
// The pattern is read as the breadth-first ("polynomial") mode of GCC's std::regex reads it: the
// same tokens, the same automaton state by state (so the same state limit is met at the same
// point), the same refusals, the same character classes in the global C++ locale. Back-
// references are refused: following them needs backtracking. The answer for a text is whether some
// path through the automaton reaches its accept state; it is found by one sweep over the text from
// its end, keeping for every position the set of states from which the accept state can be
// reached. Lookaheads are answered in the same sweep, so the work per character is bounded by
// the size of the automaton: linear time in the text for a fixed pattern, no recursion (neither
// with the text nor with the pattern's nesting), memory proportional to the automaton.
#ifndef TAVRIN_PATTERN_PATTERN_AUTOMATON_H
#define TAVRIN_PATTERN_PATTERN_AUTOMATON_H

#include <bitset>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tavrin {

class PatternAutomaton {
public:
    // Largest automaton built, in states (the limit GCC's std::regex applies).
    static constexpr size_t kMaxStates = 100000;
    // Largest count a counted repeat ({n}, {n,}, {n,m}) may give. A repeat is expanded into
    // copies of its body, and every character of a text is matched against all of them: counts
    // past this are refused when the pattern is read, so the work per character stays small.
    static constexpr long kMaxRepeatCount = 1000;

    // Why a pattern is refused.
    enum class Error : uint8_t {
        none,
        escape,          // a backslash escape that is cut short or malformed
        back_reference,  // \1 and the like (following one needs backtracking)
        bracket,         // a bracket expression that is malformed or never closed
        parenthesis,     // a group never closed, a ')' never opened, "(?" with no known kind,
                         // or a quantifier with nothing before it
        brace,           // a repeat count never closed
        repeat_count,    // a malformed repeat count, or one with a minimum over its maximum
        range,           // a character range that is reversed or has a class at one end
        too_large,       // more than kMaxStates states once repeats are expanded
        class_name,      // an unknown name in [:name:], [.name.] or [=name=]
        class_name_end,  // [:name with no ":]"
        repeat_limit,    // a repeat count over kMaxRepeatCount
    };

    // Compiles `pattern`; groups nest on the heap, not the call stack.
    explicit PatternAutomaton(std::string_view pattern);

    bool valid() const { return error_ == Error::none; }
    Error error() const { return error_; }
    // Why the pattern was refused and where, for people ("unmatched ')' at offset 3"); empty for
    // a valid pattern.
    const std::string& error_text() const { return error_text_; }
    // Number of states of a valid automaton.
    size_t size() const { return states_.size(); }

    // Does the pattern match at the start of `text`, with any end (std::regex_search with
    // match_continuous)? `^` holds only at the start of the text. False for an invalid pattern.
    // The sweep's working sets are kept per thread and reused, so a text costs no allocation,
    // and one automaton may be used from several threads at once.
    bool matches_prefix(std::string_view text) const;

    enum class Op : uint8_t {
        alternative,
        repeat,
        subexpr_begin,
        subexpr_end,
        dummy,
        line_begin,
        line_end,
        word_bound,
        lookahead,
        match,
        accept,
    };
    struct State {
        Op op = Op::dummy;
        bool neg = false;   // word_bound: \B; lookahead: (?!...); repeat: lazy
        int32_t next = -1;  // the following state
        int32_t alt = -1;   // alternative / repeat: the other branch; lookahead: its body
        int32_t set = -1;   // match: index into sets_
    };

private:
    friend class PatternCompiler;

    struct Body {  // the top-level automaton or one lookahead's
        int32_t start = -1;
        int32_t lookahead = -1;  // the lookahead state whose body this is; -1 for the top level
        std::vector<int32_t> accepts;
        bool begin_sensitive = false;  // holds ^ or \b, which read differently at its start
    };

    // Where the sweep stands: at the end of the text, and whether the characters on either
    // side are word characters.
    struct Position {
        bool at_end;
        bool left_word;
        bool right_word;
    };

    void prepare_sweep();
    // Can the edge out of `p` be taken at `at` without reading a character? `at_begin`: the
    // body being tested is entered here.
    struct Sweep;
    bool passable(const Sweep& work, int32_t p, const Position& at, bool at_begin) const;
    // Adds to `set` every state that reaches one of its states without reading a character,
    // marking each added state with `mark`.
    void close_backwards(const Sweep& work, std::vector<int32_t>& set, std::vector<uint64_t>& marks,
                         uint64_t mark, const Position& at, bool at_begin) const;
    // This thread's working sets, sized for this automaton.
    Sweep& sweep() const;

    Error error_ = Error::none;
    std::string error_text_;
    std::vector<State> states_;
    std::vector<std::bitset<256>> sets_;
    bool word_char_[256] = {};

    // Derived once for the sweep; a lookahead's body comes after the body holding it.
    std::vector<Body> bodies_;
    // Predecessors within the same body, in compressed rows (those of state t are pred[row[t]]
    // up to pred[row[t + 1]]): through an edge that consumes no character (possibly
    // conditional), and through a character match.
    struct Rows {
        std::vector<int32_t> row, pred;
    };
    Rows eps_, match_;

    // Working sets of matches_prefix, one per thread, sized for the automaton that used them
    // last; every call overwrites what it reads.
    struct Sweep {
        // Per body: the states from which its accept state is reachable reading on from the
        // position after the current one (`later`), and from the current one (`now`).
        std::vector<std::vector<int32_t>> later, now;
        // A state is in the current set when its stamp equals the current generation.
        std::vector<uint64_t> stamp, begin_stamp;
        uint64_t generation = 0;
        std::vector<int32_t> begin_set;
        std::vector<char> lookahead_holds;  // per lookahead state, at the current position
        uint64_t owner = 0;                 // the automaton they are sized for
    };
    uint64_t id_ = 0;  // tells this automaton's working sets from another's
};

}  // namespace tavrin

#endif  // TAVRIN_PATTERN_PATTERN_AUTOMATON_H
