#include "tree/newick_reader.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <stdexcept>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "tree/byte_classes.h"
#include "tree/child_fold.h"
#include "tree/numbers.h"

namespace tavrin {

namespace {

// Makes `node` a leaf named `name`: the model's node keeps a copy, a compact tree a view.
void name_leaf(ModelRef node, CompactStore*, std::string_view name) {
    Phylogeny_Node* n = node.get();
    n->is_leaf = true;
    n->name.clear();
    n->name.append(name.data(), name.size());  // not the general replacing assign
}
void name_leaf(CompactRef node, CompactStore* store, std::string_view name) {
    store->name_leaf(node, name);
}
void name_leaf(NodeRef node, CompactStore* store, std::string_view name) {
    with_kind(node, [&](auto kind_node) { name_leaf(kind_node, store, name); });
}

// A new node for the tree being read, of the kind of `Ref`.
template <typename Ref>
Ref new_node(CompactStore* store) {
    if constexpr (std::is_same_v<Ref, CompactRef>) {
        return store->make().as_compact();
    } else {
        return ModelRef(new Phylogeny_Node());
    }
}
// The same, its kind told by `store`: one of it when the tree is compact, else the model's.
NodeRef make_read_node(CompactStore* store) {
    return store != nullptr ? NodeRef(new_node<CompactRef>(store))
                            : NodeRef(new_node<ModelRef>(store));
}
// Makes the next node of the tree being read into `*node`: every node the one-pass reader makes
// comes from here. A compact store has room for two nodes per comma, which a well-formed tree
// never exceeds: a text with more '(' than that finds none (false) and is read otherwise.
template <typename Ref>
bool next_node(Ref* node, CompactStore* store) {
    if constexpr (std::is_same_v<Ref, CompactRef>) {
        if (store->full()) return false;
    }
    *node = new_node<Ref>(store);
    return true;
}

// What a byte is to the node texts: part of a name or number, a ':', or one of "(),".
enum ByteClass : unsigned char { kPlain, kColon, kStructural };

constexpr ByteClasses<ByteClass> kClasses{{kColon, ":"}, {kStructural, "(),"}};

// The text of a leaf, or the tail of a wrapped node after its ')': text[first, last), with the
// positions of its first and last ':' (`last` when it has none). Both readers fill nodes from it.
struct NodeText {
    size_t first, last;
    size_t first_colon, last_colon;
};

// A leaf text splits at its first ':'; without one, the whole text is the name and the length is
// read from its start (so a name such as "12" also gives the length 12).
void fill_leaf(NodeRef node, CompactStore* store, const std::string& text, const NodeText& t) {
    const char* s = text.data();
    name_leaf(node, store, std::string_view(text).substr(t.first, t.first_colon - t.first));
    const size_t number = t.first_colon < t.last ? t.first_colon + 1 : t.first;
    node.set_length(read_number(s + number, s + t.last));
}

// The tail of a wrapped node splits at its last ':' into the label and the length; without one,
// the whole tail is the label and the length is read from it too (a tail "80" gives support 80
// and length 80).
void fill_tail(NodeRef node, const std::string& text, const NodeText& t,
               const ReadOptions& options) {
    const char* s = text.data();
    if (t.last_colon < t.last) {
        node.set_support(support_from_label(s + t.first, s + t.last_colon, options));
        node.set_length(read_number(s + t.last_colon + 1, s + t.last));
    } else {
        const double length = read_number(s + t.first, s + t.last);
        node.set_length(length);
        // The first field's number is the number at the start of the whole tail: read it once.
        node.set_support(options.support_field <= 1
                             ? length
                             : support_from_label(s + t.first, s + t.last, options));
    }
}

// The text from `p` up to the next of "(),", or to `last`.
NodeText scan_node_text(const std::string& text, size_t p, size_t last) {
    const char* s = text.data();
    size_t end = p, first_colon = SIZE_MAX, last_colon = SIZE_MAX;
    for (; end < last; ++end) {
        const ByteClass c = kClasses[s[end]];
        if (c == kPlain) continue;
        if (c == kStructural) break;
        if (first_colon == SIZE_MAX) first_colon = end;
        last_colon = end;
    }
    if (first_colon == SIZE_MAX) first_colon = last_colon = end;
    return {p, end, first_colon, last_colon};
}

// The first byte from `q` on that is one of "(),", or also ':' when `colon`; `last` when none is.
// Names and numbers are short: sixteen bytes a step where the processor has SSE2 (every x86-64),
// else four bytes a round, one test of the range for them.
template <bool colon>
const char* break_from(const char* q, const char* last) {
    constexpr auto ends = [](char c) {
        return colon ? kClasses[c] != kPlain : kClasses[c] == kStructural;
    };
#if defined(__SSE2__)
    const __m128i parens = _mm_set1_epi8(')'), comma = _mm_set1_epi8(','),
                  colons = _mm_set1_epi8(':');
    for (; last - q >= 16; q += 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(q));
        // '(' and ')' differ in their lowest bit only.
        __m128i found = _mm_or_si128(_mm_cmpeq_epi8(_mm_or_si128(bytes, _mm_set1_epi8(1)), parens),
                                     _mm_cmpeq_epi8(bytes, comma));
        if (colon) found = _mm_or_si128(found, _mm_cmpeq_epi8(bytes, colons));
        const auto mask = static_cast<unsigned>(_mm_movemask_epi8(found));
        if (mask != 0) return q + __builtin_ctz(mask);
    }
#else
    while (last - q >= 4 && !ends(q[0]) && !ends(q[1]) && !ends(q[2]) && !ends(q[3]))
        q += 4;
#endif
    while (q != last && !ends(*q))
        ++q;
    return q;
}

// A number is read from the start of the bytes it is given and ends at the first byte that
// cannot continue it, which is never a ':' or a structural one: the text up to either reads as
// the whole rest of the tree would. A compact tree keeps that text and reads it when asked; the
// model's node reads it now.
template <typename Ref>
void set_length_from(Ref node, const char* first, const char* last, bool as_text) {
    if constexpr (std::is_same_v<Ref, CompactRef>) {
        if (as_text) return node.set_length_text(first, last);
    }
    node.set_length(read_number(first, last));
}

// The leaf whose text starts at `p`: its name runs to the first ':' or structural byte, its
// length is the number after that ':' (the number at the name's start without one), and any
// further bytes up to the next structural one are ignored. Answers where its text ends. The
// bytes of the number are read once, by the number reader, or kept as text (`as_text`, in a
// compact tree).
template <typename Ref>
const char* read_leaf(Ref node, CompactStore* store, const char* p, const char* last,
                      bool as_text) {
    const char* q = break_from<true>(p, last);
    name_leaf(node, store, std::string_view(p, static_cast<size_t>(q - p)));
    if (q == last || *q != ':') {
        set_length_from(node, p, q, as_text);
        return q;
    }
    if (std::is_same_v<Ref, CompactRef> && as_text) {
        const char* const end = break_from<false>(q + 1, last);
        set_length_from(node, q + 1, end, as_text);
        return end;
    }
    double length = 0;
    q = scan_number(q + 1, last, length);
    node.set_length(length);
    while (q != last && kClasses[*q] != kStructural)
        ++q;
    return q;
}

// read_tail for a tree that keeps its numbers as text: the label runs to the first ':' or
// structural byte, and its number is the support; the length is the text after that ':', unless
// another ':' follows.
const char* read_tail_as_text(CompactRef node, const char* p, const char* last) {
    const char* const label_end = break_from<true>(p, last);
    node.set_support_text(p, label_end);
    if (label_end == last || *label_end != ':') {
        node.set_length_text(p, label_end);
        return label_end;
    }
    const char* const end = break_from<true>(label_end + 1, last);
    if (end != last && *end == ':') return nullptr;  // the length follows the last ':'
    node.set_length_text(label_end + 1, end);
    return end;
}

// The tail of a wrapped node starting at `p`, in one pass when its support is the number at its
// start (the classic dialect's first field): [number][label rest][':' number], whose last ':' is
// the one before the length when the length's number runs to a structural byte. Answers where
// the tail ends, or null when the tail needs the general rules (fill_tail).
template <typename Ref>
const char* read_tail(Ref node, const char* p, const char* last, const ReadOptions& options) {
    if (options.dialect != Dialect::kClassic || options.support_field > 1) return nullptr;
    if constexpr (std::is_same_v<Ref, CompactRef>) {
        if (options.numbers_as_text) return read_tail_as_text(node, p, last);
    }
    double support = 0;
    const char* q = scan_number(p, last, support);
    while (q != last && kClasses[*q] == kPlain)  // the rest of the label: "/94", a name
        ++q;
    if (q == last || *q != ':') {
        // No ':': the support's number, at the tail's start, is its length as well.
        node.set_support(support);
        node.set_length(support);
        return q;
    }
    double length = 0;
    const char* end = scan_number(q + 1, last, length);
    if (end != last && kClasses[*end] != kStructural) return nullptr;  // a later ':' may follow
    node.set_support(support);
    node.set_length(length);
    return end;
}

// Adds `child` to those the open node `open` holds so far, as ChildFold::add does: the earlier
// ones folded together on its left, the latest on its right. False, nothing changed, when a fold
// finds no room (next_node).
template <typename Ref>
bool hold_child(Ref open, Ref child, CompactStore* store) {
    const Ref held = open.left(), latest = open.right();
    if (held != nullptr) {
        Ref fold = nullptr;
        if (!next_node(&fold, store)) return false;
        link_children(fold, held, latest);
        open.set_left(fold);
    } else if (latest != nullptr) {
        open.set_left(latest);
    }
    open.set_right(child);
    return true;
}

template <typename Ref>
bool read_well_formed_from(Ref node, CompactStore* store, const std::string& text, size_t first,
                           size_t last, const ReadOptions& options, size_t* top_children) {
    // No frame is kept per open '(': an open node holds its children so far in its own links
    // (the fold of the earlier ones on the left, the latest on the right, as a ChildFold would),
    // and the node that encloses it in its parent link. A ladder's millions of open levels cost
    // nothing beyond their nodes.
    const char* s = text.data();
    const char* const end = s + last;
    const bool as_text = options.numbers_as_text;
    size_t p = first;
    Ref current = node;  // the node whose text starts at p
    Ref open = nullptr;  // the innermost open node; the outermost is `node`
    size_t depth = 0;    // how many nodes are open

    // An abandoned reading releases every node it made, and what lies below `node`.
    auto fail = [&]() {
        if constexpr (std::is_same_v<Ref, CompactRef>) {
            // Every node made here goes; the node being read is made again, as it was.
            store->clear();
            store->root = store->make();
            if (store->root != node) throw std::logic_error("a compact tree is read from its root");
        } else {
            // Each open node but `node` is held by no other: it goes with what it holds.
            for (; depth > 1; --depth) {
                const Ref enclosing = open.parent();
                delete open.get();
                open = enclosing;
            }
            Phylogeny_Node* n = node.get();
            delete n->left;
            delete n->right;
            n->left = n->right = nullptr;
            n->is_leaf = false;
            n->name.clear();
            n->support = n->length = 0;
        }
        return false;
    };

    for (;;) {
        if (p < last && s[p] == '(') {
            if (depth > 0) current.set_parent(open);  // `node`'s own parent stays as it is
            open = current;
            ++depth;
            ++p;
            if (!next_node(&current, store)) return fail();
            continue;
        }
        p = static_cast<size_t>(read_leaf(current, store, s + p, end, as_text) - s);
        Ref done = current;

        // Attach the finished node and close every ')' that follows.
        for (;;) {
            if (depth == 0) return p == last ? true : fail();
            if (!hold_child(open, done, store)) return fail();
            if (top_children != nullptr && depth == 1) ++*top_children;
            if (p < last && s[p] == ',') {
                ++p;
                if (!next_node(&current, store)) return fail();
                break;
            }
            if (p >= last || s[p] != ')' || open.left() == nullptr) {
                return fail();
            }
            // Close the wrapped node: its tail runs to the next structural character.
            const Ref wrapped = open;
            open = --depth > 0 ? wrapped.parent() : nullptr;
            link_children(wrapped, wrapped.left(), wrapped.right());
            const char* tail_end = read_tail(wrapped, s + p + 1, end, options);
            if (tail_end != nullptr) {
                p = static_cast<size_t>(tail_end - s);
            } else {
                const NodeText tail = scan_node_text(text, p + 1, last);
                fill_tail(wrapped, text, tail, options);
                p = tail.last;
            }
            done = wrapped;
        }
    }
}

}  // namespace

bool read_well_formed(NodeRef node, CompactStore* store, const std::string& text, size_t first,
                      size_t last, const ReadOptions& options, size_t* top_children) {
    return with_kind(node, [&](auto kind_node) {
        return read_well_formed_from(kind_node, store, text, first, last, options, top_children);
    });
}

namespace {

// Positions of the structural characters of one text, with the depth of every comma, and a
// range-minimum tree answering "the last comma of least depth in a range".
class TextIndex {
public:
    TextIndex(const std::string& text, size_t first, size_t last) {
        int64_t depth = 0;
        for (size_t i = first; i < last; ++i) {
            switch (text[i]) {
                case '(':
                    opens_.push_back(i);
                    ++depth;
                    break;
                case ')':
                    closes_.push_back(i);
                    --depth;
                    break;
                case ',':
                    tree_.push_back(Key{depth, commas_.size()});
                    commas_.push_back(i);
                    break;
                case ':':
                    colons_.push_back(i);
                    break;
                default:
                    break;
            }
        }
        // The commas are the leaves, tree_[size_, 2 * size_); each node above holds the better of
        // its two children.
        size_ = commas_.size();
        tree_.insert(tree_.begin(), size_, Key{0, 0});
        for (size_t i = size_; i-- > 1;)
            tree_[i] = better(tree_[2 * i], tree_[2 * i + 1]);
    }

    // Depth reached just before position `pos`.
    int64_t depth_before(size_t pos) const {
        return static_cast<int64_t>(count_before(opens_, pos)) -
               static_cast<int64_t>(count_before(closes_, pos));
    }
    // Index range of the commas in [first, last).
    std::pair<size_t, size_t> commas_in(size_t first, size_t last) const {
        return {count_before(commas_, first), count_before(commas_, last)};
    }
    // The last comma of least depth among commas [lo, hi), lo < hi: its position and depth.
    std::pair<size_t, int64_t> split_comma(size_t lo, size_t hi) const {
        // No comma is that deep: any comma beats the starting key.
        Key best{std::numeric_limits<int64_t>::max(), 0};
        for (size_t l = lo + size_, r = hi + size_; l < r; l >>= 1, r >>= 1) {
            if (l & 1) best = better(best, tree_[l++]);
            if (r & 1) best = better(best, tree_[--r]);
        }
        return {commas_[best.index], best.depth};
    }
    size_t first_of(const std::vector<size_t>& list, size_t first, size_t last) const {
        auto it = std::lower_bound(list.begin(), list.end(), first);
        return (it != list.end() && *it < last) ? *it : last;
    }
    size_t last_of(const std::vector<size_t>& list, size_t first, size_t last) const {
        auto it = std::lower_bound(list.begin(), list.end(), last);
        if (it == list.begin()) return SIZE_MAX;
        --it;
        return *it >= first ? *it : SIZE_MAX;
    }

    const std::vector<size_t>& opens() const { return opens_; }
    const std::vector<size_t>& closes() const { return closes_; }
    // The text [first, last) with its first and last ':'.
    NodeText node_text(size_t first, size_t last) const {
        const size_t last_colon = last_of(colons_, first, last);
        if (last_colon == SIZE_MAX) return {first, last, last, last};
        return {first, last, first_of(colons_, first, last), last_colon};
    }

private:
    struct Key {
        int64_t depth;
        size_t index;
    };
    // Least depth wins; among equal depths the later comma.
    static Key better(const Key& a, const Key& b) {
        if (a.depth != b.depth) return a.depth < b.depth ? a : b;
        return a.index > b.index ? a : b;
    }
    static size_t count_before(const std::vector<size_t>& list, size_t pos) {
        return static_cast<size_t>(std::lower_bound(list.begin(), list.end(), pos) - list.begin());
    }

    std::vector<size_t> opens_, closes_, commas_, colons_;
    size_t size_ = 0;
    std::vector<Key> tree_;
};

}  // namespace

void read_general(NodeRef node, CompactStore* store, const std::string& text, size_t first,
                  size_t last, const ReadOptions& options) {
    const TextIndex index(text, first, last);
    struct Task {
        NodeRef node;
        size_t first, last;
    };
    std::vector<Task> todo{{node, first, last}};
    while (!todo.empty()) {
        const Task t = todo.back();
        todo.pop_back();
        const auto [lo, hi] = index.commas_in(t.first, t.last);
        if (lo == hi) {
            fill_leaf(t.node, store, text, index.node_text(t.first, t.last));
            continue;
        }
        auto [split, split_depth] = index.split_comma(lo, hi);
        const int64_t min_depth = split_depth - index.depth_before(t.first);
        size_t children_first = t.first;
        size_t right_last = t.last;
        if (min_depth > 0) {
            // Wrapped: drop everything up to the first '(' and from the last ')' on.
            // Some comma lies at depth 1 or more, so a '(' precedes the split comma.
            children_first = std::min(index.first_of(index.opens(), t.first, t.last) + 1, split);
            const size_t close = index.last_of(index.closes(), t.first, t.last);
            const size_t tail_first = close == SIZE_MAX ? t.first : close + 1;
            fill_tail(t.node, text, index.node_text(tail_first, t.last), options);
            if (close != SIZE_MAX && close > split) right_last = close;
        }
        const NodeRef left = make_read_node(store);
        const NodeRef right = make_read_node(store);
        link_children(t.node, left, right);
        todo.push_back({right, split + 1, right_last});
        todo.push_back({left, children_first, split});
    }
}

void read_node_text(NodeRef node, CompactStore* store, const std::string& text, size_t first,
                    size_t last, const ReadOptions& options, size_t* top_children) {
    if (top_children != nullptr) *top_children = 0;
    if (!read_well_formed(node, store, text, first, last, options, top_children)) {
        if (top_children != nullptr) *top_children = 0;
        if (store != nullptr) store->mark_out_of_text_order();
        read_general(node, store, text, first, last, options);
    }
}

Phylogeny_Node::Phylogeny_Node(std::string text, Phylogeny_Node* parent_node) {
    parent = parent_node;
    tavrin::read_node_text(this, nullptr, text, 0, text.size());
}

}  // namespace tavrin
