// Where tree nodes come from (see node_pool.cpp).
#ifndef TAVRIN_TREE_NODE_POOL_H
#define TAVRIN_TREE_NODE_POOL_H

#include <cstddef>

namespace tavrin {

// Tells this thread's node pool that about `count` nodes are about to be made, so that a big
// tree starts on large blocks at once instead of growing into them. Only a hint: more or fewer
// nodes may follow. Does nothing for small counts, or where nodes are allocated one by one.
void expect_nodes(std::size_t count);

}  // namespace tavrin

#endif  // TAVRIN_TREE_NODE_POOL_H
