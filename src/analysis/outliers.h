// The leaves that break the target clade, and the tree with them set aside.
//
// The tree is read as unrooted: every edge splits the leaves into two sides, the leaves below a
// non-root node and all the others (the two edges at the root are one edge, one split). The
// target leaves form a clade of the unrooted tree when they are exactly one side of some edge
// and the other side holds at least one leaf that is not a target leaf. The outliers of a tree
// are the smallest set of leaves whose removal makes them so: for a side S, the target leaves
// outside S and the other leaves inside S.
//
// Worked example, target leaves F-*: in ((F-1,(F-2,M-1)),(M-2,M-3)) three sets of one leaf
// work: {M-1} (the side F-1,F-2,M-1), {F-1} (the side F-2) and {F-2} (the side F-1). Among sets
// of one size those that remove the fewest target leaves count, so the outliers are 1 and the
// set is {M-1}. In ((F-1,M-1),(F-2,M-2)) the sets {M-1} and {M-2} tie: the set is ambiguous.
#ifndef TAVRIN_ANALYSIS_OUTLIERS_H
#define TAVRIN_ANALYSIS_OUTLIERS_H

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

#include "analysis/leaf_matching.h"
#include "platform/huge_pages.h"
#include "tree/node_ref.h"
#include "tree/phylogeny.h"

namespace tavrin {

// The leaves that break the target clade of one tree.
struct OutlierSet {
    // Leaves of the tree that pass the target test.
    std::size_t target_leaves = 0;
    // Size of the smallest set; absent when no set exists (no target leaf, or no side of any
    // edge keeps a target leaf with a non-target leaf beyond it, as when every leaf is one).
    std::optional<std::size_t> outliers;
    // Among the sets of the smallest size, those that remove the fewest target leaves count;
    // set when more than one of them is left, so that no single set explains the tree.
    bool ambiguous = false;
    // The one set left, its leaves from left to right as the tree was read; empty when the
    // outliers are 0 or absent, or the choice is ambiguous.
    std::vector<NodeRef> leaves;
};

// Tells whether a leaf is a target leaf.
using LeafTest = std::function<bool(NodeRef)>;

// What the census of a tree's outliers learns of its shape alone, whatever the target: the leaves
// from left to right; the sides below its edges above inner nodes (the first leaf and how many),
// in the order the census ranks them; and the leaves whose edge is not one of their own (the
// root's second child, an only child), by rank. The censuses of several targets on one tree
// share it.
struct CensusShape {
    template <typename T>
    using BigVector = std::vector<T, HugePageAllocator<T>>;  // a big tree's: in huge pages

    bool filled = false;
    BigVector<NodeRef> leaves;
    BigVector<std::pair<uint32_t, uint32_t>> sides;
    std::vector<uint32_t> edgeless_leaves;
    // The number of each leaf's prefix cut at `separator`, in the LeafKeys table `keys_of`
    // (that of the thread that filled the shape), when the census that filled it had a
    // PrefixTest and met a leaf that carries no number; else empty. A later census of a test
    // decided by the prefix asks it once per number, and leaves the nodes alone.
    BigVector<uint32_t> keys;
    const LeafKeys* keys_of = nullptr;
    char separator = 0;
};

// A target test that depends on a leaf's prefix alone, asked by the number of the prefix in the
// LeafKeys table of the thread (analysis/leaf_matching.h), cut at `separator`.
struct PrefixTest {
    char separator;
    std::function<bool(uint32_t key)> passes;
};

// Finds the outliers of `tree` (any rooting), asking `is_target` once for each leaf: one walk over
// the nodes and one pass over the leaves, in time and memory linear in the tree and without
// recursion. `target_leaves` of the answer spares the caller a count of its own. With `shape`,
// the walk is left out when `shape` is filled (the tree must then stand as it did when it was
// filled: the same nodes, links and child order), and `shape` is filled by it otherwise. With
// `by_prefix` too, which must answer as `is_target` does, the shape gets its leaves' numbers,
// or a shape that has them is read by them.
OutlierSet find_outliers(const Phylogeny& tree, const LeafTest& is_target,
                         CensusShape* shape = nullptr, const PrefixTest* by_prefix = nullptr);

// Takes each of `leaves` out of `tree`, one after another: the leaf's parent node leaves the tree
// as well, and the leaf's sibling takes the parent's place, keeping its own support and adding
// the parent's length to its own; when the parent was the root, the sibling becomes the root.
// Removed nodes are handed to the tree and stay readable (the leaves keep their names) until it
// is destroyed. A leaf that is the whole tree, or that was already removed, is left as it is.
// The leaves must belong to `tree`, whose internal nodes hold two children each, as the reader
// makes them (a parent with one child is left alone). Answers the number of leaves removed.
std::size_t set_aside(Phylogeny& tree, const std::vector<NodeRef>& leaves);

}  // namespace tavrin

#endif  // TAVRIN_ANALYSIS_OUTLIERS_H
