// The stack of every walk as deep as the tree (reading, searching, the preorder and postorder
// walks): it grows by chunks and never moves what it holds.
//
// A ladder of a million levels needs a million frames. A vector would copy them at every
// doubling and keep each abandoned copy's memory touched; here a full chunk is followed by a
// new, twice larger one (large chunks on huge pages), so the memory touched is about what the
// deepest point needs. Chunks are kept until the stack is destroyed. The first chunk lies in the
// stack itself: the walks of a small tree take no memory from the heap.
#ifndef TAVRIN_PLATFORM_CHUNKED_STACK_H
#define TAVRIN_PLATFORM_CHUNKED_STACK_H

#include <algorithm>
#include <cstddef>
#include <initializer_list>
#include <memory>
#include <new>
#include <type_traits>
#include <vector>

#include "platform/huge_pages.h"

namespace tavrin {

template <typename T>
class ChunkedStack {
    static_assert(std::is_trivially_copyable_v<T> && std::is_trivially_destructible_v<T>,
                  "frames are plain values");

public:
    ChunkedStack() = default;
    // A stack holding `values`, the last one on top.
    ChunkedStack(std::initializer_list<T> values) {
        for (const T& value : values)
            push_back(value);
    }
    ~ChunkedStack() {
        for (const Chunk& held : chunks_)
            if (held.owned) release_buffer(held.data, held.capacity * sizeof(T));
    }
    ChunkedStack(const ChunkedStack&) = delete;  // the top points into the stack itself
    ChunkedStack& operator=(const ChunkedStack&) = delete;

    // Memory lent for as long as the stack lives, taken as the next chunk it needs: pages
    // already touched spare the fresh ones a deep walk would take. Ignored when the stack
    // already holds a chunk beyond its top one, or when the room holds no frame.
    void add_room(void* data, std::size_t size) {
        if (current_ != chunks_.size() || data == nullptr ||
            std::align(alignof(T), sizeof(T), data, size) == nullptr)
            return;
        chunks_.push_back({static_cast<T*>(data), size / sizeof(T), false});
    }

    bool empty() const { return size_ == 0; }
    std::size_t size() const { return size_; }

    T& back() { return top_[-1]; }

    void push_back(const T& value) {
        if (top_ == end_) next_chunk();
        new (top_) T(value);
        ++top_;
        ++size_;
    }

    void pop_back() {
        --top_;
        --size_;
        // Keep the top inside a chunk that holds it: back() then needs no test.
        if (current_ > 0 && top_ == chunk(current_).data) {
            --current_;
            top_ = end_ = chunk(current_).data + chunk(current_).capacity;
        }
    }

    // Calls visit(element) for every element, bottom first.
    template <typename Visit>
    void for_each(Visit visit) {
        for (std::size_t c = 0; c <= current_; ++c) {
            T* const last = c == current_ ? top_ : chunk(c).data + chunk(c).capacity;
            for (T* p = chunk(c).data; p != last; ++p)
                visit(*p);
        }
    }

private:
    struct Chunk {
        T* data;
        std::size_t capacity;
        bool owned;  // else lent (add_room)
    };
    static constexpr std::size_t kInlineCapacity = std::max<std::size_t>(1024 / sizeof(T), 8);
    static constexpr std::size_t kMaxCapacity = (std::size_t{16} << 20) / sizeof(T);

    // Chunk 0 is the inline one; the others come from the heap.
    Chunk chunk(std::size_t c) const {
        return c == 0 ? Chunk{first(), kInlineCapacity, false} : chunks_[c - 1];
    }
    T* first() const { return reinterpret_cast<T*>(const_cast<unsigned char*>(inline_)); }

    void next_chunk() {
        const std::size_t next = current_ + 1;
        if (next > chunks_.size()) {
            const std::size_t capacity = std::min(2 * chunk(current_).capacity, kMaxCapacity);
            chunks_.push_back(
                {static_cast<T*>(allocate_buffer(capacity * sizeof(T))), capacity, true});
        }
        current_ = next;
        top_ = chunks_[next - 1].data;
        end_ = top_ + chunks_[next - 1].capacity;
    }

    alignas(T) unsigned char inline_[kInlineCapacity * sizeof(T)];
    std::vector<Chunk> chunks_;
    std::size_t current_ = 0;             // the chunk that holds the top element
    T* top_ = first();                    // one past the top element
    T* end_ = first() + kInlineCapacity;  // end of the current chunk
    std::size_t size_ = 0;
};

}  // namespace tavrin

#endif  // TAVRIN_PLATFORM_CHUNKED_STACK_H
