// SenderLink: one display's queue and the sender thread that writes it to the port.
// Windows only.
//
// The frame loop (producer) hands whole frame blocks to the queue and never waits for the
// serial line beyond a short bounded wait for room; the link's thread (consumer) wakes on
// an event, drains the queue through the stream and sleeps again.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

#include "app/link/SendQueue.h"
#include "app/link/TileMemory.h"
#include "multio/Stream.h"

class CriticalSectionLock : public IndexLock {
public:
    // Held for a few loads only: spin rather than sleep in the kernel when contended.
    CriticalSectionLock() { InitializeCriticalSectionAndSpinCount(&section, 4000); }
    ~CriticalSectionLock() override { DeleteCriticalSection(&section); }
    void Enter() override { EnterCriticalSection(&section); }
    void Leave() override { LeaveCriticalSection(&section); }

private:
    CRITICAL_SECTION section;
};

class SenderLink {
public:
    // Opens the port as a SioIF; the link exists whether or not the port opened.
    SenderLink(const char* portPath, int32_t baudRate, bool ctsFlow);
    // Sends through any stream, which the link then owns.
    explicit SenderLink(std::unique_ptr<multio::Stream> stream);
    ~SenderLink();
    SenderLink(const SenderLink&) = delete;
    SenderLink& operator=(const SenderLink&) = delete;

    // Producer: queues the whole block and wakes the thread, or refuses it (-1).
    int32_t Enqueue(const uint8_t* data, uint32_t length);
    // Producer: up to 2000 yields while the queue has less room than `length`.
    bool WaitForRoom(uint32_t length);
    uint32_t FreeSpace() { return queue.FreeSpace(); }

    // Ends the thread (terminating it when it does not end within a second) and releases
    // the stream, the event and the thread. A thread still there a second after that keeps
    // its handle, the event and the stream to the end of the process. Safe to call more
    // than once.
    void Stop();

    // Also true when the thread could not be created: such a link would never send, and
    // the frame loop's failure poll restarts the links.
    bool IsStreamFailed() { return !thread || !stream || stream->IsFailed(); }
    multio::Stream* Stream() { return stream.get(); }
    // Whether Stop had to terminate the thread.
    bool WasTerminated() const { return terminated; }
    // Whether Stop left a thread that would not end; the link itself must then be kept.
    bool WasAbandoned() const { return abandoned; }

    // The thread calls, which a test replaces to make creating or ending the thread fail.
    struct ThreadCalls {
        decltype(&CreateThread) create;
        decltype(&TerminateThread) terminate;
    };
    static ThreadCalls threadCalls;

    // Packing parameters, set by link start and the main window.
    RECT window{0, 0, 128, 64};
    bool invert = false;
    int32_t rotate = 0;
    // The tiles queued so far; empty for a new link, so its first picture goes out whole.
    TileMemory tiles;

private:
    static DWORD WINAPI ThreadMain(LPVOID self);
    DWORD Run();
    bool DrainUntilIdle(); // true when it stopped on a stalled write
    bool LingerForData();
    void StartThread();

    std::unique_ptr<multio::Stream> stream;
    CriticalSectionLock lock;
    SendQueue queue{lock};
    std::atomic<bool> threadRunning{false};
    std::atomic<bool> stopRequested{false};
    std::atomic<bool> signalPending{false}; // a signal is on its way or the thread is draining
    HANDLE dataSignal = nullptr;
    HANDLE thread = nullptr;
    DWORD threadId = 0;
    bool terminated = false;
    bool abandoned = false;
};

// Hands one packed frame block to a link: waits briefly for room, then queues it whole or
// drops it. Does nothing for a null link or an empty block. Returns the queue's answer.
int32_t SendFrameBlock(SenderLink* link, const std::vector<uint8_t>& block);
// The same for only the tile records of `block` that change what the link queued before
// (QueueChangedTiles).
int32_t SendChangedTiles(SenderLink* link, const std::vector<uint8_t>& block);
