// Packing of a display's changed tiles into one frame block of tile records.
//
// Platform-free. Reads the display's work plane (rows of 128 levels, below 0x8000 dark)
// and appends one record per changed 16 x 8 tile of the display's window.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "comsrc/WinTypes.h"

// Rotation codes of a display. Only a half turn changes the packing; the quarter turns
// and any other value are packed upright.
enum PackRotation : int32_t {
    kRotateUpright = 0,
    kRotateHalfTurn = 2,
};

struct PackSource {
    const int32_t* plane; // the display's work plane; plane (0, 0) is clip's corner
    size_t planeValues;   // its length in values
    RECT clip;            // the display's window clipped to the capture, as conversion used it
    bool invert;          // flip every data bit
    int32_t rotate;       // rotation code
};

// Appends to `block` the tile records for the dirty rectangles, in list order, each
// rectangle walked band by band and left to right in steps of 16 x 8 from its own corner.
void PackFrameBlock(const PackSource& source, const RECT* rects, size_t rectCount,
                    std::vector<uint8_t>& block);

// Appends the record for the tile whose top-left pixel is (u, v) in plane coordinates.
// A tile that would read outside the plane is not appended.
void AppendTileRecord(const PackSource& source, int32_t u, int32_t v, std::vector<uint8_t>& block);
