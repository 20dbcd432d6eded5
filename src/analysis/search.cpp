// The target clade search: the smallest subtree whose leaves are exactly the target leaves,
// rerooting the tree once when that makes the target group a clade.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "analysis/leaf_matching.h"
#include "analysis/steps.h"
#include "platform/chunked_stack.h"
#include "tree/tree_changes.h"

namespace tavrin {

struct TargetTest::Answers {
    std::vector<std::uint8_t> by_key;  // false, true, kUnknown or kByText
    PrefixAnswers<bool> by_prefix;
};

namespace {

// A thread's answers for the tests it asked last, by leaf number and by leaf prefix: a run with
// several targets asks each tree the tests of all of them in turn. A test not among them takes
// the place of the one asked longest ago.
class ThreadPrefixAnswers {
public:
    static constexpr std::size_t kTests = 8;
    // An answer by number not found yet, and one for a number cut at another separator.
    static constexpr std::uint8_t kUnknown = 2, kByText = 3;

    using Answers = TargetTest::Answers;

    Answers& of(std::uint64_t serial) {
        // A test mostly asks many leaves in a row: the one asked last is checked first.
        if (last_ != nullptr && last_->serial == serial) return last_->answers;
        Kept* oldest = &kept_[0];
        for (Kept& kept : kept_) {
            if (kept.serial == serial) {
                kept.used = ++clock_;
                last_ = &kept;
                return kept.answers;
            }
            if (kept.used < oldest->used) oldest = &kept;
        }
        oldest->answers.by_key.clear();
        oldest->answers.by_prefix.clear();
        oldest->serial = serial;
        oldest->used = ++clock_;
        last_ = oldest;
        return oldest->answers;
    }

private:
    struct Kept {
        std::uint64_t serial = 0;  // none: serials start at 1
        std::uint64_t used = 0;
        Answers answers;
    };
    Kept kept_[kTests];
    Kept* last_ = nullptr;  // the one asked last
    std::uint64_t clock_ = 0;
};

}  // namespace

TargetTest::TargetTest(const LeafMatcher& matcher, const GroupRelations& groups,
                       std::string_view prefix, char separator)
    : matcher_(matcher),
      groups_(groups),
      prefix_(prefix),
      separator_(separator),
      by_prefix_(matcher.decided_by_leaf_prefix(separator)),
      serial_(next_serial()) {}

TargetTest::Here TargetTest::here() const {
    if (!by_prefix_) return Here(*this, nullptr, nullptr);
    thread_local ThreadPrefixAnswers kept;
    Answers& answers = kept.of(serial_);
    return Here(*this, &answers, &answers.by_key);
}

bool TargetTest::answer(NodeRef leaf, Answers* answers) const {
    if (answers == nullptr) return by_name(leaf.name());
    // The leaf prefix stands for the whole name: it passes the matcher as the name does.
    const std::uint32_t key = leaf.leaf_key();
    if (key != kNoLeafKey) {
        using Kept = ThreadPrefixAnswers;
        if (key >= answers->by_key.size()) answers->by_key.resize(key + 1, Kept::kUnknown);
        std::uint8_t& known = answers->by_key[key];
        if (known == Kept::kUnknown) {
            const LeafKeys& keys = LeafKeys::of_thread();
            known = key < keys.size() && keys.separator(key) == separator_
                        ? by_name(keys.prefix(key))
                        : Kept::kByText;
        }
        if (known != Kept::kByText) return known != 0;
    }
    return answers->by_prefix.get(leaf.name(), separator_,
                                  [this](std::string_view prefix) { return by_name(prefix); });
}

bool TargetTest::passes_key(std::uint32_t key) const {
    return by_name(LeafKeys::of_thread().prefix(key));
}

bool TargetTest::by_name(std::string_view name) const {
    if (matcher_.matches(name)) return true;
    return groups_.same_group(leaf_prefix(name, separator_), prefix_);
}

namespace {

// Moves the root of `tree` onto the edge above `partial`, a partial match that lies strictly
// inside a child of the node being examined, so it has a parent that is not the root. With
// `changes`, the reroot is kept there.
void reroot_above(Phylogeny& tree, NodeRef partial, TreeChanges* changes) {
    NodeRef a = partial.parent();
    NodeRef b = a.other_child(partial);
    NodeRef old_root = root_of(tree);
    // The old root is out of the tree but stays readable until the tree is released.
    if (changes != nullptr) {
        set_root(tree, reroot_at(tree, a, b, old_root, changes));
        changes->took_out(old_root);
    } else {
        set_root(tree, reroot_at(tree, a, b, old_root, nullptr));
        retire_node(tree, old_root);
    }
}

// The answer of `x` from those of its children, `l` and `r`, into `answer`. When one side is
// wholly target and the other only partly and `may_reroot`, it returns the partial match to
// reroot above instead (the left one when both sides qualify), `answer` left as it is.
template <typename Ref>
NodeRef join_children(Ref x, NodeRef l, NodeRef r, SearchState& state, bool may_reroot,
                      NodeRef& answer) {
    if (state.not_a_clade) {
        answer = nullptr;
    } else if (l == nullptr) {
        answer = r;
    } else if (r == nullptr) {
        answer = l;
    } else if (l == x.left() && r == x.right()) {
        answer = x;
    } else if ((r == x.right() || l == x.left()) && may_reroot) {
        return r == x.right() ? l : r;
    } else {
        state.not_a_clade = true;
        answer = nullptr;
    }
    return nullptr;
}

// What a search carries from subtree to subtree.
struct Search {
    const TargetTest::Here& here;
    SearchState& state;
    SearchResult& result;

    // A leaf's answer, asked while the target group may still be a clade.
    NodeRef leaf(NodeRef leaf) {
        if (!here(leaf)) return nullptr;
        ++result.tested;
        return leaf;
    }
    // The answer of an absent child, a leaf or the subtree of an inner node (searched whole,
    // with no reroot).
    NodeRef child(NodeRef node);
};

// A node whose left side answered `left_answer`, waiting for its right side.
struct Waiting {
    NodeRef node;
    NodeRef left_answer;
};

// Where the search of a subtree stopped short: at `node`, which asks for a reroot above
// `partial`. `node` is absent when the search ended.
struct Stop {
    NodeRef node = nullptr;
    NodeRef partial = nullptr;
};

// The recursion "left subtree, right subtree, then the node" over the subtree of `top`, an inner
// node, its answer left in `answer`: down the left sides, then back up by the parent links, so
// that no frame is kept for a node. Only a left side that answered a node waits on `waiting`
// for the right side; a leaf child is answered in its parent's step. Ends early once the target
// group is known not to be a clade (no later step would test a leaf or answer a node), and
// stops at the first node that asks for a reroot, the nodes above it still open on `waiting`.
template <typename Ref>
Stop search_below_from(Ref top, bool may_reroot, Search& search, ChunkedStack<Waiting>& waiting,
                       NodeRef& answer) {
    auto is_inner = [](Ref n) { return n != nullptr && !n.is_leaf(); };
    const std::size_t waiting_below = waiting.size();
    Ref x = top;
    for (;;) {  // enter x
        while (is_inner(x.left()))
            x = x.left();
        NodeRef l = x.left() == nullptr ? nullptr : search.leaf(x.left());
        for (;;) {  // x's left side answered l
            if (is_inner(x.right())) {
                if (l != nullptr) waiting.push_back({x, l});
                x = x.right();
                break;
            }
            NodeRef r = x.right() == nullptr ? nullptr : search.leaf(x.right());
            for (;;) {  // both sides of x answered
                NodeRef const partial = join_children(x, l, r, search.state, may_reroot, answer);
                if (partial != nullptr) return {x, partial};
                if (x == top || search.state.not_a_clade) {
                    while (waiting.size() > waiting_below)
                        waiting.pop_back();
                    return {};
                }
                Ref const parent = x.parent();
                if (parent.left() == x) {
                    l = answer;
                    x = parent;
                    break;
                }
                r = answer;
                l = nullptr;
                if (waiting.size() > waiting_below && waiting.back().node == parent) {
                    l = waiting.back().left_answer;
                    waiting.pop_back();
                }
                x = parent;
            }
        }
    }
}

Stop search_below(NodeRef top, bool may_reroot, Search& search, ChunkedStack<Waiting>& waiting,
                  NodeRef& answer) {
    return with_kind(top, [&](auto kind_top) {
        return search_below_from(kind_top, may_reroot, search, waiting, answer);
    });
}

NodeRef Search::child(NodeRef node) {
    if (node == nullptr || state.not_a_clade) return nullptr;
    if (node.is_leaf()) return leaf(node);
    ChunkedStack<Waiting> waiting;
    NodeRef answer = nullptr;
    search_below(node, false, *this, waiting, answer);
    return answer;
}

// The nodes from `start` down to the parent of `stop`, each with the side it is open on: the
// left side (its right side not begun) or the right side (with what its left side answered).
struct Open {
    NodeRef node;
    bool on_left;
    NodeRef left_answer;
};

std::vector<Open> open_above(NodeRef start, NodeRef stop, ChunkedStack<Waiting>& waiting) {
    std::vector<Open> open;
    for (NodeRef child = stop; child != start; child = child.parent()) {
        NodeRef const node = child.parent();
        Open entry{node, node.left() == child, nullptr};
        if (!entry.on_left && !waiting.empty() && waiting.back().node == node) {
            entry.left_answer = waiting.back().left_answer;
            waiting.pop_back();
        }
        open.push_back(entry);
    }
    return open;  // the parent of `stop` first
}

}  // namespace

// The search is the recursion "left subtree, right subtree, then the node" (search_below).
// A reroot happens in the middle of it: the node that asks for it answers what a full search
// of the new root answers (the restart), and the nodes above it then finish on the rewired
// tree, reading their children as these stand now.
SearchResult search_target(Phylogeny* tree, NodeRef start, const TargetTest& test,
                           SearchState state, TreeChanges* changes) {
    SearchResult result;
    NodeRef& answer = result.target;
    const TargetTest::Here here = test.here();
    Search search{here, state, result};
    if (start == nullptr || state.not_a_clade || start.is_leaf()) {
        answer = search.child(start);
        result.state = state;
        return result;
    }
    ChunkedStack<Waiting> waiting;
    const Stop stop =
        search_below(start, !state.rerooted && tree != nullptr, search, waiting, answer);
    if (stop.node != nullptr) {
        const std::vector<Open> open = open_above(start, stop.node, waiting);
        reroot_above(*tree, stop.partial, changes);
        state.rerooted = true;
        answer = search.child(root_of(*tree));
        result.restart_target = answer;
        result.restart_state = state;
        for (const Open& node : open) {
            NodeRef const l = node.on_left ? answer : node.left_answer;
            NodeRef const r = node.on_left ? search.child(node.node.right()) : answer;
            join_children(node.node, l, r, state, false, answer);
        }
    }
    result.state = state;
    return result;
}

}  // namespace tavrin
