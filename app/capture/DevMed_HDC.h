// Main-screen capture: copies the capture rectangle out of a display device context and
// compares it with the previous copy in 32 x 32 cells; told the part that conversion reads,
// it copies and compares only that. Windows only.
#pragma once

#include <windows.h>

#include <cstdint>

#include "app/capture/DeviceMediator.h"
#include "comsrc/DIBitmap_Win32.h"
#include "comsrc/QPClock_Win32.h"

class HDCAcquirer;
namespace comsrc {
class CompatBitmap;
class RectList;
} // namespace comsrc

class DevMed_HDC : public DeviceMediator {
public:
    // Copies from g_screenAcquirer and reports to g_dirtyRects, as they are now.
    explicit DevMed_HDC(const RECT& captureRect);
    // For a given source and list (tests).
    DevMed_HDC(const RECT& captureRect, HDCAcquirer* source, comsrc::RectList* changed);
    ~DevMed_HDC() override;

    int32_t start() override { return 0; }
    // At most one screen copy every 40 ms; -2 without a device context or when the first
    // copy fails, -1 when the bitmaps cannot be made. A later copy that fails reports no
    // change and keeps the last good frame. Part of the wanted area that the last capture
    // did not cover is copied and reported changed at once, also within the 40 ms.
    int32_t capture() override;
    void setWantedArea(const RECT& area) override;
    comsrc::DIBitmap_Win32* frameBitmap() override;
    virtual RECT* captureRect();
    virtual void setRasterOp(uint32_t op);

private:
    int32_t createBitmaps(HDC source, int32_t width, int32_t height);
    void deleteBitmaps();
    HDC sourceDC();
    RECT currentArea();
    int32_t copyScreen(HDC source, comsrc::DIBitmap_Win32& into, const RECT& area);
    int32_t firstCapture(HDC source, const RECT& area);
    int32_t copyNewlyCovered(HDC source, const RECT& area);
    int32_t compareWithPrevious(const RECT& area);
    void swapBitmaps();

    HDCAcquirer* sourceAcquirer;
    comsrc::RectList* changedAreas;
    comsrc::DIBitmap_Win32* backBitmap = nullptr;
    comsrc::DIBitmap_Win32* frontBitmap = nullptr;
    comsrc::QPClock captureClock{1000.0};
    uint32_t lastCaptureTime = 0;
    RECT captureRect_;
    RECT wantedArea_;
    RECT coveredArea_ = {0, 0, 0, 0}; // what the front bitmap holds from the screen
    uint32_t rasterOp = SRCCOPY;
    comsrc::CompatBitmap* compatBitmap = nullptr;
};
