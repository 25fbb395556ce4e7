// One frame of conversion for every display, after the capture: full-window refreshes,
// the frame counter, luminance, tone and dithering into each display's work plane, and
// packing of each display's frame block.
//
// Platform-free: the frame bitmap and the hand-off to the links are reached through the
// two small interfaces below, so the same steps run in mirpanel and in the host tools.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "app/convert/Conversion.h"
#include "app/core/MonitorRecord.h"
#include "comsrc/WinTypes.h"

namespace comsrc {
class RectList;
}

// One slot of the link vector as conversion sees it.
struct FrameDisplay {
    MonitorRecord* record; // null when the slot has no link
    RECT window;           // the link's window rectangle
    int32_t invert;        // the link's copy of the record's setting
    int32_t rotate;        // likewise
};

// The latest capture, locked for reading while a frame is converted.
class FramePixels {
public:
    virtual ~FramePixels() = default;
    // Pointer to the top row, or null; stride, width and height of the image.
    virtual const uint8_t* Lock(int32_t& stride, int32_t& width, int32_t& height) = 0;
    virtual void Unlock() = 0;
};

// Receives each display's frame block; blocks are never empty.
class BlockSink {
public:
    virtual ~BlockSink() = default;
    virtual void Deliver(size_t slot, const std::vector<uint8_t>& block) = 0;
};

// Whether the slot's record wants its whole window redrawn every frame (dither 2 to 4).
bool wantsFullRefresh(const MonitorRecord& record);

// Adds the unclipped window of every slot with a record that wants full refreshes.
void addFullRefreshAreas(const FrameDisplay* slots, size_t count, comsrc::RectList& dirty);

// What this frame's conversion reads of the capture: the bounding box of every converted
// display's window clipped to `size`, the converted capture size; all zero for none.
RECT convertedArea(const FrameDisplay* slots, size_t count, CaptureSize size);

// Converts and packs one display over the dirty rectangles; appends its block to `block`.
void convertDisplay(const FrameDisplay& slot, const CaptureSize& size, const RECT* rects,
                    size_t rectCount, uint32_t frameCounter, std::vector<uint8_t>& block);

// Everything after the capture. `captureSize` is the source's full size (limited here by
// 384 x 256 and `shrink`). Bumps g_frameCounter, fills g_lumaPlane, hands each non-empty
// block to `sink` and empties `dirty`. Returns the number of blocks handed over.
int32_t convertCapturedFrame(const FrameDisplay* slots, size_t count, CaptureSize captureSize,
                             int32_t shrink, FramePixels& pixels, comsrc::RectList& dirty,
                             BlockSink& sink);
