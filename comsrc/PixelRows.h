// Reading, writing and converting single pixels inside one row of a bitmap.
// Offsets are computed in 64 bits so that wide rows cannot overflow them.
#pragma once

#include <cstdint>

#include "PixelFormat.h"

namespace comsrc {

// Value of pixel x of row at depth bpp. Values of 8 bits or more are
// little-endian integers (24-bit ones most significant byte first when
// msbFirst24); narrower pixels are packed most significant bits first.
uint32_t ReadPixel(const uint8_t* row, int32_t x, int32_t bpp, bool msbFirst24);

// Stores the low bpp bits of value as pixel x, keeping neighbouring pixels
// that share its byte. Depths other than 1, 2, 4, 8, 16, 24, 32 store nothing.
void StorePixel(uint8_t* row, int32_t x, int32_t bpp, uint32_t value, bool msbFirst24);

// Rescales every channel of v from format s to format d (channels d has but s
// lacks become 0). Both formats must be usable (IsUsablePixelFormat).
uint32_t ConvertPixel(uint32_t v, const PixelFormat& s, const PixelFormat& d);

// Converts w pixels starting at column sx of srcRow into dstRow's columns 0..w-1.
void ConvertRow(const uint8_t* srcRow, int32_t sx, const PixelFormat& s, uint8_t* dstRow,
                const PixelFormat& d, int32_t w);

// Sets w pixels starting at column x to value (a raw pixel in format f).
void FillRow(uint8_t* row, int32_t x, int32_t w, const PixelFormat& f, uint32_t value);

// v limited to the int32_t range.
int32_t SaturateInt32(int64_t v);

// Clips the span [*pos, *pos + *len) to [0, limit). When the start moves right,
// *follow (if given) moves by the same amount. Returns false when nothing is left.
bool ClipSpan(int32_t* pos, int32_t* len, int32_t limit, int32_t* follow);

} // namespace comsrc
