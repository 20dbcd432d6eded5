// Memory for big inputs: large buffers backed by huge pages where the system offers them, and
// freed memory kept by the process.
//
// A big tree needs hundreds of MiB, and the first touch of each fresh 4 KiB page often costs more
// than everything done with it afterwards. Linux backs memory advised with MADV_HUGEPAGE with
// 2 MiB pages (transparent huge pages in `madvise` mode): one fault per 2 MiB instead of 512.
// Without that call, or when the system refuses it, ordinary memory is used; small requests never
// take this path, so a small run pays nothing.
#ifndef TAVRIN_PLATFORM_HUGE_PAGES_H
#define TAVRIN_PLATFORM_HUGE_PAGES_H

#include <cstddef>
#include <new>

namespace tavrin {

// The huge page size this code aims at (x86-64 and arm64 with 4 KiB base pages).
constexpr std::size_t kHugePageSize = std::size_t{2} << 20;

// `size` rounded up to whole huge pages (also an address, to the next huge-page boundary).
constexpr std::size_t round_up_to_huge_page(std::size_t size) {
    return (size + kHugePageSize - 1) & ~(kHugePageSize - 1);
}

// Buffers from this size on are given whole huge pages (allocate_buffer, the node pool): below
// it, the few 4 KiB faults cost less than clearing a huge page.
constexpr std::size_t kHugeBufferMin = kHugePageSize / 2;

// True when this build asks the system for huge pages at all.
bool huge_pages_supported();

// A fresh mapping of `size` bytes (a multiple of kHugePageSize), aligned to kHugePageSize and
// advised for huge pages, or nullptr when it cannot be had (the caller then uses the heap). It
// stays with the process: the node pool's blocks are never returned.
void* map_huge(std::size_t size);

// Memory for a buffer of `size` bytes that is about to be filled, released by release_buffer
// with the same size. From kHugeBufferMin on, it starts on a huge-page boundary and is advised
// for huge pages (its heap block is up to two huge pages larger, mostly never touched).
void* allocate_buffer(std::size_t size);
void release_buffer(void* data, std::size_t size) noexcept;

// A standard allocator for the large buffers of hot loops (explicit stacks, position lists,
// per-pair arrays), through allocate_buffer.
template <typename T>
struct HugePageAllocator {
    using value_type = T;

    HugePageAllocator() noexcept = default;
    template <typename U>
    HugePageAllocator(const HugePageAllocator<U>&) noexcept {}

    T* allocate(std::size_t n) {
        if (n > static_cast<std::size_t>(-1) / sizeof(T) / 2) throw std::bad_array_new_length();
        return static_cast<T*>(allocate_buffer(n * sizeof(T)));
    }
    void deallocate(T* p, std::size_t n) noexcept { release_buffer(p, n * sizeof(T)); }

    template <typename U>
    bool operator==(const HugePageAllocator<U>&) const noexcept {
        return true;
    }
    template <typename U>
    bool operator!=(const HugePageAllocator<U>&) const noexcept {
        return false;
    }
};

// Advises the whole aligned huge pages inside [data, data + size) for huge pages.
void advise_buffer(void* data, std::size_t size);

// Gives the memory of the whole pages inside [data, data + size) back to the system. The range
// stays the caller's, but what it held is lost: the caller no longer reads it, and what it
// writes there later takes fresh pages. Where the system offers no such call, nothing happens.
void give_back_pages(void* data, std::size_t size) noexcept;

// Reserves room for `count` elements in a vector or string that is about to be filled. From
// kHugeBufferMin bytes on, the room is advised for huge pages before its first touch, with a huge
// page of slack that is never touched, so that the aligned interior reaches past the last element.
template <typename Container>
void reserve_large(Container& container, std::size_t count) {
    using Element = typename Container::value_type;
    const std::size_t bytes = count * sizeof(Element);
    const std::size_t slack = bytes >= kHugeBufferMin ? kHugePageSize / sizeof(Element) : 0;
    container.reserve(count + slack);
    advise_buffer(container.data(), container.capacity() * sizeof(Element));
}

// Lets freed memory stay with the process instead of going back to the system, so that tree
// after tree (or table after table) reuses pages already touched rather than fresh ones, whose
// first touch is most of the cost. Does nothing where the C library offers no such setting.
void keep_freed_memory();

}  // namespace tavrin

#endif  // TAVRIN_PLATFORM_HUGE_PAGES_H
