// The interface through which pixels move between bitmaps and device contexts.
#pragma once

#include <cstdint>

#include "PixelFormat.h"

namespace comsrc {

enum : int32_t {
    kContextKindDIBitmap = 2,    // software drawing into a DIBitmap's buffer
    kContextKindGDIBitmap = 256, // GDI drawing on an HDC
};

// Contexts are created and destroyed only by their bitmaps; destroying one
// releases nothing else.
class DrawingContext {
public:
    virtual ~DrawingContext() = default;
    virtual int32_t Blt(int32_t dx, int32_t dy, int32_t width, int32_t height,
                        DrawingContext* source, int32_t sx, int32_t sy) = 0;
    virtual int32_t Stretch(int32_t dx, int32_t dy, int32_t dw, int32_t dh, DrawingContext* source,
                            int32_t sx, int32_t sy, int32_t sw, int32_t sh) = 0;
    virtual int32_t Blend(int32_t dx, int32_t dy, int32_t dw, int32_t dh, DrawingContext* source,
                          int32_t sx, int32_t sy, int32_t sw, int32_t sh, int32_t useSourceAlpha,
                          int32_t constantAlpha) = 0;
    virtual int32_t Fill(int32_t x, int32_t y, int32_t width, int32_t height, uint32_t colour) = 0;
    // Writes a rectangle of this context's pixels into the caller's buffer,
    // converted to destinationFormat; rows are destinationStride bytes apart.
    virtual int32_t ExportPixels(uint8_t* destination, int32_t destinationStride,
                                 const PixelFormat* destinationFormat, int32_t sx, int32_t sy,
                                 int32_t width, int32_t height) = 0;
    virtual const PixelFormat* GetPixelFormat() = 0;
    virtual int32_t GetKind() const { return kind; }

    DrawingContext(const DrawingContext&) = delete;
    DrawingContext& operator=(const DrawingContext&) = delete;

protected:
    explicit DrawingContext(int32_t contextKind) : kind(contextKind) {}

    int32_t kind;
};

} // namespace comsrc
