// Floyd-Steinberg error diffusion, four rows at a time.
//
// Row k + 1 of a group runs two columns behind row k, so the errors it needs from the row
// above are known when it gets there: the shares for the row below pass from lane to lane
// instead of through the plane, and the four rows' error chains run side by side. The
// plane pixels of the group are copied into a skewed buffer, S[i][k] = row k at column
// i - 2k, so that step i reads and writes all four lanes at once. With SSE2 every step is
// vector code (masked at the edges of the area), two groups run together, the lower one
// eight steps behind as if its lanes were lanes 4 to 7 of the upper one, and each group
// takes its first row's shares from the group above through a log of that group's steps;
// without SSE2, each step runs the same arithmetic lane by lane, group after group, and the
// shares for the next group pass through the plane.
#include "app/convert/Diffusion.h"

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
    int32_t bottom; // the area's end row
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

#ifdef MIRVISTA_DIFFUSION_SSE2

void transpose(__m128i& a, __m128i& b, __m128i& c, __m128i& d) {
    const __m128i ab0 = _mm_unpacklo_epi32(a, b);
    const __m128i cd0 = _mm_unpacklo_epi32(c, d);
    const __m128i ab1 = _mm_unpackhi_epi32(a, b);
    const __m128i cd1 = _mm_unpackhi_epi32(c, d);
    a = _mm_unpacklo_epi64(ab0, cd0);
    b = _mm_unpackhi_epi64(ab0, cd0);
    c = _mm_unpacklo_epi64(ab1, cd1);
    d = _mm_unpackhi_epi64(ab1, cd1);
}

// Moves blocks of four steps between the rows of a full group and the skewed buffer, for
// the steps in which every lane is inside the area; returns the end of those blocks.
int32_t moveBlocks(Group& g, bool toPlane) {
    const int32_t first = g.xs + kLag * (kLanes - 1);
    int32_t i = first;
    if (g.rows != kLanes) {
        return i;
    }
    // Row k's pixel for step i is plane[rows[k] + i]; a full group lies inside the plane.
    int32_t rows[kLanes];
    for (int32_t k = 0; k < kLanes; ++k) {
        rows[k] = (g.y + k) * kWidth - kLag * k;
    }
    for (; i + 4 <= g.xe; i += 4) {
        __m128i* steps = reinterpret_cast<__m128i*>(g.skewed[i]);
        __m128i v[kLanes];
        for (int32_t k = 0; k < kLanes; ++k) {
            v[k] = toPlane ? _mm_load_si128(steps + k)
                           : _mm_loadu_si128(reinterpret_cast<__m128i*>(g.plane + rows[k] + i));
        }
        transpose(v[0], v[1], v[2], v[3]);
        for (int32_t k = 0; k < kLanes; ++k) {
            if (toPlane) {
                _mm_storeu_si128(reinterpret_cast<__m128i*>(g.plane + rows[k] + i), v[k]);
            } else {
                _mm_store_si128(steps + k, v[k]);
            }
        }
    }
    return i;
}

#else

int32_t moveBlocks(Group& g, bool) {
    return g.xs + kLag * (kLanes - 1);
}

#endif

// Copies the group's pixels between the plane and the skewed buffer: whole blocks where
// every lane is inside the area, pixel by pixel around them.
void moveGroup(Group& g, bool toPlane, bool vector) {
    const int32_t blocksFirst = g.xs + kLag * (kLanes - 1);
    const int32_t blocksEnd = vector ? moveBlocks(g, toPlane) : blocksFirst;
    for (int32_t k = 0; k < g.rows; ++k) {
        int32_t* row = g.rowOf(k);
        for (int32_t x = g.xs; x < g.xe; ++x) {
            const int32_t i = x + kLag * k;
            if (i >= blocksFirst && i < blocksEnd) {
                x = blocksEnd - kLag * k - 1; // the blocks did the rest of this stretch
                continue;
            }
            if (toPlane) {
                row[x] = g.skewed[i][k];
            } else {
                g.skewed[i][k] = row[x];
            }
        }
    }
}

// Steps run from the first column of lane 0 until the lane after the last row has handed
// on the last share of the row above it.
int32_t endStep(const Group& g) {
    return g.xe + kLag * g.rows + 1;
}

// Zeroes the buffer's entries that no pixel fills: every lane before its first column and
// after its last, up to the group's last step.
void clearOutside(Group& g) {
    const int32_t end = endStep(g);
    for (int32_t k = 0; k < kLanes; ++k) {
        const int32_t lead = k < g.rows ? g.xs + kLag * k : end;
        const int32_t tail = k < g.rows ? g.xe + kLag * k : end;
        for (int32_t i = g.xs; i < lead; ++i) {
            g.skewed[i][k] = 0;
        }
        for (int32_t i = tail; i < end; ++i) {
            g.skewed[i][k] = 0;
        }
    }
}

void loadGroup(Group& g, bool vector) {
    clearOutside(g);
    std::memset(g.right, 0, sizeof g.right);
    std::memset(g.leftSum, 0, sizeof g.leftSum);
    std::memset(g.rightSum, 0, sizeof g.rightSum);
    std::memset(g.inbox, 0, sizeof g.inbox);
    moveGroup(g, false, vector);
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
    const int32_t end = endStep(g);
    for (int32_t i = g.xs; i < end; ++i) {
        scalarStep(g, i);
    }
}

#ifdef MIRVISTA_DIFFUSION_SSE2

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

// The error chains of the four lanes between steps.
struct Chains {
    __m128i right = _mm_setzero_si128();    // 7/16 of the last error, for the next column
    __m128i leftSum = _mm_setzero_si128();  // for the row below, the column just done
    __m128i rightSum = _mm_setzero_si128(); // for the row below, the column after it
    __m128i inbox = _mm_setzero_si128();    // the lane above's share for this column
};

// One step of the four lanes. Masked, a lane outside the area (before its first column,
// after its last, or below the group's last row) quantises nothing: its error counts as 0,
// its pixel is left alone, and what it holds for its column (the carried right share and
// the share from the lane above) goes to `held`, to be added to the plane afterwards;
// those columns lie outside the area, or in the row below the group, which no lane reads.
// `above` is what the group above hands lane 0 for this column when two groups run
// together (zero otherwise); it only counts inside the area. Returns the lanes' shares for
// the row below.
template <bool kMasked>
__m128i vectorStep(Chains& s, int32_t* pixelLanes, int32_t* held, __m128i inside, __m128i above) {
    const __m128i low = _mm_set1_epi32(kLow);
    __m128i* pixel = reinterpret_cast<__m128i*>(pixelLanes);
    const __m128i value = _mm_load_si128(pixel);
    const __m128i start = _mm_add_epi32(
        _mm_add_epi32(value, kMasked ? _mm_and_si128(inside, above) : above), s.inbox);
    const __m128i old = _mm_add_epi32(start, s.right);
    const __m128i step =
        _mm_and_si128(_mm_cmpgt_epi32(old, _mm_set1_epi32(kMid - 1)), _mm_set1_epi32(kHigh - kLow));
    const __m128i level = _mm_add_epi32(low, step);
    __m128i err = _mm_sub_epi32(old, level);
    if (kMasked) {
        const __m128i carried = _mm_sub_epi32(old, value);
        _mm_store_si128(reinterpret_cast<__m128i*>(held), _mm_andnot_si128(inside, carried));
        _mm_store_si128(
            pixel, _mm_or_si128(_mm_and_si128(inside, level), _mm_andnot_si128(inside, value)));
        err = _mm_and_si128(inside, err);
    } else {
        _mm_store_si128(pixel, level);
    }
    // k * err / 16 truncated toward zero is (k * err + 15) >> 4 for a negative err and
    // (k * err) >> 4 otherwise; the four shares build on one another's sums.
    const __m128i rounded =
        _mm_add_epi32(err, _mm_and_si128(_mm_srai_epi32(err, 31), _mm_set1_epi32(15)));
    const __m128i twice = _mm_slli_epi32(err, 1);
    const __m128i four = _mm_slli_epi32(err, 2);
    const __m128i three = _mm_add_epi32(rounded, twice);
    s.right = _mm_srai_epi32(_mm_add_epi32(three, four), 4);
    const __m128i share = _mm_add_epi32(s.leftSum, _mm_srai_epi32(three, 4));
    s.inbox = _mm_slli_si128(share, 4); // lane k's share to lane k + 1
    s.leftSum = _mm_add_epi32(s.rightSum, _mm_srai_epi32(_mm_add_epi32(rounded, four), 4));
    s.rightSum = _mm_srai_epi32(rounded, 4);
    return share;
}

// Hands lane 3's shares of a full group to the row below it: the share of step i is for
// column i - 7. Within the area that row holds levels and plain sums suffice; the columns
// beside the area, or a row below it, take saturating sums. When the group below ran
// alongside, it has taken the shares for the area's columns already.
void passBelow(Group& g, const int32_t (*shares)[kLanes], bool areaColumnsTaken) {
    int32_t* below = g.rowOf(kLanes);
    if (!below || g.rows != kLanes) {
        return;
    }
    constexpr int32_t kDelay = kLag * (kLanes - 1) + 1;
    const bool rowInArea = g.y + kLanes < g.bottom;
    for (int32_t x = g.xs; x < g.xe && !areaColumnsTaken; ++x) {
        const int32_t share = shares[x + kDelay][kLanes - 1];
        below[x] = rowInArea ? below[x] + share : addSaturated(below[x], share);
    }
    for (int32_t x : {g.xs - 1, g.xe}) { // below-left of the first column, below-right of the last
        if (x >= 0 && x < kWidth) {
            below[x] = addSaturated(below[x], shares[x + kDelay][kLanes - 1]);
        }
    }
}

// What a group's steps leave behind: what lanes held outside the area, and the lanes' shares
// for the row below, by step.
struct StepLog {
    alignas(16) int32_t held[kSteps][kLanes];
    alignas(16) int32_t shares[kSteps][kLanes];
};

// Lane 3's share for `column` of the row below the group whose log this is.
__m128i shareForRowBelow(const StepLog& log, int32_t column) {
    constexpr int32_t kDelay = kLag * (kLanes - 1) + 1;
    return _mm_srli_si128(
        _mm_load_si128(reinterpret_cast<const __m128i*>(log.shares[column + kDelay])),
        4 * (kLanes - 1));
}

// A group in vector steps: masked where some lane is outside the area, plain in the steps
// where all four are inside.
class VectorRun {
public:
    VectorRun(Group& g, StepLog& log)
        : g(g), end(endStep(g)), steadyFirst(g.rows == kLanes ? g.xs + kLag * (kLanes - 1) : end),
          steadyEnd(std::max(steadyFirst, g.rows == kLanes ? g.xe : end)), log(log),
          laneLag(_mm_setr_epi32(0, kLag, 2 * kLag, 3 * kLag)),
          firstColumn(_mm_set1_epi32(g.xs - 1)), endColumn(_mm_set1_epi32(g.xe)),
          rowLanes(_mm_cmplt_epi32(_mm_setr_epi32(0, 1, 2, 3), _mm_set1_epi32(g.rows))) {}

    __m128i plainStep(int32_t i, __m128i above) {
        const __m128i share =
            vectorStep<false>(chains, g.skewed[i], log.held[i], _mm_setzero_si128(), above);
        _mm_store_si128(reinterpret_cast<__m128i*>(log.shares[i]), share);
        return share;
    }

    __m128i step(int32_t i, __m128i above) {
        if (i >= steadyFirst && i < steadyEnd) {
            return plainStep(i, above);
        }
        const __m128i x = _mm_sub_epi32(_mm_set1_epi32(i), laneLag);
        const __m128i inside =
            _mm_and_si128(rowLanes, _mm_and_si128(_mm_cmpgt_epi32(x, firstColumn),
                                                  _mm_cmplt_epi32(x, endColumn)));
        const __m128i share = vectorStep<true>(chains, g.skewed[i], log.held[i], inside, above);
        _mm_store_si128(reinterpret_cast<__m128i*>(log.shares[i]), share);
        return share;
    }

    // What the group above (its log, or null) hands lane 0 at step i: its share for column i,
    // while that column is inside the area.
    __m128i fromAbove(const StepLog* above, int32_t i) const {
        return above && i < g.xe ? shareForRowBelow(*above, i) : _mm_setzero_si128();
    }

    // The group below takes the shares for the area's columns itself when it follows.
    void finish(bool belowFollows) {
        passBelow(g, log.shares, belowFollows);
        spillHeld(g, log.held, end);
    }

    Group& g;
    const int32_t end;
    const int32_t steadyFirst;
    const int32_t steadyEnd;

private:
    StepLog& log;
    const __m128i laneLag, firstColumn, endColumn, rowLanes;
    Chains chains;
};

void diffuseGroupVector(Group& g, StepLog& log, const StepLog* above) {
    VectorRun run(g, log);
    for (int32_t i = g.xs; i < run.end; ++i) {
        run.step(i, run.fromAbove(above, i));
    }
    run.finish(g.y + kLanes < g.bottom);
}

// A full group and the group below it, side by side: the lower group's lane 0 works as a
// fifth lane of the upper group, two columns behind its lane 3, and takes lane 3's share for
// the row below straight from the step before. The two error chains do not wait for each
// other within a step, so the processor overlaps them.
void diffusePairVector(Group& upper, Group& lower, StepLog& upperLog, StepLog& lowerLog,
                       const StepLog* above) {
    constexpr int32_t kBehind = kLag * kLanes; // steps from upper's step to lower's
    VectorRun top(upper, upperLog);
    VectorRun bottom(lower, lowerLog);
    __m128i lastShare = _mm_setzero_si128();
    const int32_t stop = std::max(top.end, bottom.end + kBehind);
    auto turn = [&](int32_t t) {
        const __m128i share = _mm_srli_si128(lastShare, 4 * (kLanes - 1)); // lane 3 to lane 0
        lastShare = t < top.end ? top.step(t, top.fromAbove(above, t)) : _mm_setzero_si128();
        const int32_t i = t - kBehind;
        if (i >= lower.xs && i < bottom.end) {
            bottom.step(i, share);
        }
    };
    // Where both groups take plain steps, a loop without the checks.
    const int32_t bothFirst = std::max(top.steadyFirst, bottom.steadyFirst + kBehind);
    const int32_t bothEnd =
        std::max(bothFirst, std::min(top.steadyEnd, bottom.steadyEnd + kBehind));
    int32_t t = upper.xs;
    for (; t < bothFirst; ++t) {
        turn(t);
    }
    for (; t < bothEnd; ++t) {
        const __m128i share = _mm_srli_si128(lastShare, 4 * (kLanes - 1));
        lastShare = top.plainStep(t, top.fromAbove(above, t));
        bottom.plainStep(t - kBehind, share);
    }
    for (; t < stop; ++t) {
        turn(t);
    }
    top.finish(true);
    bottom.finish(lower.rows == kLanes && lower.y + kLanes < lower.bottom);
}

// The area in vector steps, two groups at a time where the upper one is full. Each run hands
// its last group's shares for the row below to the next run through its log; of three logs,
// a run reads one and writes the other two.
void diffuseVector(Group& g, Group& next) {
    StepLog logs[3];
    int32_t aboveLog = 2; // no run yet: the first takes logs 0 and 1
    bool first = true;
    while (g.y < g.bottom) {
        const StepLog* above = first ? nullptr : &logs[aboveLog];
        StepLog& upperLog = logs[(aboveLog + 1) % 3];
        StepLog& lowerLog = logs[(aboveLog + 2) % 3];
        first = false;
        g.rows = std::min(kLanes, g.bottom - g.y);
        loadGroup(g, true);
        if (g.rows == kLanes && g.y + kLanes < g.bottom) {
            next.plane = g.plane;
            next.xs = g.xs;
            next.xe = g.xe;
            next.bottom = g.bottom;
            next.y = g.y + kLanes;
            next.rows = std::min(kLanes, g.bottom - next.y);
            loadGroup(next, true);
            diffusePairVector(g, next, upperLog, lowerLog, above);
            moveGroup(g, true, true);
            moveGroup(next, true, true);
            aboveLog = (aboveLog + 2) % 3;
            g.y = next.y + next.rows;
        } else {
            diffuseGroupVector(g, upperLog, above);
            moveGroup(g, true, true);
            aboveLog = (aboveLog + 1) % 3;
            g.y += g.rows;
        }
    }
}

#endif

void diffuse(int32_t* plane, int32_t xs, int32_t xe, int32_t ys, int32_t ye, bool vector) {
    if (xs >= xe || ys >= ye) {
        return;
    }
    Group g;
    g.plane = plane;
    g.xs = xs;
    g.xe = xe;
    g.bottom = ye;
    g.y = ys;
#ifdef MIRVISTA_DIFFUSION_SSE2
    if (vector) {
        Group next;
        diffuseVector(g, next);
        return;
    }
#else
    (void)vector;
#endif
    for (; g.y < ye; g.y += kLanes) {
        g.rows = std::min(kLanes, ye - g.y);
        loadGroup(g, false);
        diffuseGroupScalar(g);
        moveGroup(g, true, false);
    }
}

} // namespace

void diffuseArea(int32_t* plane, int32_t xs, int32_t xe, int32_t ys, int32_t ye) {
    diffuse(plane, xs, xe, ys, ye, true);
}

void diffuseAreaScalar(int32_t* plane, int32_t xs, int32_t xe, int32_t ys, int32_t ye) {
    diffuse(plane, xs, xe, ys, ye, false);
}
