#include "multio/Stream.h"

#include <limits>

namespace multio {

namespace {
// Counters wrap like the 32-bit fields they are, without signed overflow.
int32_t AddWrapping(int32_t counter, int32_t length) {
    return static_cast<int32_t>(static_cast<uint32_t>(counter) + static_cast<uint32_t>(length));
}
} // namespace

Stream::~Stream() = default;

int32_t Stream::Open(const char*, uint32_t) {
    return kStreamAlreadyOpen;
}

int32_t Stream::Close() {
    return kStreamNotImplemented;
}

int32_t Stream::Read(void*, int32_t length, uint32_t) {
    readCount = AddWrapping(readCount, length);
    return length;
}

int32_t Stream::Write(const void*, int32_t length, uint32_t) {
    writeCount = AddWrapping(writeCount, length);
    return length;
}

int32_t Stream::Seek(int32_t, int32_t) {
    return kStreamNotImplemented;
}

int32_t Stream::Tell() {
    return kStreamNotImplemented;
}

int32_t Stream::Available() {
    return std::numeric_limits<int32_t>::max();
}

bool Stream::IsEof() {
    return false;
}

bool Stream::IsFailed() {
    return false;
}

int32_t Stream::Flush() {
    return 0;
}

int32_t Stream::SetSize(int32_t) {
    return kStreamNotImplemented;
}

bool Stream::CanRead() {
    return true;
}

bool Stream::CanWrite() {
    return true;
}

bool Stream::CanSeek() {
    return false;
}

bool Stream::CanQueryEnd() {
    return true;
}

bool Stream::CanFlush() {
    return true;
}

bool Stream::CanSetSize() {
    return false;
}

int32_t Stream::GetReadCount() {
    return readCount;
}

int32_t Stream::GetWriteCount() {
    return writeCount;
}

} // namespace multio
