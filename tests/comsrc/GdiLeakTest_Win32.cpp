#include <functional>

#include <gtest/gtest.h>

#include "GdiObjectCount_Win32.h"
#include "comsrc/DIBitmap_Win32.h"
#include "comsrc/DrawingContext_GDIBitmap_Win32.h"
#include "comsrc/GDIBitmap_Win32.h"
#include "comsrc/Region_Win32.h"

using namespace comsrc;
using comsrc_test::CountGdiObjects;

namespace {

constexpr int kRounds = 10000;

// Runs once to settle lazily made stock objects, then kRounds times, and
// returns how many GDI objects the rounds left behind.
long ObjectsLeftBy(const std::function<void()>& round) {
    round();
    long before = CountGdiObjects();
    for (int i = 0; i < kRounds; ++i)
        round();
    return CountGdiObjects() - before;
}

} // namespace

TEST(GdiLeakTest, TheCounterSeesALeakedObject) {
    long before = CountGdiObjects();
    ASSERT_GT(before, 0);
    HRGN leaked = CreateRectRgn(0, 0, 2, 2);
    EXPECT_EQ(before + 1, CountGdiObjects());
    DeleteObject(leaked);
    EXPECT_EQ(before, CountGdiObjects());
}

TEST(GdiLeakTest, DIBSectionsGiveBackEverything) {
    long left = ObjectsLeftBy([] {
        DIBitmap_Win32 b;
        ASSERT_EQ(0, b.CreateWithDepth(9, 4, 32));
        DrawingContext* ctx = b.AcquireContext();
        ASSERT_NE(nullptr, ctx);
        ctx->Fill(0, 0, 3, 3, RGB(1, 2, 3));
        b.ReleaseContext(ctx);
    });
    EXPECT_EQ(0, left);
}

TEST(GdiLeakTest, FailedCreationsGiveBackEverything) {
    long left = ObjectsLeftBy([] {
        DIBitmap_Win32 b;
        // A header CreateDIBSection refuses: far too large to map.
        BITMAPINFO info = {};
        info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        info.bmiHeader.biWidth = 0x4000;
        info.bmiHeader.biHeight = 0x7FFF;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        b.CreateFromBitmapInfo(&info, sizeof info);
        CompatBitmap c;
        c.CreateCompatible(nullptr, 4, 4);
    });
    EXPECT_EQ(0, left);
}

TEST(GdiLeakTest, CompatibleBitmapsGiveBackEverything) {
    HDC screen = GetDC(nullptr);
    ASSERT_NE(nullptr, screen);
    long left = ObjectsLeftBy([screen] {
        CompatBitmap b;
        ASSERT_EQ(0, b.CreateCompatible(screen, 8, 8));
        // A second creation replaces the first.
        ASSERT_EQ(0, b.CreateCompatible(screen, 4, 4));
        b.AcquireContext()->Fill(0, 0, 2, 2, RGB(9, 9, 9));
    });
    EXPECT_EQ(0, left);
    ReleaseDC(nullptr, screen);
}

TEST(GdiLeakTest, SoftwareBitmapsAndCopiesThroughTemporaryDIBsGiveBackEverything) {
    DIBitmap_Win32 target;
    ASSERT_EQ(0, target.CreateWithDepth(8, 8, 32));
    DrawingContext* t = target.AcquireContext();
    long left = ObjectsLeftBy([t] {
        DIBitmap soft;
        ASSERT_EQ(0, soft.CreateWithDepth(8, 8, 16));
        ASSERT_EQ(0, t->Blt(0, 0, 8, 8, soft.AcquireContext(), 0, 0));
    });
    EXPECT_EQ(0, left);
}

TEST(GdiLeakTest, RegionsGiveBackEverything) {
    long left = ObjectsLeftBy([] {
        Region r;
        r.SetRect(0, 0, 4, 4);
        r += RECT{10, 10, 20, 20};
        Region copy = r ^ RECT { 2, 2, 12, 12 };
        copy.Scale(2.0, true);
        r &= copy;
        r -= RECT{0, 0, 1, 1};
    });
    EXPECT_EQ(0, left);
}
