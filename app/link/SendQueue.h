// Single-producer, single-consumer byte queue between the frame loop and a sender thread.
//
// Platform-free. A ring of 4096 bytes of which one always stays free, so that a full queue
// never looks empty. Each side stores only its own index, after the bytes it covers are
// complete; the two indices are read together under a lock that the owner supplies. No copy
// and no port write happens under that lock.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

namespace multio {
class Stream;
}

// Guards reading the two indices together.
class IndexLock {
public:
    virtual ~IndexLock();
    virtual void Enter() = 0;
    virtual void Leave() = 0;
};

class SendQueue {
public:
    static constexpr uint32_t kCapacity = 4096;

    // Two contiguous pieces of the ring, the first starting at the index it belongs to.
    struct Pieces {
        uint32_t first;
        uint32_t second;
        uint32_t Total() const { return first + second; }
    };

    // Free room for the producer, one byte kept free.
    static Pieces FreePieces(uint32_t readIndex, uint32_t writeIndex);
    // Queued bytes for the consumer: up to the end of the storage, then from its start.
    static Pieces QueuedRuns(uint32_t readIndex, uint32_t writeIndex);

    explicit SendQueue(IndexLock& lock);
    SendQueue(const SendQueue&) = delete;
    SendQueue& operator=(const SendQueue&) = delete;

    // Either side: nothing queued now.
    bool IsEmpty();
    // Producer: free room now.
    uint32_t FreeSpace();
    // Producer: copies the whole block, or nothing and returns -1.
    int32_t Enqueue(const uint8_t* data, uint32_t length);

    // Consumer: writes queued bytes to the stream until the queue is empty or a write fails
    // or makes no progress. Bytes not written stay queued. Returns the bytes written;
    // `stalled`, when given, tells whether it stopped on such a write rather than on an
    // empty queue.
    uint32_t Drain(multio::Stream& stream, bool* stalled = nullptr);

    // Empties the queue and zero-fills its storage. Only while no other side runs.
    void Reset();

    uint32_t ReadIndex() const { return readIndex.load(std::memory_order_relaxed); }
    uint32_t WriteIndex() const { return writeIndex.load(std::memory_order_relaxed); }
    const uint8_t* Storage() const { return storage; }

private:
    struct Snapshot {
        uint32_t readIndex;
        uint32_t writeIndex;
    };
    Snapshot Load();
    static uint32_t Advance(uint32_t index, uint32_t count);
    int32_t WritePiece(multio::Stream& stream, uint32_t from, uint32_t length);

    IndexLock& lock;
    std::atomic<uint32_t> writeIndex{0}; // stored only by the producer
    std::atomic<uint32_t> readIndex{0};  // stored only by the consumer
    uint8_t storage[kCapacity] = {};
};
