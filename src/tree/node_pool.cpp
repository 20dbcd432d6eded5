// Allocation of tree nodes from large blocks.
//
// Each thread keeps a list of released node slots and a block it carves new slots from. Blocks
// are never returned, so a slot released on another thread than the one that made it simply
// joins that thread's list. Builds with sanitizers allocate every node on its own, so that the
// sanitizers see each node's lifetime.
#include <cstddef>
#include <new>

#include "tree/phylogeny.h"

#if defined(TAVRIN_NODE_POOL) && TAVRIN_NODE_POOL

namespace {

union Slot {
    Slot* next;
    alignas(Phylogeny_Node) unsigned char bytes[sizeof(Phylogeny_Node)];
};

struct Pool {
    Slot* released = nullptr;
    Slot* block_next = nullptr;
    Slot* block_end = nullptr;
    std::size_t block_slots = 256;  // doubles up to kMaxBlockSlots

    static constexpr std::size_t kMaxBlockSlots = std::size_t{1} << 16;

    void* take() {
        if (released != nullptr) {
            Slot* slot = released;
            released = slot->next;
            return slot;
        }
        if (block_next == block_end) {
            block_next = static_cast<Slot*>(::operator new(block_slots * sizeof(Slot)));
            block_end = block_next + block_slots;
            if (block_slots < kMaxBlockSlots) block_slots *= 2;
        }
        return block_next++;
    }

    void give(void* p) {
        Slot* slot = static_cast<Slot*>(p);
        slot->next = released;
        released = slot;
    }
};

Pool& pool() {
    thread_local Pool local;
    return local;
}

}  // namespace

void* Phylogeny_Node::operator new(std::size_t size) {
    if (size != sizeof(Phylogeny_Node)) return ::operator new(size);
    return pool().take();
}

void Phylogeny_Node::operator delete(void* node, std::size_t size) noexcept {
    if (node == nullptr) return;
    if (size != sizeof(Phylogeny_Node)) {
        ::operator delete(node);
        return;
    }
    pool().give(node);
}

#else

void* Phylogeny_Node::operator new(std::size_t size) {
    return ::operator new(size);
}

void Phylogeny_Node::operator delete(void* node, std::size_t) noexcept {
    ::operator delete(node);
}

#endif
