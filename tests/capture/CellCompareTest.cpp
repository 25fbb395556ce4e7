// Change detection in 32 x 32 cells over pixel pairs, with the alternating phase.
#include "app/capture/CellCompare.h"

#include <gtest/gtest.h>

#include "app/capture/CaptureArea.h"

#include <cstring>
#include <random>
#include <set>
#include <utility>
#include <vector>

#include "comsrc/RectList.h"

namespace {

// A 32-bit image with room for row padding; `bottomUp` stores row 0 last and walks it
// with a negative stride, as a DIB section is walked.
struct Image {
    int32_t width;
    int32_t height;
    int32_t pitch; // bytes per stored row
    bool bottomUp;
    std::vector<uint8_t> bytes;

    Image(int32_t w, int32_t h, int32_t padding = 0, bool up = false)
        : width(w), height(h), pitch(w * 4 + padding), bottomUp(up),
          bytes(size_t(pitch) * h, 0x40) {}

    uint8_t* row(int32_t y) { return bytes.data() + size_t(bottomUp ? height - 1 - y : y) * pitch; }
    void set(int32_t x, int32_t y, uint32_t value) { std::memcpy(row(y) + x * 4, &value, 4); }
    PixelImage view() { return PixelImage{row(0), bottomUp ? -pitch : pitch}; }
};

std::vector<RECT> entries(comsrc::RectList& list) {
    std::vector<RECT> out;
    for (uint32_t i = 0; i < list.GetCount(); ++i)
        out.push_back(*list.GetAt(i));
    return out;
}

void expectRect(const RECT& r, int32_t l, int32_t t, int32_t rt, int32_t b) {
    EXPECT_EQ(r.left, l);
    EXPECT_EQ(r.top, t);
    EXPECT_EQ(r.right, rt);
    EXPECT_EQ(r.bottom, b);
}

TEST(CellCompare, FirstCaptureReportsTheWholeArea) {
    Image a(640, 480);
    comsrc::RectList list(256, 16);
    int32_t phase = g_comparePhase;
    EXPECT_EQ(reportChanges(true, a.view(), a.view(), 640, 480, list), 1);
    ASSERT_EQ(list.GetCount(), 1u);
    expectRect(*list.GetAt(0), 0, 0, 640, 480);
    EXPECT_EQ(g_comparePhase, phase); // the first capture compares nothing
}

TEST(CellCompare, SinglePairIsSeenAtItsPhaseOnly) {
    // Pair 3 of cell row 5 in the cell at (64, 32): looked at when (phase + 5) is odd.
    Image before(128, 96);
    Image now(128, 96);
    now.set(64 + 3 * 2 + 1, 32 + 5, 0x00FFFFFF); // the pair's second pixel
    comsrc::RectList list(256, 16);
    EXPECT_EQ(compareCells(now.view(), before.view(), 128, 96, 1, list), 0);
    EXPECT_EQ(list.GetCount(), 0u);
    EXPECT_EQ(compareCells(now.view(), before.view(), 128, 96, 0, list), 1);
    ASSERT_EQ(list.GetCount(), 1u);
    expectRect(*list.GetAt(0), 64, 32, 96, 64);
}

TEST(CellCompare, ReportChangesAlternatesThePhase) {
    Image before(64, 32);
    Image now(64, 32);
    now.set(2, 0, 1); // pair 1, row 0: seen at phase 1
    comsrc::RectList list(256, 16);
    g_comparePhase = 1;
    EXPECT_EQ(reportChanges(false, now.view(), before.view(), 64, 32, list), 0); // phase 0
    EXPECT_EQ(g_comparePhase, 0);
    EXPECT_EQ(reportChanges(false, now.view(), before.view(), 64, 32, list), 1); // phase 1
    EXPECT_EQ(g_comparePhase, 1);
}

TEST(CellCompare, RunsAndGapsInABand) {
    Image before(256, 64);
    Image now(256, 64);
    for (int32_t cell : {0, 1, 3, 6, 7})
        now.set(cell * 32, 40, 7); // band 1, cell row 8, pair 0: phase 0
    comsrc::RectList list(256, 16);
    EXPECT_EQ(compareCells(now.view(), before.view(), 256, 64, 0, list), 3);
    std::vector<RECT> r = entries(list);
    ASSERT_EQ(r.size(), 3u);
    expectRect(r[0], 0, 32, 64, 64);
    expectRect(r[1], 96, 32, 128, 64);
    expectRect(r[2], 192, 32, 256, 64); // closed at the band's end
}

TEST(CellCompare, NarrowImageEndsItsLastRunOnTheCellGrid) {
    Image before(210, 40);
    Image now(210, 40);
    now.set(200, 33, 5); // last cell (192..209, 9 pairs), pair 4, row 1 of band 1
    comsrc::RectList list(256, 16);
    EXPECT_EQ(compareCells(now.view(), before.view(), 210, 40, 1, list), 1);
    ASSERT_EQ(list.GetCount(), 1u);
    expectRect(*list.GetAt(0), 192, 32, 224, 64);
}

TEST(CellCompare, OnePixelCellHasNoPairAndNeverReports) {
    Image before(193, 32);
    Image now(193, 32);
    for (int32_t y = 0; y < 32; ++y)
        now.set(192, y, 0xFF);
    comsrc::RectList list(256, 16);
    EXPECT_EQ(compareCells(now.view(), before.view(), 193, 32, 0, list), 0);
    EXPECT_EQ(compareCells(now.view(), before.view(), 193, 32, 1, list), 0);
    // The odd last column of a wider cell is never looked at either.
    Image odd(211, 32);
    Image oddBefore(211, 32);
    odd.set(210, 0, 1);
    odd.set(210, 1, 1);
    EXPECT_EQ(compareCells(odd.view(), oddBefore.view(), 211, 32, 0, list), 0);
    EXPECT_EQ(compareCells(odd.view(), oddBefore.view(), 211, 32, 1, list), 0);
}

TEST(CellCompare, StridesWithPaddingAndBottomUpRows) {
    Image before(96, 70, 12, true);
    Image now(96, 70, 12, true);
    Image plain(96, 70, 0, false);
    now.set(34, 65, 9); // band 2 (rows 64..69), cell 1, row 1, pair 1: phase 0
    plain.set(34, 65, 9);
    comsrc::RectList a(256, 16);
    EXPECT_EQ(compareCells(now.view(), before.view(), 96, 70, 0, a), 1);
    ASSERT_EQ(a.GetCount(), 1u);
    expectRect(*a.GetAt(0), 32, 64, 64, 96);
    // The same change against an image stored top-down without padding.
    comsrc::RectList b(256, 16);
    EXPECT_EQ(compareCells(plain.view(), before.view(), 96, 70, 0, b), 1);
}

TEST(CaptureSpacing, FortyMillisecondsApart) {
    EXPECT_TRUE(captureTooEarly(1039, 1000));
    EXPECT_FALSE(captureTooEarly(1040, 1000));
    EXPECT_FALSE(captureTooEarly(5000, 1000));
    EXPECT_TRUE(captureTooEarly(0, 0)); // a fresh mediator's first reading at 0
    EXPECT_FALSE(captureTooEarly(40, 0));
    // Across the clock's wrap: 60 ms after a capture 50 ms before the wrap.
    EXPECT_FALSE(captureTooEarly(10, 0xFFFFFFCEu));
    EXPECT_TRUE(captureTooEarly(5, 0xFFFFFFF0u));
}

// Property: over random changes, each phase reports only cells that changed, and the two
// phases together report every cell with a changed pair.
TEST(CellCompare, TwoPhasesTogetherFindEveryChangedCell) {
    std::mt19937 random(12345);
    for (int trial = 0; trial < 40; ++trial) {
        int32_t w = 1 + int32_t(random() % 200);
        int32_t h = 1 + int32_t(random() % 120);
        Image before(w, h, int32_t(random() % 3) * 4, trial % 2 == 0);
        Image now(w, h, 0, trial % 3 == 0);
        for (int32_t y = 0; y < h; ++y)
            for (int32_t x = 0; x < w; ++x) {
                before.set(x, y, 0x40404040);
                now.set(x, y, 0x40404040);
            }
        std::set<std::pair<int32_t, int32_t>> changed; // cells with a changed pair
        int changes = int(random() % 6);
        for (int c = 0; c < changes; ++c) {
            int32_t x = int32_t(random() % w);
            int32_t y = int32_t(random() % h);
            now.set(x, y, uint32_t(random()) | 1);
            int32_t cellColumns = std::min(w - x / 32 * 32, 32);
            if (x % 32 < cellColumns / 2 * 2)
                changed.insert({x / 32, y / 32});
        }
        std::set<std::pair<int32_t, int32_t>> seen;
        for (int32_t phase : {0, 1}) {
            comsrc::RectList list(256, 16);
            compareCells(now.view(), before.view(), w, h, phase, list);
            for (const RECT& r : entries(list)) {
                ASSERT_EQ(r.bottom - r.top, 32);
                for (int32_t x = r.left; x < r.right; x += 32) {
                    ASSERT_TRUE(changed.count({x / 32, r.top / 32})) << trial;
                    seen.insert({x / 32, r.top / 32});
                }
            }
        }
        EXPECT_EQ(seen, changed) << "trial " << trial;
    }
}

// Property: within an area, the two phases together report exactly the cells with a changed
// pair inside it, on the whole image's cell grid; changes outside it are never seen.
TEST(CellCompare, WithinAnAreaOnlyItsPairsAreLookedAt) {
    std::mt19937 random(777);
    for (int trial = 0; trial < 60; ++trial) {
        Image before(200, 120), now(200, 120);
        const int32_t l = int32_t(random() % 200), t = int32_t(random() % 120);
        const RECT area = captureAreaWithin(
            RECT{l, t, l + 1 + int32_t(random() % 100), t + 1 + int32_t(random() % 80)}, 200, 120);
        std::set<std::pair<int32_t, int32_t>> changed;
        for (int c = 0; c < 6; ++c) {
            const int32_t x = int32_t(random() % 200), y = int32_t(random() % 120);
            now.set(x, y, uint32_t(random()) | 1);
            if (y >= area.top && y < area.bottom && x >= area.left && (x | 1) < area.right)
                changed.insert({x / 32, y / 32});
        }
        std::set<std::pair<int32_t, int32_t>> seen;
        for (int32_t phase : {0, 1}) {
            comsrc::RectList within(256, 16);
            compareCellsWithin(now.view(), before.view(), area, phase, within);
            for (const RECT& r : entries(within))
                for (int32_t x = r.left; x < r.right; x += 32) {
                    ASSERT_TRUE(r.top % 32 == 0 && changed.count({x / 32, r.top / 32})) << trial;
                    seen.insert({x / 32, r.top / 32});
                }
        }
        EXPECT_EQ(seen, changed) << "trial " << trial;
    }
}

TEST(CaptureArea, ClippedWidenedToPairsAndWhatAMoveUncovers) {
    const RECT clips[][2] = {{{17, 3, 145, 67}, {16, 3, 146, 67}},
                             {{-50, 200, 400, 300}, {0, 200, 210, 240}},
                             {{300, 0, 400, 64}, {0, 0, 0, 0}}};
    for (const auto& c : clips)
        EXPECT_TRUE(comsrc::equalRects(captureAreaWithin(c[0], 210, 240), c[1])) << c[0].left;
    const RECT moves[][3] = {{{16, 0, 144, 64}, {0, 0, 128, 64}, {128, 0, 144, 64}},
                             {{0, 0, 128, 80}, {0, 16, 128, 80}, {0, 0, 128, 16}},
                             {{0, 0, 256, 128}, {64, 32, 128, 64}, {0, 0, 256, 128}},
                             {{0, 0, 128, 64}, {0, 0, 256, 128}, {0, 0, 0, 0}}};
    for (const auto& m : moves)
        EXPECT_TRUE(comsrc::equalRects(newlyCovered(m[0], m[1]), m[2])) << m[0].left;
}

} // namespace
