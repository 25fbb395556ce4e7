#include "GDIBitmap_Win32.h"

#include <new>

#include "DrawingContext_GDIBitmap_Win32.h"

namespace comsrc {

GDIBitmap::~GDIBitmap() {
    DestroyContext();
    if (hdc)
        ReleaseDC(nullptr, hdc);
    hdc = nullptr;
}

DrawingContext* GDIBitmap::AcquireContext() {
    if (!context && hdc)
        context = new (std::nothrow) DrawingContext_GDIBitmap(hdc);
    return context;
}

int32_t GDIBitmap::ReleaseContext(DrawingContext* ctx) {
    return ctx && ctx == context ? 0 : -1;
}

CompatBitmap::CompatBitmap() : GDIBitmap(kBitmapKindCompat) {
    width = GetSystemMetrics(SM_CXSCREEN);
    height = GetSystemMetrics(SM_CYSCREEN);
}

CompatBitmap::~CompatBitmap() {
    ReleaseBitmap();
}

void CompatBitmap::ReleaseBitmap() {
    if (hdc) {
        DestroyContext();
        if (previousObject)
            SelectObject(hdc, previousObject);
        DeleteDC(hdc);
        hdc = nullptr;
    }
    if (hbitmap)
        DeleteObject(hbitmap);
    hbitmap = nullptr;
    previousObject = nullptr;
}

int32_t CompatBitmap::Create(int32_t, int32_t) {
    return -1;
}

int32_t CompatBitmap::CreateCompatible(HDC reference, int32_t w, int32_t h) {
    ReleaseBitmap();
    HDC dc = CreateCompatibleDC(reference);
    if (!dc)
        return -1;
    hbitmap = CreateCompatibleBitmap(reference, w, h);
    if (!hbitmap) {
        DeleteDC(dc);
        return -2;
    }
    previousObject = SelectObject(dc, hbitmap);
    hdc = dc;
    context = new (std::nothrow) DrawingContext_GDIBitmap(hdc);
    width = w;
    height = h;
    return 0;
}

} // namespace comsrc
