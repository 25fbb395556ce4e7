#include "tools/mirtool/mirror/CaptureFrame.h"

#include <algorithm>
#include <cstring>

#include "comsrc/RectList.h"

namespace mirtool {

CaptureFrame::CaptureFrame() : pixels(kStride * kMaxCaptureHeight, 0) {}

void CaptureFrame::Resize(CaptureSize next) {
    size.width = std::clamp(next.width, 0, kMaxCaptureWidth);
    size.height = std::clamp(next.height, 0, kMaxCaptureHeight);
    std::fill(pixels.begin(), pixels.end(), 0);
}

void CaptureFrame::Paste(const RECT& at, const uint8_t* rows, size_t stride) {
    const RECT inside = comsrc::intersectRects(at, RECT{0, 0, size.width, size.height});
    if (comsrc::isEmptyRect(inside) || !comsrc::equalRects(inside, at))
        return; // the caller fetched for a size this frame no longer has
    const size_t bytes = size_t(at.right - at.left) * 4;
    for (LONG y = at.top; y < at.bottom; ++y) {
        std::memcpy(pixels.data() + size_t(y) * kStride + size_t(at.left) * 4,
                    rows + size_t(y - at.top) * stride, bytes);
    }
}

PixelImage CaptureFrame::View() const {
    return PixelImage{pixels.data(), static_cast<int32_t>(kStride)};
}

const uint8_t* CaptureFrame::Lock(int32_t& stride, int32_t& width, int32_t& height) {
    stride = static_cast<int32_t>(kStride);
    width = size.width;
    height = size.height;
    return pixels.data();
}

CaptureSize MirrorCaptureSize(CaptureSize screen, int32_t shrink) {
    return limitCaptureSize(std::max(screen.width, 0), std::max(screen.height, 0), shrink);
}

RECT CoveredArea(const FrameDisplay* slots, size_t count, CaptureSize size) {
    RECT box{0, 0, 0, 0};
    for (size_t i = 0; i < count; ++i) {
        if (!slots[i].record)
            continue;
        const RECT clip = clipWindow(slots[i].window, size.width, size.height);
        if (!comsrc::isEmptyRect(clip))
            box = comsrc::unionRects(box, clip);
    }
    return box;
}

RECT AddChangedAreas(const RECT* rects, size_t count, const RECT& area, comsrc::RectList& dirty) {
    RECT box{0, 0, 0, 0};
    for (size_t i = 0; i < count; ++i) {
        const RECT piece = comsrc::intersectRects(rects[i], area);
        if (comsrc::isEmptyRect(piece))
            continue;
        dirty.Add(piece);
        box = comsrc::unionRects(box, piece);
    }
    return box;
}

} // namespace mirtool
