#include "platform/huge_pages.h"

#include <cstdint>

// TAVRIN_HUGE_PAGES=0 builds the plain-memory path everywhere (to measure what a system without
// huge pages gets).
#if !defined(TAVRIN_HUGE_PAGES)
#define TAVRIN_HUGE_PAGES 1
#endif

#if TAVRIN_HUGE_PAGES && defined(__linux__) && defined(__has_include)
#if __has_include(<sys/mman.h>)
#include <sys/mman.h>
#if defined(MADV_HUGEPAGE) && defined(MAP_ANONYMOUS)
#define TAVRIN_HAVE_HUGE_PAGES 1
#endif
#endif
#endif

// Pages given back while still mapped: Linux's MADV_DONTNEED frees them at once.
#if defined(__linux__) && defined(__has_include)
#if __has_include(<sys/mman.h>) && __has_include(<unistd.h>)
#include <sys/mman.h>
#include <unistd.h>
#if defined(MADV_DONTNEED)
#define TAVRIN_HAVE_GIVE_BACK 1
#endif
#endif
#endif

#if defined(__linux__) && defined(__has_include)
#if __has_include(<malloc.h>)
#include <malloc.h>  // mallopt, where the C library has it
#endif
#endif

namespace tavrin {

void keep_freed_memory() {
#if defined(M_MMAP_MAX) && defined(M_TRIM_THRESHOLD)
    // Large blocks come from the heap rather than from mappings of their own, and the top of the
    // heap is only given back past 1 GiB free.
    mallopt(M_MMAP_MAX, 0);
    mallopt(M_TRIM_THRESHOLD, 1 << 30);
#endif
}

void* allocate_buffer(std::size_t size) {
    if (!huge_pages_supported() || size < kHugeBufferMin) return ::operator new(size);
    // Room to start on a boundary, with the heap block's own address stored just before it.
    const std::size_t whole = round_up_to_huge_page(size);
    void* block = ::operator new(whole + kHugePageSize);
    const std::uintptr_t begin = reinterpret_cast<std::uintptr_t>(block);
    const std::uintptr_t aligned = round_up_to_huge_page(begin + sizeof(void*));
    reinterpret_cast<void**>(aligned)[-1] = block;
    advise_buffer(reinterpret_cast<void*>(aligned), whole);
    return reinterpret_cast<void*>(aligned);
}

void release_buffer(void* data, std::size_t size) noexcept {
    if (data == nullptr) return;
    const bool aligned = huge_pages_supported() && size >= kHugeBufferMin;
    ::operator delete(aligned ? static_cast<void**>(data)[-1] : data);
}

#if defined(TAVRIN_HAVE_HUGE_PAGES)

bool huge_pages_supported() {
    return true;
}

void advise_buffer(void* data, std::size_t size) {
    if (data == nullptr || size < kHugePageSize) return;
    const std::uintptr_t begin = reinterpret_cast<std::uintptr_t>(data);
    const std::uintptr_t first = round_up_to_huge_page(begin);
    const std::uintptr_t last = (begin + size) & ~(kHugePageSize - 1);
    if (first >= last) return;
    // Refusal (no transparent huge pages in this kernel) leaves ordinary pages: nothing to do.
    (void)madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
}

void* map_huge(std::size_t size) {
    if (size == 0 || size % kHugePageSize != 0) return nullptr;
    // Map one huge page more than needed and trim both ends, so the rest starts on a huge-page
    // boundary: a fault anywhere in it can then be served with a whole huge page.
    const std::size_t padded = size + kHugePageSize;
    if (padded < size) return nullptr;
    void* raw = mmap(nullptr, padded, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (raw == MAP_FAILED) return nullptr;
    const std::uintptr_t begin = reinterpret_cast<std::uintptr_t>(raw);
    const std::uintptr_t aligned = round_up_to_huge_page(begin);
    const std::size_t head = aligned - begin;
    const std::size_t tail = padded - head - size;
    if (head != 0) (void)munmap(raw, head);
    if (tail != 0) (void)munmap(reinterpret_cast<void*>(aligned + size), tail);
    void* data = reinterpret_cast<void*>(aligned);
    (void)madvise(data, size, MADV_HUGEPAGE);
    return data;
}

#else

bool huge_pages_supported() {
    return false;
}

void advise_buffer(void*, std::size_t) {}

void* map_huge(std::size_t) {
    return nullptr;
}

#endif

#if defined(TAVRIN_HAVE_GIVE_BACK)

void give_back_pages(void* data, std::size_t size) noexcept {
    static const long page = sysconf(_SC_PAGESIZE);
    if (data == nullptr || page <= 0) return;
    const auto unit = static_cast<std::uintptr_t>(page);
    const std::uintptr_t begin = reinterpret_cast<std::uintptr_t>(data);
    const std::uintptr_t first = (begin + unit - 1) & ~(unit - 1);
    const std::uintptr_t last = (begin + size) & ~(unit - 1);
    if (first >= last) return;
    (void)madvise(reinterpret_cast<void*>(first), last - first, MADV_DONTNEED);
}

#else

void give_back_pages(void*, std::size_t) noexcept {}

#endif

}  // namespace tavrin
