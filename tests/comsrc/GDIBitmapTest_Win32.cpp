#include <cstring>
#include <memory>
#include <vector>

#include <gtest/gtest.h>

#include "comsrc/DIBitmap_Win32.h"
#include "comsrc/DrawingContext_GDIBitmap_Win32.h"
#include "comsrc/GDIBitmap_Win32.h"

using namespace comsrc;

namespace {

uint32_t Pixel(DIBitmap& b, int x, int y) {
    uint32_t v;
    std::memcpy(&v, b.GetPixels() + y * b.GetStride() + 4 * x, 4);
    return v & 0x00FFFFFF; // the fourth byte is not read
}

void SetPixel32(DIBitmap& b, int x, int y, uint32_t v) {
    std::memcpy(b.GetPixels() + y * b.GetStride() + 4 * x, &v, 4);
}

// 32-bit bitmap whose pixel (x, y) holds blue x, green y and red 0x40.
void Number(DIBitmap& b) {
    for (int y = 0; y < b.GetHeight(); ++y)
        for (int x = 0; x < b.GetWidth(); ++x)
            SetPixel32(b, x, y, 0x400000u | uint32_t(y) << 8 | uint32_t(x));
}

// Checks that the rectangle (left, top, w, h) of b holds the numbered pixels
// from (sx, sy) on, and that everything else is 0.
void ExpectCopied(DIBitmap& b, int left, int top, int w, int h, int sx, int sy) {
    for (int y = 0; y < b.GetHeight(); ++y) {
        for (int x = 0; x < b.GetWidth(); ++x) {
            bool inside = x >= left && x < left + w && y >= top && y < top + h;
            uint32_t want = 0;
            if (inside)
                want = 0x400000u | uint32_t(y - top + sy) << 8 | uint32_t(x - left + sx);
            ASSERT_EQ(want, Pixel(b, x, y)) << x << "," << y;
        }
    }
}

// A 32-bit bitmap of class B, numbered or all zeros.
template <class B> std::unique_ptr<B> Made32(int w, int h, bool numbered) {
    auto b = std::make_unique<B>();
    EXPECT_EQ(0, b->CreateWithDepth(w, h, 32));
    if (numbered)
        Number(*b);
    else
        b->Clear();
    return b;
}

HBITMAP SectionOf(DrawingContext* ctx) {
    return static_cast<HBITMAP>(
        GetCurrentObject(DrawingContext_GDIBitmap::FromContext(ctx)->GetHDC(), OBJ_BITMAP));
}

} // namespace

TEST(DIBSectionTest, IsBottomUpWithARoundedWidthAndNegativeStride) {
    DIBitmap_Win32 b;
    EXPECT_EQ(257, b.GetKind());
    ASSERT_EQ(0, b.CreateWithDepth(13, 10, 32));
    EXPECT_EQ(13, b.GetWidth());
    EXPECT_EQ(10, b.GetHeight());
    EXPECT_EQ(-64, b.GetStride());
    EXPECT_EQ(32, b.GetBitsPerPixel());
    PixelFormat standard;
    MakeStandardPixelFormat(&standard, 32);
    EXPECT_TRUE(*b.GetPixelFormat() == standard);

    DrawingContext* ctx = b.AcquireContext();
    ASSERT_NE(nullptr, ctx);
    EXPECT_EQ(256, ctx->GetKind());
    EXPECT_TRUE(*ctx->GetPixelFormat() == standard);
    DIBSECTION ds;
    ASSERT_EQ(int(sizeof ds), GetObject(SectionOf(ctx), sizeof ds, &ds));
    EXPECT_EQ(16, ds.dsBmih.biWidth);
    EXPECT_EQ(10, ds.dsBmih.biHeight);
    uint8_t* p = b.LockPixels();
    EXPECT_EQ(static_cast<uint8_t*>(ds.dsBm.bmBits) + 9 * 64, p);
    b.UnlockPixels();
}

TEST(DIBSectionTest, GdiDrawingLandsInTheLockedMemoryTopRowFirst) {
    DIBitmap_Win32 b;
    ASSERT_EQ(0, b.CreateWithDepth(13, 10, 32));
    DrawingContext* ctx = b.AcquireContext();
    ASSERT_EQ(0, ctx->Fill(0, 0, 13, 10, RGB(0, 0, 0)));
    ASSERT_EQ(0, ctx->Fill(2, 3, 4, 1, RGB(10, 20, 30)));
    b.ReleaseContext(ctx);
    uint8_t* p = b.LockPixels();
    ASSERT_NE(nullptr, p);
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 13; ++x)
            ASSERT_EQ(y == 3 && x >= 2 && x < 6 ? 0x0A141Eu : 0u, Pixel(b, x, y)) << x << "," << y;
}

TEST(DIBSectionTest, FollowsTheAcquireAndLockRules) {
    DIBitmap_Win32 b;
    EXPECT_EQ(nullptr, b.AcquireContext());
    EXPECT_EQ(nullptr, b.LockPixels());
    ASSERT_EQ(0, b.Create(4, 4));
    DrawingContext* ctx = b.AcquireContext();
    ASSERT_NE(nullptr, ctx);
    EXPECT_EQ(nullptr, b.AcquireContext());
    EXPECT_NE(nullptr, b.LockPixels());
    EXPECT_EQ(0, b.ReleaseContext(ctx));
    EXPECT_EQ(nullptr, b.AcquireContext());
    EXPECT_EQ(0, b.UnlockPixels());
    EXPECT_EQ(ctx, b.AcquireContext());
}

TEST(DIBSectionTest, RefusesWhatItCannotAddress) {
    PixelFormat f24, f32;
    MakeStandardPixelFormat(&f24, 24);
    MakeStandardPixelFormat(&f32, 32);
    DIBitmap_Win32 b;
    EXPECT_EQ(-10, b.CreateWithDepth(0, 10, 32));
    EXPECT_EQ(-10, b.CreateWithDepth(10, -1, 32));
    EXPECT_EQ(-10, b.CreateWithDepth(10, 10, 0));
    EXPECT_EQ(-1, b.CreateWithDepth(10, 10, 24));
    EXPECT_EQ(-1, b.CreateWithFormat(10, 10, f24));
    PixelFormat odd = f32;
    odd.channelShift[3] = 0;
    EXPECT_EQ(-1, b.CreateWithFormat(10, 10, odd));
    PixelFormat out = f24;
    EXPECT_EQ(-1, b.MakePixelFormat(&out, 16));
    EXPECT_TRUE(out == f24);

    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = 8;
    info.bmiHeader.biHeight = -8; // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    EXPECT_EQ(-10, b.CreateFromBitmapInfo(&info, sizeof info));
    info.bmiHeader.biHeight = 8;
    EXPECT_EQ(-1, b.CreateFromBitmapInfo(&info, 20)) << "size shorter than the header";
    info.bmiHeader.biCompression = BI_BITFIELDS;
    EXPECT_EQ(-1, b.CreateFromBitmapInfo(&info, sizeof info));
    info.bmiHeader.biCompression = BI_RGB;
    info.bmiHeader.biBitCount = 8;
    EXPECT_EQ(-1, b.CreateFromBitmapInfo(&info, sizeof info));
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biWidth = 0x7FFFFFFF; // rows times height beyond even 64 bits
    info.bmiHeader.biHeight = 0x7FFFFFFF;
    EXPECT_EQ(-1, b.CreateFromBitmapInfo(&info, sizeof info));
    EXPECT_EQ(nullptr, b.GetPixels());

    ASSERT_EQ(0, b.CreateWithFormat(10, 10, f32));
    EXPECT_EQ(-100, b.CreateWithDepth(5, 5, 32));
    EXPECT_EQ(10, b.GetWidth());
}

TEST(DIBSectionTest, FailedSectionKeepsNothing) {
    DIBitmap_Win32 b;
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = 0x4000;
    info.bmiHeader.biHeight = 0x7FFF; // 2 GiB: more than a 32-bit process can map
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    EXPECT_EQ(-1, b.CreateFromBitmapInfo(&info, sizeof info));
    EXPECT_EQ(nullptr, b.GetPixels());
    EXPECT_EQ(nullptr, b.AcquireContext());
    EXPECT_EQ(0, b.CreateWithDepth(3, 3, 32)) << "a failure leaves room for a later creation";
}

TEST(CompatBitmapTest, NeedsAReferenceAndReportsTheScreenUntilMade) {
    CompatBitmap b;
    EXPECT_EQ(1, b.GetKind());
    EXPECT_EQ(-1, b.Create(10, 10));
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), b.GetWidth());
    EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), b.GetHeight());
    EXPECT_EQ(nullptr, b.AcquireContext());
    EXPECT_EQ(nullptr, b.GetHBITMAP());
    EXPECT_EQ(-2, b.CreateCompatible(nullptr, 10, 10)) << "no device to be compatible with";
}

TEST(CompatBitmapTest, SharesOneContextAndReplacesEarlierBitmaps) {
    HDC screen = GetDC(nullptr);
    ASSERT_NE(nullptr, screen);
    CompatBitmap b;
    ASSERT_EQ(0, b.CreateCompatible(screen, 20, 10));
    EXPECT_EQ(20, b.GetWidth());
    EXPECT_EQ(10, b.GetHeight());
    HBITMAP first = b.GetHBITMAP();
    ASSERT_NE(nullptr, first);
    DrawingContext* ctx = b.AcquireContext();
    ASSERT_NE(nullptr, ctx);
    EXPECT_EQ(ctx, b.AcquireContext()) << "shared, not exclusive";
    EXPECT_EQ(first,
              GetCurrentObject(DrawingContext_GDIBitmap::FromContext(ctx)->GetHDC(), OBJ_BITMAP));
    DIBitmap other;
    ASSERT_EQ(0, other.Create(2, 2));
    EXPECT_EQ(-1, b.ReleaseContext(other.AcquireContext()));
    EXPECT_EQ(0, b.ReleaseContext(ctx));
    EXPECT_EQ(0, b.ReleaseContext(ctx)) << "release changes nothing";

    ASSERT_EQ(0, b.CreateCompatible(screen, 6, 6));
    EXPECT_EQ(0u, GetObjectType(first)) << "the earlier bitmap is deleted";
    EXPECT_EQ(6, b.GetWidth());
    ReleaseDC(nullptr, screen);
}

TEST(GdiContextTest, CopiesBetweenGdiContextsWithBitBlt) {
    auto a = Made32<DIBitmap_Win32>(12, 9, true);
    auto b = Made32<DIBitmap_Win32>(12, 9, false);
    ASSERT_EQ(0, b->AcquireContext()->Blt(1, 2, 5, 4, a->AcquireContext(), 3, 1));
    ExpectCopied(*b, 1, 2, 5, 4, 3, 1);
}

TEST(GdiContextTest, SoftwareToGdiGoesThroughATemporaryDIB) {
    auto soft = Made32<DIBitmap>(7, 5, true);
    auto target = Made32<DIBitmap_Win32>(10, 8, false);
    ASSERT_EQ(0, target->AcquireContext()->Blt(2, 1, 4, 3, soft->AcquireContext(), 1, 2));
    EXPECT_NE(nullptr, soft->LockPixels()) << "the source is left unlocked";
    soft->UnlockPixels();
    ExpectCopied(*target, 2, 1, 4, 3, 1, 2);
}

TEST(GdiContextTest, SoftwareSourcesInOtherFormatsAreConverted) {
    DIBitmap grey;
    ASSERT_EQ(0, grey.CreateWithDepth(4, 2, 8));
    const uint8_t levels[] = {0, 80, 160, 255};
    for (int y = 0; y < 2; ++y)
        std::memcpy(grey.GetPixels() + y * grey.GetStride(), levels, 4);
    DIBitmap_Win32 target;
    ASSERT_EQ(0, target.CreateWithDepth(4, 2, 32));
    ASSERT_EQ(0, target.AcquireContext()->Blt(0, 0, 4, 2, grey.AcquireContext(), 0, 0));
    for (int x = 0; x < 4; ++x)
        EXPECT_EQ(uint32_t(levels[x]) << 16, Pixel(target, x, 1)) << x;
}

TEST(GdiContextTest, GdiToSoftwareChangesNothing) {
    auto source = Made32<DIBitmap_Win32>(6, 6, true);
    auto soft = Made32<DIBitmap>(6, 6, false);
    DrawingContext* s = source->AcquireContext();
    EXPECT_EQ(0, soft->AcquireContext()->Blt(0, 0, 6, 6, s, 0, 0));
    ExpectCopied(*soft, 0, 0, 0, 0, 0, 0);
    uint32_t out[4] = {};
    EXPECT_EQ(-1, s->ExportPixels(reinterpret_cast<uint8_t*>(out), 16, source->GetPixelFormat(), 0,
                                  0, 4, 1));
}

TEST(GdiContextTest, StretchAndBlendNeedAGdiSource) {
    DIBitmap_Win32 small, big;
    ASSERT_EQ(0, small.CreateWithDepth(2, 2, 32));
    ASSERT_EQ(0, big.CreateWithDepth(4, 4, 32));
    SetPixel32(small, 0, 0, 0x112233);
    SetPixel32(small, 1, 0, 0x445566);
    SetPixel32(small, 0, 1, 0x778899);
    SetPixel32(small, 1, 1, 0xAABBCC);
    DrawingContext* cs = small.AcquireContext();
    DrawingContext* cb = big.AcquireContext();
    ASSERT_EQ(0, cb->Stretch(0, 0, 4, 4, cs, 0, 0, 2, 2));
    EXPECT_EQ(0x112233u, Pixel(big, 1, 1));
    EXPECT_EQ(0x445566u, Pixel(big, 2, 1));
    EXPECT_EQ(0xAABBCCu, Pixel(big, 3, 3));
    ASSERT_EQ(0, cb->Fill(0, 0, 4, 4, RGB(0, 0, 0)));
    ASSERT_EQ(0, cb->Blend(0, 0, 2, 2, cs, 0, 0, 2, 2, 0, 255));
    EXPECT_EQ(0x778899u, Pixel(big, 0, 1));
    EXPECT_EQ(0u, Pixel(big, 2, 2));
    ASSERT_EQ(0, cb->Blend(2, 2, 2, 2, cs, 0, 0, 2, 2, 0, 0));
    EXPECT_EQ(0u, Pixel(big, 2, 2)) << "constant alpha 0 leaves the target";

    DIBitmap soft;
    ASSERT_EQ(0, soft.Create(2, 2));
    DrawingContext* sc = soft.AcquireContext();
    EXPECT_EQ(-1, cb->Stretch(0, 0, 4, 4, sc, 0, 0, 2, 2));
    EXPECT_EQ(-1, cb->Blend(0, 0, 2, 2, sc, 0, 0, 2, 2, 0, 255));
    EXPECT_EQ(-1, cb->Blt(0, 0, 2, 2, nullptr, 0, 0));
}

TEST(GdiContextTest, ScreenCaptureShapeWorksThroughACompatibleBitmap) {
    HDC screen = GetDC(nullptr);
    ASSERT_NE(nullptr, screen);
    CompatBitmap compat;
    ASSERT_EQ(0, compat.CreateCompatible(screen, 8, 8));
    DrawingContext* cc = compat.AcquireContext();
    ASSERT_EQ(0, cc->Fill(0, 0, 8, 8, RGB(255, 0, 0)));
    ASSERT_EQ(0, cc->Fill(4, 4, 4, 4, RGB(0, 0, 255)));
    DIBitmap_Win32 frame;
    ASSERT_EQ(0, frame.CreateWithDepth(8, 8, 32));
    DrawingContext* fc = frame.AcquireContext();
    ASSERT_EQ(0, fc->Blt(0, 0, 8, 8, cc, 0, 0));
    frame.ReleaseContext(fc);
    ASSERT_NE(nullptr, frame.LockPixels());
    EXPECT_EQ(0xFF0000u, Pixel(frame, 0, 0));
    EXPECT_EQ(0x0000FFu, Pixel(frame, 7, 7));
    frame.UnlockPixels();
    ReleaseDC(nullptr, screen);
}
