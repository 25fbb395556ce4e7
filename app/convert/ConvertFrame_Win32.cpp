// convertFrame: the capture of the mode's mediator, then the platform-free conversion of
// every display and the hand-off of each block to its link.
#include "app/convert/ConvertFrame_Win32.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "app/capture/DevMed_HDC.h"
#include "app/convert/FrameConversion.h"
#include "app/core/Globals.h"
#include "app/link/SenderLink.h"
#include "comsrc/DIBitmap.h"
#include "comsrc/HDCAcquirer_Win32.h"
#include "comsrc/RectList.h"

namespace {

// The mediator's frame bitmap; a missing bitmap reads as one without pixels.
class BitmapPixels : public FramePixels {
public:
    explicit BitmapPixels(comsrc::DIBitmap* bitmap) : bitmap(bitmap) {}
    const uint8_t* Lock(int32_t& stride, int32_t& width, int32_t& height) override {
        if (!bitmap) {
            return nullptr;
        }
        const uint8_t* row0 = bitmap->LockPixels();
        stride = bitmap->GetStride();
        width = bitmap->GetWidth();
        height = bitmap->GetHeight();
        return row0;
    }
    void Unlock() override {
        if (bitmap) {
            bitmap->UnlockPixels();
        }
    }

private:
    comsrc::DIBitmap* bitmap;
};

class LinkSink : public BlockSink {
public:
    void Deliver(size_t slot, const std::vector<uint8_t>& block) override {
        SendChangedTiles(g_links[slot], block);
    }
};

std::vector<FrameDisplay> linkSlots() {
    const size_t count = std::min(g_links.size(), g_monitors.size());
    std::vector<FrameDisplay> slots(count, FrameDisplay{nullptr, RECT{0, 0, 0, 0}, 0, 0});
    for (size_t i = 0; i < count; ++i) {
        if (SenderLink* link = g_links[i]) {
            slots[i] =
                FrameDisplay{&g_monitors[i], link->window, link->invert ? 1 : 0, link->rotate};
        }
    }
    return slots;
}

int32_t extent(LONG from, LONG to) {
    const int64_t size = int64_t{to} - from;
    return static_cast<int32_t>(std::max<int64_t>(0, std::min<int64_t>(size, INT32_MAX)));
}

// After a full refresh every link sends the whole picture again, unchanged tiles too.
void forgetQueuedTilesWhenDue() {
    if (!g_wholePictureDue)
        return;
    g_wholePictureDue = 0;
    for (SenderLink* link : g_links) {
        if (link)
            link->tiles.Forget();
    }
}

} // namespace

void convertFrame() {
    if (!g_linksUp || !g_captureReady || g_links.empty()) {
        return;
    }
    const bool mirror = g_runMode == 1;
    DeviceMediator* mediator = mirror ? g_mirrorMediator : g_screenMediator;
    HDCAcquirer* acquirer = mirror ? g_mirrorAcquirer : g_screenAcquirer;
    if (!mediator || !acquirer || !g_dirtyRects) {
        g_captureReady = 0; // nothing to capture with: let discovery run again
        return;
    }
    const RECT* area = acquirer->GetRect();
    const CaptureSize size{extent(area->left, area->right), extent(area->top, area->bottom)};
    const int32_t shrink = g_monitors.empty() ? 0 : g_monitors[0].shrink;
    std::vector<FrameDisplay> slots = linkSlots();
    // Only what the displays' windows show is copied and compared.
    mediator->setWantedArea(convertedArea(slots.data(), slots.size(),
                                          limitCaptureSize(size.width, size.height, shrink)));
    if (mediator->capture() < 0) {
        g_captureReady = 0;
    }
    forgetQueuedTilesWhenDue();
    BitmapPixels pixels(mediator->frameBitmap());
    LinkSink sink;
    convertCapturedFrame(slots.data(), slots.size(), size, shrink, pixels, *g_dirtyRects, sink);
}
