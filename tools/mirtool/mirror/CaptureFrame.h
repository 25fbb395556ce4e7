// The mirror's copy of the screen area its displays look at, and the bookkeeping of which
// parts of it changed. Platform-free: the X11 source fetches pixels into it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "app/capture/CellCompare.h"
#include "app/convert/Conversion.h"
#include "app/convert/FrameConversion.h"
#include "comsrc/WinTypes.h"

namespace comsrc {
class RectList;
}

namespace mirtool {

// A capture of up to 384 x 256 pixels, 32 bits each (blue, green, red, unused), row 0 on
// top. What was never fetched is black.
class CaptureFrame : public FramePixels {
public:
    CaptureFrame();
    // A new size (limited to 384 x 256), all black.
    void Resize(CaptureSize size);
    CaptureSize Size() const { return size; }
    // Copies pixels fetched for `at` (inside the size) from rows `stride` bytes apart.
    void Paste(const RECT& at, const uint8_t* rows, size_t stride);
    PixelImage View() const;

    const uint8_t* Lock(int32_t& stride, int32_t& width, int32_t& height) override;
    void Unlock() override {}

private:
    static constexpr size_t kStride = size_t{kMaxCaptureWidth} * 4;
    std::vector<uint8_t> pixels;
    CaptureSize size{0, 0};
};

// The converted area: the screen size limited by 384 x 256 and display 0's shrink step.
CaptureSize MirrorCaptureSize(CaptureSize screen, int32_t shrink);

// The bounding box of the windows of the slots with a record, each clipped to the capture
// as conversion clips it; empty (all zero) when none lies inside.
RECT CoveredArea(const FrameDisplay* slots, size_t count, CaptureSize size);

// Adds each of `rects` clipped to `area` to `dirty`; returns the bounding box of the clipped
// pieces, empty when none is left.
RECT AddChangedAreas(const RECT* rects, size_t count, const RECT& area, comsrc::RectList& dirty);

} // namespace mirtool
