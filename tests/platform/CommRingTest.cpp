// The receive ring: order kept across the wrap, and resizing never loses what is queued.
#include "platform/linux/comm/CommEngine.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using platform::ByteRing;

std::vector<BYTE> PopAll(ByteRing& Ring) {
    std::vector<BYTE> out(Ring.Size());
    out.resize(Ring.Pop(out.data(), out.size()));
    return out;
}

TEST(CommRing, KeepsOrderAcrossTheWrap) {
    ByteRing ring(5);
    for (BYTE b : {1, 2, 3, 4})
        ring.Push(b);
    BYTE two[2];
    ASSERT_EQ(ring.Pop(two, 2), 2u);
    EXPECT_EQ(two[0], 1);
    for (BYTE b : {5, 6, 7})
        ring.Push(b); // wraps past the end of the storage
    EXPECT_EQ(ring.Space(), 0u);
    EXPECT_EQ(PopAll(ring), (std::vector<BYTE>{3, 4, 5, 6, 7}));
    EXPECT_EQ(ring.Size(), 0u);
}

TEST(CommRing, PopTakesNoMoreThanAskedOrQueued) {
    ByteRing ring(4);
    ring.Push(9);
    BYTE buffer[4] = {0, 0, 0, 0};
    EXPECT_EQ(ring.Pop(buffer, 0), 0u);
    EXPECT_EQ(ring.Pop(buffer, 4), 1u);
    EXPECT_EQ(buffer[0], 9);
    EXPECT_EQ(buffer[1], 0);
}

TEST(CommRing, ResizeKeepsQueuedBytesEvenWhenShrinking) {
    ByteRing ring(4);
    for (BYTE b : {1, 2, 3, 4})
        ring.Push(b);
    BYTE one;
    ring.Pop(&one, 1);
    ring.Push(5); // wrapped
    ring.Resize(2);
    EXPECT_EQ(ring.Capacity(), 4u) << "never below the bytes waiting";
    EXPECT_EQ(PopAll(ring), (std::vector<BYTE>{2, 3, 4, 5}));
    ring.Resize(16);
    EXPECT_EQ(ring.Capacity(), 16u);
    ring.Push(6);
    EXPECT_EQ(PopAll(ring), (std::vector<BYTE>{6}));
}

} // namespace
