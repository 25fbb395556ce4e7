// Software drawing into the pixel buffer of a DIBitmap.
#pragma once

#include "DrawingContext.h"

namespace comsrc {

class DIBitmap;

class DrawingContext_DIBitmap : public DrawingContext {
public:
    explicit DrawingContext_DIBitmap(DIBitmap* owner);

    // Copies through the source's ExportPixels into this bitmap, clipped to it.
    // -1: pixels locked or missing; -2: dx not on a byte boundary below 8 bits.
    int32_t Blt(int32_t dx, int32_t dy, int32_t width, int32_t height, DrawingContext* source,
                int32_t sx, int32_t sy) override;
    // Not supported in software: returns 0 and changes nothing.
    int32_t Stretch(int32_t dx, int32_t dy, int32_t dw, int32_t dh, DrawingContext* source,
                    int32_t sx, int32_t sy, int32_t sw, int32_t sh) override;
    // A plain Blt; the source size and both alpha arguments are ignored.
    int32_t Blend(int32_t dx, int32_t dy, int32_t dw, int32_t dh, DrawingContext* source,
                  int32_t sx, int32_t sy, int32_t sw, int32_t sh, int32_t useSourceAlpha,
                  int32_t constantAlpha) override;
    // colour is a raw pixel value in the bitmap's format.
    int32_t Fill(int32_t x, int32_t y, int32_t width, int32_t height, uint32_t colour) override;
    int32_t ExportPixels(uint8_t* destination, int32_t destinationStride,
                         const PixelFormat* destinationFormat, int32_t sx, int32_t sy,
                         int32_t width, int32_t height) override;
    const PixelFormat* GetPixelFormat() override;

private:
    // Clips a rectangle to the bitmap; origins moved past the left or top edge
    // move followX / followY (if given) by the same amount. False when nothing is left.
    bool ClipToBitmap(int32_t* x, int32_t* y, int32_t* w, int32_t* h, int32_t* followX,
                      int32_t* followY) const;
    // Copies h rows of w pixels in this bitmap's format, starting at source.
    void CopyRows(uint8_t* destination, int32_t dStride, const uint8_t* source, int32_t w,
                  int32_t h) const;
    // Converts h rows of w pixels from column sx of the rows at source into format d.
    void ConvertRows(uint8_t* destination, int32_t dStride, const PixelFormat& d,
                     const uint8_t* source, int32_t sx, int32_t w, int32_t h) const;
    // Address of byte (x * bpp / 8) of row y of the bitmap.
    uint8_t* PixelAddress(uint8_t* base, int32_t x, int32_t y) const;

    DIBitmap* bitmap;
};

} // namespace comsrc
