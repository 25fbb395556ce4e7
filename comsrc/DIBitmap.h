// A bitmap whose pixels the program reads and writes directly.
#pragma once

#include <cstdint>

#include "Bitmap.h"
#include "PixelFormat.h"

namespace comsrc {

// Row 0 is the top row; pixel (x, y) starts at byte y * stride + x * bpp / 8.
// The context is exclusive (AcquireContext/ReleaseContext), and so are the
// pixels (LockPixels/UnlockPixels); both are plain flags, not thread locks.
class DIBitmap : public Bitmap {
public:
    DIBitmap();
    ~DIBitmap() override;

    // Same as CreateWithDepth(width, height, 32).
    int32_t Create(int32_t width, int32_t height) override;
    DrawingContext* AcquireContext() override;
    int32_t ReleaseContext(DrawingContext* ctx) override;

    // Allocates rows padded to whole 32-bit words. Returns 0, -1 when already
    // created or given an unusable size or format, -4 when out of memory.
    virtual int32_t CreateWithFormat(int32_t width, int32_t height, const PixelFormat& f);
    // CreateWithFormat with the standard format of bits; -1 for other depths.
    virtual int32_t CreateWithDepth(int32_t width, int32_t height, int32_t bits);
    virtual int32_t Clear();
    virtual int32_t GetStride() const { return stride; }
    virtual int32_t GetBitsPerPixel() const { return format.bitsPerPixel; }
    virtual const PixelFormat* GetPixelFormat() const { return &format; }
    virtual uint8_t* LockPixels();
    virtual int32_t UnlockPixels();
    virtual uint8_t* GetPixels() const { return pixels; }

protected:
    explicit DIBitmap(int32_t bitmapKind);
    // Takes ownership of ctx (may be null when out of memory) and clears both flags.
    void BecomeReady(DrawingContext* ctx);

    uint8_t* pixels = nullptr;
    int32_t stride = 0;
    PixelFormat format;
    int32_t contextAcquired = 1;
    int32_t pixelsLocked = 1;
};

} // namespace comsrc
