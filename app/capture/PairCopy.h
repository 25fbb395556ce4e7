// Copying changed areas of the mirror display's frame buffer into the frame bitmap.
#pragma once

#include <cstdint>

#include "comsrc/WinTypes.h"

// `rect` clipped to the width x height frame and widened to whole pixel pairs: left down to
// an even column, right up to an even one, except that it never passes the row's end (an
// odd width keeps its last column single). Empty when nothing of it lies in the frame.
RECT widenToPixelPairs(const RECT& rect, int32_t width, int32_t height);

// Copies `rect` (widened as above) of a 32-bit frame whose rows are width * 4 bytes apart
// into `dest`, a frame of the same size whose rows are `destStride` bytes apart (negative
// for bottom-up storage; `dest` points at the top row). Offsets are computed in 64 bits.
void copyPixelPairs(const uint8_t* source, int32_t width, int32_t height, uint8_t* dest,
                    int32_t destStride, const RECT& rect);
