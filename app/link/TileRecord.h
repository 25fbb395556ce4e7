// Wire format of the Mirvane serial stream. The one definition shared by the packer in
// mirpanel and by the host tools that read the stream back.
//
// The stream is one-way and has no framing other than byte count: a sequence of 17-byte
// tile records, each replacing one 16 x 8 block of the 128 x 64 one-bit panel.
//
// Tile record, 17 bytes:
//   byte 0        address: bits 0-2 column group (0-7, 16 columns each, 0 at the left)
//                          bits 3-5 band (0-7, 8 rows each, 0 at the top)
//                          bits 6-7 always 0
//   byte 1 + k    column byte k (k = 0..15) for panel column 16 * group + k:
//                          bit j (bit 0 least significant) is panel row 8 * band + j,
//                          so bit 0 is the band's top row and bit 7 its bottom row;
//                          1 is a dark pixel, 0 a light one.
// Frame block: the records of one frame back to back, nothing before, between or after;
// at most one record per tile in a full refresh (64 records, 1088 bytes).
//
// Line settings: 8 data bits, no parity, 1 stop bit, DTR and RTS held off, optional CTS
// output flow control; the baud rate is the display's own.
#pragma once

#include <cstddef>
#include <cstdint>

namespace wire {

constexpr int kPanelColumns = 128;
constexpr int kPanelRows = 64;
constexpr int kTileColumns = 16;
constexpr int kTileRows = 8;
constexpr int kGroups = kPanelColumns / kTileColumns; // column groups per band
constexpr int kBands = kPanelRows / kTileRows;
constexpr int kTiles = kGroups * kBands;

constexpr uint8_t kGroupMask = 0x07;    // address bits 0-2
constexpr uint8_t kBandShift = 3;       // address bits 3-5
constexpr uint8_t kBandMask = 0x07;     // after the shift
constexpr uint8_t kReservedBits = 0xC0; // address bits 6-7, never set by the sender

struct TileRecord {
    uint8_t address;
    uint8_t columns[kTileColumns];
};

constexpr size_t kRecordSize = 17;
constexpr size_t kFullBlockSize = kTiles * kRecordSize;

static_assert(sizeof(TileRecord) == kRecordSize, "a tile record is 17 bytes on the wire");
static_assert(offsetof(TileRecord, columns) == 1, "column bytes follow the address byte");
static_assert(kTiles == 64 && kFullBlockSize == 1088, "a full refresh is 64 records");
static_assert(kTileRows == 8, "one column byte holds the eight rows of a band");
static_assert((kBandMask << kBandShift | kGroupMask) == 0x3F, "address uses bits 0-5");

constexpr uint8_t TileAddress(int band, int group) {
    return static_cast<uint8_t>(((band & kBandMask) << kBandShift) | (group & kGroupMask));
}
constexpr int AddressBand(uint8_t address) {
    return (address >> kBandShift) & kBandMask;
}
constexpr int AddressGroup(uint8_t address) {
    return address & kGroupMask;
}
constexpr bool IsValidAddress(uint8_t address) {
    return (address & kReservedBits) == 0;
}

static_assert(TileAddress(7, 7) == 63 && AddressBand(63) == 7 && AddressGroup(63) == 7, "");

} // namespace wire
