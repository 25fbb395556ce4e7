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

bool cellDiffers(const PixelImage& now, const PixelImage& before, int32_t x, int32_t y,
                 int32_t columns, int32_t rows, int32_t phase) {
    int32_t pairs = columns / 2;
    for (int32_t r = 0; r < rows; ++r) {
        const uint8_t* a = pixelAt(now, x, y + r);
        const uint8_t* b = pixelAt(before, x, y + r);
        for (int32_t p = (phase + r) & 1; p < pairs; p += 2) {
            if (pairDiffers(a + p * 8, b + p * 8)) {
                return true;
            }
        }
    }
    return false;
}

} // namespace

int32_t compareCells(const PixelImage& now, const PixelImage& before, int32_t width, int32_t height,
                     int32_t phase, comsrc::RectList& out) {
    int32_t count = 0;
    for (int32_t y = 0; y < height; y += kCompareCell) {
        int32_t rows = std::min(height - y, kCompareCell);
        bool runOpen = false;
        int32_t runStart = 0;
        int32_t x = 0;
        for (; x < width; x += kCompareCell) {
            int32_t columns = std::min(width - x, kCompareCell);
            if (cellDiffers(now, before, x, y, columns, rows, phase)) {
                if (!runOpen) {
                    runOpen = true;
                    runStart = x;
                }
            } else if (runOpen) {
                out.Add(RECT{runStart, y, x, y + kCompareCell});
                ++count;
                runOpen = false;
            }
        }
        if (runOpen) {
            out.Add(RECT{runStart, y, x, y + kCompareCell});
            ++count;
        }
    }
    return count;
}

bool captureTooEarly(uint32_t nowMs, uint32_t lastMs) {
    // The elapsed difference stays right across the clock's wrap; comparing against
    // lastMs + 40 would hold captures back for 49.7 days after a wrap.
    return nowMs - lastMs < kCaptureSpacingMs;
}

int32_t reportChanges(bool firstCapture, const PixelImage& now, const PixelImage& before,
                      int32_t width, int32_t height, comsrc::RectList& out) {
    if (firstCapture) {
        out.Add(RECT{0, 0, width, height});
        return 1;
    }
    g_comparePhase ^= 1;
    return compareCells(now, before, width, height, g_comparePhase, out);
}
