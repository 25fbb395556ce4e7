#include "multio/TextReader_Stream.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace multio {

namespace {
constexpr int32_t kRefillChunk = 2048;
} // namespace

TextReader_Stream::TextReader_Stream(Stream* stream) : sourceStream(stream) {
    ring = new (std::nothrow) RingBuffer();
    if (ring == nullptr) {
        return;
    }
    ring->storage = new (std::nothrow) uint8_t[RingBuffer::kCapacity];
    ring->capacity = ring->storage != nullptr ? RingBuffer::kCapacity : 0;
    ring->storageEnd = ring->storage + ring->capacity;
    ring->readPos = ring->storage;
    ring->writePos = ring->storage;
}

TextReader_Stream::~TextReader_Stream() {
    if (ring != nullptr) {
        delete[] ring->storage;
        delete ring;
    }
}

int32_t TextReader_Stream::Buffered() const {
    if (ring == nullptr || ring->capacity == 0) {
        return 0;
    }
    const int32_t diff = static_cast<int32_t>(ring->writePos - ring->readPos);
    return diff >= 0 ? diff : diff + ring->capacity;
}

int32_t TextReader_Stream::FreeRoom() const {
    if (ring == nullptr || ring->capacity == 0) {
        return 0;
    }
    return ring->capacity - 1 - Buffered();
}

uint8_t TextReader_Stream::At(int32_t index) const {
    const int32_t offset = static_cast<int32_t>(ring->readPos - ring->storage) + index;
    return ring->storage[offset % ring->capacity];
}

// Both copy in at most two pieces, either side of the ring's wrap.
void TextReader_Stream::Append(const uint8_t* bytes, int32_t count) {
    while (count > 0) {
        const int32_t piece =
            std::min<int32_t>(count, static_cast<int32_t>(ring->storageEnd - ring->writePos));
        std::memcpy(ring->writePos, bytes, static_cast<size_t>(piece));
        bytes += piece;
        count -= piece;
        ring->writePos += piece;
        if (ring->writePos == ring->storageEnd) {
            ring->writePos = ring->storage;
        }
    }
}

void TextReader_Stream::Consume(uint8_t* out, int32_t count) {
    while (count > 0) {
        const int32_t piece =
            std::min<int32_t>(count, static_cast<int32_t>(ring->storageEnd - ring->readPos));
        if (out != nullptr) {
            std::memcpy(out, ring->readPos, static_cast<size_t>(piece));
            out += piece;
        }
        count -= piece;
        ring->readPos += piece;
        if (ring->readPos == ring->storageEnd) {
            ring->readPos = ring->storage;
        }
    }
}

// Like Consume, but appending to the string in at most two pieces: resizing first would
// fill it with zeros only to overwrite them.
void TextReader_Stream::TakeInto(std::string& text, int32_t count) {
    text.clear();
    while (count > 0) {
        const int32_t piece =
            std::min<int32_t>(count, static_cast<int32_t>(ring->storageEnd - ring->readPos));
        text.append(reinterpret_cast<const char*>(ring->readPos), static_cast<size_t>(piece));
        Consume(nullptr, piece);
        count -= piece;
    }
}

// Index of the first line feed at or after `from`, or -1. Searched in at most two pieces,
// either side of the ring's wrap.
int32_t TextReader_Stream::FindNewline(int32_t from) const {
    const int32_t buffered = Buffered();
    int32_t index = from;
    while (index < buffered) {
        const int32_t offset = static_cast<int32_t>(ring->readPos - ring->storage) + index;
        const uint8_t* start = ring->storage + offset % ring->capacity;
        const int32_t piece =
            std::min<int32_t>(buffered - index, static_cast<int32_t>(ring->storageEnd - start));
        const void* found = std::memchr(start, '\n', static_cast<size_t>(piece));
        if (found != nullptr) {
            return index + static_cast<int32_t>(static_cast<const uint8_t*>(found) - start);
        }
        index += piece;
    }
    return -1;
}

// Reads until at least index + 1 bytes are buffered. Returns 1 when they are, 0 when the
// stream had no more data, or a negative code.
int32_t TextReader_Stream::Refill(int32_t index, int32_t lookahead) {
    if (sourceStream == nullptr || ring == nullptr || index < 0 || index >= ring->capacity) {
        return -1;
    }
    uint8_t local[kRefillChunk];
    while (Buffered() <= index) {
        const int64_t wanted = int64_t{index} - Buffered() + lookahead + 1;
        const int32_t request = static_cast<int32_t>(std::clamp<int64_t>(wanted, 1, kRefillChunk));
        if (request > FreeRoom()) {
            refillStatus = -1;
            return -1;
        }
        int32_t got = sourceStream->Read(local, request, 0);
        if (got <= 0) {
            refillStatus = got == 0 ? 1 : got;
            return got;
        }
        got = std::min(got, request); // never trust a count beyond what was asked for
        Append(local, got);
        refillStatus = 0;
    }
    return 1;
}

int32_t TextReader_Stream::PeekAt(int32_t index, int32_t lookahead) {
    const int32_t result = Refill(index, lookahead);
    if (result <= 0) {
        return result;
    }
    return At(index);
}

int32_t TextReader_Stream::Peek(int32_t lookahead) {
    return PeekAt(0, lookahead);
}

int32_t TextReader_Stream::ReadChar() {
    Peek(-1);
    if (Buffered() == 0) {
        return 0;
    }
    uint8_t byte = 0;
    Consume(&byte, 1);
    return byte;
}

int32_t TextReader_Stream::Read(void* buffer, int32_t length) {
    if (buffer == nullptr || length <= 0) {
        return 0;
    }
    uint8_t* out = static_cast<uint8_t*>(buffer);
    const int32_t fromRing = std::min(length, Buffered());
    Consume(out, fromRing);
    if (fromRing == length || sourceStream == nullptr) {
        return fromRing;
    }
    const int32_t rest = length - fromRing;
    const int32_t got = sourceStream->Read(out + fromRing, rest, 0);
    if (fromRing == 0) {
        return got;
    }
    return got > 0 ? fromRing + std::min(got, rest) : fromRing;
}

std::string TextReader_Stream::ReadLine(int32_t lookahead) {
    std::string line;
    ReadLineInto(line, lookahead);
    return line;
}

void TextReader_Stream::ReadLineInto(std::string& line, int32_t lookahead) {
    line.clear();
    if (ring == nullptr || ring->capacity == 0 || sourceStream == nullptr) {
        refillStatus = -1;
        return;
    }
    int32_t scanned = 0;
    for (;;) {
        const int32_t newline = FindNewline(scanned);
        if (newline >= 0) {
            return TakeInto(line, newline + 1);
        }
        const int32_t buffered = Buffered();
        scanned = buffered;
        if (FreeRoom() == 0 || sourceStream->IsEof()) {
            return TakeInto(line, buffered);
        }
        // A line longer than the room left would make a long lookahead fail the refill:
        // read ahead only as far as fits (FreeRoom() is at least 1 here).
        const int32_t result = Refill(buffered, std::min(lookahead, FreeRoom() - 1));
        if (result == 0) {
            return TakeInto(line, Buffered());
        }
        if (result < 0) {
            return;
        }
    }
}

std::string TextReader_Stream::ReadLineTrimmed(int32_t lookahead) {
    std::string line = ReadLine(lookahead);
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) {
        line.pop_back();
    }
    return line;
}

bool TextReader_Stream::IsEof() {
    return sourceStream == nullptr || sourceStream->IsEof();
}

} // namespace multio
