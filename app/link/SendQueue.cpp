#include "app/link/SendQueue.h"

#include <cstring>

#include "multio/Stream.h"

IndexLock::~IndexLock() = default;

SendQueue::Pieces SendQueue::FreePieces(uint32_t readIndex, uint32_t writeIndex) {
    if (writeIndex < readIndex)
        return {readIndex - writeIndex - 1, 0};
    Pieces free{kCapacity - writeIndex, readIndex};
    if (free.second > 0)
        --free.second;
    else
        --free.first;
    return free;
}

SendQueue::Pieces SendQueue::QueuedRuns(uint32_t readIndex, uint32_t writeIndex) {
    if (readIndex <= writeIndex)
        return {writeIndex - readIndex, 0};
    return {kCapacity - readIndex, writeIndex};
}

SendQueue::SendQueue(IndexLock& lock) : lock(lock) {}

SendQueue::Snapshot SendQueue::Load() {
    lock.Enter();
    Snapshot s{readIndex.load(std::memory_order_acquire),
               writeIndex.load(std::memory_order_acquire)};
    lock.Leave();
    return s;
}

uint32_t SendQueue::Advance(uint32_t index, uint32_t count) {
    return (index + count) % kCapacity;
}

bool SendQueue::IsEmpty() {
    Snapshot s = Load();
    return s.readIndex == s.writeIndex;
}

uint32_t SendQueue::FreeSpace() {
    Snapshot s = Load();
    return FreePieces(s.readIndex, s.writeIndex).Total();
}

int32_t SendQueue::Enqueue(const uint8_t* data, uint32_t length) {
    Snapshot s = Load();
    Pieces free = FreePieces(s.readIndex, s.writeIndex);
    if (free.Total() < length || (length > 0 && data == nullptr))
        return -1;
    uint32_t head = length < free.first ? length : free.first;
    if (head > 0)
        memcpy(storage + s.writeIndex, data, head);
    if (length > head)
        memcpy(storage, data + head, length - head);
    // The bytes are in place before the consumer can see the new index.
    writeIndex.store(Advance(s.writeIndex, length), std::memory_order_release);
    return 0;
}

// One write from the storage; the index moves only by what the stream reports, never past
// the piece.
int32_t SendQueue::WritePiece(multio::Stream& stream, uint32_t from, uint32_t length) {
    int32_t put = stream.Write(storage + from, static_cast<int32_t>(length), 0);
    if (put <= 0)
        return put;
    uint32_t done = static_cast<uint32_t>(put) < length ? static_cast<uint32_t>(put) : length;
    readIndex.store(Advance(from, done), std::memory_order_release);
    return static_cast<int32_t>(done);
}

uint32_t SendQueue::Drain(multio::Stream& stream, bool* stalled) {
    uint32_t total = 0;
    if (stalled)
        *stalled = false;
    for (;;) {
        Snapshot s = Load();
        Pieces runs = QueuedRuns(s.readIndex, s.writeIndex);
        if (runs.first == 0)
            return total;
        int32_t put = WritePiece(stream, s.readIndex, runs.first);
        if (put <= 0) {
            if (stalled)
                *stalled = true; // failed, or no progress: keep the bytes for the next signal
            return total;
        }
        total += static_cast<uint32_t>(put);
        if (static_cast<uint32_t>(put) == runs.first && runs.second > 0) {
            put = WritePiece(stream, 0, runs.second);
            if (put > 0)
                total += static_cast<uint32_t>(put);
        }
    }
}

void SendQueue::Reset() {
    memset(storage, 0, sizeof storage);
    writeIndex.store(0, std::memory_order_relaxed);
    readIndex.store(0, std::memory_order_relaxed);
}
