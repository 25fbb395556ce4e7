// Floyd-Steinberg error diffusion, four rows at a time.
//
// Row k + 1 of a group runs two columns behind row k, so the errors it needs from the row
// above are known when it gets there: the shares for the row below pass from lane to lane
// instead of through the plane, and the four rows' error chains run side by side. The
// plane pixels of the group are copied into a skewed buffer, S[i][k] = row k at column
// i - 2k, so that step i reads and writes all four lanes at once. With SSE2 the steps in
// which all four lanes are inside the area use vector code; every other step, and every
// step without SSE2, runs the same arithmetic lane by lane.
#include "app/core/Diffusion.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <limits>

#if defined(__SSE2__) || defined(_M_X64) || (defined(_M_IX86_FP) && _M_IX86_FP >= 2)
#define MIRVISTA_DIFFUSION_SSE2 1
#include <emmintrin.h>
#endif

namespace {

constexpr int32_t kWidth = 128;
constexpr int32_t kHeight = 64;
constexpr int32_t kLanes = 4;
constexpr int32_t kLag = 2;                            // columns between adjacent lanes
constexpr int32_t kSteps = kWidth + kLag * kLanes + 2; // enough for any row and its tail
constexpr int32_t kLow = 0x1000;
constexpr int32_t kHigh = 0xF000;
constexpr int32_t kMid = 0x8000;

int32_t addSaturated(int32_t a, int32_t b) {
    const int64_t sum = int64_t{a} + b;
    return static_cast<int32_t>(
        std::min<int64_t>(std::max<int64_t>(sum, std::numeric_limits<int32_t>::min()),
                          std::numeric_limits<int32_t>::max()));
}

// One group of up to four rows (and the lane after its last row, which only hands shares
// on to the plane row below the group).
struct Group {
    int32_t* plane;
    int32_t xs, xe; // area columns
    int32_t y;      // window row of lane 0
    int32_t rows;   // rows of the area in this group, 1..4
    alignas(16) int32_t skewed[kSteps][kLanes];
    alignas(16) int32_t right[kLanes + 1];    // 7/16 of the last error, for the next column
    alignas(16) int32_t leftSum[kLanes + 1];  // for the row below, the column just done
    alignas(16) int32_t rightSum[kLanes + 1]; // for the row below, the column after it
    alignas(16) int32_t inbox[kLanes + 1];    // from the lane above, for this step's column

    int32_t* rowOf(int32_t lane) const {
        return y + lane < kHeight ? plane + (y + lane) * kWidth : nullptr;
    }
};

void loadGroup(Group& g) {
    std::memset(g.skewed, 0, sizeof g.skewed);
    std::memset(g.right, 0, sizeof g.right);
    std::memset(g.leftSum, 0, sizeof g.leftSum);
    std::memset(g.rightSum, 0, sizeof g.rightSum);
    std::memset(g.inbox, 0, sizeof g.inbox);
    for (int32_t k = 0; k < g.rows; ++k) {
        const int32_t* row = g.rowOf(k);
        for (int32_t x = g.xs; x < g.xe; ++x) {
            g.skewed[x + kLag * k][k] = row[x];
        }
    }
}

void storeGroup(const Group& g) {
    for (int32_t k = 0; k < g.rows; ++k) {
        int32_t* row = g.rowOf(k);
        for (int32_t x = g.xs; x < g.xe; ++x) {
            row[x] = g.skewed[x + kLag * k][k];
        }
    }
}

// Lane k at step i, column x = i - 2k. Inside the area it quantises the pixel; outside it
// hands what it holds for column x to the plane and lets its sums drain. Its share for the
// row below (column x - 1) goes to the next lane's inbox for the next step; lanes are run
// from the last to the first, so each inbox is read before it is refilled.
void laneStep(Group& g, int32_t k, int32_t i) {
    const int32_t x = i - kLag * k;
    if (k > g.rows) {
        return;
    }
    int32_t err = 0;
    if (k < g.rows && k < kLanes && x >= g.xs && x < g.xe) {
        int32_t& pixel = g.skewed[i][k];
        const int32_t old = pixel + g.right[k] + g.inbox[k];
        const int32_t level = old >= kMid ? kHigh : kLow;
        pixel = level;
        err = old - level;
    } else {
        int32_t* row = g.rowOf(k);
        const int32_t held = g.right[k] + g.inbox[k];
        if (row && x >= 0 && x < kWidth && held != 0) {
            row[x] = addSaturated(row[x], held);
        }
    }
    g.right[k] = err * 7 / 16;
    g.inbox[k + 1 <= kLanes ? k + 1 : kLanes] = g.leftSum[k] + err * 3 / 16;
    g.leftSum[k] = g.rightSum[k] + err * 5 / 16;
    g.rightSum[k] = err / 16;
    g.inbox[k] = 0;
}

void scalarStep(Group& g, int32_t i) {
    for (int32_t k = kLanes; k >= 0; --k) {
        laneStep(g, k, i);
    }
}

// The lane-by-lane form of the group: every step through laneStep.
void diffuseGroupScalar(Group& g) {
    const int32_t end = g.xe + kLag * g.rows + 1;
    for (int32_t i = g.xs; i < end; ++i) {
        scalarStep(g, i);
    }
}

#ifdef MIRVISTA_DIFFUSION_SSE2

// k * err / 16 truncated toward zero, for k > 0: `negative` holds 15 where err < 0.
__m128i shareOf(__m128i kErr, __m128i negative) {
    return _mm_srai_epi32(_mm_add_epi32(kErr, negative), 4);
}

// Adds what the lanes held outside the area to the plane: for a lane of the group only the
// steps before its first column and from its last on, for the lane below a short group
// every step.
void spillHeld(Group& g, const int32_t (*held)[kLanes], int32_t end) {
    for (int32_t k = 0; k < kLanes && k <= g.rows; ++k) {
        int32_t* row = g.rowOf(k);
        if (!row) {
            continue;
        }
        const int32_t lead = k < g.rows ? g.xs + kLag * k : end;
        const int32_t tail = k < g.rows ? g.xe + kLag * k : end;
        for (int32_t i : {g.xs, tail}) {
            const int32_t stop = i == g.xs ? lead : end;
            for (; i < stop; ++i) {
                const int32_t x = i - kLag * k;
                if (held[i][k] != 0 && x >= 0 && x < kWidth) {
                    row[x] = addSaturated(row[x], held[i][k]);
                }
            }
        }
    }
}

// The group in vector steps. A lane outside the area at a step (before its first column,
// after its last, or below the group's last row) quantises nothing: its error counts as 0,
// its pixel is left alone, and what it holds for its column (the carried right share and
// the share from the lane above) is kept in `held` and added to the plane afterwards; those
// columns lie outside the area, or in the row below the group, which no lane reads.
void diffuseGroupVector(Group& g) {
    const int32_t end = g.xe + kLag * g.rows + 1;
    alignas(16) int32_t held[kSteps][kLanes];
    __m128i right = _mm_setzero_si128();
    __m128i leftSum = _mm_setzero_si128();
    __m128i rightSum = _mm_setzero_si128();
    __m128i inbox = _mm_setzero_si128();
    const __m128i midBelow = _mm_set1_epi32(kMid - 1);
    const __m128i low = _mm_set1_epi32(kLow);
    const __m128i span = _mm_set1_epi32(kHigh - kLow);
    const __m128i fifteen = _mm_set1_epi32(15);
    const __m128i laneLag = _mm_setr_epi32(0, kLag, 2 * kLag, 3 * kLag);
    const __m128i lanes = _mm_setr_epi32(0, 1, 2, 3);
    const __m128i firstColumn = _mm_set1_epi32(g.xs - 1);
    const __m128i endColumn = _mm_set1_epi32(g.xe);
    const __m128i rowLanes = _mm_cmplt_epi32(lanes, _mm_set1_epi32(g.rows));
    int32_t* below = g.rowOf(kLanes);
    int32_t belowShare = 0; // lane 3's last share, for the row below a full group
    for (int32_t i = g.xs; i < end; ++i) {
        const int32_t belowColumn = i - kLag * kLanes;
        if (below && belowShare != 0 && belowColumn >= 0 && belowColumn < kWidth) {
            below[belowColumn] = addSaturated(below[belowColumn], belowShare);
        }
        const __m128i x = _mm_sub_epi32(_mm_set1_epi32(i), laneLag);
        const __m128i inside =
            _mm_and_si128(rowLanes, _mm_and_si128(_mm_cmpgt_epi32(x, firstColumn),
                                                  _mm_cmplt_epi32(x, endColumn)));
        const __m128i carried = _mm_add_epi32(right, inbox);
        _mm_store_si128(reinterpret_cast<__m128i*>(held[i]), _mm_andnot_si128(inside, carried));
        __m128i* pixel = reinterpret_cast<__m128i*>(g.skewed[i]);
        const __m128i value = _mm_load_si128(pixel);
        const __m128i old = _mm_add_epi32(value, carried);
        const __m128i step = _mm_and_si128(_mm_cmpgt_epi32(old, midBelow), span);
        const __m128i level = _mm_add_epi32(low, step);
        _mm_store_si128(
            pixel, _mm_or_si128(_mm_and_si128(inside, level), _mm_andnot_si128(inside, value)));
        const __m128i err = _mm_and_si128(inside, _mm_sub_epi32(_mm_sub_epi32(old, low), step));
        const __m128i negative = _mm_and_si128(_mm_srai_epi32(err, 31), fifteen);
        right = shareOf(_mm_sub_epi32(_mm_slli_epi32(err, 3), err), negative);
        const __m128i share =
            _mm_add_epi32(leftSum, shareOf(_mm_add_epi32(_mm_slli_epi32(err, 1), err), negative));
        leftSum =
            _mm_add_epi32(rightSum, shareOf(_mm_add_epi32(_mm_slli_epi32(err, 2), err), negative));
        rightSum = shareOf(err, negative);
        inbox = _mm_slli_si128(share, 4); // lane k's share to lane k + 1
        belowShare = g.rows == kLanes ? _mm_cvtsi128_si32(_mm_shuffle_epi32(share, 3)) : 0;
    }
    spillHeld(g, held, end);
}

#endif

void diffuseGroup(Group& g, bool vector) {
    loadGroup(g);
#ifdef MIRVISTA_DIFFUSION_SSE2
    if (vector) {
        diffuseGroupVector(g);
    } else {
        diffuseGroupScalar(g);
    }
#else
    (void)vector;
    diffuseGroupScalar(g);
#endif
    storeGroup(g);
}

void diffuse(int32_t* plane, int32_t xs, int32_t xe, int32_t ys, int32_t ye, bool vector) {
    if (xs >= xe || ys >= ye) {
        return;
    }
    Group g;
    g.plane = plane;
    g.xs = xs;
    g.xe = xe;
    for (g.y = ys; g.y < ye; g.y += kLanes) {
        g.rows = std::min(kLanes, ye - g.y);
        diffuseGroup(g, vector);
    }
}

} // namespace

void diffuseArea(int32_t* plane, int32_t xs, int32_t xe, int32_t ys, int32_t ye) {
    diffuse(plane, xs, xe, ys, ye, true);
}

void diffuseAreaScalar(int32_t* plane, int32_t xs, int32_t xe, int32_t ys, int32_t ye) {
    diffuse(plane, xs, xe, ys, ye, false);
}
