// The outliers of a tree in one walk and a pass over its leaves, and their removal.
//
// Every edge gives two sides; for a side with `a` target leaves and `b` other leaves in it, out
// of T target leaves and O others in all:
//   the leaves below a node   remove T - a + b leaves, T - a of them target leaves, and are
//                             valid when a >= 1 and b < O (a leaf that is not a target beyond);
//   all the other leaves      remove O - b + a leaves, a of them target leaves, and are valid
//                             when b >= 1 and a < T.
// T and O are known only when the walk ends, but within each kind of side they only shift
// every cost by the same amount: the walk ranks the sides of a kind by (b - a, -a) and (a - b,
// a). Validity is settled at the end too: an invalid side of the first kind is one with b = O,
// the largest b of all, so the walk keeps the best sides with the largest b met so far apart
// from the best of the others (and likewise for a with the second kind).
#include "analysis/outliers.h"

#include <cstdint>
#include <optional>
#include <utility>

#include "platform/chunked_stack.h"
#include "platform/huge_pages.h"
#include "tree/rooting.h"

namespace tavrin {

namespace {

template <typename T>
using BigVector = CensusShape::BigVector<T>;

// A side of an edge: the leaves from rank `first_leaf` on (their place among the leaves from
// left to right), `leaves` of them, which are the leaves below a node; or with `outside`, all
// the other leaves.
struct Side {
    uint64_t first_leaf = 0;
    uint64_t leaves = 0;
    bool outside = false;
};

// The best sides among some: the least key, one of the sides with it, and how many have it.
struct Best {
    std::pair<int64_t, int64_t> key{0, 0};
    Side side;
    uint64_t ties = 0;

    void merge(const Best& other) {
        if (other.ties == 0) return;
        if (ties == 0 || other.key < key) {
            *this = other;
        } else if (other.key == key) {
            ties += other.ties;
        }
    }
    // The same as merging `count` sides with key `k`, `s` one of them.
    void add(std::pair<int64_t, int64_t> k, const Side& s, uint64_t count) {
        if (ties == 0 || k < key) {
            key = k;
            side = s;
            ties = count;
        } else if (k == key) {
            ties += count;
        }
    }
};

// The best sides of one kind, kept apart by whether their `level` (b or a above) is the largest
// met so far: those are the invalid ones when it is also the total. What it ends with does not
// depend on the order the sides come in, but for which of several tied sides it keeps (a tie is
// never removed).
class SideRanking {
public:
    // Offers `count` sides of the same level and key, `side` one of them.
    void offer(uint64_t level, std::pair<int64_t, int64_t> key, const Side& side,
               uint64_t count = 1) {
        if (at_max_.ties == 0 || level > max_level_) {
            below_max_.merge(at_max_);
            at_max_ = Best{key, side, count};
            max_level_ = level;
        } else if (level == max_level_) {
            at_max_.add(key, side, count);
        } else {
            below_max_.add(key, side, count);
        }
    }

    // The best valid sides, when the level of an invalid side is `total`.
    Best valid(uint64_t total) const {
        Best best = below_max_;
        if (max_level_ < total) best.merge(at_max_);
        return best;
    }

private:
    Best below_max_;
    Best at_max_;
    uint64_t max_level_ = 0;
};

// What the walk learns: the leaves in file order with the answer of the target test, and the
// best sides of both kinds.
struct Census {
    BigVector<unsigned char> is_target;
    uint64_t targets = 0;
    SideRanking inside;
    SideRanking outside;
};

// An entry of the walk's stack: a node still to visit, or, once its children are on the stack
// above it, the mark that closes its subtree. Between the two the leaves of the subtree are
// met, so their counts are the growth of the running counts. Marks are made only for nodes
// whose edge to their parent is an edge of its own: not the root, not the root's second child
// (the root's two edges are one edge of the unrooted tree) and not an only child (its edge and
// its parent's split the leaves alike). Counts are 32-bit here: a tree of 2^32 leaves would
// take hundreds of GiB as nodes.
struct Entry {
    NodeRef node;             // absent for a closing mark
    uint32_t first_leaf;      // a mark: leaves met when the subtree was opened; a node: whether
                              // its edge is one of its own
    uint32_t targets_before;  // a mark: target leaves met then
};

// Ranks both sides of the edge above a node with `a` target leaves and `b` other leaves below,
// the first of them at rank `first_leaf`.
inline void rank_sides(Census& census, uint64_t first_leaf, uint64_t a, uint64_t b) {
    const Side below{first_leaf, a + b, false};
    const Side rest{first_leaf, a + b, true};
    const auto sa = static_cast<int64_t>(a);
    const auto sb = static_cast<int64_t>(b);
    if (a > 0) census.inside.offer(b, {sb - sa, -sa}, below);
    if (b > 0) census.outside.offer(a, {sa - sb, sa}, rest);
}

// Ranks the sides of the edges above single leaves, every leaf's but those of `edgeless` (in
// rank order), once the census knows which leaves are target leaves: as rank_sides would one
// edge at a time, each kind alike. A target leaf's side below removes no leaf that is not a
// target (a = 1, b = 0), another leaf's side beyond removes every leaf but that one (a = 0,
// b = 1). Half the edges of a tree are such edges.
void rank_leaf_sides(Census& census, const std::vector<uint32_t>& edgeless) {
    const BigVector<unsigned char>& is_target = census.is_target;
    uint64_t count[2] = {is_target.size() - census.targets, census.targets};
    for (const uint32_t rank : edgeless)
        --count[is_target[rank]];
    // The first leaf of the kind with an edge of its own; there is one when its count is not 0.
    auto first_of = [&](unsigned char kind) {
        std::size_t e = 0;
        for (uint64_t rank = 0;; ++rank) {
            while (e < edgeless.size() && edgeless[e] < rank)
                ++e;
            if (is_target[rank] == kind && (e == edgeless.size() || edgeless[e] != rank))
                return rank;
        }
    };
    if (count[1] > 0) census.inside.offer(0, {-1, -1}, Side{first_of(1), 1, false}, count[1]);
    if (count[0] > 0) census.outside.offer(0, {-1, 0}, Side{first_of(0), 1, true}, count[0]);
}

// The answers of a PrefixTest, each number asked once.
class AnswersByKey {
public:
    explicit AnswersByKey(const PrefixTest& test) : test_(test) {}
    bool operator()(uint32_t key) {
        if (key >= of_key_.size()) of_key_.resize(key + std::size_t{1}, kUnknown);
        if (of_key_[key] == kUnknown) of_key_[key] = test_.passes(key) ? 1 : 0;
        return of_key_[key] != 0;
    }

private:
    static constexpr uint8_t kUnknown = 2;
    const PrefixTest& test_;
    std::vector<uint8_t> of_key_;  // 0, 1 or kUnknown
};

// The numbers of the prefixes of a shape's leaves, and the test answered by them. A tree whose
// leaves all carry their numbers needs none of this: its leaves are tested by the numbers they
// carry, and a small tree's nodes are at hand anyway. From the first leaf without one on (past
// where a numbering walk stopped), the numbers are taken as the census meets the leaves, looked
// up by name, those of the leaves met before it from the leaves themselves. A leaf left without
// a number (the table is full) leaves the shape without numbers.
class KeysTaken {
public:
    KeysTaken(const Phylogeny& tree, const PrefixTest& test, CensusShape& shape)
        : table_(LeafKeys::of_thread()),
          numbers_(table_.numbers(test.separator)),
          separator_(test.separator),
          numbered_(table_.numbered(tree, separator_)),
          shape_(shape),
          answers_(test) {}

    // Whether `leaf`, the next leaf of the census after shape.leaves, is to be tested here
    // rather than by the census's own test.
    bool wanted(NodeRef leaf) const {
        return taking_ || (!failed_ && (!numbered_ || leaf.leaf_key() == kNoLeafKey));
    }
    // The answer of the test for a leaf that is wanted.
    bool test(NodeRef leaf, const LeafTest& is_target) {
        uint32_t key = numbered_ ? leaf.leaf_key() : kNoLeafKey;
        if (!taking_) {
            taking_ = true;
            shape_.keys_of = &table_;
            shape_.separator = separator_;
            shape_.keys.reserve(shape_.leaves.size() + 1);
            for (NodeRef before : shape_.leaves)
                shape_.keys.push_back(before.leaf_key());
        }
        if (key == kNoLeafKey) key = table_.key_in(numbers_, leaf.name(), separator_);
        if (key == kNoLeafKey) {
            failed_ = true;
            taking_ = false;
            shape_.keys.clear();
            shape_.keys_of = nullptr;
            return is_target(leaf);
        }
        shape_.keys.push_back(key);
        return answers_(key);
    }

private:
    LeafKeys& table_;
    PrefixAnswers<uint32_t>& numbers_;
    char separator_;
    bool numbered_;
    CensusShape& shape_;
    AnswersByKey answers_;
    bool taking_ = false;
    bool failed_ = false;
};

// The walk, in preorder on its own stack: asks the test once of each leaf and ranks the sides
// of every edge when the subtree below it closes (those above single leaves together at the
// end). The leaves go to `leaves`, from left to right; with `shape`, the sides of the edges above
// inner nodes go to its `sides`, in order, and the leaves without an edge of their own to its
// `edgeless_leaves`; with `keys`, their numbers to its `keys`.
template <typename Leaves>
Census take_census(NodeRef root, const LeafTest& is_target, Leaves& leaves, CensusShape* shape,
                   KeysTaken* keys = nullptr, std::size_t expected_leaves = 0) {
    Census census;
    // Room for all of them at once: a big tree's arrays would otherwise grow by copies, each
    // into fresh memory.
    leaves.reserve(expected_leaves);
    census.is_target.reserve(expected_leaves);
    if (shape != nullptr) shape->sides.reserve(expected_leaves);
    std::vector<uint32_t> own_edgeless;
    std::vector<uint32_t>& edgeless = shape != nullptr ? shape->edgeless_leaves : own_edgeless;
    tavrin::ChunkedStack<Entry> stack;
    if (root != nullptr) stack.push_back({root, 0, 0});
    while (!stack.empty()) {
        const Entry entry = stack.back();
        stack.pop_back();
        NodeRef node = entry.node;
        const uint64_t met = leaves.size();
        if (node == nullptr) {
            const uint64_t targets = census.targets - entry.targets_before;
            rank_sides(census, entry.first_leaf, targets, met - entry.first_leaf - targets);
            if (shape != nullptr)
                shape->sides.emplace_back(entry.first_leaf,
                                          static_cast<uint32_t>(met - entry.first_leaf));
        } else if (node.is_leaf()) {
            const bool target = keys != nullptr && keys->wanted(node) ? keys->test(node, is_target)
                                                                      : is_target(node);
            leaves.push_back(node);
            census.is_target.push_back(target ? 1 : 0);
            census.targets += target ? 1 : 0;
            if (entry.first_leaf == 0) edgeless.push_back(static_cast<uint32_t>(met));
        } else {
            const uint32_t both = node.left() != nullptr && node.right() != nullptr ? 1 : 0;
            if (entry.first_leaf != 0) {
                stack.push_back(
                    {nullptr, static_cast<uint32_t>(met), static_cast<uint32_t>(census.targets)});
            }
            if (node.right() != nullptr)
                stack.push_back({node.right(), node != root ? both : 0, 0});
            if (node.left() != nullptr) stack.push_back({node.left(), both, 0});
        }
    }
    rank_leaf_sides(census, edgeless);
    return census;
}

// The census of a tree whose shape a walk found before: the test asked of each leaf (of each
// prefix number, when the shape has them and `by_prefix` can be asked), and the sides ranked in
// the order the walk ranked them, so that ties fall as they fell there.
Census replay_census(const CensusShape& shape, const LeafTest& is_target,
                     const PrefixTest* by_prefix) {
    Census census;
    const std::size_t n = shape.leaves.size();
    census.is_target.resize(n);
    const bool by_keys = by_prefix != nullptr && shape.keys.size() == n &&
                         shape.keys_of == &LeafKeys::of_thread() &&
                         shape.separator == by_prefix->separator;
    std::optional<AnswersByKey> by_key;
    if (by_keys) by_key.emplace(*by_prefix);
    BigVector<uint32_t> before(n + 1, 0);  // the target leaves left of each rank
    for (std::size_t rank = 0; rank < n; ++rank) {
        const bool target = by_keys ? (*by_key)(shape.keys[rank]) : is_target(shape.leaves[rank]);
        census.is_target[rank] = target ? 1 : 0;
        before[rank + 1] = before[rank] + (target ? 1 : 0);
    }
    census.targets = before[n];
    for (const auto& [first, count] : shape.sides) {
        const uint64_t a = before[first + count] - before[first];
        rank_sides(census, first, a, count - a);
    }
    rank_leaf_sides(census, shape.edgeless_leaves);
    return census;
}

// The best valid sides of both kinds, keyed by leaves removed, then target leaves removed.
Best best_side(const Census& census) {
    const auto all_targets = static_cast<int64_t>(census.targets);
    const auto all_others = static_cast<int64_t>(census.is_target.size()) - all_targets;
    Best inside = census.inside.valid(static_cast<uint64_t>(all_others));
    Best outside = census.outside.valid(static_cast<uint64_t>(all_targets));
    inside.key = {all_targets + inside.key.first, all_targets + inside.key.second};
    outside.key = {all_others + outside.key.first, outside.key.second};
    inside.merge(outside);
    return inside;
}

// What the census answers; `leaves` are the tree's from left to right.
template <typename Leaves>
OutlierSet answer(const Census& census, const Leaves& leaves) {
    OutlierSet result;
    result.target_leaves = census.targets;
    const Best best = best_side(census);
    if (best.ties == 0) return result;
    result.outliers = static_cast<std::size_t>(best.key.first);
    result.ambiguous = best.ties > 1;
    if (best.ties == 1 && best.key.first > 0) {
        // The leaves that the winning side removes, from left to right.
        const Side& side = best.side;
        for (uint64_t rank = 0; rank < leaves.size(); ++rank) {
            const bool below = rank >= side.first_leaf && rank - side.first_leaf < side.leaves;
            const bool in_side = below != side.outside;
            if (in_side != (census.is_target[rank] != 0)) result.leaves.push_back(leaves[rank]);
        }
    }
    return result;
}

}  // namespace

OutlierSet find_outliers(const Phylogeny& tree, const LeafTest& is_target, CensusShape* shape,
                         const PrefixTest* by_prefix) {
    // A compact tree knows its nodes: a binary tree of n nodes has (n + 1) / 2 leaves.
    const std::size_t expected = tree.compact_nodes ? (tree.compact_nodes->size() + 1) / 2 : 0;
    if (shape == nullptr) {
        BigVector<NodeRef> leaves;
        return answer(take_census(root_of(tree), is_target, leaves, nullptr, nullptr, expected),
                      leaves);
    }
    if (!shape->filled) {
        std::optional<KeysTaken> keys;
        if (by_prefix != nullptr &&
            !LeafKeys::of_thread().numbered_whole(tree, by_prefix->separator)) {
            keys.emplace(tree, *by_prefix, *shape);
        }
        const Census census = take_census(root_of(tree), is_target, shape->leaves, shape,
                                          keys ? &*keys : nullptr, expected);
        shape->filled = true;
        return answer(census, shape->leaves);
    }
    return answer(replay_census(*shape, is_target, by_prefix), shape->leaves);
}

std::size_t set_aside(Phylogeny& tree, const std::vector<NodeRef>& leaves) {
    return tavrin::remove_leaves(tree, leaves, tavrin::BranchMerge::kRooted);
}

}  // namespace tavrin
