// libFuzzer target: arbitrary bytes as a buffer of change records from the mirror driver.
// The first four bytes are the record count the escape returned, the rest the bytes
// delivered. Every payload handed over, and every rectangle read from it, must lie inside
// the bytes delivered, and no more records than the count may be handed over.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "app/capture/ChangeRecords.h"
#include "driver/MirvaneEscape.h"

namespace {

struct Bounds : ChangeRecordHandler {
    const uint8_t* begin;
    const uint8_t* end;
    void OnRecord(uint32_t type, const uint8_t* payload, size_t size) override {
        if (payload < begin || payload > end || size > size_t(end - payload))
            abort();
        if (type != MIRVANE_RECORD_RECT)
            return;
        const size_t count = payloadRectCount(payload, size);
        if (count && MIRVANE_PAYLOAD_RECTS_OFFSET + count * MIRVANE_RECT_STRIDE > size)
            abort();
        for (size_t i = 0; i < count; ++i)
            payloadRect(payload, i);
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 4)
        return 0;
    int32_t count;
    std::memcpy(&count, data, 4);
    Bounds bounds;
    bounds.begin = data + 4;
    bounds.end = data + size;
    const size_t handled = walkChangeRecords(data + 4, size - 4, count, bounds);
    if (handled > 0 && (count <= 0 || handled > size_t(count)))
        abort();
    return 0;
}
