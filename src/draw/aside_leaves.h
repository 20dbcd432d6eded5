// Leaves set aside hung back into a drawn tree (see draw/layout.h).
#ifndef TAVRIN_DRAW_ASIDE_LEAVES_H
#define TAVRIN_DRAW_ASIDE_LEAVES_H

#include <vector>

#include "draw/layout.h"
#include "tree/rooting.h"

namespace tavrin {

// Adds a node of Role::kAside to `tree` (laid out leaf by leaf, not yet placed) for each of
// `aside`, on the branch of the tree drawn where it stood: a place recorded on the unrooted tree
// holds however the tree was rooted since. A place no longer found hangs the leaf at the root.
// Linear in the tree and the leaves.
void hang_aside(DrawnTree& tree, const std::vector<RemovedLeaf>& aside);

// Where the branch of each leaf set aside leaves the branch that holds it, and the leaf's own x:
// `lengths` as in DrawnTree, `leaf_x` the column of every leaf otherwise. Call once the other
// nodes are placed.
void place_aside(DrawnTree& tree, bool lengths, double leaf_x);

}  // namespace tavrin

#endif  // TAVRIN_DRAW_ASIDE_LEAVES_H
