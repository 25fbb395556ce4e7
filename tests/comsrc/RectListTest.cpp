#include "comsrc/RectList.h"

#include <gtest/gtest.h>

#include <random>
#include <set>
#include <utility>
#include <vector>

using comsrc::RectList;

// Found by argument-dependent lookup, which needs the namespace of RECT.
static bool operator==(const RECT& a, const RECT& b) {
    return comsrc::equalRects(a, b);
}

namespace {

std::vector<RECT> entries(RectList& list) {
    std::vector<RECT> out;
    for (uint32_t i = 0; i < list.GetCount(); ++i)
        out.push_back(*list.GetAt(i));
    return out;
}

using PixelSet = std::set<std::pair<int, int>>;

void paint(PixelSet& pixels, const RECT& r) {
    for (int y = r.top; y < r.bottom; ++y)
        for (int x = r.left; x < r.right; ++x)
            pixels.insert({x, y});
}

// The model of a grid: floor the leading edges, ceil the trailing ones.
int floorTo(int v, int g) {
    return v >= 0 ? v / g * g : -((-v + g - 1) / g) * g;
}
int ceilTo(int v, int g) {
    return -floorTo(-v, g);
}
RECT modelSnap(const RECT& r, int g) {
    return RECT{floorTo(r.left, g), floorTo(r.top, g), ceilTo(r.right, g), ceilTo(r.bottom, g)};
}

RECT randomRect(std::mt19937& rng, int lo, int hi, bool onGrid) {
    std::uniform_int_distribution<int> coord(lo, hi);
    std::uniform_int_distribution<int> size(1, 40);
    int l = coord(rng), t = coord(rng);
    RECT r{l, t, l + size(rng), t + size(rng)};
    return onGrid ? modelSnap(r, 16) : r;
}

// Non-empty entries must be pairwise disjoint, on the grid, and cover exactly the model.
void expectExactCover(RectList& list, const PixelSet& model) {
    PixelSet covered;
    size_t area = 0;
    for (const RECT& e : entries(list)) {
        if (comsrc::isEmptyRect(e))
            continue;
        EXPECT_EQ(0, ((e.left % 16) + 16) % 16);
        EXPECT_EQ(0, ((e.top % 16) + 16) % 16);
        EXPECT_EQ(0, ((e.right % 16) + 16) % 16);
        EXPECT_EQ(0, ((e.bottom % 16) + 16) % 16);
        area += static_cast<size_t>(e.right - e.left) * (e.bottom - e.top);
        paint(covered, e);
    }
    EXPECT_EQ(covered.size(), area) << "entries overlap";
    EXPECT_EQ(covered, model);
}

} // namespace

TEST(RectListSnap, SnapsOutwardOnTheGrid) {
    RectList list(256, 16);
    list.Add(RECT{3, 5, 20, 21});
    ASSERT_EQ(1u, list.GetCount());
    EXPECT_EQ((RECT{0, 0, 32, 32}), *list.GetAt(0));

    list.Append(RECT{0, 0, 0, 0}); // Append keeps empty rectangles: one cell
    EXPECT_EQ((RECT{0, 0, 16, 16}), *list.GetAt(1));

    RECT onGrid{16, 32, 48, 64};
    list.SnapToGrid(onGrid);
    EXPECT_EQ((RECT{16, 32, 48, 64}), onGrid);

    // Negative leading edges move down too, so no changed pixel falls outside.
    RECT negative{-5, -20, -3, 1};
    list.SnapToGrid(negative);
    EXPECT_LE(negative.left, -5);
    EXPECT_LE(negative.top, -20);
    EXPECT_EQ(-16, negative.left);
    EXPECT_EQ(-32, negative.top);
    EXPECT_EQ(0, negative.right);
    EXPECT_EQ(16, negative.bottom);

    // Snapping a snapped rectangle changes nothing, also across the origin: Add relies on it.
    for (RECT r : {RECT{-32, -16, 0, 0}, RECT{-16, 0, 16, 32}, RECT{16, 16, 32, 32}}) {
        RECT again = r;
        list.SnapToGrid(again);
        EXPECT_EQ(r, again);
    }

    RECT extreme{INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX};
    list.SnapToGrid(extreme); // saturates instead of overflowing
    EXPECT_EQ(INT32_MIN, extreme.left);
    EXPECT_EQ(INT32_MAX, extreme.right);

    RectList noGrid(256, 1);
    RECT odd{3, 5, 7, 9};
    noGrid.SnapToGrid(odd);
    EXPECT_EQ((RECT{3, 5, 7, 9}), odd);
}

TEST(RectListAdd, SplitsPartialOverlapIntoDisjointPieces) {
    RectList list(256, 16);
    list.Add(RECT{0, 0, 32, 32});
    list.Add(RECT{16, 16, 64, 64});
    EXPECT_EQ((std::vector<RECT>{{0, 0, 32, 32}, {32, 16, 64, 64}, {16, 32, 32, 64}}),
              entries(list));
}

TEST(RectListAdd, CoveredAndSwallowedEntries) {
    RectList list(256, 16);
    list.Add(RECT{16, 16, 32, 32});
    list.Add(RECT{20, 20, 24, 24}); // already covered
    EXPECT_EQ(1u, list.GetCount());
    list.Add(RECT{0, 0, 64, 64}); // swallows the entry: cleared in place, still counted
    EXPECT_EQ((std::vector<RECT>{{0, 0, 0, 0}, {0, 0, 64, 64}}), entries(list));
    list.Add(RECT{5, 5, 5, 50}); // empty: nothing stored
    EXPECT_EQ(2u, list.GetCount());
    list.RemoveEmpty();
    EXPECT_EQ((std::vector<RECT>{{0, 0, 64, 64}}), entries(list));
}

TEST(RectListAdd, MatchesPixelModelOnRandomRectangles) {
    std::mt19937 rng(1234);
    for (int round = 0; round < 60; ++round) {
        RectList list(1u << 30, 16); // never collapses: the exact guarantee holds
        PixelSet model;
        const bool onGrid = round % 2 == 0;
        const int lo = round % 3 == 0 ? -100 : 0;
        for (int n = 0; n < 25; ++n) {
            const RECT r = randomRect(rng, lo, 150, onGrid);
            list.Add(r);
            paint(model, modelSnap(r, 16));
        }
        expectExactCover(list, model);
    }
}

TEST(RectListAdd, CollapsesToBoundsPastTheLimit) {
    RectList list(256, 16);
    for (int i = 0; i < 257; ++i)
        list.Add(RECT{i * 32, 0, i * 32 + 16, 16}); // 257 disjoint cells
    ASSERT_EQ(257u, list.GetCount());
    list.Add(RECT{0, 100, 1, 101});
    // The 257 entries became their bounding box, then the new cell joined it.
    EXPECT_EQ((std::vector<RECT>{{0, 0, 256 * 32 + 16, 16}, {0, 96, 16, 112}}), entries(list));

    // After a collapse the entries still cover everything that was added.
    std::mt19937 rng(99);
    RectList small(8, 16);
    PixelSet model;
    for (int n = 0; n < 100; ++n) {
        const RECT r = randomRect(rng, -40, 200, false);
        small.Add(r);
        paint(model, modelSnap(r, 16));
    }
    PixelSet covered;
    for (const RECT& e : entries(small))
        paint(covered, e);
    for (const auto& p : model)
        ASSERT_TRUE(covered.count(p)) << p.first << "," << p.second;
}

TEST(RectListStorage, ChunkBoundaryAndRemoval) {
    RectList list(256, 16);
    for (int i = 0; i < 1025; ++i)
        ASSERT_EQ(0, list.Append(RECT{i * 16, 0, i * 16 + 16, 16}));
    EXPECT_EQ(1025u, list.GetCount());
    EXPECT_EQ((RECT{1024 * 16, 0, 1025 * 16, 16}), *list.GetAt(1024));
    EXPECT_EQ(nullptr, list.GetAt(1025));
    EXPECT_EQ(nullptr, list.GetAt(UINT32_MAX));
    EXPECT_EQ(-1, list.RemoveAt(1025));
    EXPECT_EQ(-1, list.ClearAt(1025));

    // Removing from the first chunk shifts its entries; the second chunk is still reached.
    ASSERT_EQ(0, list.RemoveAt(0));
    EXPECT_EQ((RECT{16, 0, 32, 16}), *list.GetAt(0));
    EXPECT_EQ((RECT{1024 * 16, 0, 1025 * 16, 16}), *list.GetAt(1023));
    EXPECT_EQ((RECT{0, 0, 1025 * 16, 16}), *list.GetBounds()); // bounds do not shrink

    // Emptying the first chunk and appending again frees it and keeps order.
    for (int i = 0; i < 1023; ++i)
        ASSERT_EQ(0, list.RemoveAt(0));
    ASSERT_EQ(1u, list.GetCount());
    ASSERT_EQ(0, list.Append(RECT{0, 32, 16, 48}));
    EXPECT_EQ((std::vector<RECT>{{1024 * 16, 0, 1025 * 16, 16}, {0, 32, 16, 48}}), entries(list));

    EXPECT_EQ(0, list.RemoveAll());
    EXPECT_EQ(0u, list.GetCount());
    EXPECT_EQ((RECT{0, 0, 0, 0}), *list.GetBounds());
    EXPECT_EQ(0, list.RemoveAll());
}

namespace {
// Allocation failure, without exhausting the heap.
class FailingList : public RectList {
public:
    FailingList() : RectList(256, 16) {}
    Chunk* AllocateChunk() override { return nullptr; }
};
} // namespace

TEST(RectListStorage, AllocationFailureStoresNothing) {
    FailingList list;
    EXPECT_EQ(-1, list.Append(RECT{0, 0, 16, 16}));
    EXPECT_EQ(-1, list.Add(RECT{0, 0, 16, 16}));
    EXPECT_EQ(0u, list.GetCount());
}

TEST(RectListMerge, RefusedAfterAppendJoinsNeighboursAfterReset) {
    RectList list(256, 16);
    list.Append(RECT{0, 0, 16, 16});
    list.Append(RECT{16, 0, 32, 16});
    EXPECT_EQ(-1, list.MergeOnce());
    EXPECT_EQ(-1, list.SplitIntoTiles(16));
    list.ResetAppendCount();
    EXPECT_EQ(1, list.MergeOnce());
    EXPECT_EQ((std::vector<RECT>{{0, 0, 32, 16}}), entries(list));
    EXPECT_EQ(0, list.MergeOnce());
    EXPECT_EQ(0, list.Merge(0));
}

TEST(RectListMerge, MergeThenSplitTilesCoverTheSameArea) {
    RectList list(256, 16);
    PixelSet model;
    for (RECT r : {RECT{0, 0, 64, 16}, RECT{0, 16, 64, 32}, RECT{64, 0, 80, 32}}) {
        list.Add(r);
        paint(model, r);
    }
    EXPECT_EQ(0, list.Merge(UINT32_MAX));
    EXPECT_EQ((std::vector<RECT>{{0, 0, 80, 32}}), entries(list));
    ASSERT_EQ(0, list.SplitIntoTiles(32));
    for (const RECT& e : entries(list)) {
        EXPECT_LE(e.right - e.left, 32);
        EXPECT_LE(e.bottom - e.top, 32);
    }
    expectExactCover(list, model);
    EXPECT_EQ(-1, list.SplitIntoTiles(0));
}

TEST(RectListQueries, SharesBandAndClippedOffset) {
    RectList list(256, 16);
    list.Add(RECT{0, 0, 16, 16});
    EXPECT_EQ(1, list.SharesBandWithAny(RECT{100, 8, 120, 9})); // rows overlap
    EXPECT_EQ(1, list.SharesBandWithAny(RECT{8, 100, 9, 120})); // columns overlap
    EXPECT_EQ(0, list.SharesBandWithAny(RECT{16, 16, 32, 32}));

    list.AddClippedOffset(RECT{0, 0, 8, 8}, 32, 0);
    EXPECT_EQ((std::vector<RECT>{{0, 0, 16, 16}, {32, 0, 48, 16}}), entries(list));
    list.AddClippedOffset(RECT{0, 0, 100, 100}, INT32_MAX, 0); // saturates, no overflow
    EXPECT_GE(list.GetCount(), 2u);
}

TEST(RectListMerge, SwallowedEntriesAreNotMergedIntoACell) {
    RectList list(256, 16);
    PixelSet model;
    for (RECT r : {RECT{32, 32, 48, 48}, RECT{48, 32, 64, 48}, RECT{32, 32, 64, 48}}) {
        list.Add(r); // the third swallows the first two, leaving two cleared entries
        paint(model, r);
    }
    EXPECT_EQ(0, list.Merge(UINT32_MAX));
    expectExactCover(list, model);
}

TEST(RectListMerge, TilesOffTheGridStillSplitOnce) {
    for (uint32_t tile : {24u, 20u, 7u}) {
        RectList list(256, 16);
        PixelSet model;
        list.Add(RECT{0, 0, 64, 32});
        paint(model, RECT{0, 0, 64, 32});
        ASSERT_EQ(0, list.SplitIntoTiles(tile));
        PixelSet covered;
        for (const RECT& e : entries(list)) {
            EXPECT_LE(uint32_t(e.right - e.left), tile);
            EXPECT_LE(uint32_t(e.bottom - e.top), tile);
            paint(covered, e);
        }
        EXPECT_EQ(covered, model);
    }
}
