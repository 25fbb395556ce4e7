// The Mirvane panel as a host program sees it: 128 x 64 one-bit pixels rebuilt from the
// serial stream's tile records.
#pragma once

#include <cstddef>
#include <cstdint>

#include "app/link/TileRecord.h"

namespace mirtool {

class PanelImage {
public:
    // All light, as a panel starts.
    PanelImage();

    bool IsDark(int column, int row) const { return dark[row][column]; }
    // Replaces the 16 x 8 block that a valid record addresses.
    void Apply(const wire::TileRecord& record);

private:
    bool dark[wire::kPanelRows][wire::kPanelColumns];
};

// Splits a byte stream into 17-byte records, whatever pieces it arrives in, and applies
// every complete record that the sender could have sent.
class RecordStream {
public:
    explicit RecordStream(PanelImage& panel) : panel(panel) {}

    // Returns the number of records applied from this piece.
    size_t Feed(const uint8_t* data, size_t length);

    uint64_t Applied() const { return applied; }
    // Records with reserved address bits set, skipped whole.
    uint64_t Rejected() const { return rejected; }
    // Bytes of an incomplete record waiting for the rest.
    size_t Pending() const { return pending; }
    // Forgets them: a new line starts at a record boundary.
    void DropPending() { pending = 0; }

private:
    void Take(const uint8_t* bytes);

    PanelImage& panel;
    uint8_t partial[wire::kRecordSize] = {};
    size_t pending = 0;
    uint64_t applied = 0;
    uint64_t rejected = 0;
};

} // namespace mirtool
