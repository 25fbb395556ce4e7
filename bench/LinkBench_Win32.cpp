// Sender link benchmarks, under Wine over a pty pair (run through bench/link.sh):
//  1. sustained throughput of SenderLink + SioIF with 1088-byte blocks, against plain
//     WriteFile calls of the same bytes on the same port. A pty costs CPU to relay, so on a
//     busy machine this also measures the producer's spin-wait competing for it;
//  2. the same on a modelled serial line whose writes take line time but no CPU: does the
//     link keep the line busy?
//  3. the producer's cost per SendFrameBlock of a 1088-byte block when the queue has room,
//     against copying the block once.

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "app/link/SenderLink.h"
#include "app/link/TileRecord.h"

namespace {

constexpr size_t kBlock = wire::kFullBlockSize;
constexpr int kBlocks = 3000; // about 3.3 MB a run
constexpr int kRounds = 5;

double Seconds(LARGE_INTEGER from, LARGE_INTEGER to) {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(f.QuadPart);
}

LARGE_INTEGER Now() {
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return t;
}

double PlainWriteFile(const std::vector<uint8_t>& block) {
    HANDLE port =
        CreateFileA("COM3", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (port == INVALID_HANDLE_VALUE)
        return -1;
    LARGE_INTEGER t0 = Now();
    for (int i = 0; i < kBlocks; ++i) {
        DWORD put = 0;
        for (DWORD at = 0; at < kBlock; at += put)
            if (!WriteFile(port, block.data() + at, static_cast<DWORD>(kBlock - at), &put, nullptr))
                return -1;
    }
    LARGE_INTEGER t1 = Now();
    CloseHandle(port);
    return Seconds(t0, t1);
}

// Every block is sent (the producer retries a refused one); the run ends when the thread's
// last write has returned.
double ThroughLink(const std::vector<uint8_t>& block) {
    SenderLink link("COM3", 500000, false);
    if (link.IsStreamFailed())
        return -1;
    LARGE_INTEGER t0 = Now();
    for (int i = 0; i < kBlocks; ++i)
        while (SendFrameBlock(&link, block) < 0) {
        }
    while (link.FreeSpace() < SendQueue::kCapacity - 1)
        Sleep(0);
    LARGE_INTEGER t1 = Now();
    link.Stop();
    return Seconds(t0, t1);
}

void Throughput() {
    std::vector<uint8_t> block(kBlock);
    for (size_t i = 0; i < kBlock; ++i)
        block[i] = static_cast<uint8_t>(i * 31);
    std::vector<double> plain, linked;
    for (int r = 0; r < kRounds; ++r) { // alternate, so drift hits both alike
        plain.push_back(PlainWriteFile(block));
        linked.push_back(ThroughLink(block));
    }
    std::sort(plain.begin(), plain.end());
    std::sort(linked.begin(), linked.end());
    double bytes = static_cast<double>(kBlocks) * kBlock;
    double p = plain[kRounds / 2], l = linked[kRounds / 2];
    printf("throughput, %d blocks of %zu bytes, median of %d:\n", kBlocks, kBlock, kRounds);
    printf("  plain WriteFile      %8.2f MB/s\n", bytes / p / 1e6);
    printf("  SenderLink + SioIF   %8.2f MB/s\n", bytes / l / 1e6);
    printf("  ratio link/plain     %8.3f (target >= 0.95)\n", p / l);
}

// A serial line modelled in time only: a write returns once its bytes would have left the
// line at `baud` (10 bit times a byte), sleeping meanwhile as a real port's write does.
class ModelLine : public multio::Stream {
public:
    explicit ModelLine(double baud) : secondsPerByte(10.0 / baud) { freeAt = Now(); }
    int32_t Write(const void*, int32_t length, uint32_t) override {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        LARGE_INTEGER now = Now();
        if (freeAt.QuadPart < now.QuadPart)
            freeAt = now; // the line was idle
        freeAt.QuadPart += static_cast<LONGLONG>(length * secondsPerByte * f.QuadPart);
        while (Now().QuadPart < freeAt.QuadPart)
            Sleep(1);
        return length;
    }

private:
    double secondsPerByte;
    LARGE_INTEGER freeAt;
};

// The same blocks on the modelled line: written directly, one call per block, against
// through a link whose producer keeps the queue topped up.
void LineUtilisation() {
    const double baud = 2000000;
    const int blocks = 400; // about 2.2 s a run
    std::vector<uint8_t> block(kBlock, 0x33);
    LARGE_INTEGER t0 = Now();
    ModelLine direct(baud);
    for (int i = 0; i < blocks; ++i)
        direct.Write(block.data(), static_cast<int32_t>(kBlock), 0);
    double plain = Seconds(t0, Now());
    SenderLink link{std::unique_ptr<multio::Stream>(new ModelLine(baud))};
    t0 = Now();
    for (int i = 0; i < blocks; ++i)
        while (link.Enqueue(block.data(), static_cast<uint32_t>(kBlock)) < 0)
            Sleep(1); // the line is slow: no need to spin
    while (link.FreeSpace() < SendQueue::kCapacity - 1)
        Sleep(1);
    double linked = Seconds(t0, Now());
    link.Stop();
    printf("modelled serial line at %.0f baud, %d blocks:\n", baud, blocks);
    printf("  direct writes %.3f s, through the link %.3f s, ratio %.3f (target >= 0.95)\n", plain,
           linked, plain / linked);
}

// A slow line: each write blocks for a millisecond, as a serial write does.
class SlowStream : public multio::Stream {
public:
    int32_t Write(const void*, int32_t length, uint32_t) override {
        Sleep(1);
        return length;
    }
};

// Untimed preparation before each measured call: room in the queue, and optionally a
// pause long enough for the sender thread to fall asleep on its event.
template <typename Call> double MeanMicros(SenderLink* link, int calls, DWORD pauseMs, Call call) {
    double total = 0;
    for (int i = 0; i < calls; ++i) {
        if (link)
            while (link->FreeSpace() < kBlock)
                Sleep(0);
        if (pauseMs)
            Sleep(pauseMs);
        LARGE_INTEGER t0 = Now();
        call();
        total += Seconds(t0, Now());
    }
    return total / calls * 1e6;
}

void ProducerCost() {
    std::vector<uint8_t> block(kBlock, 0x5A);
    static uint8_t ring[4096];
    const int calls = 5000;
    double copy = MeanMicros(nullptr, calls, 0, [&] {
        memcpy(ring + (reinterpret_cast<uintptr_t>(&block) & 7), block.data(), kBlock);
    });
    // The thread busy writing (as on a serial line): no wake-up needed.
    SenderLink busy{std::unique_ptr<multio::Stream>(new SlowStream)};
    double whileBusy = MeanMicros(&busy, calls, 0, [&] { SendFrameBlock(&busy, block); });
    busy.Stop();
    // Back to back on a fast line: the thread lingers for the next block.
    SenderLink fast{std::unique_ptr<multio::Stream>(new multio::Stream)};
    double backToBack = MeanMicros(&fast, calls, 0, [&] { SendFrameBlock(&fast, block); });
    fast.Stop();
    // The thread asleep on its event: each call wakes it with SetEvent.
    SenderLink idle{std::unique_ptr<multio::Stream>(new multio::Stream)};
    double whileIdle = MeanMicros(&idle, 300, 3, [&] { SendFrameBlock(&idle, block); });
    idle.Stop();
    printf("producer cost per SendFrameBlock of %zu bytes, queue with room:\n", kBlock);
    printf("  one memcpy of the block        %8.3f us\n", copy);
    printf("  sender thread busy writing     %8.3f us (ratio to memcpy %.1f; target <= 2 us)\n",
           whileBusy, whileBusy / copy);
    printf("  back to back, fast line        %8.3f us (ratio to memcpy %.1f; target <= 2 us)\n",
           backToBack, backToBack / copy);
    printf("  sender thread asleep (wake-up) %8.3f us (ratio to memcpy %.1f)\n", whileIdle,
           whileIdle / copy);
}

} // namespace

int main() {
    if (!getenv("MIRVISTA_PORTS")) {
        printf("skipped: needs the pty pair of bench/link.sh\n");
        return 0;
    }
    Throughput();
    LineUtilisation();
    ProducerCost();
    return 0;
}
