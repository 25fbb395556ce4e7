// Change detection between two captures of the same size, in 32 x 32 cells.
//
// Platform-free. Images are 32 bits per pixel, row 0 on top, walked with a signed
// stride in bytes. Changed cells are reported as horizontal runs, one band of 32 rows
// high, in image coordinates.
#pragma once

#include <cstdint>

#include "comsrc/WinTypes.h"

namespace comsrc {
class RectList;
}

constexpr int32_t kCompareCell = 32;
constexpr uint32_t kCaptureSpacingMs = 40;

// Which half of the pixel pairs the next comparison looks at (0 or 1); flipped by every
// comparison of every screen mediator.
extern int32_t g_comparePhase;

struct PixelImage {
    const uint8_t* row0; // top row
    int32_t stride;      // signed distance in bytes from one row to the next
};

// Compares `now` with `before` over width x height pixels. In cell row r only the pairs of
// adjacent pixels whose index p has p == (phase + r) mod 2 are looked at, and a cell stops
// at its first difference. Adds each run of changed cells to `out`; returns how many.
int32_t compareCells(const PixelImage& now, const PixelImage& before, int32_t width, int32_t height,
                     int32_t phase, comsrc::RectList& out);
// The same over only the pairs that lie inside `area` (within both images, not negative):
// cells, runs, rows and pair indices stay where the whole image puts them, so a change
// inside the area is reported as the whole-image comparison reports it.
int32_t compareCellsWithin(const PixelImage& now, const PixelImage& before, const RECT& area,
                           int32_t phase, comsrc::RectList& out);

// True when a capture at `nowMs` would come less than 40 ms after `lastMs`, measured as the
// unsigned elapsed difference, so a wrap of the millisecond clock does not matter.
bool captureTooEarly(uint32_t nowMs, uint32_t lastMs);

// What a screen mediator reports for a new image: the whole area on the first capture,
// otherwise the runs found by compareCells after flipping g_comparePhase.
int32_t reportChanges(bool firstCapture, const PixelImage& now, const PixelImage& before,
                      int32_t width, int32_t height, comsrc::RectList& out);
// The same when only `area` of the width x height images was copied: the first capture
// still reports the whole width x height, later ones compare inside `area` only.
int32_t reportChangesWithin(bool firstCapture, const PixelImage& now, const PixelImage& before,
                            int32_t width, int32_t height, const RECT& area, comsrc::RectList& out);
