#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "comsrc/Region_Win32.h"

using namespace comsrc;

namespace {

constexpr int kGrid = 40;

// The model: a region is null or a set of pixels of a kGrid x kGrid grid.
struct PixelSet {
    bool null = true;
    std::vector<bool> on = std::vector<bool>(kGrid * kGrid, false);

    bool At(int x, int y) const { return on[size_t(y * kGrid + x)]; }
    bool Empty() const {
        for (bool b : on)
            if (b)
                return false;
        return true;
    }
};

bool Covers(const RECT& r, int x, int y) {
    return x >= r.left && x < r.right && y >= r.top && y < r.bottom;
}

PixelSet FromRect(const RECT& r) {
    PixelSet s;
    s.null = false;
    for (int y = 0; y < kGrid; ++y)
        for (int x = 0; x < kGrid; ++x)
            s.on[size_t(y * kGrid + x)] = Covers(r, x, y);
    return s;
}

enum Op { kUnion, kIntersect, kSubtract, kXor };

// The wrapper's rules for null operands, then the set operation itself.
void Apply(PixelSet* a, const PixelSet& b, Op op) {
    if (b.null) {
        if (op == kIntersect)
            *a = PixelSet();
        return;
    }
    if (a->null) {
        if (op == kUnion || op == kXor)
            *a = b;
        return;
    }
    for (size_t i = 0; i < a->on.size(); ++i) {
        bool x = a->on[i], y = b.on[i];
        a->on[i] = op == kUnion       ? (x || y)
                   : op == kIntersect ? (x && y)
                   : op == kSubtract  ? (x && !y)
                                      : (x != y);
    }
}

// Operand is a RECT or a Region.
template <class Operand> void Apply(Region* a, const Operand& b, Op op) {
    if (op == kUnion)
        a->Union(b);
    if (op == kIntersect)
        a->Intersect(b);
    if (op == kSubtract)
        a->Subtract(b);
    if (op == kXor)
        a->Xor(b);
}

RECT RandomRect(std::mt19937& rng) {
    std::uniform_int_distribution<int> at(0, kGrid - 1), len(0, 14);
    LONG l = at(rng), t = at(rng);
    LONG r = l + len(rng), b = t + len(rng);
    if (r > kGrid)
        r = kGrid;
    if (b > kGrid)
        b = kGrid;
    return RECT{l, t, r, b};
}

std::vector<RECT> RectsOf(const Region& r) {
    std::vector<RECT> buffer(4096);
    int n = r.GetRects(buffer.data(), int(buffer.size() * sizeof(RECT)));
    EXPECT_GE(n, 0);
    buffer.resize(size_t(n < 0 ? 0 : n));
    return buffer;
}

// Checks the region against the model: same null state, GetRects covering the
// set exactly once, the same emptiness and bounding box.
void ExpectMatches(Region& r, const PixelSet& m, int step) {
    ASSERT_EQ(m.null, r.GetHRGN() == nullptr) << "step " << step;
    std::vector<int> hits(kGrid * kGrid, 0);
    for (const RECT& rc : RectsOf(r)) {
        ASSERT_TRUE(rc.left < rc.right && rc.top < rc.bottom) << "step " << step;
        ASSERT_TRUE(rc.left >= 0 && rc.top >= 0 && rc.right <= kGrid && rc.bottom <= kGrid);
        for (int y = rc.top; y < rc.bottom; ++y)
            for (int x = rc.left; x < rc.right; ++x)
                ++hits[size_t(y * kGrid + x)];
    }
    RECT box = {kGrid, kGrid, 0, 0};
    for (int y = 0; y < kGrid; ++y) {
        for (int x = 0; x < kGrid; ++x) {
            ASSERT_EQ(m.At(x, y) ? 1 : 0, hits[size_t(y * kGrid + x)])
                << "step " << step << " pixel " << x << "," << y;
            if (!m.At(x, y))
                continue;
            box = RECT{std::min<LONG>(box.left, x), std::min<LONG>(box.top, y),
                       std::max<LONG>(box.right, x + 1), std::max<LONG>(box.bottom, y + 1)};
        }
    }
    ASSERT_EQ(m.Empty(), r.IsEmpty()) << "step " << step;
    const RECT* got = r.GetBox();
    if (m.Empty())
        box = RECT{0, 0, 0, 0};
    EXPECT_TRUE(got->left == box.left && got->top == box.top && got->right == box.right &&
                got->bottom == box.bottom)
        << "step " << step;
}

// A region of n separate 1 x 1 rectangles on one band.
Region Dotted(int n) {
    Region r;
    for (int i = 0; i < n; ++i)
        r += RECT{2 * i, 0, 2 * i + 1, 1};
    return r;
}

bool SameRect(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

} // namespace

TEST(RegionTest, RandomOperationsMatchThePixelModel) {
    std::mt19937 rng(2024);
    for (int run = 0; run < 6; ++run) {
        Region r;
        PixelSet m;
        for (int step = 0; step < 60; ++step) {
            Op op = Op(rng() % 4);
            if (rng() % 3 == 0) {
                // A region operand: null, or a union of a few rectangles.
                Region other;
                PixelSet om;
                int parts = int(rng() % 4);
                for (int i = 0; i < parts; ++i) {
                    RECT rc = RandomRect(rng);
                    other.Union(rc);
                    Apply(&om, FromRect(rc), kUnion);
                }
                Apply(&r, other, op);
                Apply(&m, om, op);
            } else {
                RECT rc = RandomRect(rng);
                Apply(&r, rc, op);
                Apply(&m, FromRect(rc), op);
            }
            ExpectMatches(r, m, run * 100 + step);
            if (HasFatalFailure())
                return;
        }
    }
}

TEST(RegionTest, OperatorsAgreeWithTheNamedOperations) {
    const RECT a = {0, 0, 10, 10}, b = {5, 5, 15, 15};
    Region base;
    base = a;
    Region other;
    other = b;
    Region named(base);
    named.Xor(other);
    EXPECT_TRUE((base ^ other) == named);
    EXPECT_TRUE((base ^ b) == named);
    named.Assign(base);
    named.Union(b);
    EXPECT_TRUE((base + b).IsEqualTo(named));
    EXPECT_TRUE((base | other).IsEqualTo(named));
    EXPECT_TRUE(base == a) << "binary operators leave the operand alone";
    named.Assign(base);
    named.Subtract(b);
    EXPECT_TRUE((base - other) == named);
    EXPECT_TRUE((base - b) == named);
    named.Assign(base);
    named.Intersect(b);
    EXPECT_TRUE((base & b) == RECT({5, 5, 10, 10}));
    EXPECT_TRUE((base & other) == named);
    Region acc;
    acc |= a;
    acc += other;
    acc -= RECT{0, 0, 1, 1};
    acc &= RECT{0, 0, 12, 12};
    acc ^= RECT{0, 0, 1, 1};
    acc ^= other;
    acc -= base;
    // What is left of b outside the 12 x 12 clip.
    Region want(other);
    want.Subtract(RECT{0, 0, 12, 12});
    EXPECT_FALSE(want.IsEmpty());
    EXPECT_TRUE(acc == want);
    acc ^= acc;
    EXPECT_TRUE(acc.IsEmpty());
    EXPECT_NE(nullptr, acc.GetHRGN());
}

TEST(RegionTest, NewRegionIsNullAndEmpty) {
    Region r, s;
    RECT buffer[4];
    EXPECT_EQ(0, r.GetRects(buffer, sizeof buffer));
    EXPECT_TRUE(SameRect(RECT{0, 0, 0, 0}, *r.GetBox()));
    EXPECT_TRUE(r.IsEmpty());
    EXPECT_TRUE(r.Equals(s));
    EXPECT_TRUE(r == s);
    r.Offset(3, 3);
    EXPECT_EQ(nullptr, r.GetHRGN());
    r.Subtract(RECT{0, 0, 5, 5});
    EXPECT_EQ(nullptr, r.GetHRGN());
    r.Intersect(RECT{0, 0, 5, 5});
    EXPECT_EQ(nullptr, r.GetHRGN()) << "intersecting a null region keeps it null";
}

TEST(RegionTest, NullDiffersFromEmptyInEquals) {
    Region r;
    r.SetRect(0, 0, 4, 4);
    r.Xor(r);
    ASSERT_NE(nullptr, r.GetHRGN());
    RECT buffer[4];
    EXPECT_EQ(0, r.GetRects(buffer, sizeof buffer));
    EXPECT_TRUE(r.IsEmpty());
    Region null;
    EXPECT_FALSE(r.Equals(null));
    EXPECT_FALSE(null.Equals(r));
    Region empty;
    empty.SetRect(0, 0, 0, 0);
    EXPECT_TRUE(r.Equals(empty));
    EXPECT_TRUE(r.Equals(RECT{3, 3, 3, 3}));
    empty.Intersect(null);
    EXPECT_EQ(nullptr, empty.GetHRGN()) << "intersecting with null gives null";
    Region copy(null);
    EXPECT_EQ(nullptr, copy.GetHRGN());
    r.Assign(null);
    EXPECT_EQ(nullptr, r.GetHRGN());
}

TEST(RegionTest, AdjacentRectanglesComeBackWithoutOverlap) {
    Region r;
    r.Union(RECT{0, 0, 10, 10});
    r.Union(RECT{10, 0, 20, 10});
    std::vector<RECT> rects = RectsOf(r);
    ASSERT_FALSE(rects.empty());
    long area = 0;
    for (const RECT& rc : rects) {
        EXPECT_TRUE(rc.left >= 0 && rc.right <= 20 && rc.top >= 0 && rc.bottom <= 10);
        area += long(rc.right - rc.left) * (rc.bottom - rc.top);
    }
    EXPECT_EQ(200, area);
    EXPECT_TRUE(r == RECT({0, 0, 20, 10}));
    r.Offset(-5, 2);
    EXPECT_TRUE(r == RECT({-5, 2, 15, 12}));
}

TEST(RegionTest, GetRectsReportsBuffersTooSmall) {
    RECT small[128];
    EXPECT_EQ(126, Dotted(126).GetRects(small, 2048));
    EXPECT_EQ(-1, Dotted(127).GetRects(small, 2048));
    std::vector<RECT> big(512);
    Region r510 = Dotted(510);
    ASSERT_EQ(510, r510.GetRects(big.data(), 8192));
    EXPECT_TRUE(SameRect(RECT{0, 0, 1, 1}, big[0])) << "rectangles start at the buffer";
    EXPECT_TRUE(SameRect(RECT{1018, 0, 1019, 1}, big[509]));
    EXPECT_EQ(-1, Dotted(511).GetRects(big.data(), 8192));
    EXPECT_EQ(-1, Dotted(1).GetRects(small, 16)) << "no room for the header";
    EXPECT_EQ(-1, Dotted(1).GetRects(nullptr, 2048));
}

TEST(RegionTest, ScaleRoundsTowardZeroAndGrowsOutwards) {
    Region r;
    r.SetRect(1, 1, 3, 3);
    EXPECT_EQ(0, r.Scale(2.0, true));
    EXPECT_TRUE(r == RECT({1, 1, 7, 7}));
    r.SetRect(3, 3, 7, 7);
    EXPECT_EQ(0, r.Scale(0.5, false));
    EXPECT_TRUE(r == RECT({1, 1, 3, 3}));
    r.SetRect(-3, -3, 3, 3);
    EXPECT_EQ(0, r.Scale(0.5, false));
    EXPECT_TRUE(r == RECT({-1, -1, 1, 1})) << "truncation, not floor";
    r.SetRect(2, 2, 4, 4);
    EXPECT_EQ(0, r.Scale(1.0, true));
    EXPECT_TRUE(r == RECT({2, 2, 4, 4})) << "factor 1 changes nothing";

    Region two;
    two.Union(RECT{0, 0, 2, 2});
    two.Union(RECT{10, 10, 12, 12});
    EXPECT_EQ(0, two.Scale(3.0, false));
    Region want;
    want.Union(RECT{0, 0, 6, 6});
    want.Union(RECT{30, 30, 36, 36});
    EXPECT_TRUE(two == want);

    Region empty;
    empty.SetRect(0, 0, 4, 4);
    empty.Xor(empty);
    EXPECT_EQ(0, empty.Scale(2.0, true));
    EXPECT_EQ(nullptr, empty.GetHRGN()) << "no rectangles scale to a null region";
}

TEST(RegionTest, ScaleFallsBackToTheBoundingBoxPastFiveHundredTenRectangles) {
    Region fits = Dotted(510);
    EXPECT_EQ(0, fits.Scale(2.0, false));
    EXPECT_EQ(510, int(RectsOf(fits).size()));
    Region many = Dotted(511);
    EXPECT_EQ(-1, many.Scale(2.0, true));
    EXPECT_TRUE(many == RECT({-1, -1, 2 * 1021 + 1, 3}));
}
