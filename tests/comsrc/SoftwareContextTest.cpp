#include <cstring>
#include <memory>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "comsrc/DIBitmap.h"
#include "comsrc/DrawingContext.h"

using namespace comsrc;

namespace {

std::unique_ptr<DIBitmap> Made(int32_t w, int32_t h, int32_t bits) {
    auto b = std::make_unique<DIBitmap>();
    EXPECT_EQ(0, b->CreateWithDepth(w, h, bits));
    EXPECT_EQ(0, b->Clear());
    return b;
}

PixelFormat Standard(int32_t bits) {
    PixelFormat f;
    MakeStandardPixelFormat(&f, bits);
    return f;
}

uint32_t Rgb(uint32_t r, uint32_t g, uint32_t b) {
    return r << 16 | g << 8 | b;
}

uint32_t Word(const DIBitmap& b, int x, int y) {
    uint32_t v;
    std::memcpy(&v, b.GetPixels() + y * b.GetStride() + 4 * x, 4);
    return v;
}

void SetWord(DIBitmap& b, int x, int y, uint32_t v) {
    std::memcpy(b.GetPixels() + y * b.GetStride() + 4 * x, &v, 4);
}

// Bitmap whose pixel (x, y) holds 1000 * y + x + 1, so every copied pixel names its origin.
std::unique_ptr<DIBitmap> Numbered(int32_t w, int32_t h) {
    auto b = Made(w, h, 32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            SetWord(*b, x, y, uint32_t(1000 * y + x + 1));
    return b;
}

// Pixel x of a row at a sub-byte depth, packed most significant bits first.
uint32_t SubPixel(const uint8_t* row, int x, int bpp) {
    int bit = x * bpp;
    return (row[bit / 8] >> (8 - bit % 8 - bpp)) & ((1u << bpp) - 1);
}

// A source that behaves like a GDI-backed context: it exports nothing.
class OpaqueContext : public DrawingContext {
public:
    OpaqueContext() : DrawingContext(kContextKindGDIBitmap) {}
    int32_t Blt(int32_t, int32_t, int32_t, int32_t, DrawingContext*, int32_t, int32_t) override {
        return 0;
    }
    int32_t Stretch(int32_t, int32_t, int32_t, int32_t, DrawingContext*, int32_t, int32_t, int32_t,
                    int32_t) override {
        return 0;
    }
    int32_t Blend(int32_t, int32_t, int32_t, int32_t, DrawingContext*, int32_t, int32_t, int32_t,
                  int32_t, int32_t, int32_t) override {
        return 0;
    }
    int32_t Fill(int32_t, int32_t, int32_t, int32_t, uint32_t) override { return 0; }
    int32_t ExportPixels(uint8_t*, int32_t, const PixelFormat*, int32_t, int32_t, int32_t,
                         int32_t) override {
        ++exports;
        return -1;
    }
    const PixelFormat* GetPixelFormat() override { return &format; }
    int exports = 0;
    PixelFormat format{};
};

} // namespace

TEST(SoftwareBltTest, ClipsEveryEdgeAndShiftsTheSource) {
    auto src = Numbered(10, 6);
    struct Case {
        int dx, dy, w, h, sx, sy;
    } cases[] = {
        {-3, 0, 10, 1, 0, 0},
        {5, 2, 10, 10, 1, 1},
        {2, -2, 3, 4, 4, 1},
        {0, 0, 8, 6, 0, 0},
    };
    DrawingContext* s = src->AcquireContext();
    for (const Case& c : cases) {
        auto dst = Made(8, 6, 32);
        ASSERT_EQ(0, dst->AcquireContext()->Blt(c.dx, c.dy, c.w, c.h, s, c.sx, c.sy));
        for (int y = 0; y < 6; ++y) {
            for (int x = 0; x < 8; ++x) {
                bool inside = x >= c.dx && x < c.dx + c.w && y >= c.dy && y < c.dy + c.h;
                uint32_t want = 0;
                if (inside)
                    want = uint32_t(1000 * (c.sy + y - c.dy) + c.sx + x - c.dx + 1);
                ASSERT_EQ(want, Word(*dst, x, y)) << "case dx " << c.dx << " at " << x << "," << y;
            }
        }
    }
}

TEST(SoftwareBltTest, MinusThreeCopiesSevenColumnsFromThreeOn) {
    auto src = Numbered(10, 1);
    auto dst = Made(10, 1, 32);
    ASSERT_EQ(0, dst->AcquireContext()->Blt(-3, 0, 10, 1, src->AcquireContext(), 0, 0));
    for (int x = 0; x < 7; ++x)
        EXPECT_EQ(uint32_t(x + 4), Word(*dst, x, 0));
    for (int x = 7; x < 10; ++x)
        EXPECT_EQ(0u, Word(*dst, x, 0));
}

TEST(SoftwareBltTest, CopiesWithinOneBitmapInEitherDirection) {
    const int shifts[][2] = {{1, 2}, {-2, -1}, {0, 3}, {2, 0}};
    for (const auto& shift : shifts) {
        auto b = Numbered(8, 8);
        auto want = Numbered(8, 8);
        DrawingContext* ctx = b->AcquireContext();
        ASSERT_EQ(0, ctx->Blt(shift[0], shift[1], 8, 8, ctx, 0, 0));
        for (int y = 0; y < 8; ++y) {
            for (int x = 0; x < 8; ++x) {
                int fx = x - shift[0], fy = y - shift[1];
                bool moved = x >= shift[0] && y >= shift[1] && fx < 8 && fy < 8;
                uint32_t expected = moved ? Word(*want, fx, fy) : Word(*want, x, y);
                ASSERT_EQ(expected, Word(*b, x, y))
                    << shift[0] << "," << shift[1] << " at " << x << "," << y;
            }
        }
    }
}

TEST(SoftwareBltTest, SubByteCopiesWithinOneBitmapMatchACopyTakenFirst) {
    std::mt19937 rng(13);
    for (int bits : {1, 2, 4}) {
        const int per = 8 / bits; // pixels in one byte: the alignment of the target
        const int shifts[][2] = {{per, 0}, {2 * per, 1}, {0, 1}, {-per, 0}, {per, -2}};
        for (const auto& shift : shifts) {
            auto b = Made(40, 6, bits);
            for (int i = 0; i < 6 * b->GetStride(); ++i)
                b->GetPixels()[i] = uint8_t(rng());
            std::vector<uint8_t> before(b->GetPixels(), b->GetPixels() + 6 * b->GetStride());
            const int dx = 2 * per + shift[0], dy = 2 + shift[1], sx = 2 * per + 1, sy = 2;
            DrawingContext* ctx = b->AcquireContext();
            ASSERT_EQ(0, ctx->Blt(dx, dy, 19, 3, ctx, sx, sy));
            for (int y = 0; y < 6; ++y) {
                for (int x = 0; x < 40; ++x) {
                    bool inside = x >= dx && x < dx + 19 && y >= dy && y < dy + 3;
                    int fx = inside ? x - dx + sx : x, fy = inside ? y - dy + sy : y;
                    ASSERT_EQ(SubPixel(before.data() + fy * b->GetStride(), fx, bits),
                              SubPixel(b->GetPixels() + y * b->GetStride(), x, bits))
                        << bits << " bits, shift " << shift[0] << "," << shift[1] << " at " << x
                        << "," << y;
                }
            }
        }
    }
}

TEST(SoftwareBltTest, ClippedAwayCopiesReturnZero) {
    auto src = Numbered(4, 4);
    auto dst = Made(4, 4, 32);
    DrawingContext* ctx = dst->AcquireContext();
    DrawingContext* s = src->AcquireContext();
    EXPECT_EQ(0, ctx->Blt(4, 0, 2, 2, s, 0, 0));
    EXPECT_EQ(0, ctx->Blt(-2, 0, 2, 2, s, 0, 0));
    EXPECT_EQ(0, ctx->Blt(0, -9, 2, 9, s, 0, 0));
    EXPECT_EQ(0, ctx->Blt(0x7FFFFFF0, 0x7FFFFFF0, 0x7FFFFFF0, 1, s, 0, 0));
    EXPECT_EQ(0, ctx->Blt(-0x7FFFFFF0, 0, 0x7FFFFFF0, 4, s, 0x7FFFFFF0, 0));
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(0u, Word(*dst, x, y));
}

TEST(SoftwareBltTest, LockedPixelsAndMisalignedSubByteTargetsAreRefused) {
    auto src = Numbered(16, 2);
    auto dst = Made(16, 2, 32);
    DrawingContext* ctx = dst->AcquireContext();
    DrawingContext* s = src->AcquireContext();
    ASSERT_NE(nullptr, dst->LockPixels());
    EXPECT_EQ(-1, ctx->Blt(0, 0, 4, 1, s, 0, 0));
    EXPECT_EQ(-1, ctx->Fill(0, 0, 4, 1, 7));
    dst->UnlockPixels();
    EXPECT_EQ(-1, ctx->Blt(0, 0, 4, 1, nullptr, 0, 0));

    const int depths[] = {1, 2, 4};
    for (int bits : depths) {
        auto sub = Made(32, 2, bits);
        DrawingContext* sc = sub->AcquireContext();
        int perByte = 8 / bits;
        EXPECT_EQ(-2, sc->Blt(1, 0, 4, 1, s, 0, 0)) << bits;
        EXPECT_EQ(-2, sc->Blt(perByte - 1, 0, 4, 1, s, 0, 0)) << bits;
        EXPECT_EQ(0, sc->Blt(perByte, 0, 4, 1, s, 0, 0)) << bits;
        EXPECT_EQ(0, sc->Blt(-perByte - 1, 0, 4, 1, s, 0, 0)) << "clipped to column 0";
        EXPECT_NE(nullptr, sub->LockPixels()) << "the lock must be given back";
    }
}

TEST(SoftwareBltTest, OpaqueSourceLeavesTheBitmapUnchanged) {
    auto dst = Numbered(4, 4);
    std::vector<uint8_t> before(dst->GetPixels(), dst->GetPixels() + 16 * 4);
    OpaqueContext gdi;
    EXPECT_EQ(0, dst->AcquireContext()->Blt(0, 0, 4, 4, &gdi, 0, 0));
    EXPECT_EQ(1, gdi.exports);
    EXPECT_EQ(0, std::memcmp(before.data(), dst->GetPixels(), before.size()));
    EXPECT_NE(nullptr, dst->LockPixels()) << "Blt must unlock after an ignored failure";
}

TEST(SoftwareBltTest, StretchDoesNothingAndBlendIsAPlainCopy) {
    auto src = Numbered(6, 6);
    auto dst = Made(6, 6, 32);
    DrawingContext* ctx = dst->AcquireContext();
    DrawingContext* s = src->AcquireContext();
    EXPECT_EQ(0, ctx->Stretch(0, 0, 6, 6, s, 0, 0, 3, 3));
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 6; ++x)
            ASSERT_EQ(0u, Word(*dst, x, y));
    EXPECT_EQ(0, ctx->Blend(1, 2, 3, 2, s, 2, 1, 99, 99, 1, 17));
    for (int y = 0; y < 6; ++y) {
        for (int x = 0; x < 6; ++x) {
            bool inside = x >= 1 && x < 4 && y >= 2 && y < 4;
            uint32_t want = inside ? uint32_t(1000 * (y - 1) + x + 2) : 0;
            ASSERT_EQ(want, Word(*dst, x, y)) << x << "," << y;
        }
    }
}

TEST(SoftwareFillTest, ClipsAndWritesOnlyTheRectangle) {
    auto b = Made(6, 4, 32);
    DrawingContext* ctx = b->AcquireContext();
    EXPECT_EQ(0, ctx->Fill(-5, 0, 3, 4, 0xFFFFFFFF));
    EXPECT_EQ(0, ctx->Fill(0, 4, 6, 3, 0xFFFFFFFF));
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 6; ++x)
            ASSERT_EQ(0u, Word(*b, x, y));
    EXPECT_EQ(0, ctx->Fill(-2, 3, 4, 5, 0x11223344));
    EXPECT_EQ(0, ctx->Fill(4, -1, 9, 2, 0xCAFE));
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 6; ++x) {
            uint32_t want = 0;
            if (x < 2 && y == 3)
                want = 0x11223344;
            if (x >= 4 && y == 0)
                want = 0xCAFE;
            ASSERT_EQ(want, Word(*b, x, y)) << x << "," << y;
        }
    }
}

TEST(SoftwareFillTest, EveryDepthReplacesExactlyTheFilledPixels) {
    const int depths[] = {1, 2, 4, 8, 16, 24, 32};
    std::mt19937 rng(7);
    for (int bits : depths) {
        auto b = Made(21, 3, bits);
        int stride = b->GetStride();
        for (int i = 0; i < stride * 3; ++i)
            b->GetPixels()[i] = uint8_t(rng());
        std::vector<uint8_t> before(b->GetPixels(), b->GetPixels() + stride * 3);
        uint32_t value = 0xA5C3E1u;
        ASSERT_EQ(0, b->AcquireContext()->Fill(3, 1, 13, 1, value));
        const uint8_t* now = b->GetPixels();
        for (int y = 0; y < 3; ++y) {
            for (int x = 0; x < 21; ++x) {
                int bit = x * bits;
                bool filled = y == 1 && x >= 3 && x < 16;
                if (bits < 8) {
                    uint32_t got = SubPixel(now + y * stride, x, bits);
                    uint32_t old = SubPixel(before.data() + y * stride, x, bits);
                    uint32_t want = filled ? (value & ((1u << bits) - 1)) : old;
                    ASSERT_EQ(want, got) << bits << " bits at " << x << "," << y;
                    continue;
                }
                for (int k = 0; k < bits / 8; ++k) {
                    int at = y * stride + bit / 8 + k;
                    uint8_t want = filled ? uint8_t(value >> (8 * k)) : before[size_t(at)];
                    ASSERT_EQ(want, now[at])
                        << bits << " bits at " << x << "," << y << " byte " << k;
                }
            }
        }
        // Row padding past the last pixel is never touched.
        for (int i = (21 * bits + 7) / 8; i < stride; ++i)
            ASSERT_EQ(before[size_t(stride + i)], now[stride + i]) << bits;
    }
}

TEST(ExportTest, ConvertsThirtyTwoBitsToSixteen) {
    auto src = Made(2, 1, 32);
    SetWord(*src, 0, 0, Rgb(255, 128, 0));
    SetWord(*src, 1, 0, Rgb(0, 255, 8));
    uint16_t out[2] = {};
    PixelFormat d = Standard(16);
    ASSERT_EQ(
        0, src->AcquireContext()->ExportPixels(reinterpret_cast<uint8_t*>(out), 4, &d, 0, 0, 2, 1));
    EXPECT_EQ(31, out[0] >> 11);
    EXPECT_EQ(32, (out[0] >> 5) & 63);
    EXPECT_EQ(0, out[0] & 31);
    EXPECT_EQ(0, out[1] >> 11);
    EXPECT_EQ(63, (out[1] >> 5) & 63);
    EXPECT_EQ(1, out[1] & 31); // (8 * 31 + 127) / 255 = 1
}

TEST(ExportTest, EightBitGreyKeepsRedOnly) {
    auto src = Made(3, 1, 32);
    SetWord(*src, 0, 0, Rgb(200, 10, 20));
    SetWord(*src, 1, 0, Rgb(0, 255, 255));
    SetWord(*src, 2, 0, 0xFF000000u | Rgb(255, 0, 0));
    uint8_t out[3] = {};
    PixelFormat d = Standard(8);
    ASSERT_EQ(0, src->AcquireContext()->ExportPixels(out, 3, &d, 0, 0, 3, 1));
    EXPECT_EQ(200, out[0]);
    EXPECT_EQ(0, out[1]);
    EXPECT_EQ(255, out[2]);
}

TEST(ExportTest, TwentyFourBitsInBothByteOrders) {
    auto src = Made(2, 2, 32);
    SetWord(*src, 0, 1, Rgb(0x11, 0x22, 0x33));
    SetWord(*src, 1, 1, Rgb(0xA1, 0xB2, 0xC3));
    PixelFormat lsb = Standard(24), msb = Standard(24);
    msb.flags |= kPixelFlagMsbFirst24;
    uint8_t out[6];
    DrawingContext* ctx = src->AcquireContext();
    ASSERT_EQ(0, ctx->ExportPixels(out, 6, &lsb, 0, 1, 2, 1));
    const uint8_t bgr[6] = {0x33, 0x22, 0x11, 0xC3, 0xB2, 0xA1};
    EXPECT_EQ(0, std::memcmp(out, bgr, 6));
    ASSERT_EQ(0, ctx->ExportPixels(out, 6, &msb, 0, 1, 2, 1));
    const uint8_t rgb[6] = {0x11, 0x22, 0x33, 0xA1, 0xB2, 0xC3};
    EXPECT_EQ(0, std::memcmp(out, rgb, 6));
}

TEST(ExportTest, RandomPixelsSurviveEveryWideRoundTrip) {
    std::mt19937 rng(11);
    auto src = Made(37, 5, 32);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 37; ++x)
            SetWord(*src, x, y, rng() & 0x00FFFFFF);
    PixelFormat msb = Standard(24);
    msb.flags |= kPixelFlagMsbFirst24;
    PixelFormat mids[] = {Standard(24), msb, Standard(32)};
    DrawingContext* s = src->AcquireContext();
    for (const PixelFormat& mid : mids) {
        auto tmp = std::make_unique<DIBitmap>();
        ASSERT_EQ(0, tmp->CreateWithFormat(37, 5, mid));
        auto back = Made(37, 5, 32);
        DrawingContext* t = tmp->AcquireContext();
        ASSERT_EQ(0, t->Blt(0, 0, 37, 5, s, 0, 0));
        ASSERT_EQ(0, back->AcquireContext()->Blt(0, 0, 37, 5, t, 0, 0));
        for (int y = 0; y < 5; ++y)
            for (int x = 0; x < 37; ++x)
                ASSERT_EQ(Word(*src, x, y), Word(*back, x, y)) << mid.flags << " " << x << "," << y;
    }
}

TEST(ExportTest, SubByteFormatsRoundToTheNearestLevel) {
    auto grey = Made(19, 2, 8);
    for (int x = 0; x < 19; ++x) {
        grey->GetPixels()[x] = uint8_t(x * 14);
        grey->GetPixels()[grey->GetStride() + x] = uint8_t(255 - x * 14);
    }
    const int depths[] = {1, 2, 4};
    DrawingContext* g = grey->AcquireContext();
    for (int bits : depths) {
        auto sub = Made(19, 2, bits);
        DrawingContext* sc = sub->AcquireContext();
        ASSERT_EQ(0, sc->Blt(0, 0, 19, 2, g, 0, 0));
        uint32_t max = (1u << bits) - 1;
        for (int y = 0; y < 2; ++y) {
            for (int x = 0; x < 19; ++x) {
                uint32_t v = grey->GetPixels()[y * grey->GetStride() + x];
                uint32_t want = (v * max + 127) / 255;
                ASSERT_EQ(want, SubPixel(sub->GetPixels() + y * sub->GetStride(), x, bits))
                    << bits << " bits at " << x << "," << y;
            }
        }
        // And back up to eight bits: every level maps to its evenly spaced grey.
        auto up = Made(19, 2, 8);
        ASSERT_EQ(0, up->AcquireContext()->Blt(0, 0, 19, 2, sc, 0, 0));
        for (int x = 0; x < 19; ++x) {
            uint32_t level = SubPixel(sub->GetPixels(), x, bits);
            EXPECT_EQ((level * 255 + max / 2) / max, up->GetPixels()[x]) << bits;
        }
    }
}

TEST(ExportTest, ClippedSourceStillLandsAtTheDestinationStart) {
    auto src = Numbered(5, 3);
    uint32_t out[4 * 2];
    std::memset(out, 0xEE, sizeof out);
    PixelFormat d = Standard(32);
    DrawingContext* ctx = src->AcquireContext();
    ASSERT_EQ(0, ctx->ExportPixels(reinterpret_cast<uint8_t*>(out), 16, &d, -2, 2, 4, 3));
    EXPECT_EQ(2001u, out[0]);
    EXPECT_EQ(2002u, out[1]);
    EXPECT_EQ(0xEEEEEEEEu, out[2]);
    EXPECT_EQ(0xEEEEEEEEu, out[4]) << "row 3 lies outside the source";
    EXPECT_EQ(0, ctx->ExportPixels(reinterpret_cast<uint8_t*>(out), 16, &d, 5, 0, 4, 3));
    EXPECT_EQ(0, ctx->ExportPixels(reinterpret_cast<uint8_t*>(out), 16, &d, 0, -3, 4, 3));
    EXPECT_EQ(2001u, out[0]);
}

TEST(ExportTest, WorksWhileTheOwnerHoldsTheLockAndSkipsOtherColourModels) {
    auto src = Numbered(3, 1);
    ASSERT_NE(nullptr, src->LockPixels());
    uint32_t out[3] = {};
    PixelFormat d = Standard(32);
    DrawingContext* ctx = src->AcquireContext();
    ASSERT_EQ(nullptr, ctx) << "locked pixels block the context";
    src->UnlockPixels();
    ctx = src->AcquireContext();
    src->LockPixels();
    ASSERT_EQ(0, ctx->ExportPixels(reinterpret_cast<uint8_t*>(out), 12, &d, 0, 0, 3, 1));
    EXPECT_EQ(3u, out[2]);
    PixelFormat other = Standard(16);
    other.colorModel = 2;
    uint16_t none[3] = {9, 9, 9};
    EXPECT_EQ(0, ctx->ExportPixels(reinterpret_cast<uint8_t*>(none), 6, &other, 0, 0, 3, 1));
    EXPECT_EQ(9, none[0]);
    PixelFormat broken = Standard(16);
    broken.channelShift[0] = 40;
    EXPECT_EQ(-1, ctx->ExportPixels(reinterpret_cast<uint8_t*>(none), 6, &broken, 0, 0, 3, 1));
    EXPECT_EQ(-1, ctx->ExportPixels(nullptr, 6, &d, 0, 0, 3, 1));
}
