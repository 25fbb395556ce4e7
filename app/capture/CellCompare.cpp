// Change detection between two captures of the same size, in 32 x 32 cells.
#include "app/capture/CellCompare.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

#include "comsrc/RectList.h"

int32_t g_comparePhase = 0;

namespace {

const uint8_t* pixelAt(const PixelImage& image, int32_t x, int32_t y) {
    return image.row0 + static_cast<ptrdiff_t>(y) * image.stride + static_cast<ptrdiff_t>(x) * 4;
}

// A pair is two adjacent 32-bit pixels; it differs when either word differs.
bool pairDiffers(const uint8_t* a, const uint8_t* b) {
    uint64_t wa;
    uint64_t wb;
    std::memcpy(&wa, a, sizeof wa);
    std::memcpy(&wb, b, sizeof wb);
    return wa != wb;
}

// The cell at (cellLeft, bandTop) as far as it lies inside `part`: in row y only the pairs
// whose index p, counted from the cell's left edge, has p == (phase + y - bandTop) mod 2,
// and only pairs wholly inside `part`.
bool cellDiffers(const PixelImage& now, const PixelImage& before, const RECT& part,
                 int32_t cellLeft, int32_t bandTop, int32_t phase) {
    const int32_t firstPair = (part.left - cellLeft + 1) / 2;
    const int32_t endPair = (part.right - cellLeft) / 2;
    for (int32_t y = part.top; y < part.bottom; ++y) {
        const uint8_t* a = pixelAt(now, cellLeft, y);
        const uint8_t* b = pixelAt(before, cellLeft, y);
        for (int32_t p = firstPair + ((firstPair + phase + y - bandTop) & 1); p < endPair; p += 2) {
            if (pairDiffers(a + p * 8, b + p * 8)) {
                return true;
            }
        }
    }
    return false;
}

int32_t cellFloor(int32_t v) {
    return v - v % kCompareCell;
}

// One band of cells, 32 rows from bandTop, over the columns of `area`.
int32_t compareBand(const PixelImage& now, const PixelImage& before, const RECT& area,
                    int32_t bandTop, int32_t phase, comsrc::RectList& out) {
    const LONG top = std::max<LONG>(area.top, bandTop);
    const LONG bottom = std::min<LONG>(area.bottom, bandTop + kCompareCell);
    int32_t count = 0;
    bool runOpen = false;
    int32_t runStart = 0;
    int32_t x = cellFloor(area.left);
    for (; x < area.right; x += kCompareCell) {
        const RECT part{std::max<LONG>(area.left, x), top,
                        std::min<LONG>(area.right, x + kCompareCell), bottom};
        if (cellDiffers(now, before, part, x, bandTop, phase)) {
            if (!runOpen) {
                runOpen = true;
                runStart = x;
            }
        } else if (runOpen) {
            out.Add(RECT{runStart, bandTop, x, bandTop + kCompareCell});
            ++count;
            runOpen = false;
        }
    }
    if (runOpen) {
        out.Add(RECT{runStart, bandTop, x, bandTop + kCompareCell});
        ++count;
    }
    return count;
}

} // namespace

int32_t compareCellsWithin(const PixelImage& now, const PixelImage& before, const RECT& area,
                           int32_t phase, comsrc::RectList& out) {
    int32_t count = 0;
    for (int32_t y = cellFloor(area.top); y < area.bottom; y += kCompareCell) {
        count += compareBand(now, before, area, y, phase, out);
    }
    return count;
}

int32_t compareCells(const PixelImage& now, const PixelImage& before, int32_t width, int32_t height,
                     int32_t phase, comsrc::RectList& out) {
    return compareCellsWithin(now, before, RECT{0, 0, width, height}, phase, out);
}

bool captureTooEarly(uint32_t nowMs, uint32_t lastMs) {
    // The elapsed difference stays right across the clock's wrap; comparing against
    // lastMs + 40 would hold captures back for 49.7 days after a wrap.
    return nowMs - lastMs < kCaptureSpacingMs;
}

int32_t reportChangesWithin(bool firstCapture, const PixelImage& now, const PixelImage& before,
                            int32_t width, int32_t height, const RECT& area,
                            comsrc::RectList& out) {
    if (firstCapture) {
        out.Add(RECT{0, 0, width, height});
        return 1;
    }
    g_comparePhase ^= 1;
    return compareCellsWithin(now, before, area, g_comparePhase, out);
}

int32_t reportChanges(bool firstCapture, const PixelImage& now, const PixelImage& before,
                      int32_t width, int32_t height, comsrc::RectList& out) {
    return reportChangesWithin(firstCapture, now, before, width, height, RECT{0, 0, width, height},
                               out);
}
