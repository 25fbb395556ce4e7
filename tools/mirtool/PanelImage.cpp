#include "tools/mirtool/PanelImage.h"

#include <cstring>

namespace mirtool {

PanelImage::PanelImage() {
    memset(dark, 0, sizeof dark);
}

void PanelImage::Apply(const wire::TileRecord& record) {
    if (!wire::IsValidAddress(record.address))
        return;
    const int top = wire::AddressBand(record.address) * wire::kTileRows;
    const int left = wire::AddressGroup(record.address) * wire::kTileColumns;
    for (int k = 0; k < wire::kTileColumns; ++k)
        for (int j = 0; j < wire::kTileRows; ++j)
            dark[top + j][left + k] = (record.columns[k] >> j) & 1;
}

void RecordStream::Take(const uint8_t* bytes) {
    wire::TileRecord record;
    memcpy(&record, bytes, wire::kRecordSize);
    if (!wire::IsValidAddress(record.address)) {
        ++rejected;
        return;
    }
    panel.Apply(record);
    ++applied;
}

size_t RecordStream::Feed(const uint8_t* data, size_t length) {
    const uint64_t before = applied;
    size_t at = 0;
    if (pending > 0) {
        size_t need = wire::kRecordSize - pending;
        size_t take = length < need ? length : need;
        memcpy(partial + pending, data, take);
        pending += take;
        at = take;
        if (pending < wire::kRecordSize)
            return 0;
        Take(partial);
        pending = 0;
    }
    for (; length - at >= wire::kRecordSize; at += wire::kRecordSize)
        Take(data + at);
    pending = length - at;
    if (pending > 0)
        memcpy(partial, data + at, pending);
    return static_cast<size_t>(applied - before);
}

} // namespace mirtool
