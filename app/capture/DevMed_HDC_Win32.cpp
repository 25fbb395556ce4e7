// Main-screen capture through a display device context.
#include "app/capture/DevMed_HDC.h"

#include <algorithm>
#include <cstring>

#include "app/capture/CaptureArea.h"
#include "app/capture/CellCompare.h"
#include "app/core/Globals.h"
#include "comsrc/DIBitmap_Win32.h"
#include "comsrc/DrawingContext_GDIBitmap_Win32.h"
#include "comsrc/GDIBitmap_Win32.h"
#include "comsrc/HDCAcquirer_Win32.h"
#include "comsrc/RectList.h"

DevMed_HDC::DevMed_HDC(const RECT& captureRect)
    : DevMed_HDC(captureRect, g_screenAcquirer, g_dirtyRects) {}

DevMed_HDC::DevMed_HDC(const RECT& captureRect, HDCAcquirer* source, comsrc::RectList* changed)
    : sourceAcquirer(source), changedAreas(changed), captureRect_(captureRect),
      wantedArea_(kWholeFrame) {
    valid = 1;
}

DevMed_HDC::~DevMed_HDC() {
    deleteBitmaps();
}

comsrc::DIBitmap_Win32* DevMed_HDC::frameBitmap() {
    return frontBitmap;
}

RECT* DevMed_HDC::captureRect() {
    return &captureRect_;
}

void DevMed_HDC::setRasterOp(uint32_t op) {
    rasterOp = op;
}

void DevMed_HDC::setWantedArea(const RECT& area) {
    wantedArea_ = area;
}

// The wanted area within the frame, which has the capture rectangle's size.
RECT DevMed_HDC::currentArea() {
    const int64_t width = int64_t{captureRect_.right} - captureRect_.left;
    const int64_t height = int64_t{captureRect_.bottom} - captureRect_.top;
    return captureAreaWithin(wantedArea_, static_cast<int32_t>(std::min<int64_t>(width, INT32_MAX)),
                             static_cast<int32_t>(std::min<int64_t>(height, INT32_MAX)));
}

void DevMed_HDC::deleteBitmaps() {
    delete frontBitmap;
    delete backBitmap;
    delete compatBitmap;
    frontBitmap = nullptr;
    backBitmap = nullptr;
    compatBitmap = nullptr;
}

int32_t DevMed_HDC::createBitmaps(HDC source, int32_t width, int32_t height) {
    frontBitmap = new comsrc::DIBitmap_Win32();
    backBitmap = new comsrc::DIBitmap_Win32();
    compatBitmap = new comsrc::CompatBitmap();
    if (frontBitmap->CreateWithDepth(width, height, 32) != 0 ||
        backBitmap->CreateWithDepth(width, height, 32) != 0 ||
        compatBitmap->CreateCompatible(source, width, height) != 0) {
        deleteBitmaps();
        return -1;
    }
    return 0;
}

// BitBlt of `area` into the same place of a frame bitmap, through its own device context.
int32_t DevMed_HDC::copyScreen(HDC source, comsrc::DIBitmap_Win32& into, const RECT& area) {
    if (comsrc::isEmptyRect(area)) {
        return 0;
    }
    comsrc::DrawingContext* ctx = into.AcquireContext();
    comsrc::DrawingContext_GDIBitmap* gdi = comsrc::DrawingContext_GDIBitmap::FromContext(ctx);
    BOOL copied = gdi && BitBlt(gdi->GetHDC(), area.left, area.top, area.right - area.left,
                                area.bottom - area.top, source, captureRect_.left + area.left,
                                captureRect_.top + area.top, rasterOp);
    if (ctx) {
        into.ReleaseContext(ctx);
    }
    return copied ? 0 : -2;
}

// Copies the area into both bitmaps and reports the whole frame, so that the next
// comparison has a previous image and conversion starts from a whole picture.
int32_t DevMed_HDC::firstCapture(HDC source, const RECT& area) {
    if (createBitmaps(source, captureRect_.right - captureRect_.left,
                      captureRect_.bottom - captureRect_.top) != 0) {
        return -1;
    }
    if (copyScreen(source, *backBitmap, area) != 0) {
        deleteBitmaps(); // no previous image yet: start again next time
        return -2;
    }
    const uint8_t* now = backBitmap->LockPixels();
    uint8_t* before = frontBitmap->LockPixels();
    int32_t count = 0;
    if (now && before && changedAreas) {
        const int32_t nowStride = backBitmap->GetStride();
        const int32_t beforeStride = frontBitmap->GetStride();
        for (int32_t y = area.top; y < area.bottom; ++y) {
            std::memcpy(before + static_cast<ptrdiff_t>(y) * beforeStride + area.left * 4,
                        now + static_cast<ptrdiff_t>(y) * nowStride + area.left * 4,
                        static_cast<size_t>(area.right - area.left) * 4);
        }
        count = reportChangesWithin(true, PixelImage{now, nowStride},
                                    PixelImage{before, beforeStride}, backBitmap->GetWidth(),
                                    backBitmap->GetHeight(), area, *changedAreas);
    }
    backBitmap->UnlockPixels();
    frontBitmap->UnlockPixels();
    coveredArea_ = area;
    return count;
}

// What the area adds to the one the front bitmap holds is copied straight into it and
// reported: conversion must never read pixels that were never copied, whatever the time.
int32_t DevMed_HDC::copyNewlyCovered(HDC source, const RECT& area) {
    const RECT fresh = newlyCovered(area, coveredArea_);
    if (comsrc::isEmptyRect(fresh)) {
        coveredArea_ = area;
        return 0;
    }
    if (copyScreen(source, *frontBitmap, fresh) != 0) {
        return 0; // tried again at the next capture
    }
    coveredArea_ = area;
    if (!changedAreas) {
        return 0;
    }
    changedAreas->Add(fresh);
    return 1;
}

int32_t DevMed_HDC::compareWithPrevious(const RECT& area) {
    const uint8_t* now = backBitmap->LockPixels();
    const uint8_t* before = frontBitmap->LockPixels();
    int32_t count = 0;
    if (now && before && changedAreas) {
        count = reportChangesWithin(false, PixelImage{now, backBitmap->GetStride()},
                                    PixelImage{before, frontBitmap->GetStride()},
                                    backBitmap->GetWidth(), backBitmap->GetHeight(), area,
                                    *changedAreas);
    }
    backBitmap->UnlockPixels();
    frontBitmap->UnlockPixels();
    return count;
}

void DevMed_HDC::swapBitmaps() {
    comsrc::DIBitmap_Win32* swap = backBitmap;
    backBitmap = frontBitmap;
    frontBitmap = swap;
    lastCaptureTime = captureClock.Now();
}

HDC DevMed_HDC::sourceDC() {
    HDC source = sourceAcquirer ? sourceAcquirer->GetHDC() : nullptr;
    if (!source && sourceAcquirer) {
        sourceAcquirer->Open();
        source = sourceAcquirer->GetHDC();
    }
    return source;
}

int32_t DevMed_HDC::capture() {
    const bool due = !captureTooEarly(captureClock.Now(), lastCaptureTime);
    const RECT area = currentArea();
    if (!due && (!frontBitmap || comsrc::isEmptyRect(newlyCovered(area, coveredArea_)))) {
        return 0;
    }
    HDC source = sourceDC();
    if (!source) {
        return -2;
    }
    if (!frontBitmap) {
        const int32_t count = firstCapture(source, area);
        if (count >= 0) {
            swapBitmaps();
        }
        return count;
    }
    int32_t count = copyNewlyCovered(source, area);
    // A failed copy (locked workstation, secure desktop, mode change) is a frame with no
    // news: the front bitmap keeps the last good frame, which the next copy is compared with.
    if (!due || copyScreen(source, *backBitmap, area) != 0) {
        return count;
    }
    count += compareWithPrevious(area);
    swapBitmaps();
    return count;
}
