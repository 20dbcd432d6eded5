#include "draw/layout.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <memory>
#include <numeric>
#include <string_view>
#include <unordered_map>
#include <utility>

#include "platform/chunked_stack.h"
#include "platform/huge_pages.h"

namespace tavrin {
namespace {

constexpr std::uint32_t kNil = std::numeric_limits<std::uint32_t>::max();

// One node of the whole tree, in the order of a walk from the root that visits a node before its
// children (so that a subtree is the range of nodes after its root): filled top-down (parent,
// depth or x, inherited role), then bottom-up (size, the role and leaf prefix its leaves share),
// then the tips drawn. Small, since a big tree has millions: every internal node has two children
// (the readers make them so), so a subtree of `size` nodes has (size + 1) / 2 leaves.
struct Flat {
    std::uint32_t parent;  // kNil at the root
    std::uint32_t size;    // nodes in its subtree, itself included: 1 for a leaf
    // The number of the leaf prefix all leaves below share, or kNil; while the deepest subtrees
    // are merged, a drawn internal node's next in its bucket instead.
    std::uint32_t prefix;
    // A node with children keeps its depth (edges from the root), which the merge of the
    // deepest subtrees needs; a leaf its distance from the root, which a wedge's reach needs (no
    // node lies farther than its farthest leaf). The picture's walk finds x again for the rest.
    union {
        std::uint32_t depth;
        float x;
    };
    Role role;
    Tip tip;              // of a node drawn
    std::uint8_t flags;   // kHasTarget, kSeen, kKept, kRightFirst
    std::uint8_t counts;  // children drawn, and of them (high nibble) those that are not tips

    bool has(std::uint8_t flag) const { return (flags & flag) != 0; }
    std::uint32_t leaves() const { return (size + 1) / 2; }
    unsigned children() const { return counts & 0xfu; }
    unsigned open() const { return counts >> 4; }
};
static_assert(sizeof(Flat) == 20, "a node of the layout stays small");
constexpr std::uint8_t kHasTarget = 1;    // a target leaf lies below
constexpr std::uint8_t kSeen = 2;         // a child was folded in already
constexpr std::uint8_t kKept = 8;         // on the path to the target: merged last
constexpr std::uint8_t kRightFirst = 16;  // its right child comes first in the array
constexpr std::uint8_t kOneChild = 1;     // added to `counts` for a child drawn
constexpr std::uint8_t kOneOpen = 16;     // and for one that is not a tip

// An array grown by fixed chunks: nothing is copied as it grows, so a big tree's array never
// needs a second, larger copy of itself. The nodes are plain values, written before they are
// read.
class Flats {
public:
    static constexpr std::size_t kShift = 17;
    static constexpr std::size_t kChunk = std::size_t{1} << kShift;

    Flats() = default;
    ~Flats() {
        for (std::size_t c = 0; c < chunks_.size(); c += kPerBlock)
            release_buffer(chunks_[c], kBlockBytes);
    }
    Flats(const Flats&) = delete;
    Flats& operator=(const Flats&) = delete;

    Flat& operator[](std::size_t i) { return chunks_[i >> kShift][i & kMask]; }
    const Flat& operator[](std::size_t i) const { return chunks_[i >> kShift][i & kMask]; }
    std::size_t size() const { return size_; }
    void push_back(const Flat& flat) {
        if (next_ == end_) grow();
        *next_++ = flat;
        ++size_;
    }

private:
    static constexpr std::size_t kMask = kChunk - 1;
    // Chunks are allocated kPerBlock at a time, in a block of whole huge pages: every page the
    // system clears for the array is filled.
    static constexpr std::size_t kChunkBytes = sizeof(Flat) << kShift;
    static constexpr std::size_t kPerBlock = kHugePageSize / std::gcd(kChunkBytes, kHugePageSize);
    static constexpr std::size_t kBlockBytes = kChunkBytes * kPerBlock;

    void grow() {
        const std::size_t in_block = chunks_.size() % kPerBlock;
        if (in_block == 0) block_ = static_cast<Flat*>(allocate_buffer(kBlockBytes));
        chunks_.push_back(block_ + in_block * kChunk);
        next_ = chunks_.back();
        end_ = next_ + kChunk;
    }

    std::vector<Flat*> chunks_;
    Flat* block_ = nullptr;  // the block of the last chunk
    Flat* next_ = nullptr;
    Flat* end_ = nullptr;
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
        // The last leaf's prefix first: when the name starts with it and then ends or has the
        // separator, it is this name's prefix too (a prefix holds no separator).
        if (last_ != kNil) {
            const std::string_view last = names_[last_];
            if (name.size() >= last.size() &&
                (name.size() == last.size() || name[last.size()] == separator_) &&
                name.compare(0, last.size(), last) == 0)
                return last_;
        }
        last_ = number_of(name.substr(0, name.find(separator_)));
        return last_;
    }
    std::string_view name(std::uint32_t number) const { return names_[number]; }

private:
    std::uint32_t number_of(std::string_view prefix) {
        // Neighbouring leaves mostly share their prefix, or one of a few.
        std::uint32_t& recent = recent_[slot(prefix)];
        if (recent != kNil && names_[recent] == prefix) return recent;
        const auto added = numbers_.emplace(prefix, static_cast<std::uint32_t>(names_.size()));
        if (added.second) names_.push_back(prefix);
        recent = added.first->second;
        return recent;
    }

    char separator_;
    std::uint32_t last_ = kNil;  // the number of the last leaf's prefix
    std::unordered_map<std::string_view, std::uint32_t> numbers_;
    std::vector<std::string_view> names_;
    std::array<std::uint32_t, 16> recent_ = make_recent();

    static std::array<std::uint32_t, 16> make_recent() {
        std::array<std::uint32_t, 16> recent;
        recent.fill(kNil);
        return recent;
    }
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
            for (const Phylogeny_Node* clade : (*sisters)[i]) {
                roots_.push_back({clade, i == 0 ? Role::kSister1 : Role::kSister2});
                const std::uint32_t h = hash(clade);
                filter_[h >> 6] |= std::uint64_t{1} << (h & 63);
            }
        }
    }

    Role role_of(const Phylogeny_Node* node) const {
        const std::uint32_t h = hash(node);
        if ((filter_[h >> 6] & (std::uint64_t{1} << (h & 63))) == 0) return Role::kOther;
        for (const Root& root : roots_) {
            if (root.node == node) return root.role;
        }
        return Role::kOther;
    }

private:
    struct Root {
        const Phylogeny_Node* node;
        Role role;
    };
    static constexpr unsigned kFilterBits = 12;
    // One of the filter's bits, from the node's address.
    static std::uint32_t hash(const Phylogeny_Node* node) {
        const auto address = reinterpret_cast<std::uintptr_t>(node) >> 4;
        return static_cast<std::uint32_t>((address * 0x9E3779B97F4A7C15ull) >> (64 - kFilterBits));
    }
    std::vector<Root> roots_;
    std::array<std::uint64_t, (std::size_t{1} << kFilterBits) / 64> filter_{};
};

// Top-down: every node in preorder with its parent, its distance from the root and the role it
// inherits (the target clade, a sister clade); a leaf outside them is tested when no target
// clade was found. Answers whether any branch has a length.
bool flatten(const LayoutInput& in, Prefixes& prefixes, Flats& flats, std::uint32_t& target_flat) {
    struct Frame {
        const Phylogeny_Node* node;
        std::uint32_t parent;
        std::uint32_t depth;
        Role role;
        double x;
    };
    bool lengths = false;
    const SisterRoots sisters(in.sisters);
    const bool test_leaves = in.target == nullptr && in.is_target != nullptr;
    ChunkedStack<Frame> stack;
    Frame f{in.root, kNil, 0, Role::kOther, 0.0};
    for (;;) {
        const Phylogeny_Node* n = f.node;
        if (n == in.target) {
            f.role = Role::kTarget;
            target_flat = static_cast<std::uint32_t>(flats.size());
        } else if (f.role == Role::kOther) {
            f.role = sisters.role_of(n);
        }
        if (test_leaves && n->is_leaf && (*in.is_target)(n)) f.role = Role::kTarget;
        if (f.parent != kNil) {
            const double length = usable_length(n);
            lengths = lengths || length > 0;
            f.x += length;
        }
        const auto index = static_cast<std::uint32_t>(flats.size());
        // A leaf child goes first, so that a ladder's leaves never wait on the stack.
        const bool right_first =
            n->left != nullptr && n->right != nullptr && n->right->is_leaf && !n->left->is_leaf;
        Flat flat{};
        flat.parent = f.parent;
        flat.size = 1;
        flat.prefix = n->is_leaf ? prefixes.number(n) : kNil;
        if (n->left != nullptr || n->right != nullptr) {
            flat.depth = f.depth;
        } else {
            flat.x = static_cast<float>(f.x);
        }
        flat.role = f.role;
        flat.flags =
            static_cast<std::uint8_t>((n->is_leaf && f.role == Role::kTarget ? kHasTarget : 0) |
                                      (right_first ? kRightFirst : 0));
        flats.push_back(flat);
        const Phylogeny_Node* later = right_first ? n->left : n->right;
        const Phylogeny_Node* first = right_first ? n->right : n->left;
        // The first child is walked next, straight away; the other waits on the stack.
        if (first != nullptr) {
            if (later != nullptr) stack.push_back({later, index, f.depth + 1, f.role, f.x});
            f = {first, index, f.depth + 1, f.role, f.x};
            continue;
        }
        if (later != nullptr) {
            f = {later, index, f.depth + 1, f.role, f.x};
            continue;
        }
        if (stack.empty()) break;
        f = stack.back();
        stack.pop_back();
    }
    return lengths;
}

// Bottom-up: each node's subtree size, and the role and prefix its leaves share. The nodes
// are read a chunk at a time, from the last.
void gather(Flats& flats) {
    for (std::size_t end = flats.size(); end > 1;) {
        const std::size_t first = std::max<std::size_t>((end - 1) & ~(Flats::kChunk - 1), 1);
        const Flat* chunk = &flats[first];
        for (std::size_t i = end; i-- > first;) {
            const Flat& f = chunk[i - first];
            Flat& p = flats[f.parent];
            p.size += f.size;
            p.flags |= f.flags & kHasTarget;
            if (!p.has(kSeen)) {
                p.flags |= kSeen;
                p.role = f.role;
                p.prefix = f.prefix;
                continue;
            }
            if (p.role != f.role) p.role = Role::kOther;
            if (p.prefix != f.prefix) p.prefix = kNil;
        }
        end = first;
    }
}

// The tips and the nodes above them: in a big tree, the target clade and every largest subtree
// of one prefix without a target leaf become wedges. Answers the number of tips; `deepest` is
// the depth of the deepest node drawn.
std::size_t reduce(Flats& flats, std::uint32_t target_flat, std::uint32_t& deepest) {
    const bool big = flats[0].leaves() > kAllLeaves;
    std::size_t tips = 0;
    deepest = 0;
    for (std::uint32_t i = 0; i < flats.size();) {
        Flat& f = flats[i];
        if (f.size > 1) deepest = std::max(deepest, f.depth);
        if (f.size == 1) {
            f.tip = Tip::kLeaf;
        } else if (big && i == target_flat) {
            f.tip = Tip::kTargetWedge;
        } else if (big && !f.has(kHasTarget) && f.prefix != kNil) {
            f.tip = Tip::kWedge;
        }
        if (f.parent != kNil)
            flats[f.parent].counts += f.tip == Tip::kNone ? kOneChild + kOneOpen : kOneChild;
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
std::size_t merge_deepest(Flats& flats, std::uint32_t deepest, std::size_t& tips) {
    // Buckets by depth, linked through the nodes' `prefix`, which a node merged no longer needs.
    std::vector<std::uint32_t> head(std::size_t{deepest} + 1, kNil);
    // Only nodes drawn are ever ready: the scans skip what lies inside a tip.
    const auto ready = [&](Flat& f, std::uint32_t k, bool keep_path) {
        if (f.tip != Tip::kNone || f.open() != 0) return;
        if (keep_path && f.has(kKept)) return;
        f.prefix = head[f.depth];
        head[f.depth] = k;
    };
    std::size_t merged = 0;
    for (const bool keep_path : {true, false}) {
        if (tips <= kMaxTips) break;
        if (!keep_path) std::fill(head.begin(), head.end(), kNil);
        for (std::uint32_t k = 0; k < flats.size();) {
            Flat& f = flats[k];
            if (f.tip != Tip::kNone) {
                k += f.size;
                continue;
            }
            ready(f, k, keep_path);
            ++k;
        }
        for (std::uint32_t d = deepest + 1; d-- > 0 && tips > kMaxTips;) {
            while (head[d] != kNil && tips > kMaxTips) {
                const std::uint32_t k = head[d];
                Flat& f = flats[k];
                head[d] = f.prefix;
                f.tip = Tip::kMixed;
                tips -= f.children() - 1u;
                ++merged;
                if (f.parent == kNil) continue;
                Flat& parent = flats[f.parent];
                parent.counts -= kOneOpen;
                ready(parent, f.parent, keep_path);
            }
        }
    }
    return merged;
}

// The distance from the root of the farthest leaf below node `i`, itself at `x`: its subtree is
// the range of nodes that follows it, read a chunk at a time.
float reach(const Flats& flats, std::uint32_t i, float x) {
    float farthest = x;
    const std::size_t end = std::size_t{i} + flats[i].size;
    for (std::size_t first = i; first < end;) {
        const std::size_t last = std::min(end, (first | (Flats::kChunk - 1)) + 1);
        const Flat* chunk = &flats[first];
        for (std::size_t k = 0; k < last - first; ++k) {
            if (chunk[k].size == 1) farthest = std::max(farthest, chunk[k].x);
        }
        first = last;
    }
    return farthest;
}

// A tip's text: a leaf's name, or a wedge's name and its number of leaves.
std::string tip_label(const Prefixes& prefixes, const Flat& f, const Phylogeny_Node* node,
                      const LayoutInput& in) {
    const Tip tip = f.tip;
    const std::string count = " (" + std::to_string(f.leaves()) + ")";
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
    struct Frame {
        std::uint32_t flat;
        std::uint32_t parent;  // in `out`; kNil for the root
        const Phylogeny_Node* node;
        double x;  // from the root, summed as the layout's first walk sums it
    };
    std::int64_t target = -1;
    ChunkedStack<Frame> stack{{0, kNil, in.root, 0.0}};
    while (!stack.empty()) {
        const Frame at = stack.back();
        stack.pop_back();
        const Flat& f = flats[at.flat];
        const auto index = static_cast<std::uint32_t>(out.nodes.size());
        if (at.flat == target_flat) target = index;
        DrawnNode d;
        d.node = at.node;
        d.parent = at.parent == kNil ? index : at.parent;
        d.tip = f.tip;
        d.role = f.role;
        d.leaves = f.leaves();
        const float x = static_cast<float>(at.x);
        d.x = x;
        d.far_x = f.tip == Tip::kNone || f.tip == Tip::kLeaf ? x : reach(flats, at.flat, x);
        d.label = tip_label(prefixes, f, d.node, in);
        out.nodes.push_back(std::move(d));
        if (f.tip != Tip::kNone) continue;
        // The children's places in the array: the first right after the node, the other after
        // the first's subtree.
        const std::uint32_t first = at.flat + 1;
        const std::uint32_t second = first + flats[first].size;
        const bool right_first = f.has(kRightFirst);
        const Phylogeny_Node* n = at.node;
        if (n->right != nullptr) {
            stack.push_back({n->left == nullptr || right_first ? first : second, index, n->right,
                             at.x + usable_length(n->right)});
        }
        if (n->left != nullptr)
            stack.push_back(
                {right_first ? second : first, index, n->left, at.x + usable_length(n->left)});
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
    out.leaves = flats[0].leaves();
    std::uint32_t deepest = 0;
    out.tips = reduce(flats, target_flat, deepest);
    for (std::uint32_t k = target_flat; k != kNil; k = flats[k].parent)
        flats[k].flags |= kKept;
    if (out.tips > kMaxTips) out.merged = merge_deepest(flats, deepest, out.tips);
    out.target = emit(flats, prefixes, target_flat, in, out);
    place(out);
    return out;
}

}  // namespace tavrin
