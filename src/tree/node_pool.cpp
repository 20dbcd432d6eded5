// Allocation of tree nodes from large blocks.
//
// Each thread keeps a list of released node slots and a block it carves new slots from. Blocks
// are never returned, so a slot released on another thread simply joins that thread's list.
// Blocks grow geometrically; from half a huge page on they are mappings backed by huge pages
// where the system allows it. Builds with sanitizers allocate every node on its own, so that the
// sanitizers see each node's lifetime.
#include <algorithm>
#include <cstddef>
#include <new>

#include "tree/huge_pages.h"
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
    std::size_t block_bytes = kFirstBlockBytes;  // doubles up to kMaxBlockBytes

    static constexpr std::size_t kFirstBlockBytes = 256 * sizeof(Slot);
    static constexpr std::size_t kMaxBlockBytes = 16 * tavrin::kHugePageSize;

    void* take() {
        if (released != nullptr) {
            Slot* slot = released;
            released = slot->next;
            return slot;
        }
        if (block_next == block_end) new_block();
        return block_next++;
    }

    void new_block() {
        std::size_t bytes = block_bytes;
        void* block = nullptr;
        if (bytes >= tavrin::kHugeBufferMin) {
            bytes = tavrin::round_up_to_huge_page(bytes);
            block = tavrin::map_huge(bytes);
        }
        if (block == nullptr) block = ::operator new(bytes);
        block_next = static_cast<Slot*>(block);
        block_end = block_next + bytes / sizeof(Slot);
        block_bytes = std::min(2 * block_bytes, kMaxBlockBytes);
    }

    void expect(std::size_t count) {
        if (released != nullptr) return;  // a tree released before: its slots come first
        const std::size_t at_hand = static_cast<std::size_t>(block_end - block_next);
        if (count <= at_hand) return;
        const std::size_t bytes = (count - at_hand) * sizeof(Slot);
        if (bytes < tavrin::kHugeBufferMin) return;
        // The rest of the current block stays unused; none of it has been touched.
        block_bytes = std::max(block_bytes, std::min(bytes, kMaxBlockBytes));
        new_block();
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

void tavrin::expect_nodes(std::size_t count) {
    pool().expect(count);
}

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

void tavrin::expect_nodes(std::size_t) {}

void* Phylogeny_Node::operator new(std::size_t size) {
    return ::operator new(size);
}

void Phylogeny_Node::operator delete(void* node, std::size_t) noexcept {
    ::operator delete(node);
}

#endif
