#include "tree/rooting.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <new>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/chunked_array.h"
#include "platform/chunked_stack.h"
#include "platform/huge_pages.h"
#include "tree/tree_changes.h"

namespace tavrin {

namespace {

constexpr double kMinusInfinity = -std::numeric_limits<double>::infinity();
// Paths this close to the longest, relative to it, count as longest: sums of the same lengths
// taken in another order differ in their last bits.
constexpr double kLongestTolerance = 1e-9;

// The walks below read the nodes where they are, never copying the tree: a copy would be fresh
// memory, and clearing fresh pages costs more than the walks. They go down by left children,
// in the order the nodes lie in memory, since a walk that chases right children waits on memory
// at every step. What a walk keeps per node is kept only for inner nodes (a leaf's values are
// read from the leaf again).

// A node without a right child is a leaf: the reader makes nodes of two children or none.
template <typename Ref>
bool ends_path(Ref node) {
    return node.right() == nullptr;
}

// The length from the top of `node`'s branch down to the farthest leaf below it, for a leaf.
template <typename Ref>
double leaf_reach(Ref leaf) {
    return 0.0 + leaf.settled_length();
}

// Calls finish(node) for every node below and including `top` in postorder (the left subtree,
// the right subtree, then the node), climbing the parent links instead of keeping a stack. Going
// down always goes to a left child, which the readers lay out right after its parent, and a right
// child comes right after its left sibling's subtree: the walk reads the nodes mostly in the
// order they lie in memory.
template <typename Ref, typename Finish>
void climbing_postorder(Ref top, Finish finish) {
    Ref node = top;
    while (!ends_path(node))
        node = node.left();
    while (true) {
        finish(node);
        if (node == top) return;
        Ref parent = node.parent();
        if (node == parent.right()) {
            node = parent;
            continue;
        }
        node = parent.right();
        while (!ends_path(node))
            node = node.left();
    }
}

// The support a branch carries, named by its lower node: none for a leaf's.
double branch_support(NodeRef below) {
    return below.is_leaf() ? 0 : below.support();
}

// What the midpoint search keeps of each inner node, in postorder: a node's record follows its
// right child's, and its left child's follows the records of the left child's subtree. Sixteen
// bytes, so that a big tree's records fit where its text lay.
struct SubtreeRecord {
    double down;    // the longest distance from the node down to a leaf below it
    float longest;  // the longest path between two leaves below it, as the nearest float
    // The inner nodes of its subtree, itself included; for a left child whose right sibling is
    // an inner node, the index of its parent's record instead, once the parent's is made (the
    // count is then read through the sibling, and the parent's record is not the next one).
    uint32_t link;
};

// A node met by a search, with the value handed down to it: for an inner node the index of its
// own record and the record itself, for a leaf the index of its parent's record and no record.
template <typename Ref>
struct Step {
    Ref node;
    std::size_t index;
    double value;
    const SubtreeRecord* record;
};

}  // namespace

// Every inner node's record, made by one walk in postorder. A search finds a node's record once,
// when it steps to the node, and reads its values from the step after that.
class SubtreeRecords {
public:
    // The first records go into `room` (memory nobody else uses while they live), as many as it
    // holds; the rest into chunks of their own.
    explicit SubtreeRecords(SpareRoom room = {}) {
        void* start = room.data;
        std::size_t bytes = room.size;
        if (start != nullptr &&
            std::align(alignof(SubtreeRecord), sizeof(SubtreeRecord), start, bytes) != nullptr) {
            room_ = static_cast<SubtreeRecord*>(start);
            room_count_ = bytes / sizeof(SubtreeRecord);
            free_ = room_;
            free_end_ = room_ + room_count_;
        }
    }
    // Takes in an inner node, after every node below it.
    template <typename Ref>
    void add_inner(Ref node) {
        const std::size_t index = records_count_;
        if (free_ == free_end_) next_chunk(index);
        ++records_count_;
        SubtreeRecord* const own = free_++;
        // The right subtree is finished last: its record is the last one made. So is the left
        // child's when the right child is a leaf; else it comes before the right subtree's. A
        // child's down reach and longest path come from its record when it has one.
        Ref right_node = node.right();
        Ref left_node = node.left();
        uint32_t inner = 1;
        double right = leaf_reach(right_node), right_longest = kMinusInfinity;
        SubtreeRecord* left_record = last_;
        bool left_links_up = false;  // whether the left child's record must name this one
        if (!ends_path(right_node)) {
            const SubtreeRecord& record = *last_;
            right = record.down + right_node.settled_length();
            right_longest = record.longest;
            inner += record.link;
            if (!ends_path(left_node)) left_record = &slot(index - 1 - record.link);
            left_links_up = true;
        }
        double left = leaf_reach(left_node), left_longest = kMinusInfinity;
        if (!ends_path(left_node)) {
            SubtreeRecord& record = *left_record;
            left = record.down + left_node.settled_length();
            left_longest = record.longest;
            inner += record.link;
            if (left_links_up) record.link = static_cast<uint32_t>(index);
        }
        // The longest path is the longest of those that turn at some node: kept exact here, and
        // only as a bound in the records.
        const double turning = left + right;
        longest_ = std::max(longest_, turning);
        const double longest = std::max(std::max(left_longest, right_longest), turning);
        *own = SubtreeRecord{std::max(left, right), static_cast<float>(longest), inner};
        last_ = own;
    }
    // Closes, told how many nodes the tree has and the sum of its lengths taken positive.
    void close(std::size_t nodes, double total_length);
    // Gives back the pages of the room that the records left unused, for a caller about to take
    // fresh memory. Until then they stay: a reroot keeps the path it turns over there.
    void give_back_unused_room() {
        if (records_count_ < room_count_) {
            give_back_pages(room_ + records_count_,
                            (room_count_ - records_count_) * sizeof(SubtreeRecord));
            room_count_ = records_count_;
        }
    }

    // The longest path between two leaves; minus infinity for a single leaf.
    double longest() const { return longest_; }
    // Whether a subtree whose leaves' values are at most `bound` may hold one of at least
    // `least`. Values are sums of lengths along paths, which round differently as their order
    // changes: only a bound below `least` by more than any such rounding rules the subtree out,
    // and with lengths that are not finite nothing is ruled out.
    bool may_reach(double bound, double least) const {
        return !slack_finite_ || bound >= least - slack_;
    }

    // The root, starting a search with `value`.
    template <typename Ref>
    Step<Ref> root_step(Ref root, double value) const {
        const std::size_t index = records_count_ - 1;
        return Step<Ref>{root, index, value, ends_path(root) ? nullptr : &at(index)};
    }
    // The children of the inner node `node` whose record is at `index`, without their values.
    template <typename Ref>
    Step<Ref> left_of(Ref node, std::size_t index) const {
        Ref left = node.left();
        if (ends_path(left)) return Step<Ref>{left, index, 0, nullptr};
        const std::size_t right_inner = ends_path(node.right()) ? 0 : at(index - 1).link;
        const std::size_t left_index = index - 1 - right_inner;
        return Step<Ref>{left, left_index, 0, &at(left_index)};
    }
    template <typename Ref>
    Step<Ref> right_of(Ref node, std::size_t index) const {
        Ref right = node.right();
        if (ends_path(right)) return Step<Ref>{right, index, 0, nullptr};
        return Step<Ref>{right, index - 1, 0, &at(index - 1)};
    }
    // Both at once, the right child's record read once.
    template <typename Ref>
    void children(const Step<Ref>& step, Step<Ref>& left, Step<Ref>& right) const {
        right = right_of(step.node, step.index);
        Ref left_node = step.node.left();
        if (ends_path(left_node)) {
            left = Step<Ref>{left_node, step.index, 0, nullptr};
            return;
        }
        if (right.record == nullptr) {
            // The left child's record comes just before its parent's.
            left = Step<Ref>{left_node, step.index - 1, 0, &before(*step.record, step.index)};
            return;
        }
        const std::size_t left_index = step.index - 1 - right.record->link;
        left = Step<Ref>{left_node, left_index, 0, &at(left_index)};
    }
    // The index of the record of the parent of `node`, an inner node whose record is at `index`:
    // the next one, unless a right sibling's subtree has records in between.
    template <typename Ref>
    std::size_t parent_index(Ref node, std::size_t index) const {
        Ref parent = node.parent();
        if (parent.right() == node || ends_path(parent.right())) return index + 1;
        return at(index).link;
    }

    template <typename Ref>
    static double down(const Step<Ref>& step) {
        return step.record != nullptr ? step.record->down : 0;
    }
    // The longest path below the step's node, or a little more (it is kept as a float, within
    // half a unit of its last place).
    template <typename Ref>
    static double longest_below(const Step<Ref>& step) {
        if (step.record == nullptr) return kMinusInfinity;
        const double kept = step.record->longest;
        return kept + std::fabs(kept) * 0x1p-23 + 0x1p-149;
    }
    // From the top of the step's branch.
    template <typename Ref>
    static double reach(const Step<Ref>& step) {
        return step.node.settled_length() + down(step);
    }

private:
    const SubtreeRecord& at(std::size_t index) const {
        return index < room_count_ ? room_[index] : records_[index - room_count_];
    }
    SubtreeRecord& slot(std::size_t index) {
        return const_cast<SubtreeRecord&>(std::as_const(*this).at(index));
    }
    // The record at `index` - 1, given `record`, the one at `index`.
    const SubtreeRecord& before(const SubtreeRecord& record, std::size_t index) const {
        if (index < room_count_) return (&record)[-1];
        if (index == room_count_) return room_[index - 1];
        return records_.before(record, index - room_count_);
    }
    void next_chunk(std::size_t index);

    SubtreeRecord* room_ = nullptr;
    std::size_t room_count_ = 0;
    ChunkedArray<SubtreeRecord> records_;  // the records past the room
    std::size_t records_count_ = 0;
    // While they are made: the free records of the last chunk, and the last record made.
    SubtreeRecord* free_ = nullptr;
    SubtreeRecord* free_end_ = nullptr;
    SubtreeRecord* last_ = nullptr;
    double longest_ = kMinusInfinity;
    double slack_ = 0;
    bool slack_finite_ = true;
};

void SubtreeRecords::next_chunk(std::size_t index) {
    // More inner nodes than the records number cannot be held in memory anyway.
    if (index >= std::numeric_limits<uint32_t>::max()) throw std::bad_alloc();
    // Every record made so far fills the room and the chunks: the next chunk begins here.
    const std::size_t past_room = index - room_count_;
    records_.grow_to(past_room + 1);
    free_ = &records_[past_room];
    free_end_ = free_ + (records_.capacity() - past_room);
}

void SubtreeRecords::close(std::size_t nodes, double total_length) {
    // Each sum of a path has at most `nodes` terms, each rounded by at most half a unit of the
    // last place of a total of at most `total_length`; twice that, both sides of a comparison.
    slack_ =
        2.0 * static_cast<double>(nodes) * std::numeric_limits<double>::epsilon() * total_length;
    slack_finite_ = std::isfinite(slack_);
}

namespace {

// A leaf with a value: its distance to some leaf; and the index of its parent's record.
template <typename Ref>
struct Reached {
    Ref node;
    double value;
    std::size_t parent_index;
};

// The first leaf in preorder below and including `start` whose value is at least `least`.
// split(step, left, right) gives the values of an inner node's children; open(step) says
// whether the subtree of an inner child may hold a leaf that passes (a subtree closed by it is
// not walked). Right children wait on a stack while the left subtree is walked, but a right child
// that is a leaf is judged at once: when it passes, it stands once its left sibling's subtree
// holds no leaf that passes.
template <typename Ref, typename Split, typename Open>
std::optional<Reached<Ref>> first_leaf_reaching(const SubtreeRecords& records, Step<Ref> step,
                                                double least, Split split, Open open) {
    if (ends_path(step.node)) {
        if (step.value >= least) return Reached<Ref>{step.node, step.value, step.index};
        return std::nullopt;
    }
    ChunkedStack<Step<Ref>> waiting;
    std::optional<Step<Ref>> later;  // a right leaf that passes, after the left subtree it waits on
    std::size_t later_level = 0;     // the waiting nodes that come after it
    while (true) {
        if (ends_path(step.node)) {
            if (step.value >= least) return Reached<Ref>{step.node, step.value, step.index};
        } else {
            Step<Ref> left, right;
            records.children(step, left, right);
            split(step, left, right);
            if (right.record != nullptr) {
                if (open(right)) waiting.push_back(right);
            } else if (right.value >= least) {
                later = right;
                later_level = waiting.size();
            }
            if (left.record == nullptr || open(left)) {
                step = left;
                continue;
            }
        }
        // Nothing more below this step.
        if (later.has_value() && waiting.size() <= later_level)
            return Reached<Ref>{later->node, later->value, later->index};
        if (waiting.empty()) return std::nullopt;
        step = waiting.back();
        waiting.pop_back();
    }
}

// a: the first leaf in preorder whose farthest leaf is at least `least` away. The farthest leaf
// from a node not below it is reached through its parent: beyond the parent, or down its
// sibling. A subtree holds such a leaf only when a path from it outwards, or one inside it, is
// long enough.
template <typename Ref>
std::optional<Reached<Ref>> first_end(Ref root, const SubtreeRecords& records, double least) {
    return first_leaf_reaching(
        records, records.root_step(root, kMinusInfinity), least,
        [](const Step<Ref>& node, Step<Ref>& left, Step<Ref>& right) {
            const double far = node.value;
            left.value = left.node.settled_length() + std::max(far, SubtreeRecords::reach(right));
            right.value = right.node.settled_length() + std::max(far, SubtreeRecords::reach(left));
        },
        [&](const Step<Ref>& child) {
            return records.may_reach(std::max(child.value + SubtreeRecords::down(child),
                                              SubtreeRecords::longest_below(child)),
                                     least);
        });
}

// The first leaf b in preorder at least `least` away from leaf `a`, and where the paths from a
// and b to the root meet.
template <typename Ref>
struct FarEnd {
    Reached<Ref> b;
    Ref meet;
};

// Climbs from `a`, searching the subtree that hangs off each node met: those on the left come
// before a in preorder (the highest first), those on the right after it (the lowest first). A
// subtree is searched only when its farthest leaf from a may be far enough.
template <typename Ref>
std::optional<FarEnd<Ref>> far_end_from(const Reached<Ref>& a, const SubtreeRecords& records,
                                        double least) {
    const auto split = [](const Step<Ref>& node, Step<Ref>& left, Step<Ref>& right) {
        left.value = node.value + left.node.settled_length();
        right.value = node.value + right.node.settled_length();
    };
    const auto open = [&](const Step<Ref>& side) {
        return records.may_reach(side.value + SubtreeRecords::down(side), least);
    };
    std::optional<FarEnd<Ref>> before;
    std::optional<FarEnd<Ref>> after;
    double distance = 0;
    std::size_t index = a.parent_index;  // the parent's record
    for (Ref child = a.node; child.parent() != nullptr; child = child.parent()) {
        Ref node = child.parent();
        distance += child.settled_length();
        const std::size_t node_index = index;
        if (node.parent() != nullptr) index = records.parent_index(node, node_index);
        const bool hangs_before = node.right() == child;
        if (!hangs_before && (before.has_value() || after.has_value())) continue;
        Step<Ref> side =
            hangs_before ? records.left_of(node, node_index) : records.right_of(node, node_index);
        side.value = distance + side.node.settled_length();
        if (side.record != nullptr && !open(side)) continue;
        const std::optional<Reached<Ref>> found =
            first_leaf_reaching(records, side, least, split, open);
        if (found.has_value()) (hangs_before ? before : after) = FarEnd<Ref>{*found, node};
    }
    return before.has_value() ? before : after;
}

// A branch of the path being walked from its near end to its far end, the point `into` it from
// the near end: the place, naming the branch by `below`, which is the near end or the far one.
RootPlace place_in(NodeRef below, bool below_is_near, double length, double into) {
    if (below_is_near) return RootPlace{below, into, length - into};
    return RootPlace{below, length - into, into};
}

// Walks the path from leaf `a` to `far.b` and places the root halfway along it.
template <typename Ref>
std::optional<RootPlace> halfway(Ref root, Ref a, const FarEnd<Ref>& far) {
    const double half = far.b.value / 2;
    // b's side, from b up to the child of the meeting node, read from the top.
    ChunkedStack<Ref> down_side;
    for (Ref node = far.b.node; node != far.meet; node = node.parent())
        down_side.push_back(node);
    double reached = 0;  // distance from a to the near end of the branch walked
    for (Ref node = a; node != far.meet; node = node.parent()) {
        double length = node.settled_length();
        double far_end = reached + length;
        if (node.parent() == root) {
            // Through the root: its two branches are one, ending at b's side's top node.
            const double other = down_side.back().settled_length();
            far_end += other;
            length += other;
            down_side.pop_back();
        }
        if (far_end > half) return place_in(node, true, length, half - reached);
        reached = far_end;
    }
    for (; !down_side.empty(); down_side.pop_back()) {
        Ref node = down_side.back();
        const double far_end = reached + node.settled_length();
        if (far_end > half) return place_in(node, false, node.settled_length(), half - reached);
        reached = far_end;
    }
    return std::nullopt;  // only lengths that are not numbers lead here
}

// The side of a branch whose leaves are all outgroup leaves, among those offered so far: the
// largest, and how many sides have its size.
struct LargestSide {
    uint64_t leaves = 0;
    NodeRef below = nullptr;  // the branch's lower node
    std::size_t ties = 0;

    void offer(uint64_t side_leaves, NodeRef branch) {
        if (side_leaves > leaves) {
            *this = LargestSide{side_leaves, branch, 1};
        } else if (side_leaves == leaves) {
            ++ties;
        }
    }
};

// Does `node` name a branch of the unrooted tree? The root does not, and the root's two branches
// are one, named by its left child.
bool names_branch(const Phylogeny* tree, NodeRef node) {
    NodeRef root = root_of(*tree);
    return node != root && !(node.parent() == root && node == root.right());
}

}  // namespace

// The leaves in file order, and for every inner node, in postorder, the run of leaf numbers below
// it and its parent's record. A subtree's inner nodes are one fewer than its leaves (every inner
// node has two children), so a node's children are found from its record alone: the right
// child's record comes just before it, the left child's before the right subtree's records.
class LeafRanges {
public:
    static constexpr uint32_t kNone = UINT32_MAX;

    // One walk in postorder.
    explicit LeafRanges(const Phylogeny& tree);

    std::size_t leaf_count() const { return leaf_count_; }
    NodeRef leaf(std::size_t number) const { return leaves_[number]; }
    std::optional<RootPlace> outgroup_place(const std::vector<uint32_t>& outgroup,
                                            std::size_t max_strays,
                                            std::vector<uint32_t>* strays) const;

private:
    // A node and the leaves below it: the first one's number and how many. `record` is an inner
    // node's index, kNone for a leaf.
    struct Span {
        NodeRef node;
        uint32_t record;
        uint32_t first;
        uint32_t leaves;
    };
    struct Inner {
        uint32_t first;
        uint32_t leaves;
        uint32_t parent;
    };

    Span leaf_span(uint32_t number) const { return Span{leaves_[number], kNone, number, 1}; }
    Span parent_span(const Span& span) const;
    Span left_of(const Span& span) const;
    Span right_of(const Span& span) const;
    void add_leaf(NodeRef leaf, ChunkedStack<uint64_t>& finished);
    void add_inner(ChunkedStack<uint64_t>& finished);
    void offer_run(uint32_t first, uint32_t last, LargestSide& largest) const;
    Span lowest_holding(uint32_t first, uint32_t last) const;
    // A side that may root the tree on an outgroup with strays: below `node`, or above it.
    struct StrayCandidate {
        Span node;
        bool above;
        uint64_t in_outgroup;
        uint64_t side_leaves;
    };
    class StraySides;
    void chain_sides(const std::vector<uint32_t>& outgroup, std::size_t max_strays,
                     StraySides& sides) const;
    void every_side(const std::vector<uint32_t>& outgroup, StraySides& sides) const;
    void list_strays(const std::vector<uint32_t>& outgroup, const StrayCandidate& side,
                     std::vector<uint32_t>& strays) const;
    std::optional<RootPlace> place_with_strays(const std::vector<uint32_t>& outgroup,
                                               std::size_t max_strays,
                                               std::vector<uint32_t>* strays) const;
    RootPlace halfway_along(NodeRef below) const;

    const Phylogeny* tree_;
    ChunkedArray<NodeRef> leaves_;
    ChunkedArray<uint32_t> leaf_parents_;
    ChunkedArray<Inner> inner_;
    uint32_t leaf_count_ = 0;
    uint32_t inner_count_ = 0;
};

namespace {

// What the walk keeps of a finished node whose parent is not finished: a leaf's number with this
// bit, or an inner node's record.
constexpr uint64_t kLeafBit = uint64_t{1} << 32;

}  // namespace

LeafRanges::LeafRanges(const Phylogeny& tree) : tree_(&tree) {
    ChunkedStack<uint64_t> finished;
    climbing_postorder(root_of(tree), [&](NodeRef node) {
        if (ends_path(node)) {
            add_leaf(node, finished);
        } else {
            add_inner(finished);
        }
    });
}

void LeafRanges::add_leaf(NodeRef leaf, ChunkedStack<uint64_t>& finished) {
    // More leaves than the numbers hold cannot be held in memory anyway.
    if (leaf_count_ == kNone) throw std::bad_alloc();
    const uint32_t number = leaf_count_++;
    leaves_.grow_to(leaf_count_);
    leaf_parents_.grow_to(leaf_count_);
    leaves_[number] = leaf;
    leaf_parents_[number] = kNone;
    finished.push_back(kLeafBit | number);
}

void LeafRanges::add_inner(ChunkedStack<uint64_t>& finished) {
    if (inner_count_ == kNone) throw std::bad_alloc();
    const uint32_t index = inner_count_++;
    inner_.grow_to(inner_count_);
    Inner record{0, 0, kNone};
    // The right child was finished last: its entry is on top.
    for (int child = 0; child < 2; ++child) {
        const uint64_t entry = finished.back();
        finished.pop_back();
        const auto at = static_cast<uint32_t>(entry);
        if ((entry & kLeafBit) != 0) {
            leaf_parents_[at] = index;
            record.first = at;
            record.leaves += 1;
        } else {
            inner_[at].parent = index;
            record.first = inner_[at].first;
            record.leaves += inner_[at].leaves;
        }
    }
    inner_[index] = record;
    finished.push_back(index);
}

LeafRanges::Span LeafRanges::parent_span(const Span& span) const {
    const uint32_t parent =
        span.record == kNone ? leaf_parents_[span.first] : inner_[span.record].parent;
    if (parent == kNone) return span;
    const Inner& record = inner_[parent];
    return Span{span.node.parent(), parent, record.first, record.leaves};
}

LeafRanges::Span LeafRanges::right_of(const Span& span) const {
    NodeRef right = span.node.right();
    if (ends_path(right)) return leaf_span(span.first + span.leaves - 1);
    const Inner& record = inner_[span.record - 1];
    return Span{right, span.record - 1, record.first, record.leaves};
}

LeafRanges::Span LeafRanges::left_of(const Span& span) const {
    const uint32_t right_leaves = right_of(span).leaves;
    NodeRef left = span.node.left();
    if (ends_path(left)) return leaf_span(span.first);
    // Between the left child's record and this node's lie the right subtree's inner records, one
    // fewer than its leaves.
    const uint32_t index = span.record - right_leaves;
    return Span{left, index, span.first, span.leaves - right_leaves};
}

// Offers the largest subtrees whose leaves all lie in the run of outgroup leaves numbered `first`
// to `last`: climbing from each leaf while the parent's leaves stay in the run, every node
// climbed through lies in the run, and each is met once. The root's right child names no branch:
// when its side is all outgroup leaves, every other leaf lies below the left child, and the side
// above the lowest node holding them, offered after the runs, is larger.
void LeafRanges::offer_run(uint32_t first, uint32_t last, LargestSide& largest) const {
    for (uint32_t number = first; number <= last;) {
        Span top = leaf_span(number);
        for (Span up = parent_span(top);
             up.node != top.node && up.first >= first && up.first + up.leaves - 1 <= last;
             up = parent_span(up)) {
            top = up;
        }
        if (names_branch(tree_, top.node)) largest.offer(top.leaves, top.node);
        number = top.first + top.leaves;
    }
}

// The lowest node whose leaves include every leaf numbered `first` to `last`. Going down from the
// root, each step leaves out a side holding none of them.
LeafRanges::Span LeafRanges::lowest_holding(uint32_t first, uint32_t last) const {
    Span node{root_of(*tree_), inner_count_ - 1, 0, leaf_count_};
    while (!ends_path(node.node)) {
        const Span left = left_of(node);
        if (last < left.first + left.leaves) {
            node = left;
        } else if (first >= left.first + left.leaves) {
            node = right_of(node);
        } else {
            break;
        }
    }
    return node;
}

std::optional<RootPlace> LeafRanges::outgroup_place(const std::vector<uint32_t>& outgroup,
                                                    std::size_t max_strays,
                                                    std::vector<uint32_t>* strays) const {
    const std::size_t count = outgroup.size();
    if (count == 0 || count >= leaf_count_) return std::nullopt;
    LargestSide largest;
    // The sides below a branch: the largest subtrees of outgroup leaves, in each run of
    // consecutive numbers.
    uint32_t first_other = 0, last_other = leaf_count_ - 1;
    for (std::size_t i = 0; i < count;) {
        std::size_t j = i;
        while (j + 1 < count && outgroup[j + 1] == outgroup[j] + 1)
            ++j;
        offer_run(outgroup[i], outgroup[j], largest);
        if (outgroup[i] == 0) first_other = outgroup[j] + 1;
        if (outgroup[j] == leaf_count_ - 1) last_other = outgroup[i] - 1;
        i = j + 1;
    }
    // The sides above a branch: only the branches above the lowest node with every other leaf
    // below it have one of outgroup leaves only, and that node's own is the largest of them.
    const Span top = lowest_holding(first_other, last_other);
    if (top.leaves < leaf_count_ && names_branch(tree_, top.node))
        largest.offer(leaf_count_ - top.leaves, top.node);
    // The outgroup is one side: the largest side of outgroup leaves only holds them all.
    const bool one_side = largest.ties == 1 && largest.leaves == count;
    if (!one_side && max_strays > 0) return place_with_strays(outgroup, max_strays, strays);
    if (largest.ties != 1) return std::nullopt;
    return halfway_along(largest.below);
}

RootPlace LeafRanges::halfway_along(NodeRef below) const {
    const double length =
        below.parent() == root_of(*tree_) ? merged_root_length(*tree_) : below.length();
    return RootPlace{below, length / 2, length / 2};
}

namespace {

// A side of a branch offered to an outgroup that is not one side: how many outgroup leaves and
// other leaves it holds. The best holds the fewest other leaves, then the most outgroup leaves,
// then the fewest leaves.
struct StraySide {
    uint64_t outgroup = 0;
    uint64_t others = 0;

    bool better_than(const StraySide& other) const {
        if (others != other.others) return others < other.others;
        if (outgroup != other.outgroup) return outgroup > other.outgroup;
        return outgroup + others < other.outgroup + other.others;
    }
    bool same_rank(const StraySide& other) const {
        return others == other.others && outgroup == other.outgroup;
    }
};

// How many of the sorted `outgroup` lie in [first, first + leaves).
uint64_t held_in(const std::vector<uint32_t>& outgroup, uint32_t first, uint32_t leaves) {
    const auto from = std::lower_bound(outgroup.begin(), outgroup.end(), first);
    const auto to = std::lower_bound(from, outgroup.end(), first + leaves);
    return static_cast<uint64_t>(to - from);
}

// Whether some side of some branch may hold three quarters of the `outgroup` leaves (numbers in
// increasing order, of `leaves` in all) and at most `max_strays` others. A side's leaves are a
// run of consecutive numbers, or all but such a run: read around the circle, a run. Such a side
// holds some three quarters of the outgroup leaves that follow each other around the circle, and
// every number between the first and the last of them: none qualifies when every such stretch
// spans more than `max_strays` other numbers. One pass over the outgroup, so that the walks
// below are made only for an outgroup that gathers almost whole somewhere.
bool may_hold_with_strays(const std::vector<uint32_t>& outgroup, uint64_t leaves,
                          std::size_t max_strays) {
    const std::size_t total = outgroup.size();
    const std::size_t least = (3 * total + 3) / 4;  // 4 * least >= 3 * total
    if (least == 0) return true;
    for (std::size_t i = 0; i < total; ++i) {
        const std::size_t j = i + least - 1;
        const uint64_t last = j < total ? outgroup[j] : outgroup[j - total] + leaves;
        if (last - outgroup[i] + 1 - least <= max_strays) return true;
    }
    return false;
}

}  // namespace

// The sides offered that can qualify (at most K other leaves, three quarters of the outgroup's),
// each once: the root's right child names no branch, its sides are those of the left child's,
// turned.
class LeafRanges::StraySides {
public:
    StraySides(uint64_t total, std::size_t max_strays, const Span& left_of_root,
               const Span& right_of_root)
        : total_(total),
          max_strays_(max_strays),
          left_of_root_(left_of_root),
          right_of_root_(right_of_root) {}

    void offer(const Span& node, bool above, uint64_t in_outgroup, uint64_t side_leaves) {
        const uint64_t others = side_leaves - in_outgroup;
        if (others > max_strays_ || 4 * in_outgroup < 3 * total_) return;
        Span named = node;
        if (node.node == right_of_root_.node) {
            // The same side as the other one of the left child's branch.
            named = left_of_root_;
            above = !above;
        }
        if (named.node == left_of_root_.node) {
            for (const StrayCandidate& c : candidates_) {
                if (c.node.node == named.node && c.above == above) return;  // met twice
            }
        }
        candidates_.push_back(StrayCandidate{named, above, in_outgroup, side_leaves});
    }

    // The best side by StraySide's order; none when none qualifies or another ties with it.
    const StrayCandidate* best() const {
        const StrayCandidate* best = nullptr;
        std::size_t ties = 0;
        for (const StrayCandidate& c : candidates_) {
            const StraySide side{c.in_outgroup, c.side_leaves - c.in_outgroup};
            if (best == nullptr) {
                best = &c;
                ties = 1;
                continue;
            }
            const StraySide held_best{best->in_outgroup, best->side_leaves - best->in_outgroup};
            if (side.better_than(held_best)) {
                best = &c;
                ties = 1;
            } else if (side.same_rank(held_best) && !held_best.better_than(side)) {
                ++ties;
            }
        }
        return ties == 1 ? best : nullptr;
    }

private:
    uint64_t total_;
    std::size_t max_strays_;
    Span left_of_root_;
    Span right_of_root_;
    std::vector<StrayCandidate> candidates_;
};

// Many other leaves: the two chains from the root down, below the nodes holding three quarters
// of the outgroup leaves, above those holding all but K of the other leaves.
void LeafRanges::chain_sides(const std::vector<uint32_t>& outgroup, std::size_t max_strays,
                             StraySides& sides) const {
    const uint64_t total = outgroup.size();
    const uint64_t leaves = leaf_count_;
    const auto held = [&outgroup](const Span& span) {
        return held_in(outgroup, span.first, span.leaves);
    };
    const Span root{root_of(*tree_), inner_count_ - 1, 0, leaf_count_};
    for (Span node = root; !ends_path(node.node);) {
        const Span left = left_of(node), right = right_of(node);
        const uint64_t in_left = held(left);
        if (4 * in_left >= 3 * total) {
            node = left;
            sides.offer(node, false, in_left, node.leaves);
            continue;
        }
        const uint64_t in_right = held(right);
        if (4 * in_right < 3 * total) break;
        node = right;
        sides.offer(node, false, in_right, node.leaves);
    }
    const uint64_t need = (leaves - total) - max_strays;
    for (Span node = root; !ends_path(node.node);) {
        const Span left = left_of(node), right = right_of(node);
        const uint64_t in_left = held(left);
        if (left.leaves - in_left >= need) {
            node = left;
            sides.offer(node, true, total - in_left, leaves - node.leaves);
            continue;
        }
        const uint64_t in_right = held(right);
        if (right.leaves - in_right < need) break;
        node = right;
        sides.offer(node, true, total - in_right, leaves - node.leaves);
    }
}

// Few other leaves: every side of every branch, the outgroup leaves below each inner node
// counted in one pass (children before parents).
void LeafRanges::every_side(const std::vector<uint32_t>& outgroup, StraySides& sides) const {
    const uint64_t total = outgroup.size();
    std::vector<uint32_t> below(inner_count_, 0);
    for (const uint32_t number : outgroup) {
        const uint32_t parent = leaf_parents_[number];
        if (parent != kNone) ++below[parent];
    }
    for (uint32_t record = 0; record < inner_count_; ++record) {
        const uint32_t parent = inner_[record].parent;
        if (parent != kNone) below[parent] += below[record];
    }
    // The nodes with their runs of leaves, from the root down.
    const Span root{root_of(*tree_), inner_count_ - 1, 0, leaf_count_};
    ChunkedStack<Span> stack;
    stack.push_back(left_of(root));
    stack.push_back(right_of(root));
    while (!stack.empty()) {
        const Span node = stack.back();
        stack.pop_back();
        const uint64_t in =
            node.record == kNone ? held_in(outgroup, node.first, node.leaves) : below[node.record];
        sides.offer(node, false, in, node.leaves);
        sides.offer(node, true, total - in, leaf_count_ - node.leaves);
        if (ends_path(node.node)) continue;
        stack.push_back(left_of(node));
        stack.push_back(right_of(node));
    }
}

// Outgroup leaves outside `side` and other leaves inside it, in file order: the side holds at
// most K others, so only its own leaves and the outgroup's are looked at.
void LeafRanges::list_strays(const std::vector<uint32_t>& outgroup, const StrayCandidate& side,
                             std::vector<uint32_t>& strays) const {
    const uint32_t first = side.node.first;
    const uint32_t last = first + side.node.leaves;  // one past
    strays.clear();
    for (const uint32_t number : outgroup) {
        if ((number >= first && number < last) == side.above) strays.push_back(number);
    }
    const auto other_on_side = [&](uint32_t from, uint32_t to) {
        auto at = std::lower_bound(outgroup.begin(), outgroup.end(), from);
        for (uint32_t number = from; number < to; ++number) {
            if (at != outgroup.end() && *at == number) {
                ++at;
            } else {
                strays.push_back(number);
            }
        }
    };
    if (side.above) {
        other_on_side(0, first);
        other_on_side(last, leaf_count_);
    } else {
        other_on_side(first, last);
    }
    std::sort(strays.begin(), strays.end());
}

// The sides that can qualify are few. A side holding three quarters of the outgroup leaves lies
// below a node of the chain from the root down to the lowest node that holds that many (any two
// such nodes hold a leaf in common, so one holds the other). A side above a node holding at most
// K other leaves leaves below that node all but K of the others: when the others number more than
// 2K, those nodes too make one chain from the root down. Each chain is walked down from the root,
// each node's outgroup leaves counted in the sorted outgroup by binary search; only when the
// others are 2K or fewer is every branch looked at, in one pass over the inner records. The
// side chosen is the best by StraySide's order, when no other side ties with it.
std::optional<RootPlace> LeafRanges::place_with_strays(const std::vector<uint32_t>& outgroup,
                                                       std::size_t max_strays,
                                                       std::vector<uint32_t>* strays) const {
    if (!may_hold_with_strays(outgroup, leaf_count_, max_strays)) return std::nullopt;
    if (ends_path(root_of(*tree_))) return std::nullopt;
    const Span root{root_of(*tree_), inner_count_ - 1, 0, leaf_count_};
    StraySides sides(outgroup.size(), max_strays, left_of(root), right_of(root));
    if (leaf_count_ - outgroup.size() > 2 * static_cast<uint64_t>(max_strays)) {
        chain_sides(outgroup, max_strays, sides);
    } else {
        every_side(outgroup, sides);
    }
    const StrayCandidate* best = sides.best();
    if (best == nullptr) return std::nullopt;
    if (strays != nullptr) list_strays(outgroup, *best, *strays);
    return halfway_along(best->node.node);
}

UnrootedTree::UnrootedTree(const Phylogeny& tree) : tree_(tree) {
    // The walks below read every length, and make records for every node: a compact tree reads
    // the numbers it kept as text and packs its names, and the midpoint's records go where the
    // rest of its text lay, in pages already touched.
    if (tree.compact_nodes) {
        tree.compact_nodes->pack_names();
        room_ = tree.compact_nodes->lend_spare_text();
    }
}

UnrootedTree::~UnrootedTree() {
    records_.reset();
    if (room_.data != nullptr) tree_.compact_nodes->take_back_spare_text();
}

double merged_root_support(const Phylogeny& tree) {
    NodeRef left = root_of(tree).left();
    NodeRef right = root_of(tree).right();
    if (left == nullptr || right == nullptr || left.is_leaf() || right.is_leaf()) return 0;
    return std::max(left.support(), right.support());
}

double merged_root_length(const Phylogeny& tree) {
    NodeRef left = root_of(tree).left();
    NodeRef right = root_of(tree).right();
    return (left != nullptr ? left.length() : 0) + (right != nullptr ? right.length() : 0);
}

namespace {

// The midpoint's walk: every node into `records`, each leaf shown on the way to
// each_leaf(leaf, number), numbered in file order. Answers the number of leaves.
template <typename Ref, typename EachLeaf>
std::size_t walk_records_from(Ref root, SubtreeRecords& records, EachLeaf each_leaf) {
    std::size_t leaves = 0;
    std::size_t nodes = 0;
    double total_length = 0;  // of every branch, taken positive
    if (root != nullptr) {
        climbing_postorder(root, [&](Ref node) {
            ++nodes;
            total_length += std::fabs(node.settled_length());
            if (ends_path(node)) {
                each_leaf(node, leaves);
                ++leaves;
            } else {
                records.add_inner(node);
            }
        });
    }
    records.close(nodes, total_length);
    return leaves;
}

template <typename EachLeaf>
std::size_t walk_records(NodeRef root, SubtreeRecords& records, EachLeaf each_leaf) {
    return with_kind(
        root, [&](auto kind_root) { return walk_records_from(kind_root, records, each_leaf); });
}

}  // namespace

std::size_t UnrootedTree::walk_for_midpoint(
    const std::function<void(NodeRef, std::size_t)>& each_leaf,
    const std::array<bool, 256>* first_bytes) const {
    records_ = std::make_unique<SubtreeRecords>(room_);
    if (!each_leaf) {
        return walk_records(root_of(tree_), *records_, [](NodeRef, std::size_t) {});
    }
    if (first_bytes != nullptr) {
        return walk_records(root_of(tree_), *records_, [&](NodeRef leaf, std::size_t number) {
            const std::string_view name = leaf.name();
            if (!name.empty() && (*first_bytes)[static_cast<unsigned char>(name[0])])
                each_leaf(leaf, number);
        });
    }
    return walk_records(root_of(tree_), *records_,
                        [&](NodeRef leaf, std::size_t number) { each_leaf(leaf, number); });
}

std::size_t UnrootedTree::walk_for_midpoint(std::vector<NodeRef>& order) const {
    records_ = std::make_unique<SubtreeRecords>(room_);
    order.clear();
    // A compact tree knows its size: the list is made once, not grown by copies.
    if (tree_.compact_nodes) reserve_large(order, tree_.compact_nodes->size() / 2 + 1);
    return walk_records(root_of(tree_), *records_,
                        [&order](NodeRef leaf, std::size_t) { order.push_back(leaf); });
}

std::optional<RootPlace> UnrootedTree::midpoint_place(std::vector<NodeRef>* order) const {
    NodeRef root = root_of(tree_);
    if (root == nullptr) return std::nullopt;
    if (records_ == nullptr) {
        ranges_.reset();
        if (order != nullptr && order->empty()) {
            walk_for_midpoint(*order);
        } else {
            records_ = std::make_unique<SubtreeRecords>(room_);
            walk_records(root, *records_, [](NodeRef, std::size_t) {});
        }
    }
    const SubtreeRecords& records = *records_;
    const double longest = records.longest();
    if (!(longest > 0)) return std::nullopt;  // fewer than two leaves, too
    const double least = longest - kLongestTolerance * longest;
    return with_kind(root, [&](auto kind_root) -> std::optional<RootPlace> {
        const auto a = first_end(kind_root, records, least);
        if (!a.has_value()) return std::nullopt;
        const auto b = far_end_from(*a, records, least);
        if (!b.has_value()) return std::nullopt;
        return halfway(kind_root, a->node, *b);
    });
}

const LeafRanges& UnrootedTree::ranges() const {
    if (ranges_ == nullptr) {
        // The numbering takes fresh memory: the room the records have not taken goes back first.
        if (records_ != nullptr) {
            records_->give_back_unused_room();
        } else if (room_.data != nullptr) {
            give_back_pages(room_.data, room_.size);
        }
        ranges_ = std::make_unique<LeafRanges>(tree_);
    }
    return *ranges_;
}

std::size_t UnrootedTree::leaf_count() const {
    return root_of(tree_) == nullptr ? 0 : ranges().leaf_count();
}

NodeRef UnrootedTree::leaf(std::size_t number) const {
    return ranges().leaf(number);
}

void UnrootedTree::leaves_in_order(std::vector<NodeRef>& order) const {
    order.clear();
    if (root_of(tree_) == nullptr) return;
    if (ranges_ != nullptr) {
        const std::size_t count = ranges_->leaf_count();
        order.resize(count);
        for (std::size_t number = 0; number < count; ++number)
            order[number] = ranges_->leaf(number);
        return;
    }
    climbing_postorder(root_of(tree_), [&](NodeRef node) {
        if (ends_path(node)) order.push_back(node);
    });
}

std::optional<RootPlace> UnrootedTree::outgroup_place(const std::vector<std::uint32_t>& outgroup,
                                                      std::size_t max_strays,
                                                      std::vector<std::uint32_t>* strays) const {
    if (root_of(tree_) == nullptr) return std::nullopt;
    return ranges().outgroup_place(outgroup, max_strays, strays);
}

std::optional<RootPlace> UnrootedTree::outgroup_place(
    const std::function<bool(NodeRef)>& in_outgroup) const {
    std::vector<std::uint32_t> outgroup;
    const std::size_t leaves = leaf_count();
    for (std::size_t number = 0; number < leaves; ++number) {
        if (in_outgroup(leaf(number))) outgroup.push_back(static_cast<std::uint32_t>(number));
    }
    return outgroup_place(outgroup);
}

void root_on_branch(Phylogeny& tree, const RootPlace& place, TreeChanges* changes) {
    NodeRef b = place.below;
    NodeRef a = b.parent();
    NodeRef r = root_of(tree);
    if (a == r) {
        const double support = merged_root_support(tree);
        NodeRef other = r.other_child(b);
        if (changes != nullptr) {
            changes->keep(b);
            changes->keep(other);
        }
        b.set_length(place.below_part);
        other.set_length(place.above_part);
        for (NodeRef child : {b, other}) {
            if (!child.is_leaf()) child.set_support(support);
        }
        return;
    }
    const double chosen_support = branch_support(b);
    // Each node of the turned-over path takes the values of the node that was below it; the old
    // root ends with those of its child on the path.
    set_root(tree, reroot_at(tree, a, b, r, changes, true));
    root_of(tree).set_support(0);
    root_of(tree).set_length(0);
    a.set_support(chosen_support);
    a.set_length(place.above_part);
    b.set_length(place.below_part);
    // The old root's two branches, now one, end at its remaining child.
    NodeRef remaining = r.other_child(nullptr);
    if (remaining != nullptr) {  // kept with the path already
        if (!remaining.is_leaf()) remaining.set_support(std::max(remaining.support(), r.support()));
        remaining.set_length(remaining.length() + r.length());
    }
    if (changes != nullptr) changes->took_out(r);  // kept with the path already
    r.set_left(nullptr);
    r.set_right(nullptr);
    r.set_parent(nullptr);
    if (changes == nullptr) release_node(tree, r);
}

namespace {

// Where the points of a node's branch went: the point `d` up from the node is now `offset + d`
// up the branch of `node`, or `offset` itself when the branch was absorbed.
struct Moved {
    NodeRef node;
    double offset;
    bool absorbs;
};

// One removal of remove_leaves: `leaf` and `parent` left the tree, and the parent's branch went
// `to` its sibling's, the parent's place `to.offset` up it. A sibling that became the root of an
// unrooted tree lost its branch: every point of it, and the parent's place, went to the sibling
// itself (`to.absorbs`).
struct Removal {
    NodeRef leaf;
    NodeRef parent;
    Moved to;
};

// The place of each removed leaf, from the last removal back to the first: a removal moves the
// points of its parent's branch (and a leaf's place) onto its sibling's branch, and what became
// of the sibling afterwards is known by then, so each point is moved once.
std::vector<RemovedLeaf> places_of(const Phylogeny& tree, const std::vector<Removal>& removals,
                                   bool unrooted) {
    std::unordered_map<NodeRef, Moved> moved;
    moved.reserve(3 * removals.size());
    const auto follow = [&moved](NodeRef node, double up) {
        const auto found = moved.find(node);
        if (found == moved.end()) return Moved{node, up, false};
        const Moved& to = found->second;
        return Moved{to.node, to.absorbs ? to.offset : to.offset + up, false};
    };
    for (auto r = removals.rbegin(); r != removals.rend(); ++r) {
        const Moved at = follow(r->to.node, r->to.offset);
        moved[r->parent] = {at.node, at.offset, r->to.absorbs};
        moved[r->leaf] = {at.node, at.offset, true};
        // Points put on the sibling's branch before it became the root went with the branch.
        if (r->to.absorbs) moved[r->to.node] = {at.node, at.offset, true};
    }
    std::vector<RemovedLeaf> places;
    places.reserve(removals.size());
    NodeRef root = root_of(tree);
    for (const Removal& removal : removals) {
        const Moved at = follow(removal.leaf, 0);
        RemovedLeaf place{removal.leaf, at.node, nullptr, at.offset};
        if (at.node == root && unrooted && root.left() != nullptr && root.right() != nullptr) {
            // The root of an unrooted tree lies on the branch its children's branches make.
            place = {removal.leaf, root.left(), root.right(), root.left().length()};
        } else if (at.node != root && at.node.parent() == root) {
            NodeRef other = root.other_child(at.node);
            place.above = other != nullptr ? other : root;
        } else if (at.node != root) {
            place.above = at.node.parent();
        }
        places.push_back(place);
    }
    return places;
}

}  // namespace

std::size_t remove_leaves(Phylogeny& tree, const std::vector<NodeRef>& leaves, BranchMerge merge,
                          std::vector<RemovedLeaf>* places, TreeChanges* changes) {
    const bool unrooted = merge == BranchMerge::kUnrooted;
    std::vector<Removal> removals;
    std::size_t removed = 0;
    for (NodeRef leaf : leaves) {
        // A removed leaf has no parent left, and neither has a leaf that is the whole tree.
        if (leaf == nullptr || leaf.parent() == nullptr) continue;
        NodeRef parent = leaf.parent();
        NodeRef sibling = parent.other_child(leaf);
        if (sibling == nullptr) continue;  // not a tree the reader makes
        NodeRef grandparent = parent.parent();
        const bool absorbs = unrooted && grandparent == nullptr;
        if (places != nullptr)
            removals.push_back(
                {leaf, parent, {sibling, absorbs ? 0.0 : sibling.length(), absorbs}});
        if (changes != nullptr) {
            for (NodeRef node : {sibling, grandparent, parent, leaf})
                changes->keep(node);
        }
        sibling.set_parent(grandparent);
        if (unrooted && !sibling.is_leaf() && grandparent != nullptr) {
            sibling.set_support(std::max(sibling.support(), parent.support()));
        }
        sibling.set_length(sibling.length() + parent.length());
        if (grandparent == nullptr) {
            set_root(tree, sibling);
            // Unrooted, the sibling's own branch was half of the merged one, which goes with the
            // leaf; its two children's branches now merge at the root.
            if (unrooted) {
                sibling.set_support(0);
                sibling.set_length(0);
            }
        } else {
            grandparent.replace_child(parent, sibling);
        }
        parent.set_left(nullptr);
        parent.set_right(nullptr);
        parent.set_parent(nullptr);
        leaf.set_parent(nullptr);
        if (changes != nullptr) {
            changes->took_out(parent);
            changes->took_out(leaf);
        } else {
            retire_node(tree, parent);
            retire_subtree(tree, leaf);
        }
        ++removed;
    }
    if (places != nullptr) *places = places_of(tree, removals, unrooted);
    return removed;
}

}  // namespace tavrin
