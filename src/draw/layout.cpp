#include "draw/layout.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>
#include <memory>
#include <string_view>
#include <unordered_map>
#include <utility>

#include "analysis/leaf_matching.h"
#include "platform/chunked_stack.h"

namespace tavrin {

namespace {

constexpr std::uint32_t kNil = std::numeric_limits<std::uint32_t>::max();

double usable_length(NodeRef node) {
    const double length = node.length();
    return std::isfinite(length) && length > 0 ? length : 0.0;
}

// The distinct leaf prefixes of a tree, numbered as they are met, so that subtrees compare
// numbers rather than names.
class Prefixes {
public:
    explicit Prefixes(char separator) : separator_(separator) { recent_.fill(kNil); }

    std::uint32_t number(NodeRef leaf) {
        const std::string_view name(leaf.name());
        // The last leaf's prefix first: when the name starts with it and then ends or has the
        // separator, it is this name's prefix too (a prefix holds no separator).
        if (last_ != kNil) {
            const std::string_view last = names_[last_];
            if (name.size() >= last.size() &&
                (name.size() == last.size() || name[last.size()] == separator_) &&
                name.compare(0, last.size(), last) == 0)
                return last_;
        }
        last_ = number_of(leaf_prefix(name, separator_));
        return last_;
    }
    std::string_view name(std::uint32_t number) const { return names_[number]; }

private:
    std::uint32_t number_of(std::string_view prefix) {
        // Neighbouring leaves mostly share their prefix, or one of a few.
        std::uint32_t& recent = recent_[slot(prefix)];
        if (recent != kNil && names_[recent] == prefix) return recent;
        const auto added = numbers_.try_emplace(prefix, static_cast<std::uint32_t>(names_.size()));
        if (added.second) names_.push_back(prefix);
        recent = added.first->second;
        return recent;
    }

    char separator_;
    std::uint32_t last_ = kNil;  // the number of the last leaf's prefix
    std::unordered_map<std::string_view, std::uint32_t> numbers_;
    std::vector<std::string_view> names_;
    std::array<std::uint32_t, 16> recent_;

    static std::size_t slot(std::string_view prefix) {
        if (prefix.empty()) return 0;
        return (prefix.size() * 7 + static_cast<unsigned char>(prefix.front()) * 3 +
                static_cast<unsigned char>(prefix.back())) &
               15;
    }
};

// The roots of the sister clades, told apart from the millions of other nodes mostly by one
// test of a bit in a small filter of their addresses.
class SisterRoots {
public:
    explicit SisterRoots(const SisterClades* sisters) {
        for (std::size_t i = 0; sisters != nullptr && i < 2; ++i) {
            for (NodeRef clade : (*sisters)[i]) {
                roots_.push_back({clade, i == 0 ? Role::kSister1 : Role::kSister2});
                const std::uint32_t h = hash(clade);
                filter_[h >> 6] |= std::uint64_t{1} << (h & 63);
            }
        }
    }

    Role role_of(NodeRef node) const {
        const std::uint32_t h = hash(node);
        if ((filter_[h >> 6] & (std::uint64_t{1} << (h & 63))) == 0) return Role::kOther;
        for (const Root& root : roots_) {
            if (root.node == node) return root.role;
        }
        return Role::kOther;
    }

private:
    struct Root {
        NodeRef node;
        Role role;
    };
    static constexpr unsigned kFilterBits = 12;
    // One of the filter's bits, from the node's address.
    static std::uint32_t hash(NodeRef node) {
        const auto address = node.identity() >> 4;
        return static_cast<std::uint32_t>((address * 0x9E3779B97F4A7C15ull) >> (64 - kFilterBits));
    }
    std::vector<Root> roots_;
    std::array<std::uint64_t, (std::size_t{1} << kFilterBits) / 64> filter_{};
};

// Nodes are kept only this many edges from the root at most, edges out of a node with one child
// not counted: beside each ancestor with two children of a node drawn lies at least one more tip
// drawn, and at most kMaxTips tips are drawn.
constexpr std::uint32_t kDrawnDepth = kMaxTips;

bool childless(NodeRef node) {
    return node.left() == nullptr && node.right() == nullptr;
}

// Where a node drawn above tips comes in the merge of the deepest subtrees, among the nodes of
// its depth. The merge takes a depth's nodes in this order: first those that became ready (all
// children tips) by the merge one level down, the one whose last child was merged latest first;
// then those ready from the start, last in preorder first. A node of the second kind has height
// 0 and `first` its first leaf; one of the first kind has the key of its child merged last, one
// level higher, so that two keys compare by walking down those chains together.
struct MergeKey {
    std::uint32_t height;
    std::uint32_t first;  // the first leaf of the node at the chain's end
};

// Whether the node of key `x` is merged before that of `y`, both at the same depth.
bool merged_before(const MergeKey& x, const MergeKey& y) {
    // Where the chains first differ in kind, the node ready from the start comes later; between
    // two such nodes, the one whose leaves come first. Each level of the chains turns it round.
    const std::uint32_t common = std::min(x.height, y.height);
    const bool x_later = x.height != y.height ? x.height < y.height : x.first < y.first;
    return (common % 2 == 0) != x_later;
}

// A node that may be drawn: a tip (a leaf, a wedge, the target clade), or a node above tips.
struct Record {
    NodeRef node = nullptr;
    std::uint32_t leaves = 0;
    std::uint32_t prefix = kNil;  // the leaf prefix all its leaves share, or kNil
    float reach = 0;              // the distance from the root of its farthest leaf
    std::uint32_t depth = 0;
    std::array<std::uint32_t, 2> children{kNil, kNil};  // the records of a node above tips
    MergeKey key{0, 0};
    Role role = Role::kOther;  // the role all its leaves share, else kOther
    Tip tip = Tip::kNone;
    std::uint8_t degree = 0;  // its children in the tree
    bool kept = false;        // on the path to the target: merged last
    bool merged = false;
};

// A child with children of a node on the walk's path, as it was completed: a tip when that
// node is drawn above tips, unless it is one itself (then `record` names it, or, when it was
// too deep to be drawn but as a merged tip, `above_tips` says so).
struct Part {
    NodeRef node;
    std::uint32_t first, end;  // its leaves, in the order of the walk
    std::uint32_t prefix;
    float reach;
    std::uint32_t record;
    Role role;
    bool above_tips;
};

// A node on the walk's path that may be drawn, at its depth.
struct Level {
    NodeRef node;
    double x;                    // its distance from the root
    std::uint32_t binary_depth;  // its ancestors with two children
    float reach;
    std::uint8_t parts;
    std::array<Part, 2> part;
};

// A node on the walk's path with children, at any depth: its leaves are those met from `first`
// on, until it is completed.
struct Frame {
    std::uint32_t first;
    std::uint8_t degree;
    std::uint8_t tips;  // children that are tips unless it is one itself, leaves as met
    std::uint8_t keys;  // merge keys its children left on the stack of keys
    bool later;         // its second child waits on the stack of later children
};

struct Later {
    NodeRef node;
    double x;  // its parent's distance from the root
    std::uint32_t binary_depth;
};

// One walk over the tree, a node's children before it is completed, that finds what each node
// shares from its leaves by counting where the leaves change: the leaves of a subtree are a
// run of the walk's leaves, so they share a prefix when the prefix last changed at its first
// leaf or before. Keeps records only for the nodes that may be drawn, and counts, depth by
// depth, what the merge of the deepest subtrees needs.
class Walk {
public:
    Walk(const LayoutInput& in, bool big)
        : in_(in),
          big_(big),
          prefixes_(in.separator),
          sisters_(in.sisters),
          test_leaves_(in.target == nullptr && in.target_leaves != nullptr &&
                       !in.target_leaves->empty()) {}

    void run();

    const LayoutInput& in_;
    const bool big_;
    Prefixes prefixes_;
    const SisterRoots sisters_;
    const bool test_leaves_;
    bool lengths_ = false;
    std::uint32_t leaves_ = 0;
    std::vector<Record> records_;
    std::uint32_t root_ = kNil;
    std::size_t tips_ = 0;  // tips before any merge
    // Nodes above tips off the path to the target, and their children less one, by depth.
    std::vector<std::pair<std::uint32_t, std::uint32_t>> by_depth_;
    std::uint32_t path_ = 0;                  // nodes above tips on the path to the target
    std::vector<std::uint32_t> path_single_;  // those of them with one child, from the bottom
    std::uint32_t target_depth_ = 0;

private:
    NodeRef descend(NodeRef n, double& x, std::uint32_t& binary);
    bool next(NodeRef& n, double& x, std::uint32_t& binary);
    void enter(NodeRef n, std::uint32_t binary, double x, unsigned leaves);
    Role leaf_role(NodeRef n) const;
    // Whether the analysis listed `leaf` as a target leaf.
    bool is_listed(NodeRef leaf) const {
        return std::binary_search(in_.target_leaves->begin(), in_.target_leaves->end(), leaf,
                                  std::less<NodeRef>());
    }
    void leaf(NodeRef n, double x);
    void complete();
    MergeKey take_keys(const Frame& frame);
    std::uint32_t add_records(Level& level, std::uint32_t depth, const Frame& frame,
                              const MergeKey& key, bool kept);
    std::uint32_t add_leaf(NodeRef n, float x, std::uint32_t depth);
    std::uint32_t add_tip(const Part& part, std::uint32_t depth);
    double length_of(NodeRef child) {
        const double length = usable_length(child);
        lengths_ = lengths_ || length > 0;
        return length;
    }
    Role role() const { return roles_.empty() ? Role::kOther : roles_.back().second; }

    // Where the leaves met so far last changed prefix and role, and the last target leaf.
    std::uint32_t last_prefix_ = kNil - 1, prefix_change_ = 0;  // no prefix before the first
    Role last_role_ = Role::kOther;
    std::uint32_t role_change_ = 0;
    std::uint32_t target_end_ = 0;  // one past the last target leaf, 0 before any
    bool target_seen_ = false, target_open_ = false;
    std::uint32_t target_first_ = 0;
    std::vector<std::pair<std::uint32_t, Role>> roles_;  // roles given from a depth down
    ChunkedStack<Frame> frames_;
    ChunkedStack<Later> later_;
    ChunkedStack<MergeKey> keys_;
    std::vector<Level> levels_;
    std::uint32_t valid_ = 0;  // the levels of the path's first `valid_` depths hold its nodes
    bool peek_ = true;         // look at a second child before the first is walked
    // Nodes that can be drawn, by depth, and the least depth where more than kMaxTips lie: the
    // merge takes every node off the path to the target at that depth and below, so that a node
    // deeper than it is drawn at most as a merged child of the path.
    std::vector<std::uint32_t> drawn_at_;
    std::uint32_t seen_deep_ = kNil;

    void count_deep(std::uint32_t depth, std::uint32_t nodes) {
        if (drawn_at_.size() <= depth) drawn_at_.resize(depth + 1);
        drawn_at_[depth] += nodes;
        if (drawn_at_[depth] > kMaxTips) seen_deep_ = std::min(seen_deep_, depth);
    }
};

void Walk::run() {
    NodeRef n = in_.root;
    double x = 0;
    std::uint32_t binary = 0;
    do {
        while (!childless(n))
            n = descend(n, x, binary);
        leaf(n, x);
    } while (next(n, x, binary));
}

// Enters `n`, walks a leaf child at once when the other child has children (so that a ladder's
// leaves never wait), and answers the child to walk next.
NodeRef Walk::descend(NodeRef n, double& x, std::uint32_t& binary) {
    NodeRef first = n.left() != nullptr ? n.left() : n.right();
    NodeRef second = n.left() != nullptr ? n.right() : nullptr;
    bool first_leaf = childless(first);
    // When the first child has children, the second lies far off in memory: it is looked at at
    // once only while such second children have lately been leaves (as in a ladder, whose
    // leaves should not wait), and else waits unseen.
    bool second_leaf = false;
    if (second != nullptr && (first_leaf || peek_)) {
        second_leaf = childless(second);
        if (!first_leaf) peek_ = second_leaf;
    }
    enter(n, binary, x, first_leaf + second_leaf);
    if (second != nullptr) {
        ++binary;
        if (second_leaf && !first_leaf) {
            std::swap(first, second);
            first_leaf = true;
        }
        if (first_leaf) {
            leaf(first, x + length_of(first));
            first = second;
        } else {
            later_.push_back({second, x, binary});
            frames_.back().later = true;
        }
    }
    x += length_of(first);
    return first;
}

// After a subtree: the next child waiting, or the nodes completed on the way up.
bool Walk::next(NodeRef& n, double& x, std::uint32_t& binary) {
    while (!frames_.empty()) {
        Frame& top = frames_.back();
        if (top.later) {
            top.later = false;
            const Later later = later_.back();
            later_.pop_back();
            n = later.node;
            if (childless(n)) {
                ++top.tips;
                peek_ = true;
            }
            x = later.x + length_of(n);
            binary = later.binary_depth;
            return true;
        }
        complete();
    }
    return false;
}

void Walk::enter(NodeRef n, std::uint32_t binary, double x, unsigned leaves) {
    const auto depth = static_cast<std::uint32_t>(frames_.size());
    if (n == in_.target) {
        target_seen_ = target_open_ = true;
        target_depth_ = depth;
        target_first_ = leaves_;
        roles_.push_back({depth, Role::kTarget});
    } else if (role() == Role::kOther) {
        const Role sister = sisters_.role_of(n);
        if (sister != Role::kOther) roles_.push_back({depth, sister});
    }
    const auto degree = static_cast<std::uint8_t>((n.left() != nullptr) + (n.right() != nullptr));
    frames_.push_back({leaves_, degree, static_cast<std::uint8_t>(leaves), 0, false});
    if (depth == valid_ && binary <= kDrawnDepth) {
        if (levels_.size() <= depth) levels_.resize(depth + 1);
        Level& level = levels_[depth];
        level.node = n;
        level.x = x;
        level.binary_depth = binary;
        level.reach = std::numeric_limits<float>::lowest();
        level.parts = 0;
        valid_ = depth + 1;
    }
}

// The role of a leaf below the node on top of the walk's path.
Role Walk::leaf_role(NodeRef n) const {
    Role role = this->role();
    if (n == in_.target) {
        role = Role::kTarget;
    } else if (role == Role::kOther) {
        role = sisters_.role_of(n);
    }
    if (test_leaves_ && n.is_leaf() && is_listed(n)) role = Role::kTarget;
    return role;
}

// A leaf, a tip unless its parent is one: its parent's frame counted it already.
void Walk::leaf(NodeRef n, double x) {
    const Role role = leaf_role(n);
    if (n == in_.target) {
        target_seen_ = true;
        target_depth_ = static_cast<std::uint32_t>(frames_.size());
        target_first_ = leaves_;
    }
    const std::uint32_t prefix = n.is_leaf() ? prefixes_.number(n) : kNil;
    const std::uint32_t i = leaves_++;
    if (prefix != last_prefix_) {
        last_prefix_ = prefix;
        prefix_change_ = i;
    }
    if (role != last_role_) {
        last_role_ = role;
        role_change_ = i;
    }
    if (n.is_leaf() && role == Role::kTarget) target_end_ = i + 1;
    const auto reach = static_cast<float>(x);
    if (valid_ > 0) levels_[valid_ - 1].reach = std::max(levels_[valid_ - 1].reach, reach);
    if (frames_.empty()) {
        tips_ = 1;
        root_ = add_leaf(n, reach, 0);
    }
}

// The node of the top frame is complete: its leaves are all met.
void Walk::complete() {
    const Frame frame = frames_.back();
    const auto depth = static_cast<std::uint32_t>(frames_.size() - 1);
    const std::uint32_t first = frame.first;
    const bool target = target_seen_ && target_depth_ == depth && target_first_ == first;
    const bool kept = target_seen_ && target_first_ >= first && target_depth_ >= depth;
    const bool inside = big_ && target_open_ && depth > target_depth_;
    if (target) target_open_ = false;
    const bool one_prefix = prefix_change_ <= first && last_prefix_ != kNil;
    const bool tip = big_ && (target || (target_end_ <= first && one_prefix));
    Level* level = depth < valid_ ? &levels_[depth] : nullptr;
    std::uint32_t record = kNil;
    const MergeKey key = take_keys(frame);
    bool keyed = false;
    if (!inside && !tip) {
        tips_ += frame.tips;
        if (kept) {
            if (frame.degree == 1) path_single_.push_back(path_);
            ++path_;
        } else {
            if (by_depth_.size() <= depth) by_depth_.resize(depth + 1);
            ++by_depth_[depth].first;
            by_depth_[depth].second += frame.degree - 1u;
            keys_.push_back(key);
            keyed = true;
        }
        if (level != nullptr && (kept || depth <= seen_deep_))
            record = add_records(*level, depth, frame, key, kept);
        if (level != nullptr) count_deep(depth + 1, frame.degree);
    }
    if (!roles_.empty() && roles_.back().first == depth) roles_.pop_back();
    frames_.pop_back();
    valid_ = std::min(valid_, depth);
    if (depth > 0) {
        Frame& parent = frames_.back();
        parent.tips = static_cast<std::uint8_t>(parent.tips + tip);
        parent.keys = static_cast<std::uint8_t>(parent.keys + keyed);
    }
    // What the parent needs of a node that can be drawn (its level was kept).
    if (level == nullptr) return;
    const Part part{level->node,
                    first,
                    leaves_,
                    one_prefix ? last_prefix_ : kNil,
                    level->reach,
                    record,
                    role_change_ <= first ? last_role_ : Role::kOther,
                    !inside && !tip};
    if (depth == 0) {
        tips_ = tip ? 1 : tips_;
        root_ = tip ? add_tip(part, 0) : record;
        return;
    }
    Level& up = levels_[depth - 1];
    up.reach = std::max(up.reach, part.reach);
    up.part[up.parts++] = part;
}

// The merge key of the top frame's node, from those its children left.
MergeKey Walk::take_keys(const Frame& frame) {
    MergeKey key{0, frame.first};
    for (unsigned k = 0; k < frame.keys; ++k) {
        const MergeKey child = keys_.back();
        keys_.pop_back();
        if (k == 0 || merged_before(key, child)) key = child;
    }
    if (frame.keys > 0) ++key.height;
    return key;
}

// The records of a node drawn above tips: its children that are tips, then itself.
std::uint32_t Walk::add_records(Level& level, std::uint32_t depth, const Frame& frame,
                                const MergeKey& key, bool kept) {
    Record own;
    own.node = level.node;
    for (std::uint8_t k = 0; k < level.parts; ++k) {
        const Part& part = level.part[k];
        own.children[k] = part.record != kNil ? part.record : add_tip(part, depth + 1);
    }
    // Leaf children, met again: their role and prefix are found as the walk found them.
    std::uint8_t k = level.parts;
    for (NodeRef child : {level.node.left(), level.node.right()}) {
        if (child == nullptr || !childless(child)) continue;
        const auto x = static_cast<float>(level.x + usable_length(child));
        if (level.binary_depth + (frame.degree > 1) <= kDrawnDepth)
            own.children[k++] = add_leaf(child, x, depth + 1);
    }
    own.leaves = leaves_ - frame.first;
    own.reach = level.reach;
    own.depth = depth;
    own.key = key;
    own.role = role_change_ <= frame.first ? last_role_ : Role::kOther;
    own.degree = frame.degree;
    own.kept = kept;
    records_.push_back(own);
    return static_cast<std::uint32_t>(records_.size() - 1);
}

std::uint32_t Walk::add_leaf(NodeRef n, float x, std::uint32_t depth) {
    Record leaf;
    leaf.node = n;
    leaf.leaves = 1;
    leaf.prefix = n.is_leaf() ? prefixes_.number(n) : kNil;
    leaf.reach = x;
    leaf.depth = depth;
    leaf.role = leaf_role(n);
    leaf.tip = Tip::kLeaf;
    records_.push_back(leaf);
    return static_cast<std::uint32_t>(records_.size() - 1);
}

std::uint32_t Walk::add_tip(const Part& part, std::uint32_t depth) {
    Record tip;
    tip.node = part.node;
    tip.leaves = part.end - part.first;
    tip.prefix = part.prefix;
    tip.reach = part.reach;
    tip.depth = depth;
    tip.role = part.role;
    tip.tip = part.above_tips           ? Tip::kNone
              : childless(part.node)    ? Tip::kLeaf
              : part.node == in_.target ? Tip::kTargetWedge
                                        : Tip::kWedge;
    records_.push_back(tip);
    return static_cast<std::uint32_t>(records_.size() - 1);
}

// Merges the deepest subtrees into `mixed` tips until at most kMaxTips tips remain: a node whose
// children are all tips becomes one, deepest first; the path down to the target waits until
// nothing else is left. Whole depths are merged by their counts; the records of the depth where
// it stops are taken in the merge's order. Answers the tips left and counts the merges.
std::size_t merge_deepest(Walk& walk, std::size_t& merged) {
    std::size_t tips = walk.tips_;
    merged = 0;
    std::uint32_t all_from = kNil;  // every node off the path from this depth down is merged
    for (std::size_t d = walk.by_depth_.size(); d-- > 0 && tips > kMaxTips;) {
        const auto [count, fewer] = walk.by_depth_[d];
        if (count == 0) continue;
        if (tips - fewer > kMaxTips) {
            tips -= fewer;
            merged += count;
            all_from = static_cast<std::uint32_t>(d);
            continue;
        }
        std::vector<Record*> level;
        for (Record& r : walk.records_) {
            if (r.depth == d && r.tip == Tip::kNone && !r.kept) level.push_back(&r);
        }
        std::sort(level.begin(), level.end(),
                  [](const Record* x, const Record* y) { return merged_before(x->key, y->key); });
        for (std::size_t k = 0; k < level.size() && tips > kMaxTips; ++k) {
            level[k]->merged = true;
            tips -= level[k]->degree - 1u;
            ++merged;
        }
        break;
    }
    // Then the path, from its deepest node up.
    std::uint32_t path_merged = 0;
    std::size_t single = 0;
    while (tips > kMaxTips && path_merged < walk.path_) {
        const bool one_child =
            single < walk.path_single_.size() && walk.path_single_[single] == path_merged;
        single += one_child;
        tips -= one_child ? 0 : 1;
        ++path_merged;
        ++merged;
    }
    for (Record& r : walk.records_) {
        if (r.tip != Tip::kNone) continue;
        if (!r.kept && r.depth >= all_from) r.merged = true;
        if (r.kept && path_merged > 0 && r.depth + path_merged >= walk.target_depth_)
            r.merged = true;
    }
    return tips;
}

// A tip's text: a leaf's name, or a wedge's name and its number of leaves.
std::string tip_label(const Prefixes& prefixes, const Record& r, Tip tip, const LayoutInput& in) {
    const std::string count = " (" + std::to_string(r.leaves) + ")";
    switch (tip) {
        case Tip::kLeaf:
            return std::string(r.node.name());
        case Tip::kWedge:
            return std::string(prefixes.name(r.prefix)) + count;
        case Tip::kTargetWedge:
            return in.target_label + count;
        case Tip::kMixed:
            return "mixed" + count;
        case Tip::kNone:
            break;
    }
    return std::string();
}

// The nodes drawn, in preorder: the records from the root down to the tips.
void emit(const Walk& walk, DrawnTree& out) {
    struct Visit {
        std::uint32_t record;
        std::uint32_t parent;  // in `out`; kNil for the root
        double x;              // from the root, summed as the walk sums it
    };
    ChunkedStack<Visit> stack{{walk.root_, kNil, 0.0}};
    while (!stack.empty()) {
        const Visit at = stack.back();
        stack.pop_back();
        const Record& r = walk.records_[at.record];
        const auto index = static_cast<std::uint32_t>(out.nodes.size());
        DrawnNode d;
        d.node = r.node;
        d.parent = at.parent == kNil ? index : at.parent;
        d.tip = r.merged ? Tip::kMixed : r.tip;
        d.role = r.role;
        d.leaves = r.leaves;
        const auto x = static_cast<float>(at.x);
        d.x = x;
        d.far_x = d.tip == Tip::kNone || d.tip == Tip::kLeaf ? x : std::max(x, r.reach);
        d.label = tip_label(walk.prefixes_, r, d.tip, walk.in_);
        out.nodes.push_back(std::move(d));
        if (r.merged || r.tip != Tip::kNone) continue;
        // The right child first on the stack, so that the left one is drawn first.
        for (const bool right : {true, false}) {
            for (const std::uint32_t c : r.children) {
                if (c == kNil || (walk.records_[c].node == r.node.right()) != right) continue;
                NodeRef child = walk.records_[c].node;
                stack.push_back({c, index, at.x + usable_length(child)});
            }
        }
    }
}

// The branch of the tree drawn that holds a place: the node it ends in below, and the distance
// up from that node.
struct Hook {
    std::uint32_t node = 0;
    double up = 0;
};

class Hooks {
public:
    explicit Hooks(const DrawnTree& tree) {
        index_.reserve(tree.nodes.size());
        for (std::uint32_t k = 0; k < tree.nodes.size(); ++k)
            index_.emplace(tree.nodes[k].node, k);
    }

    // The place's branch, in whichever direction the tree now runs along it: from `below` up to
    // `above`, from `above` up to `below`, or through the root that now lies between them.
    Hook of(const RemovedLeaf& place) const {
        NodeRef b = place.below;
        NodeRef a = place.above;
        const double d = place.distance;
        if (b == nullptr || (!drawn(b) && !drawn(a))) return Hook{};
        if (a == nullptr || b.parent() == a) return hook(b, d);
        if (a.parent() == b) return hook(a, usable_length(a) - d);
        if (drawn(b) && drawn(a) && b.parent() != nullptr && b.parent() == a.parent()) {
            const double below = usable_length(b);
            return d <= below ? hook(b, d) : hook(a, usable_length(a) - (d - below));
        }
        return drawn(b) ? hook(b, 0) : hook(a, 0);
    }

private:
    bool drawn(NodeRef node) const { return node != nullptr && index_.count(node) != 0; }
    Hook hook(NodeRef node, double up) const {
        const auto found = index_.find(node);
        if (found == index_.end()) return Hook{};
        return Hook{found->second, std::max(0.0, std::min(up, usable_length(node)))};
    }

    std::unordered_map<NodeRef, std::uint32_t> index_;
};

DrawnNode aside_node(const RemovedLeaf& place, const Hook& hook) {
    DrawnNode n;
    n.node = place.leaf;
    n.parent = hook.node;  // an index of the nodes before any was added
    n.tip = Tip::kLeaf;
    n.role = Role::kAside;
    n.leaves = 1;
    n.label = place.leaf.name();
    n.up = hook.up;
    return n;
}

// Adds a node of Role::kAside to `tree` (laid out leaf by leaf, not yet placed) for each of
// `aside`, on the branch of the tree drawn where it stood: a place recorded on the unrooted tree
// holds however the tree was rooted since. A place no longer found hangs the leaf at the root.
// Linear in the tree and the leaves.
void hang_aside(DrawnTree& tree, const std::vector<RemovedLeaf>& aside) {
    if (tree.nodes.empty() || aside.empty()) return;
    // The leaves by the node that holds them, in their order.
    std::vector<std::pair<std::uint32_t, DrawnNode>> hung;
    hung.reserve(aside.size());
    const Hooks hooks(tree);
    for (const RemovedLeaf& place : aside) {
        if (place.leaf == nullptr) continue;
        const Hook hook = hooks.of(place);
        // Those at the root come after it: its row is not the first.
        hung.emplace_back(hook.node == 0 ? 1 : hook.node, aside_node(place, hook));
    }
    std::stable_sort(hung.begin(), hung.end(),
                     [](const auto& x, const auto& y) { return x.first < y.first; });
    std::vector<DrawnNode> nodes;
    nodes.reserve(tree.nodes.size() + hung.size());
    std::vector<std::uint32_t> moved(tree.nodes.size());
    std::size_t next = 0;
    for (std::uint32_t k = 0; k <= tree.nodes.size(); ++k) {
        for (; next < hung.size() && hung[next].first == k; ++next)
            nodes.push_back(std::move(hung[next].second));
        if (k == tree.nodes.size()) break;
        moved[k] = static_cast<std::uint32_t>(nodes.size());
        nodes.push_back(std::move(tree.nodes[k]));
    }
    for (DrawnNode& n : nodes)
        n.parent = moved[n.parent];
    tree.aside = hung.size();
    tree.nodes = std::move(nodes);
}

// Where the branch of each leaf set aside leaves the branch that holds it, and the leaf's own x:
// `lengths` as in DrawnTree, `leaf_x` the column of every leaf otherwise. Call once the other
// nodes are placed.
void place_aside(DrawnTree& tree, bool lengths, double leaf_x) {
    for (DrawnNode& n : tree.nodes) {
        if (n.role != Role::kAside) continue;
        const DrawnNode& holder = tree.nodes[n.parent];
        const DrawnNode& above = tree.nodes[holder.parent];
        if (lengths) {
            n.stem_x = std::max(above.x, holder.x - n.up);
            n.x = n.stem_x + usable_length(n.node);
        } else {
            n.stem_x = (above.x + holder.x) / 2;
            n.x = leaf_x;
        }
        n.far_x = n.x;
    }
}

// Rows for the tips in order, each internal node midway between its first and last child; x
// from the lengths, or, without them, every leaf in the last column and each node one column
// left of its highest child.
void place(DrawnTree& tree) {
    std::vector<DrawnNode>& nodes = tree.nodes;
    std::vector<double> low(nodes.size(), std::numeric_limits<double>::max());
    std::vector<double> high(nodes.size(), std::numeric_limits<double>::lowest());
    std::vector<std::uint32_t> height(nodes.size(), 0);
    double row = 0;
    for (DrawnNode& n : nodes) {
        if (n.tip != Tip::kNone) n.row = row++;
    }
    for (std::size_t k = nodes.size(); k-- > 0;) {
        DrawnNode& n = nodes[k];
        if (n.role == Role::kAside) continue;  // hung beside the tree, not in it
        if (n.tip == Tip::kNone) {
            n.row = (low[k] + high[k]) / 2;
        } else if (n.tip != Tip::kLeaf) {
            height[k] = 1;
        }
        if (k == 0) break;
        low[n.parent] = std::min(low[n.parent], n.row);
        high[n.parent] = std::max(high[n.parent], n.row);
        height[n.parent] = std::max(height[n.parent], height[k] + 1);
    }
    double width = 0;
    for (const DrawnNode& n : nodes)
        width = std::max(width, n.tip == Tip::kNone || n.tip == Tip::kLeaf ? n.x : n.far_x);
    tree.lengths = tree.lengths && width > 0 && std::isfinite(width);
    if (tree.lengths) {
        place_aside(tree, true, width);
        for (const DrawnNode& n : nodes)
            width = std::max(width, n.x);
        tree.width = width;
        return;
    }
    tree.width = std::max<double>(height[0], 1);
    for (std::size_t k = 0; k < nodes.size(); ++k) {
        nodes[k].x = static_cast<double>(height[0]) - height[k];
        nodes[k].far_x = nodes[k].tip == Tip::kNone || nodes[k].tip == Tip::kLeaf
                             ? nodes[k].x
                             : static_cast<double>(height[0]);
    }
    place_aside(tree, false, static_cast<double>(height[0]));
}

}  // namespace

const char* role_class(Role role) {
    switch (role) {
        case Role::kTarget:
            return "target";
        case Role::kSister1:
            return "sister1";
        case Role::kSister2:
            return "sister2";
        case Role::kAside:
            return "aside";
        case Role::kOther:
            break;
    }
    return "other";
}

DrawnTree lay_out(const LayoutInput& in) {
    DrawnTree out;
    if (in.root == nullptr) return out;
    auto walk = std::make_unique<Walk>(in, true);
    walk->run();
    // A small tree is drawn leaf by leaf: walked again without wedges.
    if (walk->leaves_ <= kAllLeaves) {
        walk = std::make_unique<Walk>(in, false);
        walk->run();
    }
    out.lengths = walk->lengths_;
    out.leaves = walk->leaves_;
    out.tips = merge_deepest(*walk, out.merged);
    emit(*walk, out);
    // Leaves set aside go back into a tree drawn leaf by leaf.
    if (walk->leaves_ <= kAllLeaves && in.aside != nullptr && in.aside->size() <= kAllLeaves)
        hang_aside(out, *in.aside);
    place(out);
    return out;
}

}  // namespace tavrin
