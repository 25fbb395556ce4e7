#include "DIBitmap_Win32.h"

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>

#include "DrawingContext_GDIBitmap_Win32.h"

namespace comsrc {

namespace {

constexpr int32_t kSectionDepth = 32;
constexpr int32_t kInfoBytes = 44; // header and one colour entry
static_assert(sizeof(BITMAPINFOHEADER) == 40, "BITMAPINFOHEADER is 40 bytes");
static_assert(sizeof(BITMAPINFO) == kInfoBytes, "BITMAPINFO is 44 bytes");

} // namespace

DIBitmap_Win32::DIBitmap_Win32() : DIBitmap(kBitmapKindDIBWin32) {}

DIBitmap_Win32::~DIBitmap_Win32() {
    GdiFlush();
    DestroyContext();
    ReleaseSection();
}

void DIBitmap_Win32::ReleaseSection() {
    if (memoryDC) {
        if (previousObject)
            SelectObject(memoryDC, previousObject);
        DeleteDC(memoryDC);
    }
    if (dibSection)
        DeleteObject(dibSection);
    // The section's memory went with it.
    pixels = nullptr;
    memoryDC = nullptr;
    dibSection = nullptr;
    previousObject = nullptr;
    std::free(bitmapInfo);
    bitmapInfo = nullptr;
    bitmapInfoSize = 0;
}

int32_t DIBitmap_Win32::MakePixelFormat(PixelFormat* out, int32_t bits) {
    if (!out || bits != kSectionDepth)
        return -1;
    return MakeStandardPixelFormat(out, bits);
}

int32_t DIBitmap_Win32::CreateWithFormat(int32_t w, int32_t h, const PixelFormat& f) {
    PixelFormat made;
    if (MakePixelFormat(&made, f.bitsPerPixel) != 0 || !(made == f))
        return -1;
    return CreateWithDepth(w, h, f.bitsPerPixel);
}

int32_t DIBitmap_Win32::CreateWithDepth(int32_t w, int32_t h, int32_t bits) {
    if (w < 1 || h < 1 || bits < 1)
        return -10;
    if (bits != kSectionDepth)
        return -1;
    int64_t rounded = (int64_t{w} + 7) / 8 * 8;
    if (rounded > std::numeric_limits<LONG>::max())
        return -1;
    alignas(BITMAPINFO) uint8_t buffer[kInfoBytes] = {};
    BITMAPINFOHEADER& header = reinterpret_cast<BITMAPINFO*>(buffer)->bmiHeader;
    header.biSize = sizeof(BITMAPINFOHEADER);
    header.biWidth = LONG(rounded);
    header.biHeight = h; // positive: bottom-up
    header.biPlanes = 1;
    header.biBitCount = WORD(bits);
    header.biCompression = BI_RGB;
    int32_t result = CreateFromBitmapInfo(reinterpret_cast<BITMAPINFO*>(buffer), kInfoBytes);
    if (result == 0)
        width = w;
    return result;
}

int32_t DIBitmap_Win32::CheckHeader(const BITMAPINFO* info, int32_t size, int32_t* rowBytes) {
    if (!info || size < int32_t(sizeof(BITMAPINFOHEADER)))
        return -1;
    const BITMAPINFOHEADER& hd = info->bmiHeader;
    if (hd.biSize < sizeof(BITMAPINFOHEADER) || hd.biSize > DWORD(size))
        return -1;
    if (hd.biWidth < 1 || hd.biHeight < 1 || hd.biBitCount < 1)
        return -10;
    // Only uncompressed sections of a depth with a known format are addressable.
    if (hd.biCompression != BI_RGB || hd.biPlanes != 1)
        return -1;
    PixelFormat probe;
    if (MakePixelFormat(&probe, hd.biBitCount) != 0)
        return -1;
    int64_t row = (int64_t{hd.biBitCount} * hd.biWidth + 31) / 32 * 4;
    // Divided rather than multiplied: a hostile width and height overflow even 64 bits.
    if (row > std::numeric_limits<int32_t>::max() / hd.biHeight)
        return -1;
    *rowBytes = int32_t(row);
    return 0;
}

int32_t DIBitmap_Win32::CreateFromBitmapInfo(const BITMAPINFO* info, int32_t size) {
    if (dibSection)
        return -100;
    int32_t rowBytes = 0;
    int32_t checked = CheckHeader(info, size, &rowBytes);
    if (checked != 0)
        return checked;
    bitmapInfo = static_cast<BITMAPINFO*>(std::malloc(size_t(size)));
    if (!bitmapInfo)
        return -4;
    std::memcpy(bitmapInfo, info, size_t(size));
    bitmapInfoSize = size;
    void* bits = nullptr;
    memoryDC = CreateCompatibleDC(nullptr);
    if (memoryDC)
        dibSection = CreateDIBSection(memoryDC, bitmapInfo, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (dibSection)
        previousObject = SelectObject(memoryDC, dibSection);
    if (!dibSection || !bits || !previousObject || previousObject == HGDI_ERROR) {
        previousObject = nullptr;
        ReleaseSection();
        return -1;
    }
    width = bitmapInfo->bmiHeader.biWidth;
    height = bitmapInfo->bmiHeader.biHeight;
    pixels = static_cast<uint8_t*>(bits) + std::ptrdiff_t(height - 1) * rowBytes;
    stride = -rowBytes;
    MakePixelFormat(&format, bitmapInfo->bmiHeader.biBitCount);
    BecomeReady(new (std::nothrow) DrawingContext_GDIBitmap(memoryDC, &format));
    return 0;
}

uint8_t* DIBitmap_Win32::LockPixels() {
    GdiFlush();
    return DIBitmap::LockPixels();
}

uint8_t* DIBitmap_Win32::GetPixels() const {
    GdiFlush();
    return DIBitmap::GetPixels();
}

} // namespace comsrc
