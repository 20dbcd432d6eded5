#include "tree/rooting.h"

#include <algorithm>
#include <cstdint>
#include <limits>

#include "platform/chunked_stack.h"

namespace tavrin {
namespace {

constexpr double kMinusInfinity = -std::numeric_limits<double>::infinity();
// Paths this close to the longest, relative to it, count as longest: sums of the same lengths
// taken in another order differ in their last bits.
constexpr double kLongestTolerance = 1e-9;

// The walks below read the nodes where they are, never copying the tree: a copy would be fresh
// memory, and clearing fresh pages costs more than the walks. What a walk keeps per node waits
// on stacks, and only for inner nodes (a leaf's values are read from the leaf again), so that a
// ladder of either hand keeps them shallow.

// A node without a right child is a leaf: the reader makes nodes of two children or none.
bool ends_path(const Phylogeny_Node* node) {
    return node->right == nullptr;
}

// The length from the top of `node`'s branch down to the farthest leaf below it, for a leaf.
double leaf_reach(const Phylogeny_Node* leaf) {
    return 0.0 + leaf->length;
}

double pop(ChunkedStack<double>& stack) {
    const double value = stack.back();
    stack.pop_back();
    return value;
}

// Calls finish(node) for every node below and including `top`, in mirrored postorder (the right
// subtree, the left subtree, then the node: the preorder read backwards), climbing the parent
// links instead of keeping a stack.
template <typename Node, typename Finish>
void mirrored_postorder(Node* top, Finish finish) {
    Node* node = top;
    while (!ends_path(node))
        node = node->right;
    while (true) {
        finish(node);
        if (node == top) return;
        Node* parent = node->parent;
        if (node != parent->right) {
            node = parent;
            continue;
        }
        node = parent->left;
        while (!ends_path(node))
            node = node->right;
    }
}

// The support a branch carries, named by its lower node: none for a leaf's.
double branch_support(const Phylogeny_Node* below) {
    return below->is_leaf ? 0 : below->support;
}

// A leaf with a value: its distance to some leaf.
struct Reached {
    Phylogeny_Node* node;
    double value;
};

// The first leaf in preorder below and including `node` whose value is at least `least`; values
// go from a node to its children by split(node, value, left_value, right_value), `value` being
// `node`'s. Right children wait on a stack while the left subtree is walked, but a right child
// that is a leaf is judged at once: when it passes, it stands once its left sibling's subtree
// holds no leaf that passes.
template <typename Split>
std::optional<Reached> first_leaf_reaching(Phylogeny_Node* node, double value, double least,
                                           Split split) {
    struct Waiting {
        Phylogeny_Node* node;
        double value;
    };
    ChunkedStack<Waiting> waiting;
    std::optional<Reached> later;  // a right leaf that passes, after the left subtree it waits on
    std::size_t later_level = 0;   // the waiting nodes that come after it
    while (true) {
        if (ends_path(node)) {
            if (value >= least) return Reached{node, value};
            if (later.has_value() && waiting.size() <= later_level) return later;
            if (waiting.empty()) return std::nullopt;
            node = waiting.back().node;
            value = waiting.back().value;
            waiting.pop_back();
            continue;
        }
        double left_value = 0;
        double right_value = 0;
        split(node, value, left_value, right_value);
        if (!ends_path(node->right)) {
            waiting.push_back({node->right, right_value});
        } else if (right_value >= least) {
            later = Reached{node->right, right_value};
            later_level = waiting.size();
        }
        node = node->left;
        value = left_value;
    }
}

// Distances from a leaf, handed down away from it.
void add_length(const Phylogeny_Node* node, double value, double& left, double& right) {
    left = value + node->left->length;
    right = value + node->right->length;
}

// The longest distance from each inner node's children down to a leaf below them, and the
// longest path between two leaves: a path tops out at some node, through both of its children.
struct DownReaches {
    // The reaches of the inner children of every inner node (its left child's first), pushed in
    // mirrored postorder: a preorder walk pops them in its own order, a node's right child's
    // first.
    ChunkedStack<double> kept;
    double longest = kMinusInfinity;
};

void reach_down(Phylogeny_Node* root, DownReaches& out) {
    ChunkedStack<double> waiting;  // the reaches of inner nodes whose parent is not finished
    mirrored_postorder(root, [&](const Phylogeny_Node* node) {
        if (ends_path(node)) return;
        // The left subtree is finished last: its reach is on top.
        const bool left_inner = !ends_path(node->left);
        const bool right_inner = !ends_path(node->right);
        const double left = left_inner ? pop(waiting) : leaf_reach(node->left);
        const double right = right_inner ? pop(waiting) : leaf_reach(node->right);
        if (left_inner) out.kept.push_back(left);
        if (right_inner) out.kept.push_back(right);
        out.longest = std::max(out.longest, left + right);
        waiting.push_back(std::max(left, right) + node->length);
    });
}

// a: the first leaf in preorder whose farthest leaf is at least `least` away. The farthest leaf
// from a node not below it is reached through its parent: beyond the parent, or down its
// sibling.
std::optional<Reached> first_end(Phylogeny_Node* root, DownReaches& down, double least) {
    return first_leaf_reaching(
        root, kMinusInfinity, least,
        [&](const Phylogeny_Node* node, double far, double& left_far, double& right_far) {
            const double right = ends_path(node->right) ? leaf_reach(node->right) : pop(down.kept);
            const double left = ends_path(node->left) ? leaf_reach(node->left) : pop(down.kept);
            left_far = node->left->length + std::max(far, right);
            right_far = node->right->length + std::max(far, left);
        });
}

// The first leaf b in preorder at least `least` away from leaf `a`, and where the paths from a
// and b to the root meet.
struct FarEnd {
    Reached b;
    Phylogeny_Node* meet;
};

// Climbs from `a`, searching the subtree that hangs off each node met: those on the left come
// before a in preorder (the highest first), those on the right after it (the lowest first).
std::optional<FarEnd> far_end_from(Phylogeny_Node* a, double least) {
    std::optional<FarEnd> before;
    std::optional<FarEnd> after;
    double distance = 0;
    for (Phylogeny_Node* child = a; child->parent != nullptr; child = child->parent) {
        Phylogeny_Node* node = child->parent;
        distance += child->length;
        const bool hangs_before = node->right == child;
        if (!hangs_before && (before.has_value() || after.has_value())) continue;
        Phylogeny_Node* side = hangs_before ? node->left : node->right;
        const std::optional<Reached> found =
            first_leaf_reaching(side, distance + side->length, least, add_length);
        if (found.has_value()) (hangs_before ? before : after) = FarEnd{*found, node};
    }
    return before.has_value() ? before : after;
}

// A branch of the path being walked from its near end to its far end, the point `into` it from
// the near end: the place, naming the branch by `below`, which is the near end or the far one.
RootPlace place_in(Phylogeny_Node* below, bool below_is_near, double length, double into) {
    if (below_is_near) return RootPlace{below, into, length - into};
    return RootPlace{below, length - into, into};
}

// Walks the path from leaf `a` to `far.b` and places the root halfway along it.
std::optional<RootPlace> halfway(Phylogeny_Node* root, Phylogeny_Node* a, const FarEnd& far) {
    const double half = far.b.value / 2;
    // b's side, from b up to the child of the meeting node, read from the top.
    ChunkedStack<Phylogeny_Node*> down_side;
    for (Phylogeny_Node* node = far.b.node; node != far.meet; node = node->parent)
        down_side.push_back(node);
    double reached = 0;  // distance from a to the near end of the branch walked
    for (Phylogeny_Node* node = a; node != far.meet; node = node->parent) {
        double length = node->length;
        double far_end = reached + length;
        if (node->parent == root) {
            // Through the root: its two branches are one, ending at b's side's top node.
            const double other = down_side.back()->length;
            far_end += other;
            length += other;
            down_side.pop_back();
        }
        if (far_end > half) return place_in(node, true, length, half - reached);
        reached = far_end;
    }
    for (; !down_side.empty(); down_side.pop_back()) {
        Phylogeny_Node* node = down_side.back();
        const double far_end = reached + node->length;
        if (far_end > half) return place_in(node, false, node->length, half - reached);
        reached = far_end;
    }
    return std::nullopt;  // only lengths that are not numbers lead here
}

// The side of a branch whose leaves all pass the outgroup test, among those met so far: the
// largest, and how many sides have its size.
struct LargestSide {
    uint64_t leaves = 0;
    Phylogeny_Node* below = nullptr;  // the branch's lower node
    std::size_t ties = 0;

    void offer(uint64_t side_leaves, Phylogeny_Node* branch) {
        if (side_leaves > leaves) {
            *this = LargestSide{side_leaves, branch, 1};
        } else if (side_leaves == leaves) {
            ++ties;
        }
    }
};

// Bits on a stack, 64 to a word.
class BitStack {
public:
    void push(bool bit) {
        if (size_ % 64 == 0) words_.push_back(0);
        if (bit) words_.back() |= uint64_t{1} << (size_ % 64);
        ++size_;
    }
    bool pop() {
        --size_;
        const uint64_t mask = uint64_t{1} << (size_ % 64);
        const bool bit = (words_.back() & mask) != 0;
        words_.back() &= ~mask;
        if (size_ % 64 == 0) words_.pop_back();
        return bit;
    }

private:
    ChunkedStack<uint64_t> words_;
    std::size_t size_ = 0;
};

// The outgroup leaves (high half) and the other leaves (low half) of a side.
constexpr uint64_t kOutgroupLeaf = uint64_t{1} << 32;
constexpr uint64_t kOthers = kOutgroupLeaf - 1;

// The sides of the branches that hold outgroup leaves only, found in one walk that tests each
// leaf once.
struct OutgroupSides {
    LargestSide largest;  // among the sides below a branch
    uint64_t outgroup = 0;
    uint64_t others = 0;
    // The lowest node with every other leaf below it, and its outgroup leaves. Every branch
    // above it has all the outgroup leaves it lacks, and only them, on its upper side: its own
    // is the largest of these sides.
    Phylogeny_Node* all_others_below = nullptr;
    uint64_t its_others = 0;
    uint64_t its_outgroup = 0;
};

// Offers the side below every branch, the root's two branches as one (named by its left
// child), in mirrored postorder.
OutgroupSides outgroup_sides(Phylogeny_Node* root,
                             const std::function<bool(const Phylogeny_Node*)>& in_outgroup) {
    OutgroupSides sides;
    ChunkedStack<uint64_t> waiting;  // the counts of inner nodes whose parent is not finished
    BitStack leaves;                 // the same for leaves: whether each is an outgroup leaf
    const auto child_count = [&](const Phylogeny_Node* child) {
        if (!ends_path(child)) {
            const uint64_t count = waiting.back();
            waiting.pop_back();
            return count;
        }
        return leaves.pop() ? kOutgroupLeaf : uint64_t{1};
    };
    mirrored_postorder(root, [&](Phylogeny_Node* node) {
        uint64_t count = 0;
        if (ends_path(node)) {
            const bool outgroup = in_outgroup(node);
            leaves.push(outgroup);
            count = outgroup ? kOutgroupLeaf : 1;
        } else {
            // The left subtree is finished last: its count is on top.
            count = child_count(node->left);
            count += child_count(node->right);
            waiting.push_back(count);
        }
        const uint64_t outgroup = count >> 32;
        const uint64_t others = count & kOthers;
        if (ends_path(node)) ++(outgroup != 0 ? sides.outgroup : sides.others);
        // The first node finished with the most other leaves so far: at the end, the lowest
        // with all of them.
        if (others > sides.its_others) {
            sides.all_others_below = node;
            sides.its_others = others;
            sides.its_outgroup = outgroup;
        }
        if (node == root || (node->parent == root && node == root->right)) return;
        if (others == 0) sides.largest.offer(outgroup, node);
    });
    return sides;
}

}  // namespace

UnrootedTree::UnrootedTree(const Phylogeny& tree) : tree_(tree) {}

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
    Phylogeny_Node* root = tree_.root;
    if (root == nullptr) return std::nullopt;
    DownReaches down;
    reach_down(root, down);
    const double longest = down.longest;
    if (!(longest > 0)) return std::nullopt;  // fewer than two leaves, too
    const double least = longest - kLongestTolerance * longest;
    const std::optional<Reached> a = first_end(root, down, least);
    if (!a.has_value()) return std::nullopt;
    const std::optional<FarEnd> b = far_end_from(a->node, least);
    if (!b.has_value()) return std::nullopt;
    return halfway(root, a->node, *b);
}

std::optional<RootPlace> UnrootedTree::outgroup_place(
    const std::function<bool(const Phylogeny_Node*)>& in_outgroup) const {
    Phylogeny_Node* root = tree_.root;
    if (root == nullptr) return std::nullopt;
    OutgroupSides sides = outgroup_sides(root, in_outgroup);
    if (sides.outgroup == 0 || sides.others == 0) return std::nullopt;
    // The side above the lowest node with every other leaf below it. The branches above that
    // node have smaller such sides, which cannot be the largest. The root and its right child
    // name no branch of their own.
    Phylogeny_Node* top = sides.all_others_below;
    const bool names_branch = top != root && !(top->parent == root && top == root->right);
    if (names_branch && sides.its_outgroup < sides.outgroup) {
        sides.largest.offer(sides.outgroup - sides.its_outgroup, top);
    }
    if (sides.largest.ties != 1) return std::nullopt;
    Phylogeny_Node* below = sides.largest.below;
    const double length = below->parent == root ? merged_root_length(tree_) : below->length;
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
