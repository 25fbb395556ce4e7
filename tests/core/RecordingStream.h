// A stream that collects what a link's thread writes.
#pragma once

#include <mutex>
#include <string>

#include "multio/Stream.h"

class Recorder : public multio::Stream {
public:
    int32_t Write(const void* buffer, int32_t length, uint32_t) override {
        std::lock_guard<std::mutex> hold(lock);
        bytes.append(static_cast<const char*>(buffer), static_cast<size_t>(length));
        return length;
    }
    size_t Size() {
        std::lock_guard<std::mutex> hold(lock);
        return bytes.size();
    }
    std::string Bytes() {
        std::lock_guard<std::mutex> hold(lock);
        return bytes;
    }

private:
    std::mutex lock;
    std::string bytes;
};
