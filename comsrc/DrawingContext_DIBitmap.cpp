#include "DrawingContext_DIBitmap.h"

#include <cstddef>
#include <cstring>
#include <vector>

#include "DIBitmap.h"
#include "PixelRows.h"

namespace comsrc {

DrawingContext_DIBitmap::DrawingContext_DIBitmap(DIBitmap* owner)
    : DrawingContext(kContextKindDIBitmap), bitmap(owner) {}

const PixelFormat* DrawingContext_DIBitmap::GetPixelFormat() {
    return bitmap->GetPixelFormat();
}

uint8_t* DrawingContext_DIBitmap::PixelAddress(uint8_t* base, int32_t x, int32_t y) const {
    int64_t column = int64_t{x} * bitmap->GetBitsPerPixel() / 8;
    return base + std::ptrdiff_t(y) * bitmap->GetStride() + std::ptrdiff_t(column);
}

bool DrawingContext_DIBitmap::ClipToBitmap(int32_t* x, int32_t* y, int32_t* w, int32_t* h,
                                           int32_t* followX, int32_t* followY) const {
    return ClipSpan(x, w, bitmap->GetWidth(), followX) &&
           ClipSpan(y, h, bitmap->GetHeight(), followY);
}

int32_t DrawingContext_DIBitmap::Blt(int32_t dx, int32_t dy, int32_t w, int32_t h,
                                     DrawingContext* source, int32_t sx, int32_t sy) {
    if (!source)
        return -1;
    if (!ClipToBitmap(&dx, &dy, &w, &h, &sx, &sy))
        return 0;
    const PixelFormat* f = bitmap->GetPixelFormat();
    int32_t bpp = f->bitsPerPixel;
    if (bpp > 0 && bpp < 8 && dx % (8 / bpp) != 0)
        return -2;
    uint8_t* base = bitmap->LockPixels();
    if (!base)
        return -1;
    // A GDI-backed source exports nothing, which leaves this bitmap unchanged.
    source->ExportPixels(PixelAddress(base, dx, dy), bitmap->GetStride(), f, sx, sy, w, h);
    bitmap->UnlockPixels();
    return 0;
}

int32_t DrawingContext_DIBitmap::Stretch(int32_t, int32_t, int32_t, int32_t, DrawingContext*,
                                         int32_t, int32_t, int32_t, int32_t) {
    return 0;
}

int32_t DrawingContext_DIBitmap::Blend(int32_t dx, int32_t dy, int32_t dw, int32_t dh,
                                       DrawingContext* source, int32_t sx, int32_t sy, int32_t,
                                       int32_t, int32_t, int32_t) {
    return Blt(dx, dy, dw, dh, source, sx, sy);
}

int32_t DrawingContext_DIBitmap::Fill(int32_t x, int32_t y, int32_t w, int32_t h, uint32_t colour) {
    if (!ClipToBitmap(&x, &y, &w, &h, nullptr, nullptr))
        return 0;
    uint8_t* base = bitmap->LockPixels();
    if (!base)
        return -1;
    const PixelFormat& f = *bitmap->GetPixelFormat();
    for (int32_t i = 0; i < h; ++i)
        FillRow(PixelAddress(base, 0, y + i), x, w, f, colour);
    bitmap->UnlockPixels();
    return 0;
}

void DrawingContext_DIBitmap::CopyRows(uint8_t* destination, int32_t dStride, const uint8_t* source,
                                       int32_t w, int32_t h) const {
    int32_t sStride = bitmap->GetStride();
    size_t rowBytes = size_t(int64_t{bitmap->GetBitsPerPixel()} * w / 8);
    // A copy within this bitmap to rows further along must start from the last
    // row, or it would read rows it has already overwritten.
    intptr_t ahead =
        intptr_t(reinterpret_cast<uintptr_t>(destination) - reinterpret_cast<uintptr_t>(source));
    bool backwards = dStride == sStride && (sStride > 0 ? ahead > 0 : ahead < 0);
    for (int32_t k = 0; k < h; ++k) {
        int32_t i = backwards ? h - 1 - k : k;
        std::memmove(destination + std::ptrdiff_t(i) * dStride,
                     source + std::ptrdiff_t(i) * sStride, rowBytes);
    }
}

int32_t DrawingContext_DIBitmap::ExportPixels(uint8_t* destination, int32_t dStride,
                                              const PixelFormat* dFormat, int32_t sx, int32_t sy,
                                              int32_t w, int32_t h) {
    if (!ClipToBitmap(&sx, &sy, &w, &h, nullptr, nullptr))
        return 0;
    uint8_t* base = bitmap->GetPixels();
    if (!base)
        return -1;
    if (!destination || !dFormat || !IsUsablePixelFormat(*dFormat))
        return -1;
    const PixelFormat& s = *bitmap->GetPixelFormat();
    const PixelFormat& d = *dFormat;
    if (s == d && s.bitsPerPixel % 8 == 0) {
        CopyRows(destination, dStride, PixelAddress(base, sx, sy), w, h);
        return 0;
    }
    if (s.colorModel != d.colorModel)
        return 0;
    ConvertRows(destination, dStride, d, PixelAddress(base, 0, sy), sx, w, h);
    return 0;
}

// Each row goes through a buffer, so a copy within one row never reads pixels it has
// already written (sub-byte pixels are not whole bytes, so memmove cannot do it); rows are
// walked from the last one when the destination lies further along, as in CopyRows.
void DrawingContext_DIBitmap::ConvertRows(uint8_t* destination, int32_t dStride,
                                          const PixelFormat& d, const uint8_t* source, int32_t sx,
                                          int32_t w, int32_t h) const {
    const PixelFormat& s = *bitmap->GetPixelFormat();
    const int32_t sStride = bitmap->GetStride();
    const size_t rowBytes = size_t((int64_t{d.bitsPerPixel} * w + 7) / 8);
    std::vector<uint8_t> row(rowBytes);
    intptr_t ahead =
        intptr_t(reinterpret_cast<uintptr_t>(destination) - reinterpret_cast<uintptr_t>(source));
    bool backwards = dStride == sStride && (sStride > 0 ? ahead > 0 : ahead < 0);
    for (int32_t k = 0; k < h; ++k) {
        int32_t i = backwards ? h - 1 - k : k;
        uint8_t* out = destination + std::ptrdiff_t(i) * dStride;
        std::memcpy(row.data(), out, rowBytes); // keeps the pixels that share the last byte
        ConvertRow(source + std::ptrdiff_t(i) * sStride, sx, s, row.data(), d, w);
        std::memcpy(out, row.data(), rowBytes);
    }
}

} // namespace comsrc
