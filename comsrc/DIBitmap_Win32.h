// A DIB section: GDI draws into it through its context, and the program reads
// the same memory through LockPixels without a copy.
#pragma once

#include <windows.h>

#include "DIBitmap.h"

namespace comsrc {

// Row 0 is the top row of the image, which is the last row of the bottom-up
// section in memory, so the stride is negative. The section's width is rounded
// up to 8 pixels, so |stride| may exceed 4 * GetWidth().
class DIBitmap_Win32 : public DIBitmap {
public:
    DIBitmap_Win32();
    ~DIBitmap_Win32() override;

    // -1 unless f is the standard 32-bit format; otherwise CreateWithDepth.
    int32_t CreateWithFormat(int32_t width, int32_t height, const PixelFormat& f) override;
    // A bottom-up 32-bit section of width rounded up to 8. -10 for a width,
    // height or depth below 1; -1 for any depth other than 32; otherwise the
    // result of CreateFromBitmapInfo.
    int32_t CreateWithDepth(int32_t width, int32_t height, int32_t bits) override;
    // Both flush GDI's batch first, so earlier drawing has reached the memory.
    uint8_t* LockPixels() override;
    uint8_t* GetPixels() const override;

    // Makes the section from a copy of size bytes of info. 0 on success; -100
    // when a section exists; -10 for a bottom-up size below 1; -1 when the header
    // is unusable or GDI fails; -4 out of memory. A failure keeps nothing.
    virtual int32_t CreateFromBitmapInfo(const BITMAPINFO* info, int32_t size);
    // The standard format for 32 bits (returns 0); -1 for other depths, out untouched.
    virtual int32_t MakePixelFormat(PixelFormat* out, int32_t bits);

private:
    // Validates the header and computes the section's row size; -1 or -10 on failure.
    int32_t CheckHeader(const BITMAPINFO* info, int32_t size, int32_t* rowBytes);
    // Frees the memory DC, the section and the BITMAPINFO copy.
    void ReleaseSection();

    HDC memoryDC = nullptr;
    HBITMAP dibSection = nullptr;
    HGDIOBJ previousObject = nullptr;
    BITMAPINFO* bitmapInfo = nullptr;
    int32_t bitmapInfoSize = 0;
};

} // namespace comsrc
