#include "app/link/Packing.h"

#include <gtest/gtest.h>

#include <vector>

#include "app/link/TileRecord.h"

namespace {

constexpr int32_t kLight = 0xFF00;
constexpr int32_t kDark = 0;

struct Fixture {
    std::vector<int32_t> plane = std::vector<int32_t>(65536, kLight);
    PackSource Source(bool invert = false, int32_t rotate = 0, RECT clip = {0, 0, 128, 64}) {
        return PackSource{plane.data(), plane.size(), clip, invert, rotate};
    }
};

std::vector<uint8_t> Pack(const PackSource& source, std::vector<RECT> rects) {
    std::vector<uint8_t> block;
    PackFrameBlock(source, rects.data(), rects.size(), block);
    return block;
}

std::vector<uint8_t> Addresses(const std::vector<uint8_t>& block) {
    std::vector<uint8_t> a;
    for (size_t i = 0; i < block.size(); i += wire::kRecordSize)
        a.push_back(block[i]);
    return a;
}

TEST(Packing, NothingForAnEmptyListOrRectanglesOutsideTheWindow) {
    Fixture f;
    EXPECT_TRUE(Pack(f.Source(), {}).empty());
    RECT clip{16, 8, 144, 72};
    EXPECT_TRUE(
        Pack(f.Source(false, 0, clip), {{144, 0, 160, 80}, {0, 72, 160, 96}, {16, 8, 32, 8}})
            .empty());
}

TEST(Packing, FullWindowRunsBandByBandLeftToRight) {
    Fixture f;
    std::vector<uint8_t> block = Pack(f.Source(), {{0, 0, 128, 64}});
    ASSERT_EQ(block.size(), wire::kFullBlockSize);
    std::vector<uint8_t> a = Addresses(block);
    for (int i = 0; i < 64; ++i)
        EXPECT_EQ(a[i], i);

    std::vector<uint8_t> turned = Addresses(Pack(f.Source(false, 2), {{0, 0, 128, 64}}));
    ASSERT_EQ(turned.size(), 64u);
    for (int i = 0; i < 64; ++i)
        EXPECT_EQ(turned[i], 63 - i);
}

TEST(Packing, SingleDarkPixelAtTheCornerInEveryOrientation) {
    Fixture f;
    f.plane[0] = kDark;
    std::vector<uint8_t> expected(17, 0x00);
    expected[1] = 0x01;
    EXPECT_EQ(Pack(f.Source(), {{0, 0, 16, 8}}), expected);

    std::vector<uint8_t> inverted(17, 0xFF);
    inverted[0] = 0;
    inverted[1] = 0xFE;
    EXPECT_EQ(Pack(f.Source(true), {{0, 0, 16, 8}}), inverted);

    std::vector<uint8_t> turned(17, 0x00);
    turned[0] = 63;
    turned[16] = 0x80;
    EXPECT_EQ(Pack(f.Source(false, 2), {{0, 0, 16, 8}}), turned);
}

TEST(Packing, RowsGoToBitsAndColumnsToBytes) {
    Fixture f;
    // Window pixel (u, v) = (16 * 3 + 5, 8 * 2 + 6): group 3, band 2, column byte 5, bit 6.
    f.plane[(8 * 2 + 6) * 128 + 16 * 3 + 5] = 0x7FFF; // just below the threshold is dark
    f.plane[(8 * 2 + 1) * 128 + 16 * 3 + 5] = 0x8000; // the threshold itself is light
    std::vector<uint8_t> block = Pack(f.Source(), {{48, 16, 64, 24}});
    ASSERT_EQ(block.size(), 17u);
    EXPECT_EQ(block[0], wire::TileAddress(2, 3));
    for (int k = 0; k < 16; ++k)
        EXPECT_EQ(block[1 + k], k == 5 ? 0x40 : 0x00) << k;

    // A half turn sends it to (127 - u, 63 - v): group 4, band 5, column byte 10, bit 1.
    block = Pack(f.Source(false, 2), {{48, 16, 64, 24}});
    ASSERT_EQ(block.size(), 17u);
    EXPECT_EQ(block[0], wire::TileAddress(5, 4));
    for (int k = 0; k < 16; ++k)
        EXPECT_EQ(block[1 + k], k == 10 ? 0x02 : 0x00) << k;
}

TEST(Packing, QuarterTurnsAndUnknownCodesPackUpright) {
    Fixture f;
    f.plane[3 * 128 + 20] = kDark;
    std::vector<uint8_t> upright = Pack(f.Source(false, 0), {{0, 0, 128, 64}});
    for (int32_t code : {1, 3, -1, 4, 1000})
        EXPECT_EQ(Pack(f.Source(false, code), {{0, 0, 128, 64}}), upright) << code;
}

TEST(Packing, TilesAreRelativeToEachWindow) {
    Fixture a, b;
    a.plane[0] = kDark;
    b.plane[0] = kDark;
    // One rectangle covers the tile at (32, 16) of the capture: the corner of window B,
    // and window position (32, 16) of window A.
    RECT dirty{32, 16, 48, 24};
    std::vector<uint8_t> forA = Pack(a.Source(false, 0, {0, 0, 128, 64}), {dirty});
    std::vector<uint8_t> forB = Pack(b.Source(false, 0, {32, 16, 160, 80}), {dirty});
    ASSERT_EQ(forA.size(), 17u);
    ASSERT_EQ(forB.size(), 17u);
    EXPECT_EQ(forA[0], wire::TileAddress(2, 2));
    EXPECT_EQ(forA[1], 0x00);
    EXPECT_EQ(forB[0], 0);
    EXPECT_EQ(forB[1], 0x01);
}

TEST(Packing, TilesAtOrBeyondTheClippedRightEdgeAreNotSent) {
    Fixture f;
    // Window at x 96 on a capture 200 wide: R = 200, so the tile at x 192 straddles R and
    // is sent whole, and the one at x 208 is not sent.
    RECT clip{96, 0, 200, 64};
    std::vector<uint8_t> a = Addresses(Pack(f.Source(false, 0, clip), {{96, 0, 224, 8}}));
    EXPECT_EQ(a, (std::vector<uint8_t>{0, 1, 2, 3, 4, 5, 6}));
}

TEST(Packing, RectanglesStartingAboveOrLeftOfTheWindowSkipThoseSteps) {
    Fixture f;
    RECT clip{16, 8, 144, 72};
    std::vector<uint8_t> a = Addresses(Pack(f.Source(false, 0, clip), {{0, 0, 48, 24}}));
    EXPECT_EQ(a, (std::vector<uint8_t>{0, 1, 8, 9}));
}

TEST(Packing, NeverReadsOutsideAShortPlane) {
    // A plane that holds only the first band: tiles below it are left out, not read.
    std::vector<int32_t> plane(128 * 8, kDark);
    PackSource source{plane.data(), plane.size(), {0, 0, 128, 64}, false, 2};
    std::vector<uint8_t> block;
    RECT all{0, 0, 128, 64};
    PackFrameBlock(source, &all, 1, block);
    std::vector<uint8_t> a = Addresses(block);
    EXPECT_EQ(a, (std::vector<uint8_t>{63, 62, 61, 60, 59, 58, 57, 56}));
}

TEST(Packing, ExtremeRectanglesEndWithoutOverflow) {
    Fixture f;
    RECT huge{INT32_MAX - 20, INT32_MAX - 10, INT32_MAX, INT32_MAX};
    RECT clip{INT32_MAX - 128, INT32_MAX - 64, INT32_MAX, INT32_MAX};
    // Two bands of two steps each, off the window's grid; the loops end at the far edges.
    EXPECT_EQ(Addresses(Pack(f.Source(false, 0, clip), {huge})),
              (std::vector<uint8_t>{54, 55, 62, 63}));
}

} // namespace
