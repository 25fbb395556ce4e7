// A display's port on Linux: the bounded queue of mirpanel's links between the frame loop
// and a writer thread of its own. The loop never waits: a block is queued whole or refused.
// The thread writes without blocking (it waits in poll), so it can always be stopped; a
// device that goes away (EIO, ENXIO, ENODEV, a hang-up, or its path gone) is closed and
// tried again once a second, and every change of state is one line on stderr and a wake-up
// of the loop.
#pragma once

#include <pthread.h>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <sys/types.h>
#include <vector>

#include "app/link/SendQueue.h"
#include "tools/mirtool/mirror/MirrorLoop.h"
#include "tools/mirtool/mirror/MirrorSetup.h"

namespace mirtool {

class MutexLock : public IndexLock {
public:
    void Enter() override { mutex.lock(); }
    void Leave() override { mutex.unlock(); }

private:
    std::mutex mutex;
};

class PortLink : public PanelPort {
public:
    // `wakeFd` is written to (8 bytes, an eventfd's count) when the port's state changes.
    PortLink(const MirrorPort& port, int wakeFd);
    ~PortLink() override;
    PortLink(const PortLink&) = delete;
    PortLink& operator=(const PortLink&) = delete;

    // Opens the port and starts the thread. A device that is gone is left to the thread's
    // retries; any other failure (not a serial port, no permission) ends here: negated
    // errno with `error` set.
    int32_t Start(std::string& error);
    // Ends the thread and closes the port; bytes still queued are dropped.
    void Stop();

    Status GetStatus() override;
    int32_t Send(const std::vector<uint8_t>& block) override;

private:
    enum class State { Closed, Open, Gone };

    static void* ThreadMain(void* self);
    static int Until(int64_t last, int period);
    void Run();
    // The descriptor, or the negated errno with `error` set.
    int Open(std::string& error);
    void Lose(const std::string& why);
    void WaitForWork(int writeError);
    void CheckPath();
    void SetState(State next, const std::string& line);
    void Wake(int fd);

    MirrorPort port;
    int notifyFd;
    int wakeFd = -1; // this link's own eventfd: a block, or Stop
    int fd = -1;     // the device; only the thread touches it once started
    dev_t device = 0;
    bool stalled = false;      // the last drain stopped on a write that made no progress
    int64_t lastOpenTryMs = 0; // monotonic milliseconds
    int64_t lastPathCheckMs = 0;
    MutexLock lock;
    SendQueue queue{lock};
    pthread_t thread{};
    bool threadStarted = false;
    std::atomic<bool> stopRequested{false};
    std::atomic<int> state{static_cast<int>(State::Closed)};
    std::atomic<uint32_t> generation{0};
    std::atomic<uint64_t> bytesSent{0};
};

} // namespace mirtool
