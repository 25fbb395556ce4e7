#include "tools/mirtool/mirror/PortLink_Posix.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/stat.h>
#include <unistd.h>

#include "multio/Stream.h"
#include "tools/mirtool/SerialPort_Posix.h"

namespace mirtool {

namespace {

constexpr int kRetryMs = 1000;     // a gone device is tried again this often
constexpr int kPathCheckMs = 1000; // and an open one's path looked at
constexpr int kErrorRetryMs = 100; // after a write error that leaves the device there

// The device as the queue's stream. Writes never block: a full line makes no progress
// (0), and the thread then waits in poll for room.
class DeviceStream : public multio::Stream {
public:
    explicit DeviceStream(int fd) : fd(fd) {}
    int32_t Write(const void* buffer, int32_t length, uint32_t) override {
        ssize_t n;
        do {
            n = write(fd, buffer, static_cast<size_t>(length));
        } while (n < 0 && errno == EINTR);
        if (n >= 0)
            return static_cast<int32_t>(n);
        if (errno == EAGAIN || errno == EWOULDBLOCK)
            return 0;
        error = errno;
        return multio::kStreamFailed;
    }
    int error = 0;

private:
    int fd;
};

int64_t MonotonicMs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return int64_t{now.tv_sec} * 1000 + now.tv_nsec / 1000000;
}

} // namespace

PortLink::PortLink(const MirrorPort& port, int notifyFd) : port(port), notifyFd(notifyFd) {}

PortLink::~PortLink() {
    Stop();
}

void PortLink::Wake(int target) {
    const uint64_t one = 1;
    // An eventfd only fails to count when its counter is about to overflow: it is awake.
    if (target >= 0 && write(target, &one, sizeof one) < 0 && errno != EAGAIN)
        perror("mirtool mirror: wake-up");
}

void PortLink::SetState(State next, const std::string& line) {
    const State was = static_cast<State>(state.exchange(static_cast<int>(next)));
    if (was == next)
        return;
    fprintf(stderr, "mirtool mirror: display %d (%s): %s\n", port.display, port.device.c_str(),
            line.c_str());
    Wake(notifyFd);
}

// The first open happens here, so that a device that can never work stops the command.
int32_t PortLink::Start(std::string& error) {
    wakeFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (wakeFd < 0) {
        const int code = errno;
        error = std::string("eventfd: ") + strerror(code);
        return -code;
    }
    const int opened = Open(error);
    if (opened < 0 && !IsDeviceGone(-opened))
        return opened;
    if (opened < 0)
        SetState(State::Gone,
                 std::string("cannot open: ") + strerror(-opened) + "; trying again once a second");
    const int code = pthread_create(&thread, nullptr, &PortLink::ThreadMain, this);
    if (code != 0) {
        error = port.device + ": cannot start its writer: " + strerror(code);
        return -code;
    }
    threadStarted = true;
    return 0;
}

void PortLink::Stop() {
    stopRequested = true;
    Wake(wakeFd);
    if (threadStarted)
        pthread_join(thread, nullptr);
    threadStarted = false;
    for (int* owned : {&fd, &wakeFd}) {
        if (*owned >= 0)
            close(*owned);
        *owned = -1;
    }
}

PanelPort::Status PortLink::GetStatus() {
    // The state first: a port seen open has its new generation already counted.
    const bool open = state.load() == static_cast<int>(State::Open);
    return Status{open, generation.load(), bytesSent.load()};
}

int32_t PortLink::Send(const std::vector<uint8_t>& block) {
    const int32_t result = queue.Enqueue(block.data(), static_cast<uint32_t>(block.size()));
    if (result >= 0)
        Wake(wakeFd);
    return result;
}

void* PortLink::ThreadMain(void* self) {
    static_cast<PortLink*>(self)->Run();
    return nullptr;
}

// Opens the device without blocking writes. Blocks still queued were meant for the device
// as it was: they go, and the loop sends a whole picture for the new generation.
int PortLink::Open(std::string& error) {
    lastOpenTryMs = MonotonicMs();
    const int opened = OpenSerial(port.device, SerialLine{port.speed, port.cts, false}, error);
    if (opened < 0)
        return opened;
    struct stat info {};
    device = fstat(opened, &info) == 0 && S_ISCHR(info.st_mode) ? info.st_rdev : 0;
    multio::Stream discard; // counts what it is given and keeps nothing
    queue.Drain(discard);
    fd = opened;
    stalled = false;
    lastPathCheckMs = lastOpenTryMs;
    const bool again = generation.fetch_add(1) > 0;
    SetState(State::Open, again ? "back again"
                                : "opened at " + std::to_string(port.speed) + " baud, CTS " +
                                      (port.cts ? "on" : "off"));
    return opened;
}

void PortLink::Lose(const std::string& why) {
    close(fd);
    fd = -1;
    lastOpenTryMs = MonotonicMs(); // the first try comes a second later
    SetState(State::Gone, "unplugged (" + why + "); trying again once a second");
}

void PortLink::CheckPath() {
    lastPathCheckMs = MonotonicMs();
    struct stat info {};
    if (stat(port.device.c_str(), &info) != 0) {
        if (IsDeviceGone(errno))
            Lose("the path is gone");
    } else if (device != 0 && (!S_ISCHR(info.st_mode) || info.st_rdev != device)) {
        Lose("the path names another device now");
    }
}

// Milliseconds until `last` + `period`, within 0..period.
int PortLink::Until(int64_t last, int period) {
    const int64_t left = last + period - MonotonicMs();
    return static_cast<int>(std::clamp<int64_t>(left, 0, period));
}

// Sleeps until a block or Stop arrives, the line has room again, the device hangs up, or
// the time for the next open, retry or path check has come.
void PortLink::WaitForWork(int writeError) {
    int timeout = Until(lastOpenTryMs, kRetryMs);
    if (fd >= 0)
        timeout = std::min(Until(lastPathCheckMs, kPathCheckMs),
                           writeError ? kErrorRetryMs : kPathCheckMs);
    const short events = stalled && writeError == 0 ? POLLOUT : 0;
    pollfd fds[2] = {{wakeFd, POLLIN, 0}, {fd, events, 0}};
    const int ready = poll(fds, fd >= 0 ? 2 : 1, timeout);
    uint64_t count;
    if (ready > 0 && (fds[0].revents & POLLIN) && read(wakeFd, &count, sizeof count) < 0 &&
        errno != EAGAIN)
        perror("mirtool mirror: wake-up");
    if (fd >= 0 && (fds[1].revents & (POLLHUP | POLLERR | POLLNVAL)))
        Lose("hang-up");
    else if (fd >= 0 && Until(lastPathCheckMs, kPathCheckMs) == 0)
        CheckPath();
}

void PortLink::Run() {
    while (!stopRequested) {
        if (fd < 0 && Until(lastOpenTryMs, kRetryMs) == 0) {
            std::string error;
            Open(error);
        }
        if (fd < 0) {
            WaitForWork(0);
            continue;
        }
        DeviceStream stream(fd);
        bytesSent += queue.Drain(stream, &stalled);
        if (stream.error != 0 && IsDeviceGone(stream.error)) {
            Lose(strerror(stream.error));
            continue;
        }
        WaitForWork(stream.error);
    }
}

} // namespace mirtool
