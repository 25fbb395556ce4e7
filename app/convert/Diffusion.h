// Floyd-Steinberg error diffusion over an area of a display's work plane.
//
// Platform-free. The first pass of the diffusion mode has left levels (0x1000..0xF000)
// in the area; this second pass quantises each pixel to 0x1000 or 0xF000, row by row and
// left to right, and spreads the error as 7/16 right, 3/16 below-left, 5/16 below and
// 1/16 below-right (each share truncated toward zero), within the 128 x 64 plane. Pixels
// outside the area keep the error they receive; their sums saturate.
#pragma once

#include <cstdint>

// The area is window columns xs..xe-1 and rows ys..ye-1 of the plane (rows of 128).
void diffuseArea(int32_t* plane, int32_t xs, int32_t xe, int32_t ys, int32_t ye);

// The same, one pixel at a time with no vector code; for comparison in tests.
void diffuseAreaScalar(int32_t* plane, int32_t xs, int32_t xe, int32_t ys, int32_t ye);
