#include "pattern/pattern_automaton.h"

#include <algorithm>
#include <atomic>
#include <locale>
#include <map>
#include <string>
#include <utility>

#include "tree/numbers.h"

namespace tavrin {

using Error = PatternAutomaton::Error;
using tavrin::is_digit;

namespace {

// Thrown inside the compiler only; the constructor turns it into error() and error_text().
struct Refusal {
    Error kind;
    size_t offset;  // where in the pattern the problem was found
};

[[noreturn]] void fail(Error kind, size_t offset) {
    throw Refusal{kind, offset};
}

// Why, in words, and where. A parenthesis error is named by what stands where it was found; a
// pattern too large has no one place to blame.
std::string describe(const Refusal& refusal, std::string_view pattern) {
    static const char* const kReasons[] = {
        "no error",
        "invalid escape",
        "back-references are not supported",
        "invalid or unterminated bracket expression",
        "unbalanced parentheses",
        "unterminated repeat count",
        "invalid repeat count",
        "invalid character range",
        "pattern too large once its repeats are expanded",
        "unknown name in a bracket expression",
        "unterminated character class name",
        "repeat count over 1000",
    };
    static_assert(PatternAutomaton::kMaxRepeatCount == 1000, "the reason names the limit");
    static_assert(sizeof kReasons / sizeof kReasons[0] == size_t(Error::repeat_limit) + 1,
                  "one reason for every kind of refusal");
    std::string reason = kReasons[static_cast<size_t>(refusal.kind)];
    if (refusal.kind == Error::parenthesis) {
        const size_t at = refusal.offset;
        if (at >= pattern.size()) {
            reason = "missing ')'";
        } else if (pattern[at] == ')') {
            reason = "unmatched ')'";
        } else if (pattern[at] == '(') {
            reason = "unknown group after \"(?\"";
        } else {
            reason = "nothing to repeat";
        }
    }
    if (refusal.kind == Error::too_large) return reason;
    return reason + " at offset " + std::to_string(refusal.offset);
}

enum class Tok {
    eof,
    ord_char,
    hex_num,
    backref,
    subexpr_begin,
    subexpr_no_group_begin,
    lookahead_begin,
    subexpr_end,
    bracket_begin,
    bracket_neg_begin,
    bracket_end,
    bracket_dash,
    interval_begin,
    interval_end,
    quoted_class,
    char_class_name,
    collsymbol,
    equiv_class_name,
    opt,
    alternation,
    closure0,
    closure1,
    line_begin,
    line_end,
    word_bound,
    comma,
    dup_count,
    anychar,
};

bool is_xdigit(char c) {
    return is_digit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// Splits the pattern into tokens, one token ahead of the compiler.
class Scanner {
public:
    Scanner(const char* first, const char* last) : begin_(first), cur_(first), end_(last) {
        advance();
    }

    Tok token() const { return token_; }
    const std::string& value() const { return value_; }
    // Offset in the pattern of the current token (the pattern's length at its end).
    size_t start() const { return start_; }

    void advance() {
        start_ = static_cast<size_t>(cur_ - begin_);
        if (cur_ == end_) {
            token_ = Tok::eof;
            return;
        }
        if (state_ == State::normal) {
            scan_normal();
        } else if (state_ == State::in_bracket) {
            scan_in_bracket();
        } else {
            scan_in_brace();
        }
    }

private:
    enum class State { normal, in_bracket, in_brace };

    void set(Tok token, char c) {
        token_ = token;
        value_.assign(1, c);
    }

    void scan_normal() {
        const char c = *cur_++;
        // Tokens of one character.
        static constexpr struct {
            char c;
            Tok token;
        } kSingle[] = {{')', Tok::subexpr_end}, {'^', Tok::line_begin}, {'$', Tok::line_end},
                       {'.', Tok::anychar},     {'*', Tok::closure0},   {'+', Tok::closure1},
                       {'?', Tok::opt},         {'|', Tok::alternation}};
        for (const auto& single : kSingle) {
            if (c == single.c) {
                token_ = single.token;
                return;
            }
        }
        switch (c) {
            case '\\':
                eat_escape();
                return;
            case '(':
                if (cur_ != end_ && *cur_ == '?') {
                    if (++cur_ == end_) refuse(Error::parenthesis);
                    const char kind = *cur_++;
                    if (kind == ':') {
                        token_ = Tok::subexpr_no_group_begin;
                    } else if (kind == '=' || kind == '!') {
                        set(Tok::lookahead_begin, kind == '=' ? 'p' : 'n');
                    } else {
                        refuse(Error::parenthesis);
                    }
                } else {
                    token_ = Tok::subexpr_begin;
                }
                return;
            case '[':
                state_ = State::in_bracket;
                token_ = cur_ != end_ && *cur_ == '^' ? Tok::bracket_neg_begin : Tok::bracket_begin;
                if (token_ == Tok::bracket_neg_begin) ++cur_;
                return;
            case '{':
                state_ = State::in_brace;
                token_ = Tok::interval_begin;
                return;
            default:  // every other character, ']' and '}' among them, stands for itself
                set(Tok::ord_char, c);
                return;
        }
    }

    void scan_in_bracket() {
        const char c = *cur_++;
        if (c == '-') {
            set(Tok::bracket_dash, c);
        } else if (c == '[') {
            if (cur_ == end_) refuse(Error::bracket);
            const char kind = *cur_;
            if (kind == '.' || kind == ':' || kind == '=') {
                token_ = kind == '.'   ? Tok::collsymbol
                         : kind == ':' ? Tok::char_class_name
                                       : Tok::equiv_class_name;
                eat_class(*cur_++);
            } else {
                set(Tok::ord_char, c);
            }
        } else if (c == ']') {
            // In ECMAScript `]` closes the class even right after `[` or `[^`.
            token_ = Tok::bracket_end;
            state_ = State::normal;
        } else if (c == '\\') {
            eat_escape();
        } else {
            set(Tok::ord_char, c);
        }
    }

    void scan_in_brace() {
        const char c = *cur_++;
        if (is_digit(c)) {
            set(Tok::dup_count, c);
            while (cur_ != end_ && is_digit(*cur_))
                value_ += *cur_++;
        } else if (c == ',') {
            token_ = Tok::comma;
        } else if (c == '}') {
            state_ = State::normal;
            token_ = Tok::interval_end;
        } else {
            refuse(Error::repeat_count);
        }
    }

    // The name of [:name:], [.name.] or [=name=], up to the first `ch`, which `]` must follow.
    void eat_class(char ch) {
        value_.clear();
        while (cur_ != end_ && *cur_ != ch)
            value_ += *cur_++;
        if (cur_ == end_ || *cur_++ != ch || cur_ == end_ || *cur_++ != ']')
            refuse(ch == ':' ? Error::class_name_end : Error::class_name);
    }

    void eat_escape() {
        if (cur_ == end_) refuse(Error::escape);
        const char c = *cur_++;
        static const char kEscapes[][2] = {{'0', '\0'}, {'b', '\b'}, {'f', '\f'}, {'n', '\n'},
                                           {'r', '\r'}, {'t', '\t'}, {'v', '\v'}};
        for (const auto& escape : kEscapes) {
            if (escape[0] == c && (c != 'b' || state_ == State::in_bracket)) {
                set(Tok::ord_char, escape[1]);
                return;
            }
        }
        if (c == 'b' || c == 'B') {
            set(Tok::word_bound, c == 'b' ? 'p' : 'n');
        } else if (c == 'd' || c == 'D' || c == 's' || c == 'S' || c == 'w' || c == 'W') {
            set(Tok::quoted_class, c);
        } else if (c == 'c') {
            if (cur_ == end_) refuse(Error::escape);
            set(Tok::ord_char, *cur_++);  // the letter itself, as GCC's reader takes it
        } else if (c == 'x' || c == 'u') {
            value_.clear();
            for (int i = c == 'x' ? 2 : 4; i > 0; --i) {
                if (cur_ == end_ || !is_xdigit(*cur_)) refuse(Error::escape);
                value_ += *cur_++;
            }
            token_ = Tok::hex_num;
        } else if (is_digit(c)) {
            set(Tok::backref, c);
            while (cur_ != end_ && is_digit(*cur_))
                value_ += *cur_++;
        } else {
            set(Tok::ord_char, c);
        }
    }

    [[noreturn]] void refuse(Error kind) const { fail(kind, start_); }

    const char* begin_;
    const char* cur_;
    const char* end_;
    size_t start_ = 0;
    State state_ = State::normal;
    Tok token_ = Tok::eof;
    std::string value_;
};

// The POSIX names of the 128 ASCII characters, as [.name.] and [=name=] take them.
// clang-format off
const char* const kCollatingNames[128] = {
    "NUL", "SOH", "STX", "ETX", "EOT", "ENQ", "ACK", "alert", "backspace", "tab", "newline",
    "vertical-tab", "form-feed", "carriage-return", "SO", "SI", "DLE", "DC1", "DC2", "DC3", "DC4",
    "NAK", "SYN", "ETB", "CAN", "EM", "SUB", "ESC", "IS4", "IS3", "IS2", "IS1", "space",
    "exclamation-mark", "quotation-mark", "number-sign", "dollar-sign", "percent-sign",
    "ampersand", "apostrophe", "left-parenthesis", "right-parenthesis", "asterisk", "plus-sign",
    "comma", "hyphen", "period", "slash", "zero", "one", "two", "three", "four", "five", "six",
    "seven", "eight", "nine", "colon", "semicolon", "less-than-sign", "equals-sign",
    "greater-than-sign", "question-mark", "commercial-at", "A", "B", "C", "D", "E", "F", "G", "H",
    "I", "J", "K", "L", "M", "N", "O", "P", "Q", "R", "S", "T", "U", "V", "W", "X", "Y", "Z",
    "left-square-bracket", "backslash", "right-square-bracket", "circumflex", "underscore",
    "grave-accent", "a", "b", "c", "d", "e", "f", "g", "h", "i", "j", "k", "l", "m", "n", "o", "p",
    "q", "r", "s", "t", "u", "v", "w", "x", "y", "z", "left-curly-bracket", "vertical-line",
    "right-curly-bracket", "tilde", "DEL"};
// clang-format on

// A character class as the regex traits describe one: ctype bits, plus '_' for [:w:].
struct ClassMask {
    std::ctype_base::mask base = 0;
    bool underscore = false;
};

}  // namespace

// Builds the automaton state by state in the order, and with the shapes, GCC's compiler uses.
class PatternCompiler {
public:
    PatternCompiler(std::string_view pattern, PatternAutomaton& out)
        : out_(out),
          states_(out.states_),
          ctype_(std::use_facet<std::ctype<char>>(std::locale())),
          scanner_(pattern.data(), pattern.data() + pattern.size()) {}

    void compile() {
        Seq whole{0, 0};
        append(whole, insert(Op::subexpr_begin));
        disjunction();
        append(whole, pop());
        append(whole, insert(Op::subexpr_end));
        append(whole, insert(Op::accept));
    }

private:
    using Op = PatternAutomaton::Op;
    using State = PatternAutomaton::State;
    struct Seq {
        int32_t start, end;
    };

    int32_t add(const State& state) {
        states_.push_back(state);
        if (states_.size() > PatternAutomaton::kMaxStates) refuse(Error::too_large);
        return static_cast<int32_t>(states_.size() - 1);
    }
    int32_t insert(Op op, int32_t next = -1, int32_t alt = -1, bool neg = false) {
        return add(State{op, neg, next, alt, -1});
    }
    int32_t insert_match(const std::bitset<256>& set) {
        out_.sets_.push_back(set);
        return add(State{Op::match, false, -1, -1, static_cast<int32_t>(out_.sets_.size() - 1)});
    }
    void append(Seq& seq, int32_t id) {
        states_[static_cast<size_t>(seq.end)].next = id;
        seq.end = id;
    }
    void append(Seq& seq, Seq tail) {
        states_[static_cast<size_t>(seq.end)].next = tail.start;
        seq.end = tail.end;
    }
    static bool has_alt(Op op) {
        return op == Op::alternative || op == Op::repeat || op == Op::lookahead;
    }
    // Copies the states of `seq`, found depth-first from its start (not past its end). A state
    // met twice before it is copied is copied twice, as GCC's compiler does.
    Seq clone(Seq seq) {
        std::map<int32_t, int32_t> copy;
        std::vector<int32_t> pending{seq.start};
        while (!pending.empty()) {
            const int32_t u = pending.back();
            pending.pop_back();
            const State dup = states_[static_cast<size_t>(u)];
            copy[u] = add(dup);
            if (has_alt(dup.op) && dup.alt != -1 && copy.count(dup.alt) == 0)
                pending.push_back(dup.alt);
            if (u == seq.end) continue;
            if (dup.next != -1 && copy.count(dup.next) == 0) pending.push_back(dup.next);
        }
        for (const auto& entry : copy) {
            State& state = states_[static_cast<size_t>(entry.second)];
            if (state.next != -1) state.next = copy.at(state.next);
            if (has_alt(state.op) && state.alt != -1) state.alt = copy.at(state.alt);
        }
        return Seq{copy[seq.start], copy[seq.end]};
    }

    // The current token cannot be taken here.
    [[noreturn]] void refuse(Error kind) const { fail(kind, scanner_.start()); }
    // The token matched last is wrong.
    [[noreturn]] void fail_at_last(Error kind) const { fail(kind, matched_at_); }

    bool match(Tok token) {
        if (scanner_.token() != token) return false;
        matched_at_ = scanner_.start();
        value_ = scanner_.value();
        scanner_.advance();
        return true;
    }
    Seq pop() {
        const Seq top = stack_.back();
        stack_.pop_back();
        return top;
    }
    void push(Seq seq) { stack_.push_back(seq); }
    void push(int32_t id) { stack_.push_back(Seq{id, id}); }

    // An open group: the pattern itself, a lookahead, or a parenthesised subexpression.
    enum class Group { top, lookahead, no_capture, capture };
    struct Frame {
        Group kind;
        bool neg;           // lookahead: (?!...)
        int32_t open;       // no_capture / capture: the state opening the group
        size_t terms;       // terms of the current alternative so far
        bool alternatives;  // an earlier alternative of this group waits on the stack
    };

    // The pattern's disjunction, with every nested group, in one loop over an explicit stack
    // of open groups (nesting costs heap, not call stack). States are inserted in the order
    // GCC's recursive compiler inserts them: each term's states, a placeholder ending each
    // alternative, then the join and the branch of each '|'; a group's closing states after
    // its contents, its repeats after those.
    void disjunction() {
        std::vector<Frame> groups;
        groups.push_back(Frame{Group::top, false, -1, 0, false});
        for (;;) {
            Frame& group = groups.back();
            if (simple_term()) {
                ++group.terms;
                continue;
            }
            if (match(Tok::lookahead_begin)) {
                groups.push_back(Frame{Group::lookahead, value_[0] == 'n', -1, 0, false});
                continue;
            }
            if (match(Tok::subexpr_no_group_begin)) {
                groups.push_back(Frame{Group::no_capture, false, insert(Op::dummy), 0, false});
                continue;
            }
            if (match(Tok::subexpr_begin)) {
                groups.push_back(Frame{Group::capture, false, insert(Op::subexpr_begin), 0, false});
                continue;
            }
            // No further term: the alternative ends with a placeholder.
            push(insert(Op::dummy));
            for (; group.terms > 0; --group.terms) {
                const Seq tail = pop();
                Seq head = pop();
                append(head, tail);
                push(head);
            }
            if (group.alternatives) {
                Seq second = pop();
                Seq first = pop();
                const int32_t end = insert(Op::dummy);
                append(first, end);
                append(second, end);
                push(Seq{insert(Op::alternative, second.start, first.start), end});
            }
            if (match(Tok::alternation)) {
                group.alternatives = true;
                continue;
            }
            // The group ends.
            const Frame closed = group;
            groups.pop_back();
            if (closed.kind == Group::top) {
                if (!match(Tok::eof)) refuse(Error::parenthesis);
                return;
            }
            if (!match(Tok::subexpr_end)) refuse(Error::parenthesis);
            if (closed.kind == Group::lookahead) {
                Seq body = pop();
                append(body, insert(Op::accept));
                push(insert(Op::lookahead, -1, body.start, closed.neg));  // takes no repeat
            } else {
                Seq r{closed.open, closed.open};
                append(r, pop());
                if (closed.kind == Group::capture) append(r, insert(Op::subexpr_end));
                push(r);
                while (quantifier()) {
                }
            }
            ++groups.back().terms;
        }
    }

    // A term that opens no group: an anchor or word boundary, or an atom with its repeats.
    bool simple_term() {
        if (match(Tok::line_begin)) {
            push(insert(Op::line_begin));
        } else if (match(Tok::line_end)) {
            push(insert(Op::line_end));
        } else if (match(Tok::word_bound)) {
            push(insert(Op::word_bound, -1, -1, value_[0] == 'n'));
        } else if (atom()) {
            while (quantifier()) {
            }
        } else {
            return false;
        }
        return true;
    }

    long int_value(int radix) const {
        long v = 0;
        for (const char c : value_) {
            const int d = is_digit(c) ? c - '0' : (c | 0x20) - 'a' + 10;
            v = std::min(v * radix + d, 1L << 40);  // far past any state limit, no overflow
        }
        return v;
    }

    // A repeat state after `body` that loops back to its start; returns the repeat state.
    int32_t loop(Seq body, bool lazy) {
        const int32_t rep = insert(Op::repeat, -1, body.start, lazy);
        append(body, rep);
        return rep;
    }

    bool quantifier() {
        // Every quantifier follows a term, whose states are on the stack.
        const Tok kind = scanner_.token();
        if (match(Tok::closure0) || match(Tok::closure1) || match(Tok::opt)) {
            const bool lazy = match(Tok::opt);
            Seq body = pop();
            if (kind == Tok::opt) {
                const int32_t end = insert(Op::dummy);
                push(Seq{insert(Op::repeat, end, body.start, lazy), end});
                append(body, end);
            } else {
                const int32_t rep = loop(body, lazy);
                push(kind == Tok::closure0 ? Seq{rep, rep} : Seq{body.start, rep});
            }
        } else if (match(Tok::interval_begin)) {
            const size_t brace = matched_at_;
            if (!match(Tok::dup_count)) fail(Error::repeat_count, brace);
            const Seq r = pop();
            const int32_t first = insert(Op::dummy);
            Seq e{first, first};
            const long min_rep = int_value(10);
            bool infinite = false;
            long extra = 0;  // optional copies after the required ones
            if (match(Tok::comma)) {
                infinite = !match(Tok::dup_count);
                if (!infinite) extra = int_value(10) - min_rep;
            }
            if (!match(Tok::interval_end)) fail(Error::brace, brace);
            if (min_rep > PatternAutomaton::kMaxRepeatCount ||
                (!infinite && min_rep + extra > PatternAutomaton::kMaxRepeatCount))
                fail(Error::repeat_limit, brace);
            const bool lazy = match(Tok::opt);
            for (long i = 0; i < min_rep; ++i)
                append(e, clone(r));
            if (infinite) {
                append(e, loop(clone(r), lazy));
            } else {
                if (extra < 0) fail(Error::repeat_count, brace);
                const int32_t end = insert(Op::dummy);
                for (long i = 0; i < extra; ++i) {
                    const Seq copy = clone(r);
                    append(e, Seq{insert(Op::repeat, end, copy.start, lazy), copy.end});
                }
                append(e, end);
            }
            push(e);
        } else {
            return false;
        }
        return true;
    }

    bool atom() {
        if (match(Tok::anychar)) {
            push(insert_match(std::bitset<256>().set().reset('\n').reset('\r')));
        } else if (try_char()) {
            push(insert_match(std::bitset<256>().set(static_cast<unsigned char>(value_[0]))));
        } else if (match(Tok::backref)) {
            fail_at_last(Error::back_reference);  // a back-reference needs backtracking
        } else if (match(Tok::quoted_class)) {
            Bracket bracket;
            bracket.non_matching = ctype_.is(std::ctype_base::upper, value_[0]);
            add_class(bracket, value_, false);
            push(insert_match(resolve(bracket)));
        } else {
            return bracket_expression();
        }
        return true;
    }

    bool try_char() {
        if (match(Tok::hex_num)) {
            value_.assign(1, static_cast<char>(static_cast<unsigned char>(int_value(16) & 0xFF)));
            return true;
        }
        return match(Tok::ord_char);
    }

    // The parts of a bracket expression; resolve() turns them into the set of bytes matched.
    struct Bracket {
        bool non_matching = false;
        std::vector<char> chars;
        std::vector<std::pair<char, char>> ranges;
        std::vector<ClassMask> classes;
        std::vector<ClassMask> negated_classes;  // \D, \S, \W inside brackets
        std::vector<char> equivalents;           // lowered
    };

    bool is_class(char c, ClassMask mask) const {
        return ctype_.is(mask.base, c) || (mask.underscore && c == '_');
    }

    // Adds the class named `name` ("alpha", or "d" for \d...), refusing an unknown name.
    void add_class(Bracket& bracket, const std::string& name, bool negated) const {
        using Ctype = std::ctype_base;
        static const struct {
            const char* name;
            ClassMask mask;
        } kClasses[] = {
            {"d", {Ctype::digit}},     {"w", {Ctype::alnum, true}}, {"s", {Ctype::space}},
            {"alnum", {Ctype::alnum}}, {"alpha", {Ctype::alpha}},   {"blank", {Ctype::blank}},
            {"cntrl", {Ctype::cntrl}}, {"digit", {Ctype::digit}},   {"graph", {Ctype::graph}},
            {"lower", {Ctype::lower}}, {"print", {Ctype::print}},   {"punct", {Ctype::punct}},
            {"space", {Ctype::space}}, {"upper", {Ctype::upper}},   {"xdigit", {Ctype::xdigit}},
        };
        std::string lowered;
        for (const char c : name)
            lowered += ctype_.narrow(ctype_.tolower(c), '\0');
        for (const auto& entry : kClasses) {
            if (lowered == entry.name) {
                (negated ? bracket.negated_classes : bracket.classes).push_back(entry.mask);
                return;
            }
        }
        fail_at_last(Error::class_name);
    }

    // The character named by a POSIX collating name (or a one-letter name).
    char collating_char(const std::string& name) const {
        for (int c = 0; c < 128; ++c) {
            if (name == kCollatingNames[c]) return static_cast<char>(c);
        }
        fail_at_last(Error::class_name);
    }

    bool bracket_expression() {
        const bool negated = match(Tok::bracket_neg_begin);
        if (!negated && !match(Tok::bracket_begin)) return false;
        Bracket bracket;
        bracket.non_matching = negated;
        // The last single character seen, which a following '-' may turn into a range start.
        enum class Last { none, character, klass } last = Last::none;
        char last_char = 0;
        const auto push_char = [&](char c) {
            if (last == Last::character) bracket.chars.push_back(last_char);
            last = Last::character;
            last_char = c;
        };
        const auto push_class = [&] {
            if (last == Last::character) bracket.chars.push_back(last_char);
            last = Last::klass;
        };
        while (!match(Tok::bracket_end)) {
            if (match(Tok::collsymbol)) {
                push_char(collating_char(value_));
            } else if (match(Tok::equiv_class_name)) {
                push_class();
                bracket.equivalents.push_back(ctype_.tolower(collating_char(value_)));
            } else if (match(Tok::char_class_name)) {
                push_class();
                add_class(bracket, value_, false);
            } else if (try_char()) {
                push_char(value_[0]);
            } else if (match(Tok::bracket_dash)) {
                if (match(Tok::bracket_end)) {
                    push_char('-');  // "-]": a literal dash
                    break;
                }
                if (last == Last::klass) fail_at_last(Error::range);  // "\w-": no range start
                if (last == Last::character) {
                    if (!try_char() && !match(Tok::bracket_dash)) fail_at_last(Error::range);
                    const char high = value_[0];
                    if (last_char > high) fail_at_last(Error::range);  // compared as char
                    bracket.ranges.emplace_back(last_char, high);
                    last = Last::none;
                } else {
                    push_char('-');  // a dash after a range is a literal
                }
            } else if (match(Tok::quoted_class)) {
                push_class();
                add_class(bracket, value_, ctype_.is(std::ctype_base::upper, value_[0]));
            } else {
                refuse(Error::bracket);
            }
        }
        if (last == Last::character) bracket.chars.push_back(last_char);
        push(insert_match(resolve(bracket)));
        return true;
    }

    std::bitset<256> resolve(const Bracket& bracket) const {
        std::bitset<256> set;
        for (int byte = 0; byte < 256; ++byte) {
            const char c = static_cast<char>(byte);
            bool in =
                std::find(bracket.chars.begin(), bracket.chars.end(), c) != bracket.chars.end();
            for (const auto& range : bracket.ranges)
                in = in || (range.first <= c && c <= range.second);
            for (const ClassMask& mask : bracket.classes)
                in = in || is_class(c, mask);
            in = in || std::find(bracket.equivalents.begin(), bracket.equivalents.end(),
                                 ctype_.tolower(c)) != bracket.equivalents.end();
            for (const ClassMask& mask : bracket.negated_classes)
                in = in || !is_class(c, mask);
            set[static_cast<size_t>(byte)] = in != bracket.non_matching;
        }
        return set;
    }

    PatternAutomaton& out_;
    std::vector<State>& states_;
    const std::ctype<char>& ctype_;
    Scanner scanner_;
    std::vector<Seq> stack_;
    std::string value_;
    size_t matched_at_ = 0;
};

PatternAutomaton::PatternAutomaton(std::string_view pattern) {
    const auto& ctype = std::use_facet<std::ctype<char>>(std::locale());
    for (int byte = 0; byte < 256; ++byte) {
        const char c = static_cast<char>(byte);
        word_char_[byte] = ctype.is(std::ctype_base::alnum, c) || c == '_';
    }
    try {
        PatternCompiler compiler(pattern, *this);
        compiler.compile();
    } catch (const Refusal& refusal) {
        error_ = refusal.kind;
        error_text_ = describe(refusal, pattern);
        states_.clear();
        sets_.clear();
        return;
    }
    prepare_sweep();
}

void PatternAutomaton::prepare_sweep() {
    const size_t m = states_.size();
    std::vector<int32_t> body_of(m, -1);  // -1: a state no path reaches
    bodies_.push_back(Body{0, -1, {}, false});
    for (size_t b = 0; b < bodies_.size(); ++b) {
        const int32_t id = static_cast<int32_t>(b);
        std::vector<int32_t> pending{bodies_[b].start};
        body_of[static_cast<size_t>(bodies_[b].start)] = id;
        while (!pending.empty()) {
            const int32_t s = pending.back();
            pending.pop_back();
            const State& state = states_[static_cast<size_t>(s)];
            if (state.op == Op::accept) bodies_[b].accepts.push_back(s);
            if (state.op == Op::line_begin || state.op == Op::word_bound)
                bodies_[b].begin_sensitive = true;
            if (state.op == Op::lookahead && state.alt != -1 &&
                body_of[static_cast<size_t>(state.alt)] == -1) {
                body_of[static_cast<size_t>(state.alt)] = static_cast<int32_t>(bodies_.size());
                bodies_.push_back(Body{state.alt, s, {}, false});
            }
            const auto reach = [&](int32_t t) {
                if (t != -1 && body_of[static_cast<size_t>(t)] == -1) {
                    body_of[static_cast<size_t>(t)] = id;
                    pending.push_back(t);
                }
            };
            reach(state.next);
            if (state.op == Op::alternative || state.op == Op::repeat) reach(state.alt);
        }
    }

    const auto for_each_edge = [&](auto visit) {
        for (size_t p = 0; p < m; ++p) {
            const State& state = states_[p];
            if (body_of[p] == -1 || state.op == Op::accept) continue;
            const auto edge = [&](int32_t t) {
                if (t != -1 && body_of[static_cast<size_t>(t)] == body_of[p])
                    visit(static_cast<int32_t>(p), static_cast<size_t>(t), state.op == Op::match);
            };
            edge(state.next);
            if (state.op == Op::alternative || state.op == Op::repeat) edge(state.alt);
        }
    };
    // Each row is counted at its own index and summed up to its end; filling it backwards then
    // leaves the index at its start.
    for (Rows* rows : {&eps_, &match_})
        rows->row.assign(m + 1, 0);
    for_each_edge([&](int32_t, size_t t, bool consumes) { ++(consumes ? match_ : eps_).row[t]; });
    for (Rows* rows : {&eps_, &match_}) {
        for (size_t i = 1; i <= m; ++i)
            rows->row[i] += rows->row[i - 1];
        rows->pred.assign(static_cast<size_t>(rows->row[m]), 0);
    }
    for_each_edge([&](int32_t p, size_t t, bool consumes) {
        Rows& rows = consumes ? match_ : eps_;
        rows.pred[static_cast<size_t>(--rows.row[t])] = p;
    });

    static std::atomic<uint64_t> automata{0};
    id_ = ++automata;
}

PatternAutomaton::Sweep& PatternAutomaton::sweep() const {
    thread_local Sweep local;
    if (local.owner != id_) {
        const size_t m = states_.size();
        local.later.assign(bodies_.size(), {});
        local.now.assign(bodies_.size(), {});
        local.stamp.assign(m, 0);
        local.begin_stamp.assign(m, 0);
        local.lookahead_holds.assign(m, 0);
        local.owner = id_;
    }
    return local;
}

bool PatternAutomaton::passable(const Sweep& work, int32_t p, const Position& at,
                                bool at_begin) const {
    const State& state = states_[static_cast<size_t>(p)];
    switch (state.op) {
        case Op::line_begin:
            return at_begin;
        case Op::line_end:
            return at.at_end;
        case Op::word_bound:
            return ((at.left_word && !at_begin) != at.right_word) != state.neg;
        case Op::lookahead:
            return (work.lookahead_holds[static_cast<size_t>(p)] != 0) != state.neg;
        default:
            return true;
    }
}

void PatternAutomaton::close_backwards(const Sweep& work, std::vector<int32_t>& set,
                                       std::vector<uint64_t>& marks, uint64_t mark,
                                       const Position& at, bool at_begin) const {
    for (size_t i = 0; i < set.size(); ++i) {
        const size_t t = static_cast<size_t>(set[i]);
        for (int32_t k = eps_.row[t]; k < eps_.row[t + 1]; ++k) {
            const int32_t p = eps_.pred[static_cast<size_t>(k)];
            if (marks[static_cast<size_t>(p)] != mark && passable(work, p, at, at_begin)) {
                marks[static_cast<size_t>(p)] = mark;
                set.push_back(p);
            }
        }
    }
}

bool PatternAutomaton::matches_prefix(std::string_view text) const {
    if (!valid()) return false;
    const size_t n = text.size();
    const auto byte = [&](size_t q) { return static_cast<unsigned char>(text[q]); };
    Sweep& work = sweep();
    auto& stamp = work.stamp;

    for (size_t q = n + 1; q-- > 0;) {
        const Position at{q == n, q > 0 && word_char_[byte(q - 1)], q < n && word_char_[byte(q)]};
        const uint64_t mark = ++work.generation;
        // Inner lookaheads first: the bodies holding them read their answers at this position.
        for (size_t b = bodies_.size(); b-- > 0;) {
            const Body& body = bodies_[b];
            std::vector<int32_t>& set = work.now[b];
            set.clear();
            const auto add = [&](int32_t s) {
                if (stamp[static_cast<size_t>(s)] != mark) {
                    stamp[static_cast<size_t>(s)] = mark;
                    set.push_back(s);
                }
            };
            for (const int32_t a : body.accepts)
                add(a);
            if (q < n) {
                for (const int32_t t : work.later[b]) {
                    const size_t ti = static_cast<size_t>(t);
                    for (int32_t k = match_.row[ti]; k < match_.row[ti + 1]; ++k) {
                        const int32_t p = match_.pred[static_cast<size_t>(k)];
                        if (sets_[static_cast<size_t>(states_[static_cast<size_t>(p)].set)]
                                 [byte(q)])
                            add(p);
                    }
                }
            }
            const size_t seeds = set.size();
            close_backwards(work, set, stamp, mark, at, false);

            const bool top = body.lookahead == -1;
            if (top && q != 0) continue;
            // The body is entered here: ^ holds and \b sees no character before.
            bool holds;
            if (!body.begin_sensitive) {
                holds = stamp[static_cast<size_t>(body.start)] == mark;
            } else {
                const uint64_t begin_mark = ++work.generation;
                auto& begin_set = work.begin_set;
                begin_set.assign(set.begin(), set.begin() + static_cast<std::ptrdiff_t>(seeds));
                for (const int32_t s : begin_set)
                    work.begin_stamp[static_cast<size_t>(s)] = begin_mark;
                close_backwards(work, begin_set, work.begin_stamp, begin_mark, at, true);
                holds = work.begin_stamp[static_cast<size_t>(body.start)] == begin_mark;
            }
            if (top) return holds;  // the top level comes last, at the start of the text
            work.lookahead_holds[static_cast<size_t>(body.lookahead)] = holds ? 1 : 0;
        }
        std::swap(work.later, work.now);
    }
    return false;  // not reached: the top level answers at the start of the text
}

}  // namespace tavrin
