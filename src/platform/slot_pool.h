// Fixed-size slots carved from large blocks, one pool per thread.
//
// Each thread keeps a list of released slots and a block it carves new slots from. Blocks are
// never returned, so a slot released on another thread simply joins that thread's list. Blocks
// grow geometrically; from half a huge page on they are mappings backed by huge pages where the
// system allows it.
#ifndef TAVRIN_PLATFORM_SLOT_POOL_H
#define TAVRIN_PLATFORM_SLOT_POOL_H

#include <algorithm>
#include <cstddef>
#include <new>

#include "platform/huge_pages.h"

namespace tavrin {

template <std::size_t Size, std::size_t Align>
class SlotPool {
public:
    // This thread's pool.
    static SlotPool& local() {
        thread_local SlotPool pool;
        return pool;
    }

    void* take() {
        if (released_ != nullptr) {
            Slot* slot = released_;
            released_ = slot->next;
            return slot;
        }
        if (block_next_ == block_end_) new_block();
        return block_next_++;
    }

    void give(void* p) noexcept {
        Slot* slot = static_cast<Slot*>(p);
        slot->next = released_;
        released_ = slot;
    }

    // About `count` slots are about to be taken: start a block that holds them at once instead
    // of growing into it. Only a hint; small counts and a pool with released slots ignore it.
    void expect(std::size_t count) {
        if (released_ != nullptr) return;  // slots released before come first
        const std::size_t at_hand = static_cast<std::size_t>(block_end_ - block_next_);
        if (count <= at_hand) return;
        const std::size_t bytes = (count - at_hand) * sizeof(Slot);
        if (bytes < kHugeBufferMin) return;
        // The rest of the current block stays unused; none of it has been touched.
        block_bytes_ = std::max(block_bytes_, std::min(bytes, kMaxBlockBytes));
        new_block();
    }

private:
    union Slot {
        Slot* next;
        alignas(Align) unsigned char bytes[Size];
    };

    static constexpr std::size_t kFirstBlockBytes = 256 * sizeof(Slot);
    static constexpr std::size_t kMaxBlockBytes = 16 * kHugePageSize;

    void new_block() {
        std::size_t bytes = block_bytes_;
        void* block = nullptr;
        if (bytes >= kHugeBufferMin) {
            bytes = round_up_to_huge_page(bytes);
            block = map_huge(bytes);
        }
        if (block == nullptr) block = ::operator new(bytes);
        block_next_ = static_cast<Slot*>(block);
        block_end_ = block_next_ + bytes / sizeof(Slot);
        block_bytes_ = std::min(2 * block_bytes_, kMaxBlockBytes);
    }

    Slot* released_ = nullptr;
    Slot* block_next_ = nullptr;
    Slot* block_end_ = nullptr;
    std::size_t block_bytes_ = kFirstBlockBytes;  // doubles up to kMaxBlockBytes
};

}  // namespace tavrin

#endif  // TAVRIN_PLATFORM_SLOT_POOL_H
