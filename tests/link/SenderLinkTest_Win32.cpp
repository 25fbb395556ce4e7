#include "app/link/SenderLink.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "tests/link/PortTestSupport.h"

// Ports: COM3 is one end of a pty pair whose other end is COM13.
namespace {

// What a stream double saw; outlives the double, which the link deletes when it stops.
struct WriteLog {
    WriteLog() {
        writing = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        release = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        lock = CreateMutexA(nullptr, FALSE, nullptr);
    }
    ~WriteLog() {
        CloseHandle(writing);
        CloseHandle(release);
        CloseHandle(lock);
    }
    size_t ReceivedSize() {
        WaitForSingleObject(lock, INFINITE);
        size_t n = received.size();
        ReleaseMutex(lock);
        return n;
    }
    bool WaitReceived(size_t n) {
        for (DWORD waited = 0; waited < porttest::kPatienceMs; waited += 5) {
            if (ReceivedSize() >= n)
                return true;
            Sleep(5);
        }
        return false;
    }
    bool block = false;               // hold every write until `release` is set
    std::atomic<int32_t> failWith{1}; // each write returns this while it is 0 or less
    std::atomic<bool> destroyed{false};
    HANDLE writing, release, lock;
    std::vector<uint8_t> received;
    std::vector<int32_t> lengths;
};

// Records the writes it is given; can be made to block inside Write.
class StreamDouble : public multio::Stream {
public:
    explicit StreamDouble(WriteLog& log) : log(log) {}
    ~StreamDouble() override { log.destroyed = true; }
    int32_t Write(const void* buffer, int32_t length, uint32_t) override {
        SetEvent(log.writing);
        if (log.block)
            WaitForSingleObject(log.release, INFINITE);
        if (log.failWith <= 0)
            return log.failWith;
        const uint8_t* bytes = static_cast<const uint8_t*>(buffer);
        WaitForSingleObject(log.lock, INFINITE);
        log.received.insert(log.received.end(), bytes, bytes + length);
        log.lengths.push_back(length);
        ReleaseMutex(log.lock);
        return length;
    }

private:
    WriteLog& log;
};

std::unique_ptr<multio::Stream> Double(WriteLog& log) {
    return std::unique_ptr<multio::Stream>(new StreamDouble(log));
}

TEST(SenderLink, BlockThatWrapsTheQueueIsWrittenTailFirstAndArrivesWhole) {
    WriteLog log;
    SenderLink link(Double(log));
    std::vector<uint8_t> filler = porttest::Pattern(4000, 1);
    ASSERT_EQ(link.Enqueue(filler.data(), 4000), 0);
    ASSERT_TRUE(log.WaitReceived(4000));
    std::vector<uint8_t> block = porttest::Pattern(1088, 2);
    ASSERT_EQ(SendFrameBlock(&link, block), 0);
    ASSERT_TRUE(log.WaitReceived(4000 + 1088));
    link.Stop();
    EXPECT_FALSE(link.WasTerminated());
    EXPECT_EQ(std::vector<uint8_t>(log.received.begin() + 4000, log.received.end()), block);
    ASSERT_GE(log.lengths.size(), 2u);
    EXPECT_EQ(std::vector<int32_t>(log.lengths.end() - 2, log.lengths.end()),
              (std::vector<int32_t>{96, 992}));
}

TEST(SenderLink, StopOnAnIdleLinkLetsTheThreadEnd) {
    WriteLog log;
    SenderLink link(Double(log));
    uint8_t byte = 7;
    ASSERT_EQ(link.Enqueue(&byte, 1), 0);
    ASSERT_TRUE(log.WaitReceived(1));
    link.Stop();
    EXPECT_FALSE(link.WasTerminated());
    EXPECT_EQ(link.Stream(), nullptr);
    link.Stop(); // twice is harmless
}

TEST(SenderLink, StopRightAfterConstructionWaitsForTheThread) {
    for (int i = 0; i < 50; ++i) {
        WriteLog log;
        SenderLink* link = new SenderLink(Double(log));
        link->Stop();
        EXPECT_FALSE(link->WasTerminated());
        delete link;
    }
}

TEST(SenderLink, StopEndsALinkBlockedInsideWrite) {
    WriteLog log;
    log.block = true;
    SenderLink link(Double(log));
    uint8_t bytes[10] = {};
    ASSERT_EQ(link.Enqueue(bytes, sizeof bytes), 0);
    ASSERT_EQ(WaitForSingleObject(log.writing, porttest::kPatienceMs), WAIT_OBJECT_0);
    link.Stop(); // gives the thread one second, then terminates it
    EXPECT_TRUE(link.WasTerminated());
    EXPECT_EQ(link.Stream(), nullptr); // released only after the thread is gone
}

TEST(SenderLink, AfterAStalledWriteTheQueuedBytesFollowSoonAfterRecovery) {
    for (int32_t failure : {0, int32_t(multio::kStreamFailed)}) {
        WriteLog log;
        log.failWith = failure;
        SenderLink link(Double(log));
        std::vector<uint8_t> block = porttest::Pattern(4095, 6);
        ASSERT_EQ(link.Enqueue(block.data(), 4095), 0); // fills the queue
        ASSERT_EQ(WaitForSingleObject(log.writing, porttest::kPatienceMs), WAIT_OBJECT_0);
        EXPECT_LT(link.Enqueue(block.data(), 1), 0); // refused: no signal
        Sleep(150);
        log.failWith = 1;
        const DWORD recovered = GetTickCount();
        while (log.ReceivedSize() < 4095 && GetTickCount() - recovered < 2000)
            Sleep(5);
        EXPECT_EQ(log.ReceivedSize(), 4095u) << failure;
        EXPECT_LE(GetTickCount() - recovered, 300u) << failure;
    }
}

HANDLE WINAPI NoThread(LPSECURITY_ATTRIBUTES, SIZE_T, LPTHREAD_START_ROUTINE, LPVOID, DWORD,
                       LPDWORD) {
    return nullptr;
}

BOOL WINAPI CannotTerminate(HANDLE, DWORD) {
    return FALSE;
}

TEST(SenderLink, ThreadThatCouldNotBeCreatedReadsAsFailed) {
    const SenderLink::ThreadCalls saved = SenderLink::threadCalls;
    SenderLink::threadCalls.create = &NoThread;
    WriteLog log;
    SenderLink link(Double(log));
    SenderLink::threadCalls = saved;
    EXPECT_TRUE(link.IsStreamFailed());
}

TEST(SenderLink, StopGivesUpOnAThreadThatOutlivesTermination) {
    const SenderLink::ThreadCalls saved = SenderLink::threadCalls;
    SenderLink::threadCalls.terminate = &CannotTerminate;
    WriteLog log;
    log.block = true;
    SenderLink link(Double(log));
    uint8_t bytes[10] = {};
    ASSERT_EQ(link.Enqueue(bytes, sizeof bytes), 0);
    ASSERT_EQ(WaitForSingleObject(log.writing, porttest::kPatienceMs), WAIT_OBJECT_0);
    std::thread releaser([&] {
        Sleep(5000); // lets the write end at last, so the old code is not stuck for good
        SetEvent(log.release);
    });
    const DWORD start = GetTickCount();
    link.Stop();
    const DWORD took = GetTickCount() - start;
    SenderLink::threadCalls = saved;
    EXPECT_LT(took, 3000u);
    EXPECT_FALSE(log.destroyed) << "the stream was freed under a thread that may still use it";
    EXPECT_TRUE(link.WasAbandoned());
    releaser.join();
    Sleep(200); // the released thread sees the stop and ends while the link still exists
}

TEST(SenderLink, FullQueueRefusesTheWholeBlock) {
    WriteLog log;
    log.block = true;
    SenderLink link(Double(log));
    std::vector<uint8_t> first = porttest::Pattern(3000, 3);
    ASSERT_EQ(link.Enqueue(first.data(), 3000), 0);
    ASSERT_EQ(WaitForSingleObject(log.writing, porttest::kPatienceMs), WAIT_OBJECT_0);
    EXPECT_EQ(link.FreeSpace(), 1095u);
    std::vector<uint8_t> second = porttest::Pattern(1096, 4);
    EXPECT_LT(SendFrameBlock(&link, second), 0); // waits for room in vain, then drops it
    std::vector<uint8_t> third = porttest::Pattern(1095, 5);
    EXPECT_EQ(SendFrameBlock(&link, third), 0);
    SetEvent(log.release);
    std::vector<uint8_t> expected = first;
    expected.insert(expected.end(), third.begin(), third.end());
    ASSERT_TRUE(log.WaitReceived(expected.size()));
    link.Stop();
    EXPECT_EQ(log.received, expected);
}

TEST(SenderLink, DeliversEveryByteOfManyBlocksInOrderThroughThePort) {
    porttest::PeerReader peer("\\\\.\\COM13");
    ASSERT_TRUE(peer.IsOpen());
    SenderLink link("COM3", 500000, false);
    ASSERT_FALSE(link.IsStreamFailed());
    std::vector<uint8_t> all;
    for (uint32_t i = 0; i < 120; ++i) {
        std::vector<uint8_t> block = porttest::Pattern(17 * (1 + i % 64), i);
        all.insert(all.end(), block.begin(), block.end());
    }
    std::vector<uint8_t> received;
    std::thread reader([&] { received = peer.Read(all.size()); });
    size_t at = 0;
    for (uint32_t i = 0; i < 120; ++i) {
        uint32_t length = 17 * (1 + i % 64);
        // Unlike the frame loop, keep every block: retry until it is queued.
        while (link.Enqueue(all.data() + at, length) < 0)
            link.WaitForRoom(length);
        at += length;
    }
    reader.join();
    link.Stop();
    ASSERT_EQ(received.size(), all.size());
    EXPECT_EQ(received, all);
}

} // namespace
