// Memory asked to be backed by huge pages behaves as ordinary memory, whether or not the system
// grants the request.
#include "platform/huge_pages.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace tavrin {

namespace {

TEST(HugePages, MappingIsAlignedAndUsableOrAbsent) {
    // Kept for the rest of the process, as the node pool keeps its blocks.
    const std::size_t size = tavrin::kHugePageSize;
    void* data = tavrin::map_huge(size);
    if (!tavrin::huge_pages_supported()) {
        EXPECT_EQ(data, nullptr);
        return;
    }
    if (data == nullptr) GTEST_SKIP() << "the system refused the mapping";
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(data) % tavrin::kHugePageSize, 0u);
    auto* bytes = static_cast<unsigned char*>(data);
    std::memset(bytes, 0xAB, size);
    EXPECT_EQ(bytes[0], 0xAB);
    EXPECT_EQ(bytes[size - 1], 0xAB);
}

TEST(HugePages, OnlyWholeHugePagesAreMapped) {
    EXPECT_EQ(tavrin::map_huge(0), nullptr);
    EXPECT_EQ(tavrin::map_huge(tavrin::kHugePageSize + 4096), nullptr);
}

TEST(HugePages, ReservedBuffersHoldWhatIsWrittenIntoThem) {
    for (std::size_t count : {std::size_t{0}, std::size_t{100}, tavrin::kHugeBufferMin - 1,
                              2 * tavrin::kHugePageSize + 12345}) {
        std::string text;
        tavrin::reserve_large(text, count);
        ASSERT_GE(text.capacity(), count);
        const char* const before = text.data();
        text.resize(count, 'y');
        EXPECT_EQ(text.data(), before);  // filled without moving
        EXPECT_EQ(std::string::npos, text.find_first_not_of('y'));
    }
    // Appends to what a vector already holds.
    std::vector<std::uint64_t> values{1, 2, 3};
    const std::size_t count = tavrin::kHugePageSize / sizeof(std::uint64_t);
    tavrin::reserve_large(values, count);
    ASSERT_GE(values.capacity(), count);
    for (std::uint64_t i = values.size(); i < count; ++i)
        values.push_back(i * 3);
    EXPECT_EQ(values[1], 2u);
    EXPECT_EQ(values.back(), (count - 1) * 3);
}

TEST(HugePages, LargeBuffersStartOnAHugePage) {
    for (std::size_t size : {std::size_t{1}, std::size_t{4096}, tavrin::kHugeBufferMin - 1,
                             tavrin::kHugeBufferMin, 3 * tavrin::kHugePageSize + 5}) {
        auto* bytes = static_cast<unsigned char*>(tavrin::allocate_buffer(size));
        ASSERT_NE(bytes, nullptr);
        if (tavrin::huge_pages_supported() && size >= tavrin::kHugeBufferMin) {
            EXPECT_EQ(reinterpret_cast<std::uintptr_t>(bytes) % tavrin::kHugePageSize, 0u);
        }
        std::memset(bytes, 0x5A, size);
        EXPECT_EQ(bytes[size - 1], 0x5A);
        tavrin::release_buffer(bytes, size);
    }
    tavrin::release_buffer(nullptr, tavrin::kHugePageSize);
}

TEST(HugePages, AllocatorKeepsContentsAcrossGrowth) {
    // Grows from a few bytes to well past the size that is advised, copying on the way.
    std::vector<std::uint64_t, tavrin::HugePageAllocator<std::uint64_t>> values;
    const std::uint64_t count = 6 * tavrin::kHugePageSize / sizeof(std::uint64_t);
    for (std::uint64_t i = 0; i < count; ++i)
        values.push_back(i * 2654435761u);
    ASSERT_EQ(values.size(), count);
    for (std::uint64_t i = 0; i < count; i += 4099)
        ASSERT_EQ(values[i], i * 2654435761u);
    EXPECT_EQ(values.back(), (count - 1) * 2654435761u);
}

}  // namespace

}  // namespace tavrin
