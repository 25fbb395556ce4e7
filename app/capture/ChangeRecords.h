// Reading the change records that the mirror driver delivers. The buffer comes from a driver
// and is treated as hostile: nothing outside the bytes delivered is ever read, and every size
// a record states is bounded by the record that holds it.
#pragma once

#include <cstddef>
#include <cstdint>

#include "comsrc/WinTypes.h"

class ChangeRecordHandler {
public:
    virtual ~ChangeRecordHandler() = default;
    // One record: its type and its payload, which lies wholly inside the record.
    virtual void OnRecord(uint32_t type, const uint8_t* payload, size_t payloadSize) = 0;
};

// Walks the records at the start of `buffer` (`delivered` bytes), at most `recordCount` of
// them. The walk ends at a recordSize of 0, at one smaller than the record header, at a
// record reaching past the bytes delivered, and after `recordCount` records. A record whose
// headerSize lies outside [header, recordSize] is stepped over unread. Returns the number of
// records handed to `handler`.
size_t walkChangeRecords(const uint8_t* buffer, size_t delivered, int32_t recordCount,
                         ChangeRecordHandler& handler);

// Rectangles of a rectangle record's payload: its rectCount, limited to those that lie
// wholly inside the payload (0 when the payload cannot even hold the count).
size_t payloadRectCount(const uint8_t* payload, size_t payloadSize);

// Rectangle `index` (below payloadRectCount) of a rectangle record's payload.
RECT payloadRect(const uint8_t* payload, size_t index);
