#include "draw/aside_leaves.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <unordered_map>
#include <utility>

namespace tavrin {

namespace {

double branch_length(const Phylogeny_Node* node) {
    const double length = node->length;
    return std::isfinite(length) && length > 0 ? length : 0.0;
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
        const Phylogeny_Node* b = place.below;
        const Phylogeny_Node* a = place.above;
        const double d = place.distance;
        if (b == nullptr || (!drawn(b) && !drawn(a))) return Hook{};
        if (a == nullptr || b->parent == a) return hook(b, d);
        if (a->parent == b) return hook(a, branch_length(a) - d);
        if (drawn(b) && drawn(a) && b->parent != nullptr && b->parent == a->parent) {
            const double below = branch_length(b);
            return d <= below ? hook(b, d) : hook(a, branch_length(a) - (d - below));
        }
        return drawn(b) ? hook(b, 0) : hook(a, 0);
    }

private:
    bool drawn(const Phylogeny_Node* node) const {
        return node != nullptr && index_.count(node) != 0;
    }
    Hook hook(const Phylogeny_Node* node, double up) const {
        const auto found = index_.find(node);
        if (found == index_.end()) return Hook{};
        return Hook{found->second, std::max(0.0, std::min(up, branch_length(node)))};
    }

    std::unordered_map<const Phylogeny_Node*, std::uint32_t> index_;
};

DrawnNode aside_node(const RemovedLeaf& place, const Hook& hook) {
    DrawnNode n;
    n.node = place.leaf;
    n.parent = hook.node;  // an index of the nodes before any was added
    n.tip = Tip::kLeaf;
    n.role = Role::kAside;
    n.leaves = 1;
    n.label = place.leaf->name;
    n.up = hook.up;
    return n;
}

}  // namespace

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
    if (tree.target >= 0) tree.target = moved[static_cast<std::size_t>(tree.target)];
    tree.aside = hung.size();
    tree.nodes = std::move(nodes);
}

void place_aside(DrawnTree& tree, bool lengths, double leaf_x) {
    for (DrawnNode& n : tree.nodes) {
        if (n.role != Role::kAside) continue;
        const DrawnNode& holder = tree.nodes[n.parent];
        const DrawnNode& above = tree.nodes[holder.parent];
        if (lengths) {
            n.stem_x = std::max(above.x, holder.x - n.up);
            n.x = n.stem_x + branch_length(n.node);
        } else {
            n.stem_x = (above.x + holder.x) / 2;
            n.x = leaf_x;
        }
        n.far_x = n.x;
    }
}

}  // namespace tavrin
