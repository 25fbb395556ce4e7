#include "app/link/Packing.h"

#include "app/link/TileRecord.h"

namespace {

constexpr int32_t kDarkBelow = 0x8000;

// Eight pixels of one plane column, rows v .. v + 7, as a column byte: row v + j in bit j.
// With `flip` row v + 7 - j lands in bit j instead.
uint8_t ColumnByte(const int32_t* column, bool flip, bool invert) {
    uint8_t byte = 0;
    for (int j = 0; j < wire::kTileRows; ++j) {
        int row = flip ? wire::kTileRows - 1 - j : j;
        bool dark = column[row * wire::kPanelColumns] < kDarkBelow;
        if (dark != invert)
            byte |= static_cast<uint8_t>(1u << j);
    }
    return byte;
}

bool TileInsidePlane(const PackSource& source, int32_t u, int32_t v) {
    if (u < 0 || v < 0)
        return false;
    int64_t last = (static_cast<int64_t>(v) + wire::kTileRows - 1) * wire::kPanelColumns + u +
                   wire::kTileColumns - 1;
    return last < static_cast<int64_t>(source.planeValues);
}

// Walks one dirty rectangle band by band, clipped to the window.
void PackRectangle(const PackSource& source, const RECT& rect, std::vector<uint8_t>& block) {
    const RECT& c = source.clip;
    if (rect.top >= c.bottom || rect.left >= c.right || rect.top >= rect.bottom)
        return;
    for (int64_t y = rect.top; y < rect.bottom; y += wire::kTileRows) {
        if (y < c.top)
            continue;
        if (y >= c.bottom)
            return;
        for (int64_t x = rect.left; x < rect.right; x += wire::kTileColumns) {
            if (x < c.left)
                continue;
            if (x >= c.right)
                break;
            AppendTileRecord(source, static_cast<int32_t>(x - c.left),
                             static_cast<int32_t>(y - c.top), block);
        }
    }
}

} // namespace

void AppendTileRecord(const PackSource& source, int32_t u, int32_t v, std::vector<uint8_t>& block) {
    if (!TileInsidePlane(source, u, v))
        return;
    const bool halfTurn = source.rotate == kRotateHalfTurn;
    int band = v / wire::kTileRows;
    int group = u / wire::kTileColumns;
    if (halfTurn) {
        band = wire::kBands - 1 - band;
        group = wire::kGroups - 1 - group;
    }
    block.push_back(wire::TileAddress(band, group));
    const int32_t* tile = source.plane + static_cast<size_t>(v) * wire::kPanelColumns + u;
    for (int k = 0; k < wire::kTileColumns; ++k) {
        int column = halfTurn ? wire::kTileColumns - 1 - k : k;
        block.push_back(ColumnByte(tile + column, halfTurn, source.invert));
    }
}

void PackFrameBlock(const PackSource& source, const RECT* rects, size_t rectCount,
                    std::vector<uint8_t>& block) {
    if (source.plane == nullptr || rects == nullptr)
        return;
    for (size_t i = 0; i < rectCount; ++i)
        PackRectangle(source, rects[i], block);
}
