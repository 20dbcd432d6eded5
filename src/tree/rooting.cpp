#include "tree/rooting.h"

#include <algorithm>
#include <cstdint>
#include <limits>

#include "platform/chunked_stack.h"
#include "platform/huge_pages.h"

namespace tavrin {
namespace {

template <typename T>
using BigVector = std::vector<T, HugePageAllocator<T>>;

constexpr double kMinusInfinity = -std::numeric_limits<double>::infinity();
// Paths this close to the longest, relative to it, count as longest: sums of the same lengths
// taken in another order differ in their last bits.
constexpr double kLongestTolerance = 1e-9;

// The nodes of a tree in preorder (a node before its children, the left subtree before the
// right), with what the walks below read of them copied into one small entry each: the nodes
// themselves are large, and a pass over them costs several passes over the entries. The root is
// at 0; a pass forward meets parents before children, a pass backward children before parents.
// Indices are 32-bit: a tree of 2^32 nodes would take hundreds of GiB.
struct Entry {
    double length;
    uint32_t parent;
    uint32_t right;  // the right child; 0 for a leaf. The left child follows its parent.

    bool leaf() const { return right == 0; }
};

// An array that grows by chunks of one huge page each, never moving what it holds: the nodes
// are collected without knowing their number, and without copying them as the array grows.
template <typename T>
class ChunkedArray {
    static_assert((sizeof(T) & (sizeof(T) - 1)) == 0, "a chunk holds a power of two elements");
    static constexpr std::size_t kPerChunk = kHugePageSize / sizeof(T);

public:
    ChunkedArray() = default;
    ChunkedArray(const ChunkedArray&) = delete;
    ChunkedArray& operator=(const ChunkedArray&) = delete;
    ChunkedArray(ChunkedArray&&) = default;
    ~ChunkedArray() {
        for (T* chunk : chunks_)
            release_buffer(chunk, kHugePageSize);
    }

    std::size_t size() const { return size_; }
    const T& operator[](std::size_t i) const { return chunks_[i / kPerChunk][i % kPerChunk]; }
    T& operator[](std::size_t i) { return chunks_[i / kPerChunk][i % kPerChunk]; }

    void push_back(const T& value) {
        if (size_ % kPerChunk == 0) {
            chunks_.push_back(static_cast<T*>(allocate_buffer(kHugePageSize)));
        }
        chunks_.back()[size_ % kPerChunk] = value;
        ++size_;
    }

private:
    std::vector<T*> chunks_;
    std::size_t size_ = 0;
};

struct PreorderNodes {
    ChunkedArray<Phylogeny_Node*> node;
    ChunkedArray<Entry> entry;
};

PreorderNodes collect(Phylogeny_Node* root) {
    struct Frame {
        Phylogeny_Node* node;
        uint32_t parent;
        bool right;
    };
    PreorderNodes all;
    ChunkedStack<Frame> stack;
    if (root != nullptr) stack.push_back({root, 0, false});
    for (uint32_t index = 0; !stack.empty(); ++index) {
        const Frame frame = stack.back();
        stack.pop_back();
        Phylogeny_Node* node = frame.node;
        all.node.push_back(node);
        all.entry.push_back({node->length, frame.parent, 0});
        if (frame.right) all.entry[frame.parent].right = index;
        if (node->right != nullptr) stack.push_back({node->right, index, true});
        if (node->left != nullptr) stack.push_back({node->left, index, false});
    }
    return all;
}

// The support a branch carries, named by its lower node: none for a leaf's.
double branch_support(const Phylogeny_Node* below) {
    return below->is_leaf ? 0 : below->support;
}

// A node with a value: its distance to some leaf.
struct Reached {
    std::size_t index;
    double value;
};

// The values of the nodes on the path from the root to the node a preorder pass is at: a node's
// parent is on it, and the nodes beyond the parent are left behind for good.
class PathValues {
public:
    explicit PathValues(Reached root) { path_.push_back(root); }
    // The value of `parent`, which must be on the path, the nodes below it dropped.
    double at(std::size_t parent) {
        while (path_.back().index != parent)
            path_.pop_back();
        return path_.back().value;
    }
    void push(Reached node) { path_.push_back(node); }

private:
    ChunkedStack<Reached> path_;
};

// Leaf `from`'s ancestors with their distances from it, the root first.
std::vector<Reached> ancestors_of(const PreorderNodes& all, std::size_t from) {
    std::vector<Reached> ancestors;
    std::size_t depth = 0;  // counted first: a ladder's leaf has a million ancestors
    for (std::size_t i = from; i != 0; i = all.entry[i].parent)
        ++depth;
    ancestors.reserve(depth);
    double distance = 0;
    for (std::size_t i = from; i != 0; i = all.entry[i].parent) {
        distance += all.entry[i].length;
        ancestors.push_back({all.entry[i].parent, distance});
    }
    std::reverse(ancestors.begin(), ancestors.end());
    return ancestors;
}

// The first leaf in preorder at least `least` away from leaf `from`, and that distance; none
// when there is none.
std::optional<Reached> first_leaf_from(const PreorderNodes& all, std::size_t from,
                                       const std::vector<Reached>& ancestors, double least) {
    PathValues path(ancestors.front());
    std::size_t next_ancestor = 1;
    for (std::size_t i = 1; i < all.entry.size(); ++i) {
        const Entry& e = all.entry[i];
        const double above = path.at(e.parent);
        double distance = above + e.length;
        if (next_ancestor < ancestors.size() && ancestors[next_ancestor].index == i) {
            distance = ancestors[next_ancestor++].value;
        } else if (i == from) {
            distance = 0;
        }
        if (e.leaf() && distance >= least) return Reached{i, distance};
        path.push({i, distance});
    }
    return std::nullopt;
}

// A branch of the path being walked from its near end to its far end, the point `into` it from
// the near end: the place, naming the branch by `below`, which is the near end or the far one.
RootPlace place_in(Phylogeny_Node* below, bool below_is_near, double length, double into) {
    if (below_is_near) return RootPlace{below, into, length - into};
    return RootPlace{below, length - into, into};
}

// Walks the path from leaf `a` to leaf `b` and places the root halfway along it.
std::optional<RootPlace> halfway(const PreorderNodes& all, std::size_t a, Reached b,
                                 const std::vector<Reached>& ancestors_of_a) {
    const double half = b.value / 2;
    // b's side, from b up to the child of the lowest common ancestor. The nodes met going up
    // have falling indices, and so have a's ancestors read from the last.
    std::vector<uint32_t> down_side;
    std::size_t meet = b.index;
    for (auto ancestor = ancestors_of_a.rbegin();; meet = all.entry[meet].parent) {
        while (ancestor->index > meet)
            ++ancestor;
        if (ancestor->index == meet) break;
        down_side.push_back(static_cast<uint32_t>(meet));
    }
    double reached = 0;  // distance from a to the near end of the branch walked
    for (std::size_t i = a; i != meet; i = all.entry[i].parent) {
        double length = all.entry[i].length;
        double far = reached + length;
        if (all.entry[i].parent == 0) {
            // Through the root: its two branches are one, ending at b's side's top node.
            const double other = all.entry[down_side.back()].length;
            far += other;
            length += other;
            down_side.pop_back();
        }
        if (far > half) return place_in(all.node[i], true, length, half - reached);
        reached = far;
    }
    for (auto i = down_side.rbegin(); i != down_side.rend(); ++i) {
        const double length = all.entry[*i].length;
        const double far = reached + length;
        if (far > half) return place_in(all.node[*i], false, length, half - reached);
        reached = far;
    }
    return std::nullopt;  // only lengths that are not numbers lead here
}

// The side of a branch whose leaves all pass the outgroup test, among those met so far: the
// largest, and how many sides have its size.
struct LargestSide {
    uint64_t leaves = 0;
    std::size_t below = 0;  // the index of the branch's lower node
    std::size_t ties = 0;

    void offer(uint64_t side_leaves, std::size_t branch) {
        if (side_leaves > leaves) {
            *this = LargestSide{side_leaves, branch, 1};
        } else if (side_leaves == leaves) {
            ++ties;
        }
    }
};

}  // namespace

struct UnrootedTree::Nodes : PreorderNodes {};

UnrootedTree::UnrootedTree(const Phylogeny& tree)
    : tree_(tree), nodes_(std::make_unique<Nodes>(Nodes{collect(tree.root)})) {}

UnrootedTree::~UnrootedTree() = default;

double merged_root_support(const Phylogeny& tree) {
    const Phylogeny_Node* left = tree.root->left;
    const Phylogeny_Node* right = tree.root->right;
    if (left == nullptr || right == nullptr || left->is_leaf || right->is_leaf) return 0;
    return std::max(left->support, right->support);
}

double merged_root_length(const Phylogeny& tree) {
    const Phylogeny_Node* left = tree.root->left;
    const Phylogeny_Node* right = tree.root->right;
    return (left != nullptr ? left->length : 0) + (right != nullptr ? right->length : 0);
}

std::optional<RootPlace> UnrootedTree::midpoint_place() const {
    const PreorderNodes& all = *nodes_;
    const std::size_t n = all.entry.size();
    // The longest distance from each node down to a leaf below it (children before parents);
    // the longest path tops out at some node, through both of its children.
    BigVector<double> down(n);
    const auto reach = [&](std::size_t child) { return down[child] + all.entry[child].length; };
    double longest = kMinusInfinity;
    for (std::size_t i = n; i-- > 0;) {
        const Entry& e = all.entry[i];
        if (e.leaf()) continue;
        const double left = reach(i + 1);
        const double right = reach(e.right);
        down[i] = std::max(left, right);
        longest = std::max(longest, left + right);
    }
    if (!(longest > 0)) return std::nullopt;  // fewer than two leaves, too
    const double least = longest - kLongestTolerance * longest;
    // a: the first leaf whose farthest leaf is that far. The farthest leaf from a node not below
    // it is reached through its parent: beyond the parent, or down its sibling.
    PathValues farthest(Reached{0, kMinusInfinity});
    std::size_t a = 1;
    for (; a < n; ++a) {
        const Entry& e = all.entry[a];
        const std::size_t sibling =
            a == e.parent + std::size_t{1} ? all.entry[e.parent].right : e.parent + std::size_t{1};
        const double far = e.length + std::max(farthest.at(e.parent), reach(sibling));
        if (e.leaf() && far >= least) break;
        farthest.push({a, far});
    }
    if (a >= n) return std::nullopt;
    const std::vector<Reached> ancestors = ancestors_of(all, a);
    const std::optional<Reached> b = first_leaf_from(all, a, ancestors, least);
    if (!b.has_value()) return std::nullopt;
    return halfway(all, a, *b, ancestors);
}

std::optional<RootPlace> UnrootedTree::outgroup_place(
    const std::function<bool(const Phylogeny_Node*)>& in_outgroup) const {
    const PreorderNodes& all = *nodes_;
    const std::size_t n = all.entry.size();
    // Which leaves are outgroup leaves, one bit each.
    std::vector<uint64_t> is_outgroup((n + 63) / 64);
    uint64_t all_outgroup = 0;
    uint64_t all_others = 0;
    for (std::size_t i = 0; i < n; ++i) {
        if (!all.entry[i].leaf()) continue;
        if (in_outgroup(all.node[i])) {
            is_outgroup[i / 64] |= uint64_t{1} << (i % 64);
            ++all_outgroup;
        } else {
            ++all_others;
        }
    }
    if (all_outgroup == 0 || all_others == 0) return std::nullopt;
    // The outgroup leaves (high half) and the other leaves (low half) below each node, children
    // before parents: a node's left subtree comes just before it, its right one before that, so
    // their counts are the top two of a stack as deep as the tree.
    constexpr uint64_t kOutgroupLeaf = uint64_t{1} << 32;
    constexpr uint64_t kOthers = kOutgroupLeaf - 1;
    ChunkedStack<uint64_t> counts;
    LargestSide largest;
    for (std::size_t i = n; i-- > 1;) {
        uint64_t count = (is_outgroup[i / 64] >> (i % 64) & 1) != 0 ? kOutgroupLeaf : 1;
        if (!all.entry[i].leaf()) {
            count = counts.back();
            counts.pop_back();
            count += counts.back();
            counts.pop_back();
        }
        counts.push_back(count);
        // The root's two branches are one: its left child, at 1, names both of its sides.
        if (all.entry[i].parent == 0 && i != 1) continue;
        const uint64_t outgroup = count >> 32;
        const uint64_t others = count & kOthers;
        if (others == 0) largest.offer(outgroup, i);
        if (others == all_others && outgroup < all_outgroup) {
            largest.offer(all_outgroup - outgroup, i);
        }
    }
    if (largest.ties != 1) return std::nullopt;
    Phylogeny_Node* below = all.node[largest.below];
    const double length = below->parent == tree_.root ? merged_root_length(tree_) : below->length;
    return RootPlace{below, length / 2, length / 2};
}

void root_on_branch(Phylogeny& tree, const RootPlace& place) {
    Phylogeny_Node* b = place.below;
    Phylogeny_Node* a = b->parent;
    Phylogeny_Node* r = tree.root;
    if (a == r) {
        const double support = merged_root_support(tree);
        Phylogeny_Node* other = other_child(r, b);
        b->length = place.below_part;
        other->length = place.above_part;
        for (Phylogeny_Node* child : {b, other}) {
            if (!child->is_leaf) child->support = support;
        }
        return;
    }
    // The values as read of the path from a up to the child of the old root.
    struct Values {
        double support;
        double length;
    };
    std::vector<Values> read;
    Phylogeny_Node* top = a;
    for (Phylogeny_Node* node = a; node != r; node = node->parent) {
        read.push_back({node->support, node->length});
        top = node;
    }
    Phylogeny_Node* remaining = other_child(r, top);
    const double chosen_support = branch_support(b);

    tree.root = Phylogeny::reroot(a, b, r);
    tree.root->support = 0;
    tree.root->length = 0;
    a->support = chosen_support;
    a->length = place.above_part;
    b->length = place.below_part;
    // The turned-over path from the top down: each node's parent is now the node that was below
    // it, whose values it takes.
    Phylogeny_Node* node = top;
    for (std::size_t i = read.size() - 1; i > 0; --i, node = node->parent) {
        node->support = read[i - 1].support;
        node->length = read[i - 1].length;
    }
    // The old root's two branches, now one, end at its remaining child.
    if (remaining != nullptr) {
        if (!remaining->is_leaf)
            remaining->support = std::max(remaining->support, read.back().support);
        remaining->length += read.back().length;
    }
    r->left = r->right = r->parent = nullptr;
    delete r;
}

std::size_t remove_leaves(Phylogeny& tree, const std::vector<Phylogeny_Node*>& leaves,
                          BranchMerge merge) {
    const bool unrooted = merge == BranchMerge::kUnrooted;
    std::size_t removed = 0;
    for (Phylogeny_Node* leaf : leaves) {
        // A removed leaf has no parent left, and neither has a leaf that is the whole tree.
        if (leaf == nullptr || leaf->parent == nullptr) continue;
        Phylogeny_Node* parent = leaf->parent;
        Phylogeny_Node* sibling = other_child(parent, leaf);
        if (sibling == nullptr) continue;  // not a tree the reader makes
        Phylogeny_Node* grandparent = parent->parent;
        sibling->parent = grandparent;
        if (unrooted && !sibling->is_leaf && grandparent != nullptr) {
            sibling->support = std::max(sibling->support, parent->support);
        }
        sibling->length += parent->length;
        if (grandparent == nullptr) {
            tree.root = sibling;
            // Unrooted, the sibling's own branch was half of the merged one, which goes with the
            // leaf; its two children's branches now merge at the root.
            if (unrooted) sibling->support = sibling->length = 0;
        } else {
            (grandparent->left == parent ? grandparent->left : grandparent->right) = sibling;
        }
        parent->left = parent->right = parent->parent = nullptr;
        leaf->parent = nullptr;
        tree.retire_node(parent);
        tree.retire_subtree(leaf);
        ++removed;
    }
    return removed;
}

}  // namespace tavrin
