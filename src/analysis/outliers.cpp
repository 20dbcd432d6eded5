// The outliers of a tree in three passes over a flat copy of its shape, and their removal.
#include "analysis/outliers.h"

#include <cstdint>
#include <utility>

namespace {

// One node of the tree in preorder. The leaves below a node are the leaves whose rank (their
// place among the leaves from left to right) lies in [first_leaf, first_leaf + leaves).
struct FlatNode {
    uint32_t parent;      // index of the parent; the root names itself
    uint32_t first_leaf;  // leaves met before this node in preorder
    uint32_t leaves;      // leaves below the node (1 for a leaf)
    uint32_t targets;     // target leaves below the node
};

// The tree in preorder, with the leaves from left to right and their target flags.
struct FlatTree {
    std::vector<FlatNode> nodes;
    std::vector<Phylogeny_Node*> leaves;
    std::vector<char> is_target;
    uint32_t targets = 0;
};

// First pass: flattens the tree and asks the test once per leaf. The counts of the leaves hold
// their own flag; internal nodes are summed up by the second pass.
FlatTree flatten(Phylogeny_Node* root, const LeafTest& is_target) {
    FlatTree flat;
    std::vector<std::pair<Phylogeny_Node*, uint32_t>> stack;
    if (root != nullptr) stack.emplace_back(root, 0);
    while (!stack.empty()) {
        auto [node, parent] = stack.back();
        stack.pop_back();
        const auto index = static_cast<uint32_t>(flat.nodes.size());
        const auto rank = static_cast<uint32_t>(flat.leaves.size());
        if (node->is_leaf) {
            const bool target = is_target(node);
            flat.nodes.push_back({parent, rank, 1, target ? 1u : 0u});
            flat.leaves.push_back(node);
            flat.is_target.push_back(target ? 1 : 0);
            flat.targets += target ? 1 : 0;
            continue;
        }
        flat.nodes.push_back({parent, rank, 0, 0});
        if (node->right != nullptr) stack.emplace_back(node->right, index);
        if (node->left != nullptr) stack.emplace_back(node->left, index);
    }
    return flat;
}

// A side of an edge: the leaves below `node`, or with `outside` all the other leaves.
struct Side {
    uint32_t node = 0;
    bool outside = false;
};

// The best sides met so far: the fewest leaves removed, then the fewest target leaves removed,
// and how many distinct sides reach that.
class BestSide {
public:
    // Offers a side that removes `cost` leaves, `targets_removed` of them target leaves.
    void offer(Side side, uint64_t cost, uint64_t targets_removed) {
        const std::pair<uint64_t, uint64_t> key{cost, targets_removed};
        if (ties_ == 0 || key < key_) {
            key_ = key;
            side_ = side;
            ties_ = 1;
        } else if (key == key_) {
            ++ties_;
        }
    }

    bool found() const { return ties_ > 0; }
    bool unique() const { return ties_ == 1; }
    uint64_t cost() const { return key_.first; }
    Side side() const { return side_; }

private:
    std::pair<uint64_t, uint64_t> key_{0, 0};
    Side side_;
    uint64_t ties_ = 0;
};

// Offers both sides of the edge above node `v`. A side is valid when it keeps a target leaf and
// the other side a leaf that is not one.
void offer_edge(BestSide& best, uint32_t v, const FlatNode& node, uint64_t all_leaves,
                uint64_t all_targets) {
    const uint64_t in_targets = node.targets;
    const uint64_t in_others = node.leaves - node.targets;
    const uint64_t out_targets = all_targets - in_targets;
    const uint64_t out_others = (all_leaves - node.leaves) - out_targets;
    if (in_targets > 0 && out_others > 0) {
        best.offer({v, false}, out_targets + in_others, out_targets);
    }
    if (out_targets > 0 && in_others > 0) {
        best.offer({v, true}, in_targets + out_others, in_targets);
    }
}

// Second pass, children before parents: completes the counts of every node and offers the
// sides of the edge above it. Of the root's two edges, which split the leaves alike, only the
// first child's is offered; an edge to an only child splits them as the edge above its parent.
BestSide best_side(FlatTree& flat) {
    BestSide best;
    const uint64_t all_leaves = flat.leaves.size();
    std::vector<FlatNode>& nodes = flat.nodes;
    std::vector<uint32_t> children(nodes.size(), 0);
    for (std::size_t i = 1; i < nodes.size(); ++i)
        ++children[nodes[i].parent];
    for (std::size_t i = nodes.size(); i-- > 1;) {
        const auto v = static_cast<uint32_t>(i);
        FlatNode& node = nodes[v];
        FlatNode& parent = nodes[node.parent];
        // Preorder puts the first child right after its parent.
        const bool first_child = node.parent + 1 == v;
        const bool root_edge = node.parent == 0 && !first_child;
        if (!root_edge && children[node.parent] == 2) {
            offer_edge(best, v, node, all_leaves, flat.targets);
        }
        parent.leaves += node.leaves;
        parent.targets += node.targets;
    }
    return best;
}

// Third pass: the leaves that the winning side removes, from left to right.
std::vector<Phylogeny_Node*> removed_leaves(const FlatTree& flat, Side side) {
    std::vector<Phylogeny_Node*> removed;
    const FlatNode& node = flat.nodes[side.node];
    for (std::size_t rank = 0; rank < flat.leaves.size(); ++rank) {
        const bool below = rank >= node.first_leaf && rank - node.first_leaf < node.leaves;
        const bool in_side = below != side.outside;
        if (in_side != (flat.is_target[rank] != 0)) removed.push_back(flat.leaves[rank]);
    }
    return removed;
}

}  // namespace

OutlierSet find_outliers(const Phylogeny& tree, const LeafTest& is_target) {
    FlatTree flat = flatten(tree.root, is_target);
    OutlierSet result;
    result.target_leaves = flat.targets;
    const BestSide best = best_side(flat);
    if (!best.found()) return result;
    result.outliers = best.cost();
    result.ambiguous = !best.unique();
    if (best.unique() && best.cost() > 0) result.leaves = removed_leaves(flat, best.side());
    return result;
}

std::size_t set_aside(Phylogeny& tree, const std::vector<Phylogeny_Node*>& leaves) {
    std::size_t removed = 0;
    for (Phylogeny_Node* leaf : leaves) {
        // A removed leaf has no parent left, and neither has a leaf that is the whole tree.
        if (leaf == nullptr || leaf->parent == nullptr) continue;
        Phylogeny_Node* parent = leaf->parent;
        Phylogeny_Node* sibling = parent->left == leaf ? parent->right : parent->left;
        if (sibling == nullptr) continue;  // not a tree the reader makes
        Phylogeny_Node* grandparent = parent->parent;
        sibling->length += parent->length;
        sibling->parent = grandparent;
        if (grandparent == nullptr) {
            tree.root = sibling;
        } else if (grandparent->left == parent) {
            grandparent->left = sibling;
        } else {
            grandparent->right = sibling;
        }
        parent->left = parent->right = nullptr;
        parent->parent = nullptr;
        leaf->parent = nullptr;
        tree.retire_node(parent);
        tree.retire_subtree(leaf);
        ++removed;
    }
    return removed;
}
