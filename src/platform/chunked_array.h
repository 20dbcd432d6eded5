// An array indexed like a vector that grows by chunks and never moves what it holds: chunk c
// holds kFirst << c elements, so a big array is made of a few large chunks (on huge pages) and
// growing it never copies or clears memory twice.
//
// For arrays filled out of order: a walk that numbers nodes as it first reaches them and writes
// a node's values only once it is finished.
#ifndef TAVRIN_PLATFORM_CHUNKED_ARRAY_H
#define TAVRIN_PLATFORM_CHUNKED_ARRAY_H

#include <cstddef>
#include <cstdint>
#include <type_traits>
#include <vector>

#include "platform/huge_pages.h"

namespace tavrin {

template <typename T>
class ChunkedArray {
    static_assert(std::is_trivially_copyable_v<T> && std::is_trivially_destructible_v<T>,
                  "elements are plain values");

public:
    ChunkedArray() = default;
    ~ChunkedArray() {
        for (std::size_t c = 0; c < chunks_.size(); ++c)
            release_buffer(chunks_[c], (kFirst << c) * sizeof(T));
    }
    ChunkedArray(const ChunkedArray&) = delete;
    ChunkedArray& operator=(const ChunkedArray&) = delete;

    // Makes indices below `size` usable; their elements are unset until written.
    void grow_to(std::size_t size) {
        while (capacity_ < size) {
            const std::size_t count = kFirst << chunks_.size();
            chunks_.push_back(static_cast<T*>(allocate_buffer(count * sizeof(T))));
            capacity_ += count;
        }
    }

    std::size_t capacity() const { return capacity_; }

    T& operator[](std::size_t index) { return *slot(index); }
    const T& operator[](std::size_t index) const { return *slot(index); }

    // The element at `index` - 1, given `element`, the one at `index` (above 0): the one before
    // it in memory, unless `index` begins a chunk. Cheaper than indexing for a walk that steps
    // down the indices.
    const T& before(const T& element, std::size_t index) const {
        // Chunk c begins at kFirst * (2^c - 1), where index / kFirst + 1 is a power of two.
        const std::uint64_t q = index / kFirst + 1;
        if (index % kFirst == 0 && (q & (q - 1)) == 0) return *slot(index - 1);
        return (&element)[-1];
    }

private:
    T* slot(std::size_t index) const {
        // Chunk c starts at kFirst * (2^c - 1): c is the highest bit of index / kFirst + 1.
        const std::uint64_t q = index / kFirst + 1;
        const std::size_t c = highest_bit(q);
        return chunks_[c] + (index - kFirst * ((std::size_t{1} << c) - 1));
    }

    // A power of two near 4 KiB of elements: the index is cut by shifts.
    static constexpr std::size_t kFirst = [] {
        std::size_t first = 1;
        while (2 * first * sizeof(T) <= 4096)
            first *= 2;
        return first;
    }();

    static std::size_t highest_bit(std::uint64_t q) {
        std::size_t bit = 0;
#if defined(__GNUC__) || defined(__clang__)
        bit = 63 - static_cast<std::size_t>(__builtin_clzll(q));
#else
        while (q >>= 1)
            ++bit;
#endif
        return bit;
    }

    std::vector<T*> chunks_;
    std::size_t capacity_ = 0;
};

}  // namespace tavrin

#endif  // TAVRIN_PLATFORM_CHUNKED_ARRAY_H
