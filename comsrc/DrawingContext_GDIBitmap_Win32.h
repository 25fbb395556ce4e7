// GDI drawing on a device context owned by a bitmap.
#pragma once

#include <windows.h>

#include "DrawingContext.h"

namespace comsrc {

class DrawingContext_GDIBitmap : public DrawingContext {
public:
    // The context draws on dc but never owns it. A null format means all zeros.
    explicit DrawingContext_GDIBitmap(HDC dc, const PixelFormat* f = nullptr);

    // BitBlt from another GDI context; any other source is exported into a
    // temporary 32-bit DIB section first. -2 when that DIB cannot be made.
    int32_t Blt(int32_t dx, int32_t dy, int32_t width, int32_t height, DrawingContext* source,
                int32_t sx, int32_t sy) override;
    // StretchBlt; -1 unless the source is GDI-backed.
    int32_t Stretch(int32_t dx, int32_t dy, int32_t dw, int32_t dh, DrawingContext* source,
                    int32_t sx, int32_t sy, int32_t sw, int32_t sh) override;
    // AlphaBlend; -1 unless the source is GDI-backed.
    int32_t Blend(int32_t dx, int32_t dy, int32_t dw, int32_t dh, DrawingContext* source,
                  int32_t sx, int32_t sy, int32_t sw, int32_t sh, int32_t useSourceAlpha,
                  int32_t constantAlpha) override;
    // colour is a COLORREF (0x00BBGGRR).
    int32_t Fill(int32_t x, int32_t y, int32_t width, int32_t height, uint32_t colour) override;
    // Pixels of a device context are not read back: always -1.
    int32_t ExportPixels(uint8_t* destination, int32_t destinationStride,
                         const PixelFormat* destinationFormat, int32_t sx, int32_t sy,
                         int32_t width, int32_t height) override;
    const PixelFormat* GetPixelFormat() override { return &format; }
    virtual HDC GetHDC() const { return hdc; }

    // ctx as a GDI context, or null when it is some other kind (or null).
    static DrawingContext_GDIBitmap* FromContext(DrawingContext* ctx);

private:
    int32_t BltThroughDIB(int32_t dx, int32_t dy, int32_t width, int32_t height,
                          DrawingContext* source, int32_t sx, int32_t sy);

    HDC hdc;
    PixelFormat format;
};

} // namespace comsrc
