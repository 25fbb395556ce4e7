#include "app/capture/ChangeRecords.h"

#include <cstring>

#include "driver/MirvaneEscape.h"

namespace {

uint32_t readU32(const uint8_t* at) {
    uint32_t value;
    std::memcpy(&value, at, sizeof value);
    return value;
}

} // namespace

size_t walkChangeRecords(const uint8_t* buffer, size_t delivered, int32_t recordCount,
                         ChangeRecordHandler& handler) {
    if (!buffer)
        return 0;
    size_t offset = 0;
    size_t handled = 0;
    for (int32_t walked = 0; walked < recordCount; ++walked) {
        if (delivered - offset < MIRVANE_RECORD_HEADER_SIZE)
            break;
        MirvaneRecordHeader header;
        std::memcpy(&header, buffer + offset, sizeof header);
        if (header.recordSize < MIRVANE_RECORD_HEADER_SIZE ||
            header.recordSize > delivered - offset)
            break; // also ends at the terminating 0
        if (header.headerSize >= MIRVANE_RECORD_HEADER_SIZE &&
            header.headerSize <= header.recordSize) {
            handler.OnRecord(header.recordType, buffer + offset + header.headerSize,
                             header.recordSize - header.headerSize);
            ++handled;
        }
        offset += header.recordSize;
    }
    return handled;
}

size_t payloadRectCount(const uint8_t* payload, size_t payloadSize) {
    if (!payload || payloadSize < MIRVANE_PAYLOAD_RECTS_OFFSET)
        return 0;
    const size_t stated = readU32(payload + offsetof(MirvaneRectPayload, rectCount));
    const size_t room = (payloadSize - MIRVANE_PAYLOAD_RECTS_OFFSET) / MIRVANE_RECT_STRIDE;
    return stated < room ? stated : room;
}

RECT payloadRect(const uint8_t* payload, size_t index) {
    MirvaneRect r;
    std::memcpy(&r, payload + MIRVANE_PAYLOAD_RECTS_OFFSET + index * MIRVANE_RECT_STRIDE, sizeof r);
    return RECT{r.left, r.top, r.right, r.bottom};
}
