#include "multio/Stream.h"

#include <gtest/gtest.h>

#include <climits>

#include "multio/DeviceLoss.h"

namespace {

TEST(StreamBase, CountsReadsAndWritesWithoutTouchingTheBuffer) {
    multio::Stream s;
    EXPECT_EQ(s.Write(nullptr, 10, 0), 10); // a null buffer shows nothing is read
    EXPECT_EQ(s.GetWriteCount(), 10);
    EXPECT_EQ(s.Write(nullptr, 5, 0), 5);
    EXPECT_EQ(s.GetWriteCount(), 15);
    unsigned char canary[4] = {1, 2, 3, 4};
    EXPECT_EQ(s.Read(canary, 4, 0), 4);
    EXPECT_EQ(canary[0], 1);
    EXPECT_EQ(canary[3], 4);
    EXPECT_EQ(s.GetReadCount(), 4);
    EXPECT_EQ(s.GetWriteCount(), 15);
}

TEST(StreamBase, CountersWrapInsteadOfOverflowing) {
    multio::Stream s;
    s.Write(nullptr, INT_MAX, 0);
    s.Write(nullptr, 2, 0);
    EXPECT_EQ(s.GetWriteCount(), INT_MIN + 1);
}

TEST(StreamBase, FixedAnswersOfTheOtherSlots) {
    multio::Stream s;
    EXPECT_EQ(s.Open("x", 0), multio::kStreamAlreadyOpen);
    EXPECT_EQ(s.Open("x", 0), -13);
    EXPECT_EQ(s.Close(), -125);
    EXPECT_EQ(s.Seek(0, multio::kSeekStart), -125);
    EXPECT_EQ(s.Tell(), -125);
    EXPECT_EQ(s.Available(), INT_MAX);
    EXPECT_FALSE(s.IsEof());
    EXPECT_FALSE(s.IsFailed());
    EXPECT_EQ(s.Flush(), 0);
    EXPECT_EQ(s.SetSize(0), -125);
    EXPECT_TRUE(s.CanRead());
    EXPECT_TRUE(s.CanWrite());
    EXPECT_FALSE(s.CanSeek());
    EXPECT_TRUE(s.CanQueryEnd());
    EXPECT_TRUE(s.CanFlush());
    EXPECT_FALSE(s.CanSetSize());
    EXPECT_EQ(s.GetReadCount(), 0);
    EXPECT_EQ(s.GetWriteCount(), 0);
}

TEST(StreamErrors, CodesOfTheLibrary) {
    EXPECT_EQ(multio::kStreamFailed, -1);
    EXPECT_EQ(multio::kStreamNoHandle, -15);
    EXPECT_EQ(multio::kStreamUnsupported, -18);
    EXPECT_EQ(multio::kStreamFlushFailed, -128);
}

TEST(DeviceLoss, VanishedAdapterCodesCloseThePortOthersDoNot) {
    for (uint32_t code : {5u, 21u, 22u, 31u, 995u, 1167u})
        EXPECT_TRUE(multio::IsDeviceLostError(code)) << code;
    // Time-outs, bad parameters and the like leave the port open for the next write.
    for (uint32_t code : {0u, 1u, 6u, 87u, 121u, 1460u, 1166u, 1168u})
        EXPECT_FALSE(multio::IsDeviceLostError(code)) << code;
}

} // namespace
