// The part of the frame bitmap that the screen mediator copies and compares: only what
// conversion reads, so that an idle mirror copies a panel's worth of pixels, not the screen.
//
// Platform-free. Areas are in the frame bitmap's coordinates, right and bottom exclusive.
#pragma once

#include <cstdint>

#include "comsrc/WinTypes.h"

// Everything: what a mediator copies until it is told otherwise.
constexpr RECT kWholeFrame = {0, 0, INT32_MAX, INT32_MAX};

// `wanted` clipped to a width x height frame, its left and right edges widened to even
// columns so that each pixel pair of the comparison lies wholly inside or outside it.
// All zero when nothing is left.
RECT captureAreaWithin(const RECT& wanted, int32_t width, int32_t height);

// The bounding box of what `now` covers and `before` did not; all zero when nothing.
RECT newlyCovered(const RECT& now, const RECT& before);
