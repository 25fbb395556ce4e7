#include "tools/mirtool/mirror/ScreenSource.h"

#include <cstring>

#include "comsrc/RectList.h"

namespace mirtool {

namespace {

// A still screen is the common case, and whole rows compare faster than cells.
bool SameRows(const PixelImage& a, const PixelImage& b, int32_t width, int32_t height) {
    for (int32_t y = 0; y < height; ++y) {
        if (std::memcmp(a.row0 + int64_t{y} * a.stride, b.row0 + int64_t{y} * b.stride,
                        size_t(width) * 4) != 0)
            return false;
    }
    return true;
}

} // namespace

int32_t ScreenSource::Capture(const CaptureRequest& request, comsrc::RectList& dirty) {
    const CaptureSize had = Frame().Size();
    bool whole = request.whole || !sized;
    if (!sized || had.width != request.size.width || had.height != request.size.height) {
        frames[0].Resize(request.size);
        frames[1].Resize(request.size);
        sized = true;
        whole = true;
    }
    if (comsrc::isEmptyRect(request.area))
        return TakeDamage(damage) ? 0 : -1; // nothing to look at; what was drawn is forgotten
    return TracksDamage() ? CaptureDamage(request, whole, dirty)
                          : CaptureCompared(request, whole, dirty);
}

int32_t ScreenSource::CaptureDamage(const CaptureRequest& request, bool whole,
                                    comsrc::RectList& dirty) {
    damage.clear();
    if (!TakeDamage(damage))
        return -1;
    RECT box = AddChangedAreas(damage.data(), damage.size(), request.area, dirty);
    if (whole) {
        dirty.Add(request.area);
        box = request.area;
    }
    if (comsrc::isEmptyRect(box))
        return 0;
    PixelImage pixels{nullptr, 0};
    if (!Fetch(box, pixels))
        return -1;
    if (pixels.row0)
        Frame().Paste(box, pixels.row0, size_t(pixels.stride));
    return 0;
}

// Only the area is compared: the rest of the frame is never fetched. Cells start at the
// area's corner. An unchanged area is neither copied nor compared in cells.
int32_t ScreenSource::CaptureCompared(const CaptureRequest& request, bool whole,
                                      comsrc::RectList& dirty) {
    const RECT& area = request.area;
    PixelImage pixels{nullptr, 0};
    if (!Fetch(area, pixels))
        return -1;
    if (!pixels.row0)
        return 0;
    auto corner = [&area](const PixelImage& image) {
        return PixelImage{image.row0 + int64_t{area.top} * image.stride + int64_t{area.left} * 4,
                          image.stride};
    };
    const int32_t width = area.right - area.left;
    const int32_t height = area.bottom - area.top;
    const PixelImage before = corner(Frame().View());
    if (!whole && SameRows(pixels, before, width, height)) {
        g_comparePhase ^= 1; // as the comparison would, which would find nothing
        return 0;
    }
    CaptureFrame& next = frames[1 - current];
    next.Paste(area, pixels.row0, size_t(pixels.stride));
    reportChanges(whole, corner(next.View()), before, width, height, found);
    for (uint32_t i = 0; i < found.GetCount(); ++i) {
        const RECT& r = *found.GetAt(i);
        dirty.Add(
            RECT{r.left + area.left, r.top + area.top, r.right + area.left, r.bottom + area.top});
    }
    found.RemoveAll();
    current = 1 - current;
    return 0;
}

} // namespace mirtool
