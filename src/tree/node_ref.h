// A handle on one node of a tree: how the steps that walk, root and name a tree read and change
// its nodes. The steps go through these calls rather than the node's fields, so that what they
// do does not depend on how the nodes are stored.
//
// Two stores hold nodes. The model's nodes (`Phylogeny_Node`, one allocation each, with the
// fields the contract names) are what the contract library and the tests build, and what the
// programs read small trees into. A big tree read for the programs keeps its nodes compact
// instead: 32 bytes each, in one array per tree (CompactStore), links written as distances
// within that array, leaf names as views of the tree's text. A NodeRef tells the two apart by
// its lowest bit; ModelRef and CompactRef each hold one kind.
#ifndef TAVRIN_TREE_NODE_REF_H
#define TAVRIN_TREE_NODE_REF_H

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <functional>
#include <limits>
#include <memory>
#include <new>
#include <string_view>
#include <vector>

#include "tree/numbers.h"
#include "tree/phylogeny.h"

namespace tavrin {

class TreeChanges;

// A node of a compact tree. Links are distances in nodes from this one (0: none), so that they
// hold however the array is placed. A leaf keeps its name where an inner node keeps its
// support: a leaf's support is always 0. The reader leaves a length or a support as the text it
// was written as (a NaN no arithmetic makes, pointing into the tree's text: CompactRef), read
// when a step asks for it; the names' packing reads them all before the text is reused.
static_assert(std::numeric_limits<double>::is_iec559, "a number kept as text is a NaN");
struct CompactNode {
    double length;
    union {
        double support;    // inner node
        const char* name;  // leaf: its first byte, in the tree's text (or a copy, CompactStore)
    };
    std::int32_t parent;
    std::int32_t left;
    std::int32_t right;
    // A leaf's bit, the size of its name and its prefix number (CompactRef); an inner node's
    // number is none.
    std::uint32_t key;
};

class NodeRef;

// What every handle does with the calls below, the same for each kind of node.
template <typename Ref>
class RefSteps {
public:
    // Puts `child` in the slot of this node that holds `old_child`: the left one when it holds
    // it there, else the right one.
    void replace_child(Ref old_child, Ref child) const {
        if (self().left() == old_child) {
            self().set_left(child);
        } else {
            self().set_right(child);
        }
    }
    // The child of this node that is not `child`: its right child when `child` is its left one,
    // else its left one.
    Ref other_child(Ref child) const {
        return self().left() == child ? self().right() : self().left();
    }
    // The other child of this node's parent; the node must have a parent.
    Ref sibling() const { return self().parent().other_child(self()); }

private:
    const Ref& self() const { return static_cast<const Ref&>(*this); }
};

// A handle on a node of the model.
class ModelRef : public RefSteps<ModelRef> {
public:
    ModelRef() = default;
    ModelRef(std::nullptr_t) : n_(nullptr) {}  // NOLINT: absent, as a null pointer is
    explicit ModelRef(Phylogeny_Node* node) : n_(node) {}

    explicit operator bool() const { return n_ != nullptr; }
    friend bool operator==(ModelRef a, ModelRef b) { return a.n_ == b.n_; }
    friend bool operator!=(ModelRef a, ModelRef b) { return a.n_ != b.n_; }

    ModelRef left() const { return ModelRef(n_->left); }
    ModelRef right() const { return ModelRef(n_->right); }
    ModelRef parent() const { return ModelRef(n_->parent); }
    bool is_leaf() const { return n_->is_leaf; }
    double length() const { return n_->length; }
    double settled_length() const { return n_->length; }
    double support() const { return n_->support; }
    std::string_view name() const { return n_->name; }
    std::uint32_t leaf_key() const { return n_->leaf_key; }

    void set_left(ModelRef child) const { n_->left = child.n_; }
    void set_right(ModelRef child) const { n_->right = child.n_; }
    void set_parent(ModelRef parent) const { n_->parent = parent.n_; }
    void set_length(double length) const { n_->length = length; }
    void set_inner() const { n_->is_leaf = false; }
    void set_support(double support) const { n_->support = support; }
    void set_leaf_key(std::uint32_t key) const { n_->leaf_key = key; }

    Phylogeny_Node* get() const { return n_; }
    std::uintptr_t identity() const { return reinterpret_cast<std::uintptr_t>(n_); }

private:
    Phylogeny_Node* n_;
};

// A handle on a node of a compact tree.
class CompactRef : public RefSteps<CompactRef> {
public:
    // The bits of a node's key: the leaf bit, the size of a leaf's name, and its prefix number
    // (kNoKey: none), which the number of prefixes a table keeps (LeafKeys) stays below. A name
    // of kLongName bytes or more is a copy written after its size (4 bytes).
    static constexpr std::uint32_t kLeafBit = 0x80000000u;
    static constexpr unsigned kSizeShift = 13;
    static constexpr std::uint32_t kLongName = 0x3FFFFu;
    static constexpr std::uint32_t kNoKey = 0x1FFFu;

    CompactRef() = default;
    CompactRef(std::nullptr_t) : n_(nullptr) {}  // NOLINT: absent, as a null pointer is
    explicit CompactRef(CompactNode* node) : n_(node) {}

    explicit operator bool() const { return n_ != nullptr; }
    friend bool operator==(CompactRef a, CompactRef b) { return a.n_ == b.n_; }
    friend bool operator!=(CompactRef a, CompactRef b) { return a.n_ != b.n_; }

    CompactRef left() const { return link(n_->left); }
    CompactRef right() const { return link(n_->right); }
    CompactRef parent() const { return link(n_->parent); }
    bool is_leaf() const { return (n_->key & kLeafBit) != 0; }
    double length() const { return number(n_->length); }
    // The length of a node of a tree whose numbers have all been read (CompactStore::pack_names),
    // as the walks that read every length many times ask for it.
    double settled_length() const { return n_->length; }
    // A leaf's support is always 0: its place holds the name.
    double support() const { return is_leaf() ? 0 : number(n_->support); }
    std::string_view name() const {
        if (!is_leaf()) return {};
        std::uint32_t size = (n_->key >> kSizeShift) & kLongName;
        if (size != kLongName) return {n_->name, size};
        std::memcpy(&size, n_->name, sizeof size);
        return {n_->name + sizeof size, size};
    }
    std::uint32_t leaf_key() const {
        const std::uint32_t key = n_->key & kNoKey;
        return key == kNoKey ? kNoLeafKey : key;
    }

    void set_left(CompactRef child) const { n_->left = distance_to(child); }
    void set_right(CompactRef child) const { n_->right = distance_to(child); }
    void set_parent(CompactRef parent) const { n_->parent = distance_to(parent); }
    void set_length(double length) const { n_->length = length; }
    // The length or support written as the text [first, last), read (as read_number reads it)
    // when asked for. The text must stay where it is until then.
    void set_length_text(const char* first, const char* last) const {
        keep_text(n_->length, first, last);
    }
    void set_support_text(const char* first, const char* last) const {
        if (!is_leaf()) keep_text(n_->support, first, last);
    }
    // Reads a length and a support still kept as text, now.
    void settle_numbers() const {
        settle(n_->length);
        if (!is_leaf()) settle(n_->support);
    }
    // Makes the node an inner one: its name's place is its support again, 0.
    void set_inner() const {
        if (!is_leaf()) return;
        n_->key = kNoKey;
        n_->support = 0;
    }
    // A leaf's support stays 0 (its place holds the name).
    void set_support(double support) const {
        if (!is_leaf()) n_->support = support;
    }
    // A number past those a key holds leaves the node without one.
    void set_leaf_key(std::uint32_t key) const {
        n_->key = (n_->key & ~kNoKey) | (key < kNoKey ? key : kNoKey);
    }

    CompactNode* get() const { return n_; }
    // Odd, where a model node's is even: the two kinds never share one.
    std::uintptr_t identity() const { return reinterpret_cast<std::uintptr_t>(n_) | 1u; }

private:
    // A number kept as text: a negative signalling NaN whose payload holds the text's size
    // (bits 42 to 49) and its distance in bytes from the node (bits 0 to 41, two's complement).
    static constexpr std::uint64_t kTextMask = 0xFFFC000000000000u;
    static constexpr std::uint64_t kTextTag = 0xFFF4000000000000u;
    static constexpr unsigned kTextSizeShift = 42;
    static constexpr std::int64_t kTextReach = std::int64_t{1} << 41;

    static std::uint64_t bits_of(const double& slot) {
        std::uint64_t bits = 0;
        std::memcpy(&bits, &slot, sizeof bits);
        return bits;
    }
    static bool kept_as_text(std::uint64_t bits) { return (bits & kTextMask) == kTextTag; }
    double number(const double& slot) const {
        const std::uint64_t bits = bits_of(slot);
        return kept_as_text(bits) ? number_from_text(bits) : slot;
    }
    double number_from_text(std::uint64_t bits) const;
    void settle(double& slot) const {
        const std::uint64_t bits = bits_of(slot);
        if (kept_as_text(bits)) slot = number_from_text(bits);
    }
    // A text too long for the payload, or too far from the node, is read at once.
    void keep_text(double& slot, const char* first, const char* last) const {
        const std::ptrdiff_t size = last - first;
        const std::int64_t distance =
            reinterpret_cast<std::intptr_t>(first) - reinterpret_cast<std::intptr_t>(n_);
        if (size <= 0 || size > 0xFF || distance <= -kTextReach || distance >= kTextReach) {
            slot = read_number(first, last);
            return;
        }
        const std::uint64_t bits =
            kTextTag | static_cast<std::uint64_t>(size) << kTextSizeShift |
            (static_cast<std::uint64_t>(distance) & ((std::uint64_t{1} << kTextSizeShift) - 1));
        std::memcpy(&slot, &bits, sizeof bits);
    }

    CompactRef link(std::int32_t distance) const {
        return distance == 0 ? CompactRef(nullptr) : CompactRef(n_ + distance);
    }
    std::int32_t distance_to(CompactRef other) const {
        return other.n_ == nullptr ? 0 : static_cast<std::int32_t>(other.n_ - n_);
    }

    CompactNode* n_;
};

// A handle on a node of either kind. It tells them apart by its lowest bit, and hands each call
// to the handle of the node's own kind. A walk that reads many nodes may ask once for that
// handle instead (with_kind), and so test the kind once.
class NodeRef : public RefSteps<NodeRef> {
public:
    // Trivial, as a pointer is: a handle made without a value has none until it is given one, and
    // vectors of handles move as raw memory.
    NodeRef() = default;
    NodeRef(std::nullptr_t) : bits_(0) {}  // NOLINT: absent, as a null pointer is
    NodeRef(Phylogeny_Node* node) : bits_(reinterpret_cast<std::uintptr_t>(node)) {}  // NOLINT
    NodeRef(const Phylogeny_Node* node)  // NOLINT: the model's nodes are handles
        : bits_(reinterpret_cast<std::uintptr_t>(node)) {}
    NodeRef(ModelRef node) : bits_(node.identity()) {}  // NOLINT: a handle of one kind is one
    NodeRef(CompactRef node)                            // NOLINT
        : bits_(node == nullptr ? 0 : node.identity()) {}

    explicit operator bool() const { return bits_ != 0; }
    friend bool operator==(NodeRef a, NodeRef b) { return a.bits_ == b.bits_; }
    friend bool operator!=(NodeRef a, NodeRef b) { return a.bits_ != b.bits_; }
    // An order of the nodes, for ordered containers; not an order of the tree.
    friend bool operator<(NodeRef a, NodeRef b) { return a.bits_ < b.bits_; }

    NodeRef left() const { return compact() ? NodeRef(c().left()) : NodeRef(m().left()); }
    NodeRef right() const { return compact() ? NodeRef(c().right()) : NodeRef(m().right()); }
    NodeRef parent() const { return compact() ? NodeRef(c().parent()) : NodeRef(m().parent()); }
    bool is_leaf() const { return compact() ? c().is_leaf() : m().is_leaf(); }
    double length() const { return compact() ? c().length() : m().length(); }
    double support() const { return compact() ? c().support() : m().support(); }
    std::string_view name() const { return compact() ? c().name() : m().name(); }
    std::uint32_t leaf_key() const { return compact() ? c().leaf_key() : m().leaf_key(); }

    void set_left(NodeRef child) const {
        compact() ? c().set_left(child.c()) : m().set_left(child.m());
    }
    void set_right(NodeRef child) const {
        compact() ? c().set_right(child.c()) : m().set_right(child.m());
    }
    void set_parent(NodeRef parent) const {
        compact() ? c().set_parent(parent.c()) : m().set_parent(parent.m());
    }
    void set_length(double length) const {
        compact() ? c().set_length(length) : m().set_length(length);
    }
    // Makes the node an inner one (of a compact tree: its name's place is its support again, 0).
    void set_inner() const { compact() ? c().set_inner() : m().set_inner(); }
    // A leaf's support stays 0 in a compact tree (its place holds the name).
    void set_support(double support) const {
        compact() ? c().set_support(support) : m().set_support(support);
    }
    void set_leaf_key(std::uint32_t key) const {
        compact() ? c().set_leaf_key(key) : m().set_leaf_key(key);
    }

    // Whether the node is one of a compact tree.
    bool compact() const { return (bits_ & 1u) != 0; }
    // The handle of the node's own kind (an absent node is of the model's).
    ModelRef as_model() const { return m(); }
    CompactRef as_compact() const { return c(); }
    // The node of the model this handle names; absent for a node of a compact tree.
    Phylogeny_Node* get() const { return compact() ? nullptr : m().get(); }
    // A number that tells this node from every other node alive.
    std::uintptr_t identity() const { return bits_; }

private:
    ModelRef m() const { return ModelRef(reinterpret_cast<Phylogeny_Node*>(bits_)); }
    CompactRef c() const {
        return CompactRef(reinterpret_cast<CompactNode*>(bits_ & ~std::uintptr_t{1}));
    }

    std::uintptr_t bits_;
};

// Calls f(handle) with the handle of `node`'s own kind: for a walk that reads many nodes of one
// tree, which then tests their kind once. Both kinds must give f's result the same type.
template <typename F>
decltype(auto) with_kind(NodeRef node, F&& f) {
    return node.compact() ? f(node.as_compact()) : f(node.as_model());
}

// The nodes of one compact tree, in one array that never moves: as many as the reader said it
// may make, with room for the few that rooting makes later. Nodes released go back to a list
// that the next made node takes from. The tree's text stays with it: its leaves' names are
// views of it.
// Memory lent for a while: `size` bytes at `data`, for plain values.
struct SpareRoom {
    void* data = nullptr;
    std::size_t size = 0;
};

class CompactStore {
public:
    // Room for `capacity` nodes of the tree written in `text`.
    CompactStore(std::size_t capacity, std::string text);
    ~CompactStore();
    CompactStore(const CompactStore&) = delete;
    CompactStore& operator=(const CompactStore&) = delete;

    // A new node with no links, no name and zero values, as the model's default node is.
    NodeRef make() {
        std::size_t index = used_;
        if (!free_.empty()) {
            index = free_.back();
            free_.pop_back();
        } else if (used_ == capacity_) {
            throw std::bad_alloc();  // callers that may overrun ask `full` first
        } else {
            ++used_;
        }
        CompactNode* node = nodes_ + index;
        node->length = 0;
        node->support = 0;
        node->parent = node->left = node->right = 0;
        node->key = CompactRef::kNoKey;
        return CompactRef(node);
    }
    void release(NodeRef node);
    // Drops every node made so far.
    void clear();
    // Makes `node` a leaf named `name`: a view of it when it lies in the text, else a copy.
    void name_leaf(NodeRef node, std::string_view name) {
        CompactNode* n = node.as_compact().get();
        const auto at = reinterpret_cast<std::uintptr_t>(name.data());
        const auto text = reinterpret_cast<std::uintptr_t>(text_.data());
        std::uint32_t size = static_cast<std::uint32_t>(name.size());
        if (name.size() < CompactRef::kLongName && at >= text && at - text <= live_ &&
            name.size() <= live_ - (at - text)) {
            n->name = name.data();
        } else {
            n->name = copy_name(name);
            size = CompactRef::kLongName;
        }
        n->key =
            CompactRef::kLeafBit | size << CompactRef::kSizeShift | (n->key & CompactRef::kNoKey);
    }
    const std::string& text() const { return text_; }
    // Whether the leaves lie in the array in the order of the text: so the one-pass reader makes
    // them, and the general reader, which makes both children before either's subtree, does not.
    bool leaves_in_text_order() const { return in_text_order_; }
    void mark_out_of_text_order() { in_text_order_ = false; }
    // Told by a reader that keeps numbers as text (ReadOptions::numbers_as_text).
    void mark_numbers_as_text() { text_numbers_ = true; }
    // Reads every length and support still kept as text, then moves the leaves' names to the
    // front of the text, in order: nothing else in the text is read again, and the rest is spare.
    // A step about to read every length, or to make large records of its own, calls it; it acts
    // once, and moves names only when the leaves are in text order (each name then moves towards
    // the front, never over one still to move).
    void pack_names();
    // The spare text, lent to one step at a time for records of its own: empty before packing,
    // and while lent. What the step leaves there is lost; it may give the pages back.
    SpareRoom lend_spare_text();
    void take_back_spare_text() { spare_lent_ = false; }
    // How many nodes the tree has made and not released.
    std::size_t size() const { return used_ - free_.size(); }
    // Whether `make` would find no room.
    bool full() const { return free_.empty() && used_ == capacity_; }

    NodeRef root = nullptr;

private:
    CompactNode* nodes_;
    std::size_t capacity_;
    std::size_t used_ = 0;
    bool in_text_order_ = true;
    bool text_numbers_ = false;  // the reader may have kept numbers as text
    bool settled_ = false;       // numbers read and, in text order, names packed
    bool packed_ = false;
    bool spare_lent_ = false;
    // The text a name may be a view of: all of it, then, once packed, up to the spare text.
    std::size_t live_ = 0;
    std::vector<std::uint32_t> free_;
    // A copy of `name` after its size (4 bytes), kept with the tree.
    const char* copy_name(std::string_view name);

    std::string text_;
    std::vector<std::unique_ptr<char[]>> copied_names_;
};

// What the steps do to a tree as a whole, beside its nodes: its root, and the nodes they take
// out of it or make and then drop.

// The root of `tree`, absent when it has none.
inline NodeRef root_of(const Phylogeny& tree) {
    return tree.compact_nodes ? tree.compact_nodes->root : NodeRef(tree.root);
}
inline void set_root(Phylogeny& tree, NodeRef root) {
    if (tree.compact_nodes) {
        tree.compact_nodes->root = root;
    } else {
        tree.root = root.get();
    }
}
// Hands over a node taken out of the tree, alone or with its subtree: it stays readable until the
// tree is released.
inline void retire_node(Phylogeny& tree, NodeRef node) {
    if (!tree.compact_nodes) tree.retire_node(node.get());
}
inline void retire_subtree(Phylogeny& tree, NodeRef node) {
    if (!tree.compact_nodes) tree.retire_subtree(node.get());
}
// A new node for `tree`, not yet linked into it: no links, no name, zero values.
inline NodeRef make_node(Phylogeny& tree) {
    if (tree.compact_nodes) return tree.compact_nodes->make();
    return new Phylogeny_Node();
}
// Releases a node that a step made for `tree` and no longer needs; its links must be cut first.
inline void release_node(Phylogeny& tree, NodeRef node) {
    if (tree.compact_nodes) {
        tree.compact_nodes->release(node);
    } else {
        delete node.get();
    }
}

// Places a new root on the edge between `a` and its child `b`, `r` being the current root, as
// Phylogeny::reroot does, and answers the new root, which the caller makes the tree's. With
// `keeping_values`, the values move the other way: each node of the reversed path takes the
// support and length its former child had as read, so that the old root ends with those of its
// child on the path (the new root takes a's values either way). With `changes`, what it changes
// is kept there.
NodeRef reroot_at(Phylogeny& tree, NodeRef a, NodeRef b, NodeRef r, TreeChanges* changes,
                  bool keeping_values = false);

}  // namespace tavrin

namespace std {
template <>
struct hash<tavrin::NodeRef> {
    size_t operator()(tavrin::NodeRef node) const noexcept {
        return hash<std::uintptr_t>()(node.identity());
    }
};
}  // namespace std

#endif  // TAVRIN_TREE_NODE_REF_H
