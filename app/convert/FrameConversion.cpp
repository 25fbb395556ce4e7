// One frame of conversion for every display, after the capture.
#include "app/convert/FrameConversion.h"

#include <algorithm>

#include "app/core/Globals.h"
#include "app/link/Packing.h"
#include "comsrc/RectList.h"

bool wantsFullRefresh(const MonitorRecord& record) {
    return record.dither >= 2 && record.dither <= 4;
}

void addFullRefreshAreas(const FrameDisplay* slots, size_t count, comsrc::RectList& dirty) {
    for (size_t i = 0; i < count; ++i) {
        if (slots[i].record && wantsFullRefresh(*slots[i].record)) {
            dirty.Add(slots[i].window);
        }
    }
}

namespace {

bool isConverted(const FrameDisplay& slot) {
    return slot.record && slot.record->active && slot.record->linkUp;
}

} // namespace

RECT convertedArea(const FrameDisplay* slots, size_t count, CaptureSize size) {
    RECT area{0, 0, 0, 0};
    for (size_t i = 0; i < count; ++i) {
        if (isConverted(slots[i]))
            area = comsrc::unionRects(area, clipWindow(slots[i].window, size.width, size.height));
    }
    return comsrc::isEmptyRect(area) ? RECT{0, 0, 0, 0} : area;
}

void convertDisplay(const FrameDisplay& slot, const CaptureSize& size, const RECT* rects,
                    size_t rectCount, uint32_t frameCounter, std::vector<uint8_t>& block) {
    MonitorRecord& record = *slot.record;
    DitherJob job;
    job.plane = record.plane;
    job.clip = clipWindow(slot.window, size.width, size.height);
    job.luma = g_lumaPlane;
    job.lumaWidth = size.width;
    job.tone = ToneSettings{record.contrast, record.gamma, record.offset};
    job.dither = record.dither;
    job.frameCounter = frameCounter;
    for (size_t i = 0; i < rectCount; ++i) {
        convertArea(job, rects[i]);
    }
    PackSource source{record.plane, kPlaneValues, job.clip, slot.invert != 0, slot.rotate};
    PackFrameBlock(source, rects, rectCount, block);
}

namespace {

// Fills g_lumaPlane from the locked frame; false when the frame has no pixels. The area
// never reaches past the image itself.
bool fillLuma(FramePixels& pixels, CaptureSize& size) {
    int32_t stride = 0;
    int32_t width = 0;
    int32_t height = 0;
    const uint8_t* row0 = pixels.Lock(stride, width, height);
    if (!row0) {
        pixels.Unlock();
        return false;
    }
    size.width = std::max(0, std::min(size.width, width));
    size.height = std::max(0, std::min(size.height, height));
    computeLumaPlane(row0, stride, size.width, size.height, g_lumaPlane);
    pixels.Unlock();
    return true;
}

std::vector<RECT> copyRects(comsrc::RectList& dirty) {
    std::vector<RECT> rects;
    uint32_t n = dirty.GetCount();
    rects.reserve(n);
    for (uint32_t i = 0; i < n; ++i) {
        if (const RECT* r = dirty.GetAt(i)) {
            rects.push_back(*r);
        }
    }
    return rects;
}

} // namespace

int32_t convertCapturedFrame(const FrameDisplay* slots, size_t count, CaptureSize captureSize,
                             int32_t shrink, FramePixels& pixels, comsrc::RectList& dirty,
                             BlockSink& sink) {
    addFullRefreshAreas(slots, count, dirty);
    CaptureSize size = limitCaptureSize(captureSize.width, captureSize.height, shrink);
    if (dirty.GetCount() == 0) {
        return 0;
    }
    ++g_frameCounter;
    if (!fillLuma(pixels, size)) {
        dirty.RemoveAll();
        return 0;
    }
    std::vector<RECT> rects = copyRects(dirty);
    int32_t delivered = 0;
    for (size_t i = 0; i < count; ++i) {
        if (!isConverted(slots[i])) {
            continue;
        }
        std::vector<uint8_t> block;
        convertDisplay(slots[i], size, rects.data(), rects.size(), g_frameCounter, block);
        if (!block.empty()) {
            sink.Deliver(i, block);
            ++delivered;
        }
    }
    dirty.RemoveAll();
    return delivered;
}
