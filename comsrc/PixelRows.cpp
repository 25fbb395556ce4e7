#include "PixelRows.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <limits>

namespace comsrc {

namespace {

inline int64_t ByteOffset(int32_t x, int32_t bpp) {
    return int64_t{x} * bpp / 8;
}

// Bit position of the lowest bit of sub-byte pixel x inside its byte.
inline int SubByteShift(int32_t x, int32_t bpp) {
    return 8 - int(int64_t{x} * bpp % 8) - bpp;
}

inline bool IsLittleEndianHost() {
    const uint16_t probe = 1;
    uint8_t first;
    std::memcpy(&first, &probe, 1);
    return first == 1;
}

inline uint32_t LowBits(int32_t bpp) {
    return bpp >= 32 ? 0xFFFFFFFFu : (1u << bpp) - 1u;
}

} // namespace

int32_t SaturateInt32(int64_t v) {
    if (v > std::numeric_limits<int32_t>::max())
        return std::numeric_limits<int32_t>::max();
    if (v < std::numeric_limits<int32_t>::min())
        return std::numeric_limits<int32_t>::min();
    return int32_t(v);
}

uint32_t ReadPixel(const uint8_t* row, int32_t x, int32_t bpp, bool msbFirst24) {
    const uint8_t* p = row + ByteOffset(x, bpp);
    switch (bpp) {
    case 1:
    case 2:
    case 4:
        return (uint32_t(*p) >> SubByteShift(x, bpp)) & LowBits(bpp);
    case 8:
        return *p;
    case 16:
        return uint32_t(p[0]) | uint32_t(p[1]) << 8;
    case 24:
        if (msbFirst24)
            return uint32_t(p[2]) | uint32_t(p[1]) << 8 | uint32_t(p[0]) << 16;
        return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16;
    case 32:
        return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
    default:
        return 0;
    }
}

void StorePixel(uint8_t* row, int32_t x, int32_t bpp, uint32_t value, bool msbFirst24) {
    uint8_t* p = row + ByteOffset(x, bpp);
    switch (bpp) {
    case 1:
    case 2:
    case 4: {
        int shift = SubByteShift(x, bpp);
        uint32_t mask = LowBits(bpp) << shift;
        *p = uint8_t((*p & ~mask) | ((value << shift) & mask));
        break;
    }
    case 8:
        p[0] = uint8_t(value);
        break;
    case 16:
        p[0] = uint8_t(value);
        p[1] = uint8_t(value >> 8);
        break;
    case 24:
        p[msbFirst24 ? 2 : 0] = uint8_t(value);
        p[1] = uint8_t(value >> 8);
        p[msbFirst24 ? 0 : 2] = uint8_t(value >> 16);
        break;
    case 32: {
        uint8_t bytes[4] = {uint8_t(value), uint8_t(value >> 8), uint8_t(value >> 16),
                            uint8_t(value >> 24)};
        std::memcpy(p, bytes, 4);
        break;
    }
    default:
        break;
    }
}

uint32_t ConvertPixel(uint32_t v, const PixelFormat& s, const PixelFormat& d) {
    uint32_t out = 0;
    for (int32_t k = 0; k < d.channelCount; ++k) {
        if (k >= s.channelCount)
            continue;
        uint64_t sMax = uint32_t(s.channelMax[k]);
        uint64_t dMax = uint32_t(d.channelMax[k]);
        uint64_t raw = (v >> s.channelShift[k]) % (sMax + 1);
        uint64_t ch = (raw * dMax + sMax / 2) / sMax;
        out |= uint32_t(ch << d.channelShift[k]);
    }
    return out;
}

void ConvertRow(const uint8_t* srcRow, int32_t sx, const PixelFormat& s, uint8_t* dstRow,
                const PixelFormat& d, int32_t w) {
    bool sMsb = (s.flags & kPixelFlagMsbFirst24) != 0;
    bool dMsb = (d.flags & kPixelFlagMsbFirst24) != 0;
    for (int32_t j = 0; j < w; ++j) {
        uint32_t v = ReadPixel(srcRow, sx + j, s.bitsPerPixel, sMsb);
        StorePixel(dstRow, j, d.bitsPerPixel, ConvertPixel(v, s, d), dMsb);
    }
}

namespace {

// Writes w copies of the little-endian value, as whole words when the start
// is aligned (rows of a bitmap always are).
template <class Unit> void FillUnits(uint8_t* start, int32_t w, uint32_t value) {
    Unit unit = Unit(value);
    if (reinterpret_cast<uintptr_t>(start) % alignof(Unit) == 0) {
        Unit* words = reinterpret_cast<Unit*>(start);
        std::fill(words, words + w, unit);
        return;
    }
    for (int32_t i = 0; i < w; ++i)
        std::memcpy(start + std::ptrdiff_t(i) * sizeof(Unit), &unit, sizeof(Unit));
}

} // namespace

void FillRow(uint8_t* row, int32_t x, int32_t w, const PixelFormat& f, uint32_t value) {
    int32_t bpp = f.bitsPerPixel;
    uint8_t* start = row + ByteOffset(x, bpp);
    if (bpp == 8) {
        std::memset(start, int(value & 0xFF), size_t(w));
        return;
    }
    // Pixel values are little-endian in memory, like the host's words.
    if (bpp == 16 && IsLittleEndianHost()) {
        FillUnits<uint16_t>(start, w, value);
        return;
    }
    if (bpp == 32 && IsLittleEndianHost()) {
        FillUnits<uint32_t>(start, w, value);
        return;
    }
    bool msb = (f.flags & kPixelFlagMsbFirst24) != 0;
    for (int32_t i = 0; i < w; ++i)
        StorePixel(row, x + i, bpp, value, msb);
}

bool ClipSpan(int32_t* pos, int32_t* len, int32_t limit, int32_t* follow) {
    int64_t p = *pos, n = *len;
    if (p < 0) {
        n += p;
        if (follow)
            *follow = SaturateInt32(int64_t{*follow} - p);
        p = 0;
    }
    if (p + n > limit)
        n = int64_t{limit} - p;
    *pos = SaturateInt32(p);
    *len = SaturateInt32(n);
    return n >= 1;
}

} // namespace comsrc
