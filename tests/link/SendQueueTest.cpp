#include "app/link/SendQueue.h"

#include <gtest/gtest.h>

#include <deque>
#include <mutex>
#include <random>
#include <vector>

#include "multio/Stream.h"

namespace {

class MutexLock : public IndexLock {
public:
    void Enter() override { m.lock(); }
    void Leave() override { m.unlock(); }

private:
    std::mutex m;
};

// Records every write; accepts at most `limit` bytes per call, or fails when `fail` is set.
class RecordingStream : public multio::Stream {
public:
    int32_t Write(const void* buffer, int32_t length, uint32_t) override {
        calls.push_back(length);
        if (fail)
            return multio::kStreamFailed;
        int32_t n = length < limit ? length : limit;
        const uint8_t* bytes = static_cast<const uint8_t*>(buffer);
        received.insert(received.end(), bytes, bytes + n);
        return n;
    }
    std::vector<int32_t> calls;
    std::vector<uint8_t> received;
    int32_t limit = 1 << 30;
    bool fail = false;
};

std::vector<uint8_t> Pattern(size_t n, uint8_t seed) {
    std::vector<uint8_t> v(n);
    for (size_t i = 0; i < n; ++i)
        v[i] = static_cast<uint8_t>(seed + i * 7);
    return v;
}

// Moves both indices to `at` by queueing and draining filler bytes.
void MoveTo(SendQueue& q, uint32_t at) {
    RecordingStream sink;
    std::vector<uint8_t> filler(at, 0xEE);
    ASSERT_EQ(q.Enqueue(filler.data(), at), 0);
    q.Drain(sink);
    ASSERT_EQ(q.ReadIndex(), at);
}

TEST(SendQueueArithmetic, FreeSpaceOfListedStates) {
    EXPECT_EQ(SendQueue::FreePieces(0, 0).Total(), 4095u);
    EXPECT_EQ(SendQueue::FreePieces(0, 0).first, 4095u);
    EXPECT_EQ(SendQueue::FreePieces(100, 99).Total(), 0u);
    SendQueue::Pieces p = SendQueue::FreePieces(100, 4000);
    EXPECT_EQ(p.first, 96u);
    EXPECT_EQ(p.second, 99u);
    EXPECT_EQ(p.Total(), 195u);
    EXPECT_EQ(SendQueue::FreePieces(0, 4095).Total(), 0u); // full with readIndex 0
}

TEST(SendQueueArithmetic, QueuedRunsSplitAtTheEndOfStorage) {
    EXPECT_EQ(SendQueue::QueuedRuns(5, 5).first, 0u);
    EXPECT_EQ(SendQueue::QueuedRuns(10, 30).first, 20u);
    SendQueue::Pieces runs = SendQueue::QueuedRuns(4000, 50);
    EXPECT_EQ(runs.first, 96u);
    EXPECT_EQ(runs.second, 50u);
}

TEST(SendQueueArithmetic, FreeAndQueuedAlwaysAddUpToCapacityLessOne) {
    for (uint32_t r = 0; r < SendQueue::kCapacity; r += 37)
        for (uint32_t w = 0; w < SendQueue::kCapacity; w += 41)
            ASSERT_EQ(SendQueue::FreePieces(r, w).Total() + SendQueue::QueuedRuns(r, w).Total(),
                      SendQueue::kCapacity - 1)
                << r << " " << w;
}

TEST(SendQueue, BlockAsLargeAsTheFreeSpaceIsQueuedOneMoreIsRefusedWhole) {
    MutexLock lock;
    SendQueue q(lock);
    MoveTo(q, 4000);
    std::vector<uint8_t> first = Pattern(3000, 1);
    ASSERT_EQ(q.Enqueue(first.data(), 3000), 0); // wraps
    uint32_t room = q.FreeSpace();
    EXPECT_EQ(room, 1095u);
    std::vector<uint8_t> tooBig = Pattern(room + 1, 9);
    uint32_t writeBefore = q.WriteIndex();
    std::vector<uint8_t> storageBefore(q.Storage(), q.Storage() + SendQueue::kCapacity);
    EXPECT_LT(q.Enqueue(tooBig.data(), room + 1), 0);
    EXPECT_EQ(q.WriteIndex(), writeBefore);
    EXPECT_EQ(std::vector<uint8_t>(q.Storage(), q.Storage() + SendQueue::kCapacity), storageBefore);
    std::vector<uint8_t> exact = Pattern(room, 5);
    EXPECT_EQ(q.Enqueue(exact.data(), room), 0);
    EXPECT_EQ(q.FreeSpace(), 0u);

    RecordingStream out;
    q.Drain(out);
    std::vector<uint8_t> expected = first;
    expected.insert(expected.end(), exact.begin(), exact.end());
    EXPECT_EQ(out.received, expected);
    EXPECT_EQ(q.FreeSpace(), 4095u);
}

TEST(SendQueue, WrappedBlockIsWrittenTailOfStorageFirst) {
    MutexLock lock;
    SendQueue q(lock);
    MoveTo(q, 4000);
    std::vector<uint8_t> block = Pattern(1088, 3);
    ASSERT_EQ(q.Enqueue(block.data(), 1088), 0);
    RecordingStream out;
    EXPECT_EQ(q.Drain(out), 1088u);
    EXPECT_EQ(out.calls, (std::vector<int32_t>{96, 992}));
    EXPECT_EQ(out.received, block);
}

TEST(SendQueue, ShortWritesAreContinuedAndFailuresKeepTheBytes) {
    MutexLock lock;
    SendQueue q(lock);
    std::vector<uint8_t> block = Pattern(100, 4);
    ASSERT_EQ(q.Enqueue(block.data(), 100), 0);
    RecordingStream out;
    out.fail = true;
    bool stalled = false;
    EXPECT_EQ(q.Drain(out, &stalled), 0u);
    EXPECT_TRUE(stalled);
    EXPECT_EQ(q.FreeSpace(), 3995u);
    out.fail = false;
    out.limit = 30;
    EXPECT_EQ(q.Drain(out, &stalled), 100u);
    EXPECT_FALSE(stalled);
    EXPECT_EQ(out.received, block);
    EXPECT_EQ(out.calls.back(), 10);
    // An empty queue is not a stall: the sender thread must look again rather than wait.
    stalled = true;
    EXPECT_EQ(q.Drain(out, &stalled), 0u);
    EXPECT_FALSE(stalled);
}

TEST(SendQueue, RandomBlocksArriveInOrderAsAModelQueueSays) {
    MutexLock lock;
    SendQueue q(lock);
    std::mt19937 rng(1234);
    std::deque<uint8_t> model;
    RecordingStream out;
    std::vector<uint8_t> sent;
    for (int step = 0; step < 3000; ++step) {
        std::vector<uint8_t> block = Pattern(1 + rng() % 1500, static_cast<uint8_t>(step));
        bool fits = model.size() + block.size() <= SendQueue::kCapacity - 1;
        ASSERT_EQ(q.Enqueue(block.data(), static_cast<uint32_t>(block.size())) >= 0, fits);
        if (fits) {
            model.insert(model.end(), block.begin(), block.end());
            sent.insert(sent.end(), block.begin(), block.end());
        }
        if (rng() % 3 == 0) {
            out.limit = 1 + static_cast<int32_t>(rng() % 2000);
            size_t before = out.received.size();
            q.Drain(out);
            model.erase(model.begin(), model.begin() + (out.received.size() - before));
        }
        ASSERT_EQ(q.FreeSpace(), SendQueue::kCapacity - 1 - model.size());
    }
    out.limit = 1 << 30;
    q.Drain(out);
    EXPECT_EQ(q.FreeSpace(), 4095u);
    EXPECT_EQ(out.received, sent);
}

} // namespace
