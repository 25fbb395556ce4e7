// What a link last queued for each tile of its panel, so that a frame block carries only the
// tiles whose bytes differ.
//
// Platform-free. The panel keeps the last record written to each address, and the link writes
// every queued byte in order, so once its queue drains the panel shows what the memory holds.
#pragma once

#include <cstdint>
#include <vector>

#include "app/link/TileRecord.h"

class TileMemory {
public:
    // Nothing is known any more: every tile counts as changed. For the moments the panel may
    // have lost its picture (power, unplugging).
    void Forget() { known = 0; }
    // Whether the 17-byte `record` changes its tile as remembered; if so it is remembered.
    // An address outside the panel always counts as a change and is not remembered.
    bool Take(const uint8_t* record);

private:
    uint8_t columns[wire::kTiles][wire::kTileColumns] = {};
    uint64_t known = 0; // bit n: tile n is remembered
};

// Appends to `changed` the records of `block` that change a tile as `memory` holds it, and
// takes them into `memory`; bytes after the last whole record are appended as they are.
void KeepChangedTiles(TileMemory& memory, const std::vector<uint8_t>& block,
                      std::vector<uint8_t>& changed);

// Hands the changed records of `block` to `enqueue` (negative: refused, nothing queued).
// The memory takes them only once queued: a refused block leaves it as it was, so its tiles
// go out with the next block that holds them. Returns enqueue's answer, 0 when nothing
// changed.
template <typename Enqueue>
int32_t QueueChangedTiles(TileMemory& memory, const std::vector<uint8_t>& block,
                          Enqueue&& enqueue) {
    TileMemory after = memory;
    std::vector<uint8_t> changed;
    KeepChangedTiles(after, block, changed);
    if (changed.empty())
        return 0;
    const int32_t result = enqueue(changed);
    if (result >= 0)
        memory = after;
    return result;
}
