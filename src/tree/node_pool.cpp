// Where tree nodes come from: a per-thread pool of slots the size of a node, except in builds
// with sanitizers, which allocate every node on its own so that they see each node's lifetime.
#include <cstddef>
#include <new>

#include "platform/slot_pool.h"
#include "tree/phylogeny.h"

namespace tavrin {

#if defined(TAVRIN_NODE_POOL) && TAVRIN_NODE_POOL

namespace {

using NodePool = tavrin::SlotPool<sizeof(Phylogeny_Node), alignof(Phylogeny_Node)>;

}  // namespace

void expect_nodes(std::size_t count) {
    NodePool::local().expect(count);
}

void* Phylogeny_Node::operator new(std::size_t size) {
    if (size != sizeof(Phylogeny_Node)) return ::operator new(size);
    return NodePool::local().take();
}

void Phylogeny_Node::operator delete(void* node, std::size_t size) noexcept {
    if (node == nullptr) return;
    if (size != sizeof(Phylogeny_Node)) {
        ::operator delete(node);
        return;
    }
    NodePool::local().give(node);
}

#else

void expect_nodes(std::size_t) {}

void* Phylogeny_Node::operator new(std::size_t size) {
    return ::operator new(size);
}

void Phylogeny_Node::operator delete(void* node, std::size_t) noexcept {
    ::operator delete(node);
}

#endif

}  // namespace tavrin
