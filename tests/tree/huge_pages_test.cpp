// Memory asked to be backed by huge pages behaves as ordinary memory, whether or not the system
// grants the request.
#include "tree/huge_pages.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

namespace {

TEST(HugePages, MappingIsAlignedAndUsableOrAbsent) {
    const std::size_t size = 3 * tavrin::kHugePageSize;
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
    tavrin::unmap_huge(data, size);
}

TEST(HugePages, OnlyWholeHugePagesAreMapped) {
    EXPECT_EQ(tavrin::map_huge(0), nullptr);
    EXPECT_EQ(tavrin::map_huge(tavrin::kHugePageSize + 4096), nullptr);
}

TEST(HugePages, AdviceOnAnyBufferIsHarmless) {
    tavrin::advise_huge_pages(nullptr, 1 << 30);
    std::vector<char> small(100, 'x');
    tavrin::advise_huge_pages(small.data(), small.size());
    // Unaligned on both ends, advised before and after its first touch.
    std::vector<char> big(2 * tavrin::kHugePageSize + 12345);
    tavrin::advise_huge_pages(big.data() + 1, big.size() - 1);
    std::memset(big.data(), 'y', big.size());
    tavrin::advise_huge_pages(big.data(), big.size());
    EXPECT_EQ(big[0], 'y');
    EXPECT_EQ(big.back(), 'y');
    EXPECT_EQ(small.back(), 'x');
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
