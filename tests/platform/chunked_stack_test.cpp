// The deep-walk stack: last in, first out across chunk boundaries, whatever the path of pushes
// and pops, every element reachable by its index, and every element still there for a final
// sweep.
#include "platform/chunked_stack.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tavrin {

namespace {

struct Frame {
    std::uint64_t a;
    std::uint64_t b;
    const void* c;
};

// Also with memory lent to it (unaligned, not a whole number of frames): it takes the frames
// after the first chunk, and is never released by the stack.
TEST(ChunkedStack, AgreesWithAVectorAcrossChunkBoundaries) {
    for (const std::size_t room_bytes : {std::size_t{0}, std::size_t{100003}}) {
        SCOPED_TRACE(room_bytes);
        std::vector<unsigned char> room(room_bytes + 1);
        const unsigned char* const room_end = room.data() + room.size();
        bool in_room = false;
        tavrin::ChunkedStack<Frame> stack;
        if (room_bytes > 0) stack.add_room(room.data() + 1, room_bytes);
        std::vector<Frame> model;
        EXPECT_TRUE(stack.empty());
        // Climbs to a depth of several chunks, oscillating around each boundary on the way up and
        // down, with pseudo-random runs of pushes and pops.
        std::uint64_t state = 12345;
        std::uint64_t serial = 0;
        for (int round = 0; round < 4000; ++round) {
            state = state * 6364136223846793005ULL + 1442695040888963407ULL;
            const bool up = round < 3000 ? (state >> 33) % 4 != 0 : (state >> 33) % 4 == 0;
            const std::size_t run = 1 + (state >> 40) % 300;
            for (std::size_t i = 0; i < run; ++i) {
                if (up) {
                    const Frame f{serial, serial * 7, &model};
                    ++serial;
                    stack.push_back(f);
                    model.push_back(f);
                } else if (!model.empty()) {
                    ASSERT_EQ(stack.back().a, model.back().a);
                    stack.pop_back();
                    model.pop_back();
                }
                ASSERT_EQ(stack.size(), model.size());
                ASSERT_EQ(stack.empty(), model.empty());
                const auto* top = reinterpret_cast<const unsigned char*>(&stack.back());
                in_room |= !model.empty() && top > room.data() && top < room_end;
                if (!model.empty()) {
                    ASSERT_EQ(stack.back().b, model.back().b);
                    ASSERT_EQ(stack.back().a, model.back().a);
                }
            }
        }
        EXPECT_GT(serial, 200000u);  // deeper than the first chunks
        stack.back().b = 99;         // back() is a reference into the stack
        model.back().b = 99;
        std::vector<Frame> swept;
        stack.for_each([&](Frame& f) { swept.push_back(f); });
        ASSERT_EQ(swept.size(), model.size());
        for (std::size_t i = 0; i < model.size(); ++i) {
            ASSERT_EQ(swept[i].a, model[i].a);
            ASSERT_EQ(swept[i].b, model[i].b);
        }
        while (!stack.empty())
            stack.pop_back();
        std::size_t left = 0;
        stack.for_each([&](Frame&) { ++left; });
        EXPECT_EQ(left, 0u);
        EXPECT_EQ(in_room, room_bytes > 0);
    }
}

TEST(ChunkedStack, StartsWithTheGivenElementsLastOnTop) {
    tavrin::ChunkedStack<Frame> stack{{1, 2, nullptr}, {3, 4, nullptr}};
    ASSERT_EQ(stack.size(), 2u);
    EXPECT_EQ(stack.back().a, 3u);
    stack.pop_back();
    EXPECT_EQ(stack.back().a, 1u);
    EXPECT_EQ(stack.back().b, 2u);
}

TEST(ChunkedStack, EmptyStackSweepsNothing) {
    tavrin::ChunkedStack<Frame> stack;
    std::size_t visited = 0;
    stack.for_each([&](Frame&) { ++visited; });
    EXPECT_EQ(visited, 0u);
    stack.push_back({1, 2, nullptr});
    stack.pop_back();
    stack.for_each([&](Frame&) { ++visited; });
    EXPECT_EQ(visited, 0u);
}

}  // namespace

}  // namespace tavrin
