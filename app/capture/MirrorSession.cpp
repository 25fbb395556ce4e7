#include "app/capture/MirrorSession.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

#include "app/capture/ChangeRecords.h"
#include "driver/MirvaneEscape.h"

namespace {

constexpr int32_t kIdentifyRoom = 128;
constexpr int32_t kIdentifyLongest = 32;
constexpr char kIdentifyPrefix[] = "USBED";

// The driver keeps its records in the first part of video memory, ahead of the frame
// buffer, so no record can be larger; a peek claiming more is not believed.
constexpr uint32_t kLargestChangeBuffer = MIRVANE_FRAME_OFFSET;

// Set while an identify retries on a new device context; shared by the whole program, so
// that a retry never retries again.
int32_t g_identifyRetrying = 0;

} // namespace

MirrorSession::MirrorSession(MirrorPlatform& platform, uint64_t frameBytes)
    : platform(platform), frameBytes(frameBytes) {}

MirrorSession::~MirrorSession() {
    Unmap();
}

void MirrorSession::FlushOnce() {
    if (flushCount != 0)
        return;
    platform.Escape(USBED_ESC_FLUSH_CHANGES, 0, nullptr, 0, nullptr);
    ++flushCount;
}

void MirrorSession::PeekFailed() {
    if (++failedPeeks > kPeekFailureLimit) {
        platform.Reopen();
        failedPeeks = 0;
    }
}

int32_t MirrorSession::DrainChanges(ChangeRecordHandler& handler) {
    uint32_t oldestSize = 0;
    if (platform.Escape(USBED_ESC_PEEK_CHANGE, 0, nullptr, sizeof oldestSize, &oldestSize) != 0) {
        PeekFailed();
        return 0;
    }
    failedPeeks = 0;
    return oldestSize == 0 ? 0 : FetchChanges(oldestSize, handler);
}

int32_t MirrorSession::FetchChanges(uint32_t oldestSize, ChangeRecordHandler& handler) {
    const uint32_t size =
        std::min(std::max(oldestSize, MIRVANE_CHANGES_MIN_BUFFER), kLargestChangeBuffer);
    // Zeroed, so that bytes the driver did not write read as the end of the records.
    std::unique_ptr<uint8_t[]> buffer(new (std::nothrow) uint8_t[size]());
    if (!buffer)
        return 0;
    // The driver takes no input but is given an input size of 4, as it has always been.
    const int32_t count = platform.Escape(USBED_ESC_GET_CHANGES, 4, nullptr,
                                          static_cast<int32_t>(size), buffer.get());
    if (count < 0)
        return 0;
    walkChangeRecords(buffer.get(), size, count, handler);
    return 1;
}

int32_t MirrorSession::KeepMapping() {
    const int64_t now = platform.Now();
    int32_t result = 0;
    if (mappedFrameBuffer != 0) {
        const int64_t age = now - lastMapTime;
        if (age < kRenewAfter)
            return 0;
        if (age > kMappingLifetime) {
            Unmap(); // best effort: the miniport may have dropped it already
            return kMappingLost;
        }
        platform.Escape(USBED_ESC_KEEP_MAP, 0, nullptr, 0, nullptr);
    } else {
        process = platform.Process();
        const MirvaneMapIn in{process, 0};
        uint32_t address = 0;
        result = platform.Escape(USBED_ESC_MAP, sizeof in, &in, sizeof address, &address);
        if (result < 1)
            return -1;
        mappedFrameBuffer = address;
    }
    lastMapTime = now;
    return result;
}

uint32_t MirrorSession::UsableFrameBuffer(bool& fresh) {
    int32_t kept = KeepMapping();
    if (kept == kMappingLost)
        kept = KeepMapping();
    fresh = kept > 0;
    return kept < 0 ? 0 : ReadableMapping();
}

uint32_t MirrorSession::ReadableMapping() {
    if (mappedFrameBuffer != 0 && !platform.Readable(mappedFrameBuffer, frameBytes))
        Unmap();
    return mappedFrameBuffer;
}

int32_t MirrorSession::Identify(void* buffer, int32_t length) {
    uint8_t answer[kIdentifyRoom] = {};
    const int32_t n = platform.Escape(USBED_ESC_IDENTIFY, 0, nullptr, sizeof answer, answer);
    if (n >= 1 && n <= kIdentifyLongest) {
        if (buffer && length > 0)
            std::memcpy(buffer, answer, static_cast<size_t>(std::min(n, length)));
        return std::memcmp(answer, kIdentifyPrefix, sizeof kIdentifyPrefix - 1) == 0 ? 0 : -2;
    }
    if (g_identifyRetrying != 0)
        return -1;
    ++g_identifyRetrying;
    platform.Reopen();
    const int32_t result = Identify(buffer, length);
    --g_identifyRetrying;
    return result;
}

void MirrorSession::Unmap() {
    if (mappedFrameBuffer == 0)
        return;
    const MirvaneUnmapIn in{process, mappedFrameBuffer};
    platform.Escape(USBED_ESC_UNMAP, sizeof in, &in, 0, nullptr);
    mappedFrameBuffer = 0;
    process = 0;
}
