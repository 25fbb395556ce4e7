#include "app/capture/PairCopy.h"

#include <algorithm>
#include <cstring>

RECT widenToPixelPairs(const RECT& rect, int32_t width, int32_t height) {
    RECT r{std::max<LONG>(rect.left, 0), std::max<LONG>(rect.top, 0),
           std::min<LONG>(rect.right, width), std::min<LONG>(rect.bottom, height)};
    if (r.left >= r.right || r.top >= r.bottom)
        return RECT{0, 0, 0, 0};
    r.left &= ~LONG{1};
    // right < width here unless it is the last column; rounding up then stays inside.
    if (r.right & 1)
        r.right = std::min<LONG>(r.right + 1, width);
    return r;
}

void copyPixelPairs(const uint8_t* source, int32_t width, int32_t height, uint8_t* dest,
                    int32_t destStride, const RECT& rect) {
    const RECT r = widenToPixelPairs(rect, width, height);
    if (r.left >= r.right)
        return;
    const int64_t pitch = int64_t{width} * 4;
    const size_t rowBytes = static_cast<size_t>(r.right - r.left) * 4;
    for (int64_t y = r.top; y < r.bottom; ++y) {
        const int64_t column = int64_t{r.left} * 4;
        std::memcpy(dest + y * destStride + column, source + y * pitch + column, rowBytes);
    }
}
