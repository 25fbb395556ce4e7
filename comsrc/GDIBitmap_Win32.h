// Bitmaps that live in a GDI device context.
#pragma once

#include <windows.h>

#include "Bitmap.h"

namespace comsrc {

// The context is shared, not exclusive: every AcquireContext hands out the same one.
class GDIBitmap : public Bitmap {
public:
    ~GDIBitmap() override;
    // The context over hdc, made on first use; null while there is no hdc.
    DrawingContext* AcquireContext() override;
    // 0 for the bitmap's own context, -1 otherwise; changes nothing.
    int32_t ReleaseContext(DrawingContext* ctx) override;

protected:
    explicit GDIBitmap(int32_t bitmapKind) : Bitmap(bitmapKind) {}

    HDC hdc = nullptr;
};

// A device-dependent bitmap selected into its own memory DC.
class CompatBitmap : public GDIBitmap {
public:
    // Until CreateCompatible, the size reported is that of the primary screen.
    CompatBitmap();
    ~CompatBitmap() override;

    // Always -1: a compatible bitmap needs a reference DC.
    int32_t Create(int32_t width, int32_t height) override;
    // Replaces anything made before. 0; -1 when the memory DC cannot be made;
    // -2 when the bitmap cannot be made.
    virtual int32_t CreateCompatible(HDC reference, int32_t width, int32_t height);
    virtual HBITMAP GetHBITMAP() const { return hbitmap; }

private:
    void ReleaseBitmap();

    HBITMAP hbitmap = nullptr;
    HGDIOBJ previousObject = nullptr;
};

} // namespace comsrc
