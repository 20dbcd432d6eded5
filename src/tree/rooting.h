// Rooting a tree read as unrooted: where a root goes (the midpoint, the side of an outgroup),
// moving it there with every support and length kept on its branch, and leaves taken out of the
// unrooted tree.
//
// The unrooted view of a rooted tree: the root goes, and its two branches become one, between
// the root's two children, whose support is the larger of the two children's supports and
// whose length is the sum of their lengths. Every other branch is named by its lower node and
// carries that node's support and length. A leaf's branch splits off one leaf and carries no
// support: a merged branch that ends in a leaf has support 0.
//
// Every walk here keeps its own stack or climbs the parent links, so a ladder of any depth
// is rooted without recursion, in time linear in the tree.
#ifndef TAVRIN_TREE_ROOTING_H
#define TAVRIN_TREE_ROOTING_H

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "tree/node_ref.h"
#include "tree/phylogeny.h"

namespace tavrin {

class TreeChanges;

// A point on a branch of the unrooted tree, where a root can go. The branch is named by `below`,
// its lower node in the tree (either child of the root for the merged branch); `below_part` is
// the length from the point to `below`, `above_part` the length from the point to the branch's
// other end.
struct RootPlace {
    NodeRef below = nullptr;
    double below_part = 0;
    double above_part = 0;
};

// The support and length of the branch that merges the two branches at the root of `tree`, whose
// root must have two children.
double merged_root_support(const Phylogeny& tree);
double merged_root_length(const Phylogeny& tree);

class SubtreeRecords;
class LeafRanges;

// The places of a tree where a root can go, found by walks over its nodes as they stand; the tree
// must stay unchanged while they are asked for. Each kind of place has its own walk, made the
// first time it is needed; the midpoint's walk can also show every leaf on its way
// (walk_for_midpoint), for a caller that may need both.
class UnrootedTree {
public:
    explicit UnrootedTree(const Phylogeny& tree);
    ~UnrootedTree();
    UnrootedTree(const UnrootedTree&) = delete;
    UnrootedTree& operator=(const UnrootedTree&) = delete;

    // The midpoint of the longest path between two leaves (lengths summed along it, a missing
    // length counting 0; paths within a relative 1e-9 of the longest count as longest). With a
    // the first leaf in preorder that ends a longest path and b the first leaf that far from a,
    // the root goes on the first branch of the path from a to b whose far end lies strictly
    // beyond half its length. None when the tree has fewer than two leaves or the longest path
    // is not longer than 0. One walk over the tree, then searches for a and b that go only
    // where a path can be long enough. The leaves' numbering is let go first (it is made again
    // if asked for afterwards): a midpoint mostly ends a root list. With `order` empty when the
    // walk is made here, the leaves go into it in file order on the way.
    std::optional<RootPlace> midpoint_place(std::vector<NodeRef>* order = nullptr) const;

    // The midpoint's walk, made now (it is made once), with each_leaf(leaf, number) called on the
    // way for every leaf, numbered in file order as leaf() numbers them: a root list that may
    // fall through to the midpoint tests its outgroups in that walk, and the leaves are numbered
    // again only for an outgroup that holds some of them. Answers the number of leaves. With
    // `first_bytes`, each_leaf is called only for the leaves whose name begins with a byte it
    // marks (the numbers still count every leaf): most leaves of a big tree start with none of
    // the bytes an outgroup's name starts with.
    std::size_t walk_for_midpoint(const std::function<void(NodeRef, std::size_t)>& each_leaf,
                                  const std::array<bool, 256>* first_bytes = nullptr) const;
    // The same walk with the leaves put in `order` (emptied first) in file order, their numbers
    // being their places there: cheaper than a call for each.
    std::size_t walk_for_midpoint(std::vector<NodeRef>& order) const;

    // The leaves, numbered from 0 in file order (left to right). One walk numbers them, the first
    // time they are asked for, and notes the leaves below every inner node (a run of numbers).
    std::size_t leaf_count() const;
    NodeRef leaf(std::size_t number) const;
    // Whether the leaves are numbered now (the midpoint lets the numbering go).
    bool leaves_numbered() const { return ranges_ != nullptr; }
    // The leaves in file order into `order` (every node without children): copied from their
    // numbering when it is made, else by a walk of their own.
    void leaves_in_order(std::vector<NodeRef>& order) const;

    // Halfway along the branch of the largest side (of any branch) whose leaves are all outgroup
    // leaves, given by their numbers in increasing order. None when there is no outgroup leaf,
    // when every leaf is one, or when two different sides tie for the most leaves. Once the
    // leaves are numbered, in time linear in the outgroup leaves, whatever the tree's size: a
    // list of many outgroups costs one walk of the tree and the leaves each one holds.
    //
    // With `max_strays` K above 0, an outgroup that is not one side is rooted halfway along the
    // branch one of whose sides holds at least three quarters of the outgroup leaves and at
    // most K other leaves: the side with the fewest other leaves, then the most outgroup leaves,
    // then the fewest leaves; none when no side qualifies or two different sides tie. `strays`
    // then receives the numbers of the leaves that kept the outgroup from being that side
    // (outgroup leaves outside it, other leaves inside it), in increasing order. That costs one
    // more pass over the tree's nodes. An outgroup that is one side is rooted as with K = 0.
    std::optional<RootPlace> outgroup_place(const std::vector<std::uint32_t>& outgroup,
                                            std::size_t max_strays = 0,
                                            std::vector<std::uint32_t>* strays = nullptr) const;
    // The same for the leaves that pass `in_outgroup`, each tested once.
    std::optional<RootPlace> outgroup_place(const std::function<bool(NodeRef)>& in_outgroup) const;

private:
    const LeafRanges& ranges() const;

    const Phylogeny& tree_;
    SpareRoom room_;  // a compact tree's spare text, for the records
    mutable std::unique_ptr<SubtreeRecords> records_;  // made by the first walk that needs it
    mutable std::unique_ptr<LeafRanges> ranges_;
};

// Moves the root of `tree` to `place`, with the rewiring of Phylogeny::reroot (the new root holds
// the branch's lower end on its left and its upper end on its right), so that every branch keeps
// its support and length: both ends of the chosen branch take its support and the two parts as
// lengths; the reversed path's nodes take the values of the node below them as read; the old
// root's remaining child takes the merged root branch; the new root has support and length 0.
// On the merged root branch itself the shape and child order stay and both children take the
// merged support. Leaves keep support 0. The old root is released; with `changes`, what the
// rooting changes is kept there instead, the old root with it, so that it can be undone.
void root_on_branch(Phylogeny& tree, const RootPlace& place, TreeChanges* changes = nullptr);

// How the two branches that met a removed leaf become one.
enum class BranchMerge {
    kRooted,    // the leaf's sibling keeps its own support and adds its parent's length
    kUnrooted,  // the larger of the two supports (0 when it ends in a leaf), the summed length
};

// Where a leaf taken out of a tree stood, in terms of the tree left: on the branch of the
// unrooted tree between `below` and `above`, at `distance` from `below` along it. Both are nodes
// of the tree left other than its root, joined by one branch or by the two at the root (which
// are one branch unrooted), so the place holds wherever the tree is rooted afterwards; `above`
// is absent when the leaf stood on the root's own branch of a rooted tree (or the tree left is
// one leaf). A leaf whose place was taken out after it stands where that place went.
struct RemovedLeaf {
    NodeRef leaf = nullptr;
    NodeRef below = nullptr;
    NodeRef above = nullptr;
    double distance = 0;
};

// Takes each of `leaves` out of `tree`, one after another: the leaf's parent node leaves the tree
// as well, and the leaf's sibling takes the parent's place, its branch merged with the parent's
// as `merge` says; when the parent was the root, the sibling becomes the root (unrooted, with
// support and length 0: its children's branches merge at the root). Removed nodes are handed to
// the tree and stay readable (the leaves keep their names) until it is destroyed. A leaf that is
// the whole tree, or that was already removed, is left as it is; a parent with one child is left
// alone. Answers the number of leaves removed; `places`, when given, receives where each removed
// leaf stood, in the order they were removed. Time and memory linear in the leaves removed.
// With `changes`, what is changed is kept there and the nodes taken out are handed to it, so that
// the leaves can be put back.
std::size_t remove_leaves(Phylogeny& tree, const std::vector<NodeRef>& leaves, BranchMerge merge,
                          std::vector<RemovedLeaf>* places = nullptr,
                          TreeChanges* changes = nullptr);

}  // namespace tavrin

#endif  // TAVRIN_TREE_ROOTING_H
