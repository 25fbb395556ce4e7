#include "DIBitmap.h"

#include <cstdlib>
#include <cstddef>
#include <cstring>
#include <limits>
#include <new>

#include "DrawingContext_DIBitmap.h"

namespace comsrc {

DIBitmap::DIBitmap() : DIBitmap(kBitmapKindDIB) {}

DIBitmap::DIBitmap(int32_t bitmapKind) : Bitmap(bitmapKind) {
    std::memset(&format, 0, sizeof format);
}

DIBitmap::~DIBitmap() {
    DestroyContext();
    std::free(pixels);
    pixels = nullptr;
}

int32_t DIBitmap::Create(int32_t w, int32_t h) {
    return CreateWithDepth(w, h, 32);
}

int32_t DIBitmap::CreateWithFormat(int32_t w, int32_t h, const PixelFormat& f) {
    if (pixels)
        return -1;
    if (w < 1 || h < 1 || !IsUsablePixelFormat(f))
        return -1;
    int64_t rowBytes = (int64_t{f.bitsPerPixel} * w + 31) / 32 * 4;
    if (rowBytes > std::numeric_limits<int32_t>::max())
        return -4;
    uint64_t total = uint64_t(rowBytes) * uint64_t(h);
    if (total > std::numeric_limits<size_t>::max())
        return -4;
    uint8_t* buffer = static_cast<uint8_t*>(std::malloc(size_t(total)));
    if (!buffer)
        return -4;
    pixels = buffer;
    format = f;
    stride = int32_t(rowBytes);
    width = w;
    height = h;
    BecomeReady(new (std::nothrow) DrawingContext_DIBitmap(this));
    return 0;
}

void DIBitmap::BecomeReady(DrawingContext* ctx) {
    DestroyContext();
    context = ctx;
    contextAcquired = 0;
    pixelsLocked = 0;
}

int32_t DIBitmap::CreateWithDepth(int32_t w, int32_t h, int32_t bits) {
    PixelFormat f;
    if (MakeStandardPixelFormat(&f, bits) != 0)
        return -1;
    return CreateWithFormat(w, h, f);
}

int32_t DIBitmap::Clear() {
    if (!pixels)
        return -1;
    size_t rowBytes = size_t(stride < 0 ? -int64_t{stride} : int64_t{stride});
    for (int32_t y = 0; y < height; ++y)
        std::memset(pixels + std::ptrdiff_t(y) * stride, 0, rowBytes);
    return 0;
}

DrawingContext* DIBitmap::AcquireContext() {
    if (!pixels || !context || contextAcquired || pixelsLocked)
        return nullptr;
    contextAcquired = 1;
    return context;
}

int32_t DIBitmap::ReleaseContext(DrawingContext* ctx) {
    if (!ctx || ctx != context)
        return -1;
    contextAcquired = 0;
    return 0;
}

uint8_t* DIBitmap::LockPixels() {
    if (!pixels || pixelsLocked)
        return nullptr;
    pixelsLocked = 1;
    return pixels;
}

int32_t DIBitmap::UnlockPixels() {
    if (!pixelsLocked)
        return -1;
    pixelsLocked = 0;
    return 0;
}

} // namespace comsrc
