// Main-screen capture through a display device context.
#include "app/capture/DevMed_HDC.h"

#include <cstring>

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
    : sourceAcquirer(source), changedAreas(changed), captureRect_(captureRect) {
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

// BitBlt into the back bitmap's own device context.
int32_t DevMed_HDC::copyScreen(HDC source) {
    comsrc::DrawingContext* ctx = backBitmap->AcquireContext();
    comsrc::DrawingContext_GDIBitmap* gdi = comsrc::DrawingContext_GDIBitmap::FromContext(ctx);
    BOOL copied =
        gdi && BitBlt(gdi->GetHDC(), 0, 0, backBitmap->GetWidth(), backBitmap->GetHeight(), source,
                      captureRect_.left, captureRect_.top, rasterOp);
    if (ctx) {
        backBitmap->ReleaseContext(ctx);
    }
    return copied ? 0 : -2;
}

// The first capture also copies the new image into the front bitmap, so that the next
// comparison has a previous image.
int32_t DevMed_HDC::compareWithPrevious(bool firstCapture) {
    const uint8_t* now = backBitmap->LockPixels();
    uint8_t* before = frontBitmap->LockPixels();
    int32_t count = 0;
    if (now && before && changedAreas) {
        const int32_t width = backBitmap->GetWidth();
        const int32_t height = backBitmap->GetHeight();
        PixelImage nowImage{now, backBitmap->GetStride()};
        PixelImage beforeImage{before, frontBitmap->GetStride()};
        if (firstCapture) {
            for (int32_t y = 0; y < height; ++y) {
                std::memcpy(before + static_cast<ptrdiff_t>(y) * beforeImage.stride,
                            now + static_cast<ptrdiff_t>(y) * nowImage.stride,
                            static_cast<size_t>(width) * 4);
            }
        }
        count = reportChanges(firstCapture, nowImage, beforeImage, width, height, *changedAreas);
    }
    backBitmap->UnlockPixels();
    frontBitmap->UnlockPixels();
    return count;
}

int32_t DevMed_HDC::capture() {
    if (captureTooEarly(captureClock.Now(), lastCaptureTime)) {
        return 0;
    }
    HDC source = sourceAcquirer ? sourceAcquirer->GetHDC() : nullptr;
    if (!source && sourceAcquirer) {
        sourceAcquirer->Open();
        source = sourceAcquirer->GetHDC();
    }
    if (!source) {
        return -2;
    }
    const bool firstCapture = !frontBitmap;
    if (firstCapture && createBitmaps(source, captureRect_.right - captureRect_.left,
                                      captureRect_.bottom - captureRect_.top) != 0) {
        return -1;
    }
    if (copyScreen(source) != 0) {
        if (firstCapture) {
            deleteBitmaps(); // no previous image yet: start again next time
            return -2;
        }
        // Locked workstation, secure desktop, mode change: a frame with no news. The front
        // bitmap keeps the last good frame, which the next copy is compared with.
        return 0;
    }
    int32_t count = compareWithPrevious(firstCapture);
    comsrc::DIBitmap_Win32* swap = backBitmap;
    backBitmap = frontBitmap;
    frontBitmap = swap;
    lastCaptureTime = captureClock.Now();
    return count;
}
