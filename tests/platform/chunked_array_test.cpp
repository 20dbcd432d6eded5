// The chunked array: every index below what it was grown to holds what was last written there,
// across the boundaries of chunks of doubling sizes, written out of order; the element before
// one is found from it.
#include "platform/chunked_array.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tavrin {

namespace {

struct Record {
    double value;
    std::uint32_t a;
    std::uint32_t b;
    std::uint64_t c;
};

TEST(ChunkedArray, KeepsEveryIndexAcrossChunkBoundaries) {
    tavrin::ChunkedArray<Record> array;
    EXPECT_EQ(array.capacity(), 0u);
    constexpr std::size_t kSize = 300000;  // several chunks, the last of them part-filled
    std::vector<std::uint32_t> model(kSize);
    // Grows one element at a time and writes both the new element and one already there.
    std::uint64_t state = 7;
    for (std::size_t i = 0; i < kSize; ++i) {
        array.grow_to(i + 1);
        ASSERT_GE(array.capacity(), i + 1);
        array[i] = Record{static_cast<double>(i), static_cast<std::uint32_t>(i), 0, i};
        model[i] = static_cast<std::uint32_t>(i);
        state = state * 6364136223846793005ULL + 1442695040888963407ULL;
        const std::size_t earlier = (state >> 33) % (i + 1);
        array[earlier].a = static_cast<std::uint32_t>(i * 3);
        model[earlier] = static_cast<std::uint32_t>(i * 3);
    }
    const tavrin::ChunkedArray<Record>& read = array;
    for (std::size_t i = 0; i < kSize; ++i) {
        ASSERT_EQ(read[i].a, model[i]) << i;
        ASSERT_EQ(read[i].c, i) << i;
        ASSERT_EQ(read[i].value, static_cast<double>(i)) << i;
        // The element before, found from this one, across chunk boundaries too.
        if (i > 0) {
            ASSERT_EQ(&read.before(read[i], i), &read[i - 1]) << i;
        }
    }
    // Growing to a size it has changes nothing.
    const std::size_t capacity = array.capacity();
    array.grow_to(10);
    EXPECT_EQ(array.capacity(), capacity);
}

}  // namespace

}  // namespace tavrin
