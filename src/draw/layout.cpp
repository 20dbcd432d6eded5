#include "draw/layout.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <string_view>
#include <unordered_map>
#include <utility>

#include "platform/chunked_stack.h"
#include "platform/huge_pages.h"

namespace tavrin {
namespace {

constexpr std::uint32_t kNil = std::numeric_limits<std::uint32_t>::max();

// One node of the whole tree, in preorder: filled top-down (parent, depth, x, inherited role),
// then bottom-up (size, leaves, reach, the role and leaf prefix its leaves share), then the tips
// drawn.
struct Flat {
    std::uint32_t parent;  // kNil at the root
    std::uint32_t size;    // nodes in its subtree, itself included: 1 for a leaf
    std::uint32_t leaves;  //
    std::uint32_t prefix;  // the number of the leaf prefix all leaves below share, or kNil
    float x;               // distance from the root
    float reach;           // distance of its farthest leaf
    Role role;
    bool has_target;        // a target leaf lies below
    bool seen;              // a child was folded in already
    Tip tip;                // of a node drawn
    bool drawn;             // no tip lies above it
    bool kept;              // on the path to the target: merged last
    std::uint8_t children;  // children drawn
    std::uint8_t open;      // of them, those that are not tips
};

// An array grown by fixed chunks: nothing is copied as it grows, so a big tree's array never
// needs a second, larger copy of itself. The nodes are plain values, written before they are
// read.
class Flats {
public:
    Flats() = default;
    ~Flats() {
        for (Flat* chunk : chunks_)
            release_buffer(chunk, kChunkBytes);
    }
    Flats(const Flats&) = delete;
    Flats& operator=(const Flats&) = delete;

    Flat& operator[](std::size_t i) { return chunks_[i >> kShift][i & kMask]; }
    const Flat& operator[](std::size_t i) const { return chunks_[i >> kShift][i & kMask]; }
    std::size_t size() const { return size_; }
    void push_back(const Flat& flat) {
        if ((size_ >> kShift) == chunks_.size()) {
            chunks_.push_back(nullptr);
            chunks_.back() = static_cast<Flat*>(allocate_buffer(kChunkBytes));
        }
        (*this)[size_++] = flat;
    }

private:
    static constexpr std::size_t kShift = 16;
    static constexpr std::size_t kMask = (std::size_t{1} << kShift) - 1;
    // 2 MB with 32-byte nodes: one huge page each where the system gives them.
    static constexpr std::size_t kChunkBytes = sizeof(Flat) << kShift;
    std::vector<Flat*> chunks_;
    std::size_t size_ = 0;
};

double usable_length(const Phylogeny_Node* node) {
    const double length = node->length;
    return std::isfinite(length) && length > 0 ? length : 0.0;
}

// The distinct leaf prefixes of a tree, numbered as they are met, so that subtrees compare
// numbers rather than names.
class Prefixes {
public:
    explicit Prefixes(char separator) : separator_(separator) {}

    std::uint32_t number(const Phylogeny_Node* leaf) {
        const std::string_view name(leaf->name);
        const std::string_view prefix = name.substr(0, name.find(separator_));
        // Neighbouring leaves mostly share their prefix.
        if (!names_.empty() && prefix == names_[last_]) return last_;
        const auto added = numbers_.emplace(prefix, static_cast<std::uint32_t>(names_.size()));
        if (added.second) names_.push_back(prefix);
        last_ = added.first->second;
        return last_;
    }
    std::string_view name(std::uint32_t number) const { return names_[number]; }

private:
    char separator_;
    std::unordered_map<std::string_view, std::uint32_t> numbers_;
    std::vector<std::string_view> names_;
    std::uint32_t last_ = 0;
};

Role sister_role(const SisterClades* sisters, const Phylogeny_Node* node) {
    if (sisters == nullptr) return Role::kOther;
    for (std::size_t i = 0; i < 2; ++i) {
        for (const Phylogeny_Node* clade : (*sisters)[i]) {
            if (clade == node) return i == 0 ? Role::kSister1 : Role::kSister2;
        }
    }
    return Role::kOther;
}

// Top-down: every node in preorder with its parent, its distance from the root and the role it
// inherits (the target clade, a sister clade); a leaf outside them is tested when no target
// clade was found. Answers whether any branch has a length.
bool flatten(const LayoutInput& in, Prefixes& prefixes, Flats& flats, std::uint32_t& target_flat) {
    struct Frame {
        const Phylogeny_Node* node;
        std::uint32_t parent;
        Role role;
        double x;
    };
    bool lengths = false;
    ChunkedStack<Frame> stack{{in.root, kNil, Role::kOther, 0.0}};
    while (!stack.empty()) {
        Frame f = stack.back();
        stack.pop_back();
        const Phylogeny_Node* n = f.node;
        if (n == in.target) {
            f.role = Role::kTarget;
            target_flat = static_cast<std::uint32_t>(flats.size());
        } else if (f.role == Role::kOther) {
            f.role = sister_role(in.sisters, n);
        }
        if (n->is_leaf && in.target == nullptr && in.is_target != nullptr && (*in.is_target)(n)) {
            f.role = Role::kTarget;
        }
        if (f.parent != kNil) {
            const double length = usable_length(n);
            lengths = lengths || length > 0;
            f.x += length;
        }
        const auto index = static_cast<std::uint32_t>(flats.size());
        Flat flat{};
        flat.parent = f.parent;
        flat.size = 1;
        flat.leaves = n->is_leaf ? 1 : 0;
        flat.prefix = n->is_leaf ? prefixes.number(n) : kNil;
        flat.x = flat.reach = static_cast<float>(f.x);
        flat.role = f.role;
        flat.has_target = n->is_leaf && f.role == Role::kTarget;
        flats.push_back(flat);
        if (n->right != nullptr) stack.push_back({n->right, index, f.role, f.x});
        if (n->left != nullptr) stack.push_back({n->left, index, f.role, f.x});
    }
    return lengths;
}

// Bottom-up: each node's subtree size, leaves, farthest leaf, and the role and prefix its leaves
// share.
void gather(Flats& flats) {
    for (std::size_t i = flats.size(); i-- > 1;) {
        const Flat& f = flats[i];
        Flat& p = flats[f.parent];
        p.size += f.size;
        p.leaves += f.leaves;
        p.has_target = p.has_target || f.has_target;
        p.reach = std::max(p.reach, f.reach);
        if (!p.seen) {
            p.seen = true;
            p.role = f.role;
            p.prefix = f.prefix;
            continue;
        }
        if (p.role != f.role) p.role = Role::kOther;
        if (p.prefix != f.prefix) p.prefix = kNil;
    }
}

// The tips and the nodes above them: in a big tree, the target clade and every largest subtree
// of one prefix without a target leaf become wedges. Answers the number of tips.
std::size_t reduce(Flats& flats, std::uint32_t target_flat) {
    const bool big = flats[0].leaves > kAllLeaves;
    std::size_t tips = 0;
    for (std::uint32_t i = 0; i < flats.size();) {
        Flat& f = flats[i];
        f.drawn = true;
        if (f.size == 1) {
            f.tip = Tip::kLeaf;
        } else if (big && i == target_flat) {
            f.tip = Tip::kTargetWedge;
        } else if (big && !f.has_target && f.prefix != kNil) {
            f.tip = Tip::kWedge;
        }
        if (f.parent != kNil) {
            ++flats[f.parent].children;
            if (f.tip == Tip::kNone) ++flats[f.parent].open;
        }
        if (f.tip == Tip::kNone) {
            ++i;
        } else {
            ++tips;
            i += f.size;
        }
    }
    return tips;
}

// Merges the deepest subtrees into `mixed` tips until at most kMaxTips tips remain: a node whose
// children are all tips becomes one, deepest first; the path down to the target waits until
// nothing else is left. Linear: merging a node can only make its parent, one level up, ready.
std::size_t merge_deepest(Flats& flats, std::size_t& tips) {
    std::vector<std::uint32_t> depth(flats.size(), 0);
    std::uint32_t deepest = 0;
    for (std::size_t k = 1; k < flats.size(); ++k) {
        if (!flats[k].drawn) continue;
        depth[k] = depth[flats[k].parent] + 1;
        deepest = std::max(deepest, depth[k]);
    }
    std::vector<std::uint32_t> head(std::size_t{deepest} + 1), next(flats.size());
    const auto ready = [&](std::uint32_t k, bool keep_path) {
        const Flat& f = flats[k];
        if (!f.drawn || f.tip != Tip::kNone || f.open != 0 || (keep_path && f.kept)) return;
        next[k] = head[depth[k]];
        head[depth[k]] = k;
    };
    std::size_t merged = 0;
    for (const bool keep_path : {true, false}) {
        std::fill(head.begin(), head.end(), kNil);
        for (std::uint32_t k = 0; k < flats.size(); ++k)
            ready(k, keep_path);
        for (std::uint32_t d = deepest + 1; d-- > 0 && tips > kMaxTips;) {
            while (head[d] != kNil && tips > kMaxTips) {
                const std::uint32_t k = head[d];
                head[d] = next[k];
                flats[k].tip = Tip::kMixed;
                tips -= flats[k].children - 1u;
                ++merged;
                if (flats[k].parent == kNil) continue;
                --flats[flats[k].parent].open;
                ready(flats[k].parent, keep_path);
            }
        }
    }
    return merged;
}

// A tip's text: a leaf's name, or a wedge's name and its number of leaves.
std::string tip_label(const Prefixes& prefixes, const Flat& f, const Phylogeny_Node* node,
                      const LayoutInput& in) {
    const Tip tip = f.tip;
    const std::string count = " (" + std::to_string(f.leaves) + ")";
    switch (tip) {
        case Tip::kLeaf:
            return node->name;
        case Tip::kWedge:
            return std::string(prefixes.name(f.prefix)) + count;
        case Tip::kTargetWedge:
            return in.target_label + count;
        case Tip::kMixed:
            return "mixed" + count;
        case Tip::kNone:
            break;
    }
    return std::string();
}

// The nodes drawn, in preorder: the tree without what lies inside its tips. Answers the index
// of the target's node, or -1 when it lies inside a tip.
std::int64_t emit(const Flats& flats, const Prefixes& prefixes, std::uint32_t target_flat,
                  const LayoutInput& in, DrawnTree& out) {
    std::int64_t target = -1;
    ChunkedStack<std::uint32_t> open;     // the drawn internal nodes around, by flat index
    std::vector<std::uint32_t> drawn_at;  // their indexes in `out`, in step with `open`
    for (std::uint32_t i = 0; i < flats.size();) {
        const Flat& f = flats[i];
        while (!open.empty() && open.back() + flats[open.back()].size <= i) {
            open.pop_back();
            drawn_at.pop_back();
        }
        const auto index = static_cast<std::uint32_t>(out.nodes.size());
        if (i == target_flat) target = index;
        DrawnNode d;
        d.parent = drawn_at.empty() ? index : drawn_at.back();
        if (drawn_at.empty()) {
            d.node = in.root;
        } else {
            // A node's first child follows it in preorder.
            const Phylogeny_Node* parent = out.nodes[d.parent].node;
            const bool first = i == open.back() + 1 && parent->left != nullptr;
            d.node = first ? parent->left : parent->right;
        }
        d.tip = f.tip;
        d.role = f.role;
        d.leaves = f.leaves;
        d.x = f.x;
        d.far_x = f.reach;
        d.label = tip_label(prefixes, f, d.node, in);
        out.nodes.push_back(std::move(d));
        if (f.tip == Tip::kNone) {
            open.push_back(i);
            drawn_at.push_back(index);
            ++i;
        } else {
            i += f.size;
        }
    }
    return target;
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
        case Role::kOther:
            break;
    }
    return "other";
}

DrawnTree lay_out(const LayoutInput& in) {
    DrawnTree out;
    if (in.root == nullptr) return out;
    Flats flats;
    Prefixes prefixes(in.separator);
    std::uint32_t target_flat = kNil;
    out.lengths = flatten(in, prefixes, flats, target_flat);
    gather(flats);
    out.leaves = flats[0].leaves;
    out.tips = reduce(flats, target_flat);
    for (std::uint32_t k = target_flat; k != kNil; k = flats[k].parent)
        flats[k].kept = true;
    if (out.tips > kMaxTips) out.merged = merge_deepest(flats, out.tips);
    out.target = emit(flats, prefixes, target_flat, in, out);
    place(out);
    return out;
}

}  // namespace tavrin
