// Pixel layouts shared by the bitmaps and drawing contexts.
#pragma once

#include <cstdint>

namespace comsrc {

// Twenty signed 32-bit fields; the layout is part of the library interface.
struct PixelFormat {
    int32_t bitsPerPixel;    // 1, 2, 4, 8, 16, 24 or 32; 0 when a context has no format
    int32_t colorModel;      // formats convert into each other only when this matches
    int32_t channelCount;    // channels in use, 0..8
    int32_t channelMax[8];   // largest value of each channel, at least 1 when used
    int32_t channelShift[8]; // bit of the channel's lowest bit inside the pixel value
    int32_t flags;           // kPixelFlag* bits
};
static_assert(sizeof(PixelFormat) == 20 * 4, "PixelFormat is twenty int32 fields");

enum : int32_t {
    kPixelFlagMsbFirst24 = 1,    // a 24-bit pixel is stored most significant byte first
    kPixelFlagSingleChannel = 2, // the 1, 2, 4 and 8-bit grey formats
    kPixelMaxChannels = 8,
    kColorModelRGB = 1,
};

// Field-wise equality, comparing only the channels in use.
bool PixelFormatsEqual(const PixelFormat& a, const PixelFormat& b);
inline bool operator==(const PixelFormat& a, const PixelFormat& b) {
    return PixelFormatsEqual(a, b);
}
inline bool operator!=(const PixelFormat& a, const PixelFormat& b) {
    return !PixelFormatsEqual(a, b);
}

// Fills *out with the library's standard format for bits (1, 2, 4, 8, 16, 24, 32).
// Returns 0, or -1 for any other depth (then *out is left alone).
int32_t MakeStandardPixelFormat(PixelFormat* out, int32_t bits);

// True for a depth the pixel addressing rules can handle.
bool IsSupportedDepth(int32_t bits);

// True when every field can be used without overflowing a shift or an index:
// supported depth, 0..8 channels, each used channel with max >= 1 and shift 0..31.
bool IsUsablePixelFormat(const PixelFormat& f);

} // namespace comsrc
