#include "app/link/TileMemory.h"

#include <cstring>

bool TileMemory::Take(const uint8_t* record) {
    const uint8_t address = record[0];
    if (!wire::IsValidAddress(address))
        return true;
    const uint64_t bit = uint64_t{1} << address;
    const uint8_t* bytes = record + 1;
    if ((known & bit) && std::memcmp(columns[address], bytes, wire::kTileColumns) == 0)
        return false;
    std::memcpy(columns[address], bytes, wire::kTileColumns);
    known |= bit;
    return true;
}

void KeepChangedTiles(TileMemory& memory, const std::vector<uint8_t>& block,
                      std::vector<uint8_t>& changed) {
    size_t at = 0;
    for (; at + wire::kRecordSize <= block.size(); at += wire::kRecordSize) {
        if (memory.Take(block.data() + at))
            changed.insert(changed.end(), block.begin() + at,
                           block.begin() + at + wire::kRecordSize);
    }
    changed.insert(changed.end(), block.begin() + at, block.end());
}
