#include "PixelFormat.h"

#include <cstring>

namespace comsrc {

bool PixelFormatsEqual(const PixelFormat& a, const PixelFormat& b) {
    if (a.bitsPerPixel != b.bitsPerPixel || a.colorModel != b.colorModel ||
        a.channelCount != b.channelCount || a.flags != b.flags)
        return false;
    int32_t n = a.channelCount;
    if (n > kPixelMaxChannels)
        n = kPixelMaxChannels;
    for (int32_t k = 0; k < n; ++k) {
        if (a.channelMax[k] != b.channelMax[k] || a.channelShift[k] != b.channelShift[k])
            return false;
    }
    return true;
}

bool IsSupportedDepth(int32_t bits) {
    switch (bits) {
    case 1:
    case 2:
    case 4:
    case 8:
    case 16:
    case 24:
    case 32:
        return true;
    default:
        return false;
    }
}

namespace {

void SetChannel(PixelFormat* f, int k, int32_t max, int32_t shift) {
    f->channelMax[k] = max;
    f->channelShift[k] = shift;
}

} // namespace

int32_t MakeStandardPixelFormat(PixelFormat* out, int32_t bits) {
    if (!out || !IsSupportedDepth(bits))
        return -1;
    PixelFormat f;
    std::memset(&f, 0, sizeof f);
    f.bitsPerPixel = bits;
    f.colorModel = kColorModelRGB;
    if (bits <= 8) {
        f.channelCount = 1;
        SetChannel(&f, 0, (1 << bits) - 1, 0);
        f.flags = kPixelFlagSingleChannel;
    } else if (bits == 16) {
        f.channelCount = 3;
        SetChannel(&f, 0, 31, 11);
        SetChannel(&f, 1, 63, 5);
        SetChannel(&f, 2, 31, 0);
    } else {
        f.channelCount = bits == 24 ? 3 : 4;
        SetChannel(&f, 0, 255, 16);
        SetChannel(&f, 1, 255, 8);
        SetChannel(&f, 2, 255, 0);
        if (bits == 32)
            SetChannel(&f, 3, 255, 24);
    }
    *out = f;
    return 0;
}

bool IsUsablePixelFormat(const PixelFormat& f) {
    if (!IsSupportedDepth(f.bitsPerPixel))
        return false;
    if (f.channelCount < 0 || f.channelCount > kPixelMaxChannels)
        return false;
    for (int32_t k = 0; k < f.channelCount; ++k) {
        if (f.channelMax[k] < 1)
            return false;
        if (f.channelShift[k] < 0 || f.channelShift[k] > 31)
            return false;
    }
    return true;
}

} // namespace comsrc
