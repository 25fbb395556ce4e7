#pragma once
// In-memory multio::Stream for tests: reads like a file (a short read sets the end flag),
// appends what is written, and can be told to deliver in small pieces or to fail.

#include <algorithm>
#include <cstring>
#include <string>

#include "multio/Stream.h"

class MemoryStream : public multio::Stream {
public:
    explicit MemoryStream(std::string content = std::string()) : data(std::move(content)) {}

    // Starts over as a new stream on `size` bytes, keeping the storage of both strings: a
    // fuzzer makes several streams every execution.
    void Restart(const char* bytes, size_t size) {
        data.assign(bytes, size);
        written.clear();
        position = 0;
        atEnd = false;
        maxPerRead = static_cast<size_t>(-1);
        failAt = -1;
        failAlways = false;
        failCode = multio::kStreamFailed;
        silentEnd = false;
        failWrites = false;
        readCalls = 0;
        readCount = 0;
        writeCount = 0;
    }

    int32_t Read(void* buffer, int32_t length, uint32_t flags) override {
        ++readCalls;
        if (flags != 0) {
            return multio::kStreamUnsupported;
        }
        if (failAlways || (failAt >= 0 && position >= static_cast<size_t>(failAt))) {
            return failCode;
        }
        const size_t left = data.size() - position;
        size_t count = std::min<size_t>(static_cast<size_t>(std::max(length, 0)), left);
        count = std::min<size_t>(count, maxPerRead);
        if (failAt >= 0) {
            count = std::min<size_t>(count, static_cast<size_t>(failAt) - position);
        }
        std::memcpy(buffer, data.data() + position, count);
        position += count;
        // Like a file stream: asking for more than is left reaches the end.
        if (count < static_cast<size_t>(std::max(length, 0)) && position == data.size() &&
            !silentEnd) {
            atEnd = true;
        }
        readCount += static_cast<int32_t>(count);
        return static_cast<int32_t>(count);
    }

    int32_t Write(const void* buffer, int32_t length, uint32_t flags) override {
        if (flags != 0) {
            return multio::kStreamUnsupported;
        }
        if (failWrites) {
            return multio::kStreamFailed;
        }
        written.append(static_cast<const char*>(buffer), static_cast<size_t>(length));
        writeCount += length;
        return length;
    }

    bool IsEof() override { return atEnd; }

    std::string data;
    std::string written;
    size_t position = 0;
    bool atEnd = false;
    size_t maxPerRead = static_cast<size_t>(-1); // deliver at most this much per call
    long failAt = -1;                            // reads fail once this many bytes were delivered
    bool failAlways = false;
    int32_t failCode = multio::kStreamFailed;
    bool silentEnd = false; // at the end return 0 without ever reporting IsEof
    bool failWrites = false;
    int readCalls = 0;
};
