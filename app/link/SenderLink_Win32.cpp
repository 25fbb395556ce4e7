#include "app/link/SenderLink.h"

#include "multio/SioIF.h"

namespace {
constexpr DWORD kIdleWaitMs = 100000; // the thread also looks at the queue this often
// After a stalled write (an error that is not a lost device, or no progress during a CTS
// pause): a full queue refuses blocks, and a refused block never signals.
constexpr DWORD kStallRetryMs = 100;
constexpr DWORD kStopGraceMs = 1000; // a thread blocked in a write longer is terminated
constexpr int kRoomChecks = 2000;
constexpr int kLingerYields = 64; // time slices the thread waits for more before blocking
} // namespace

SenderLink::ThreadCalls SenderLink::threadCalls = {&CreateThread, &TerminateThread};

SenderLink::SenderLink(const char* portPath, int32_t baudRate, bool ctsFlow)
    : SenderLink(std::unique_ptr<multio::Stream>(new SioIF(portPath, baudRate, ctsFlow))) {}

SenderLink::SenderLink(std::unique_ptr<multio::Stream> stream) : stream(std::move(stream)) {
    // Unnamed: the event is used inside this process only, and a name would clash between
    // links and instances (and Windows refuses the backslashes of "\\.\COM10").
    dataSignal = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    StartThread();
}

SenderLink::~SenderLink() {
    Stop();
}

void SenderLink::StartThread() {
    thread = threadCalls.create(nullptr, 0, &SenderLink::ThreadMain, this, 0, &threadId);
    if (thread)
        SetThreadPriority(thread, THREAD_PRIORITY_BELOW_NORMAL);
}

DWORD WINAPI SenderLink::ThreadMain(LPVOID self) {
    return static_cast<SenderLink*>(self)->Run();
}

DWORD SenderLink::Run() {
    threadRunning = true;
    bool stalled = false;
    while (!stopRequested) {
        if (dataSignal)
            WaitForSingleObject(dataSignal, stalled ? kStallRetryMs : kIdleWaitMs);
        else
            Sleep(10); // without an event, poll the queue
        stalled = DrainUntilIdle();
    }
    threadRunning = false;
    return 0;
}

// Drains while blocks keep coming, so that a busy producer need not signal each one: after
// the queue runs dry the thread lingers for a few time slices before it blocks again. The
// pending flag is cleared only then, and the queue is looked at once more, so a block
// queued in between is either seen here or signals anew. A drain that stalled (a write
// error) returns true instead of spinning, and the thread tries again after a short wait;
// one that merely found the queue empty looks again, since a producer that came before the
// flag was cleared did not signal.
bool SenderLink::DrainUntilIdle() {
    if (!stream)
        return false;
    for (;;) {
        bool stalled = false;
        uint32_t written = queue.Drain(*stream, &stalled);
        if (written > 0 && LingerForData())
            continue;
        signalPending.exchange(false); // an RMW: it sees the bytes of any producer it follows
        if (stalled)
            return true;
        if (queue.IsEmpty() || stopRequested)
            return false;
    }
}

bool SenderLink::LingerForData() {
    for (int i = 0; i < kLingerYields && !stopRequested; ++i) {
        if (!queue.IsEmpty())
            return true;
        Sleep(0);
    }
    return false;
}

int32_t SenderLink::Enqueue(const uint8_t* data, uint32_t length) {
    int32_t result = queue.Enqueue(data, length);
    // While the thread is draining it will see this block without a signal; SetEvent is a
    // kernel call.
    if (result >= 0 && dataSignal && !signalPending.exchange(true))
        SetEvent(dataSignal);
    return result;
}

bool SenderLink::WaitForRoom(uint32_t length) {
    if (length >= SendQueue::kCapacity)
        return false; // would never fit
    for (int i = 0; i < kRoomChecks; ++i) {
        if (queue.FreeSpace() >= length)
            return true;
        Sleep(0);
    }
    return false;
}

// Waits on the thread itself, not on threadRunning: a thread that has not started yet has
// not set the flag, and the link must outlive it either way.
void SenderLink::Stop() {
    stopRequested = true;
    if (dataSignal)
        SetEvent(dataSignal);
    if (thread) {
        if (WaitForSingleObject(thread, kStopGraceMs) != WAIT_OBJECT_0) {
            // Blocked in a write that cannot complete (CTS never asserted, say).
            terminated = threadCalls.terminate(thread, 0) != 0;
            if (WaitForSingleObject(thread, kStopGraceMs) != WAIT_OBJECT_0) {
                // Not ended, or its write not cancelled: the GUI thread must not hang on
                // it, and what it may still touch stays until the process ends.
                abandoned = true;
                thread = nullptr;
                dataSignal = nullptr;
                stream.release();
            }
        }
        if (thread) {
            CloseHandle(thread);
            thread = nullptr;
        }
    }
    if (dataSignal) {
        CloseHandle(dataSignal);
        dataSignal = nullptr;
    }
    stream.reset();
}

int32_t SendFrameBlock(SenderLink* link, const std::vector<uint8_t>& block) {
    if (!link || block.empty())
        return 0;
    const uint32_t length = static_cast<uint32_t>(block.size());
    link->WaitForRoom(length);
    return link->Enqueue(block.data(), length);
}

int32_t SendChangedTiles(SenderLink* link, const std::vector<uint8_t>& block) {
    if (!link)
        return 0;
    return QueueChangedTiles(link->tiles, block, [link](const std::vector<uint8_t>& changed) {
        return SendFrameBlock(link, changed);
    });
}
