#include <cstring>
#include <memory>

#include <gtest/gtest.h>

#include "comsrc/DIBitmap.h"
#include "comsrc/DrawingContext.h"

using namespace comsrc;

namespace {

std::unique_ptr<DIBitmap> Made(int32_t w, int32_t h, int32_t bits) {
    auto b = std::make_unique<DIBitmap>();
    EXPECT_EQ(0, b->CreateWithDepth(w, h, bits));
    return b;
}

} // namespace

TEST(PixelFormatTest, StandardFormatsFollowTheTable) {
    struct Row {
        int32_t bits, channels, max[4], shift[4], flags;
    } rows[] = {
        {1, 1, {1}, {0}, 2},
        {2, 1, {3}, {0}, 2},
        {4, 1, {15}, {0}, 2},
        {8, 1, {255}, {0}, 2},
        {16, 3, {31, 63, 31}, {11, 5, 0}, 0},
        {24, 3, {255, 255, 255}, {16, 8, 0}, 0},
        {32, 4, {255, 255, 255, 255}, {16, 8, 0, 24}, 0},
    };
    for (const Row& r : rows) {
        PixelFormat f;
        ASSERT_EQ(0, MakeStandardPixelFormat(&f, r.bits));
        EXPECT_EQ(r.bits, f.bitsPerPixel);
        EXPECT_EQ(1, f.colorModel);
        EXPECT_EQ(r.channels, f.channelCount);
        EXPECT_EQ(r.flags, f.flags);
        for (int k = 0; k < r.channels; ++k) {
            EXPECT_EQ(r.max[k], f.channelMax[k]) << r.bits << " bits, channel " << k;
            EXPECT_EQ(r.shift[k], f.channelShift[k]) << r.bits << " bits, channel " << k;
        }
    }
    PixelFormat untouched;
    std::memset(&untouched, 0x5A, sizeof untouched);
    EXPECT_EQ(-1, MakeStandardPixelFormat(&untouched, 12));
    EXPECT_EQ(0x5A5A5A5A, untouched.bitsPerPixel);
}

TEST(PixelFormatTest, EqualityIgnoresUnusedChannels) {
    PixelFormat a, b;
    MakeStandardPixelFormat(&a, 24);
    b = a;
    b.channelMax[5] = 77;
    b.channelShift[3] = 9;
    EXPECT_TRUE(a == b);
    b.channelShift[2] = 1;
    EXPECT_FALSE(a == b);
    b = a;
    b.flags = 1;
    EXPECT_FALSE(a == b);
    b = a;
    b.colorModel = 2;
    EXPECT_FALSE(a == b);
}

TEST(DIBitmapTest, RowsArePaddedToWholeWords) {
    EXPECT_EQ(8, Made(33, 2, 1)->GetStride());
    EXPECT_EQ(16, Made(5, 2, 24)->GetStride());
    EXPECT_EQ(4, Made(1, 1, 1)->GetStride());
    EXPECT_EQ(4, Made(16, 1, 2)->GetStride());
    EXPECT_EQ(8, Made(17, 1, 2)->GetStride());
    EXPECT_EQ(8, Made(5, 1, 8)->GetStride());
    EXPECT_EQ(12, Made(5, 1, 16)->GetStride());
    EXPECT_EQ(20, Made(5, 1, 32)->GetStride());
    auto b = Made(7, 3, 4);
    EXPECT_EQ(7, b->GetWidth());
    EXPECT_EQ(3, b->GetHeight());
    EXPECT_EQ(4, b->GetBitsPerPixel());
    EXPECT_EQ(2, b->GetKind());
}

TEST(DIBitmapTest, CreateIsThirtyTwoBitsAndHappensOnce) {
    DIBitmap b;
    ASSERT_EQ(0, b.Create(3, 2));
    EXPECT_EQ(32, b.GetBitsPerPixel());
    uint8_t* first = b.GetPixels();
    PixelFormat f;
    MakeStandardPixelFormat(&f, 8);
    EXPECT_EQ(-1, b.CreateWithFormat(50, 50, f));
    EXPECT_EQ(first, b.GetPixels());
    EXPECT_EQ(3, b.GetWidth());
    EXPECT_EQ(32, b.GetBitsPerPixel());
}

TEST(DIBitmapTest, UnusableRequestsAreRefusedWithoutPixels) {
    PixelFormat f;
    MakeStandardPixelFormat(&f, 32);
    DIBitmap b;
    EXPECT_EQ(-1, b.CreateWithDepth(4, 4, 12));
    EXPECT_EQ(-1, b.CreateWithFormat(0, 4, f));
    EXPECT_EQ(-1, b.CreateWithFormat(4, -1, f));
    PixelFormat bad = f;
    bad.channelCount = 9;
    EXPECT_EQ(-1, b.CreateWithFormat(4, 4, bad));
    bad = f;
    bad.channelShift[1] = 32;
    EXPECT_EQ(-1, b.CreateWithFormat(4, 4, bad));
    bad = f;
    bad.channelMax[0] = 0;
    EXPECT_EQ(-1, b.CreateWithFormat(4, 4, bad));
    EXPECT_EQ(-4, b.CreateWithFormat(0x7FFFFFFF, 4, f));
    EXPECT_EQ(nullptr, b.GetPixels());
    EXPECT_EQ(nullptr, b.LockPixels());
    EXPECT_EQ(nullptr, b.AcquireContext());
    EXPECT_EQ(-1, b.Clear());
    // Still creatable after the refusals.
    EXPECT_EQ(0, b.CreateWithFormat(4, 4, f));
}

TEST(DIBitmapTest, NothingIsHandedOutBeforeCreation) {
    DIBitmap b;
    EXPECT_EQ(nullptr, b.AcquireContext());
    EXPECT_EQ(nullptr, b.LockPixels());
    EXPECT_EQ(nullptr, b.GetPixels());
    EXPECT_EQ(0, b.GetWidth());
    EXPECT_EQ(0, b.GetStride());
    EXPECT_EQ(0, b.GetBitsPerPixel());
}

TEST(DIBitmapTest, ContextIsExclusiveAndNeedsUnlockedPixels) {
    auto b = Made(4, 4, 32);
    DrawingContext* ctx = b->AcquireContext();
    ASSERT_NE(nullptr, ctx);
    EXPECT_EQ(2, ctx->GetKind());
    EXPECT_EQ(nullptr, b->AcquireContext());
    // Locking the pixels is allowed while the context is out.
    uint8_t* p = b->LockPixels();
    EXPECT_EQ(b->GetPixels(), p);
    EXPECT_EQ(nullptr, b->LockPixels());
    EXPECT_EQ(0, b->ReleaseContext(ctx));
    EXPECT_EQ(nullptr, b->AcquireContext()) << "locked pixels block the context";
    EXPECT_EQ(0, b->UnlockPixels());
    EXPECT_EQ(-1, b->UnlockPixels());
    EXPECT_EQ(ctx, b->AcquireContext());
}

TEST(DIBitmapTest, ReleasingSomeOtherContextChangesNothing) {
    auto a = Made(4, 4, 32);
    auto b = Made(4, 4, 32);
    DrawingContext* ca = a->AcquireContext();
    DrawingContext* cb = b->AcquireContext();
    ASSERT_TRUE(ca && cb);
    EXPECT_EQ(-1, a->ReleaseContext(cb));
    EXPECT_EQ(-1, a->ReleaseContext(nullptr));
    EXPECT_EQ(nullptr, a->AcquireContext()) << "flag must stay set";
    EXPECT_EQ(0, a->ReleaseContext(ca));
    EXPECT_EQ(ca, a->AcquireContext());
}

TEST(DIBitmapTest, ClearZeroesEveryRowWithoutTakingTheLock) {
    auto b = Made(5, 3, 24);
    std::memset(b->GetPixels(), 0xAB, size_t(b->GetStride()) * 3);
    ASSERT_NE(nullptr, b->LockPixels());
    EXPECT_EQ(0, b->Clear());
    for (int i = 0; i < b->GetStride() * 3; ++i)
        ASSERT_EQ(0, b->GetPixels()[i]) << i;
    EXPECT_EQ(nullptr, b->LockPixels()) << "Clear must leave the lock alone";
}
