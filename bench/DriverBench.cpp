// What change tracking adds to a hooked drawing call of the mirror driver, per call, against
// the same call with tracking off measured in the same run:
// - DrvLineTo, whose engine call (the stand-in's) draws nothing: the bare cost of recording;
// - DrvBitBlt filling 16 x 16 pixels: a small but real drawing call;
// each with the queue drained every 64 calls (as mirpanel drains it) and with the queue full,
// where every record pushes out the oldest. The variants take turns, round after round, and
// each reports its fastest round, so that other load on the machine weighs least.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <vector>

#include "StandIn.h"
#include "driver/MirvanePrivate.h"

namespace {

constexpr int kCalls = 1 << 18, kRounds = 9;

using LineToFn = BOOL(APIENTRY*)(SURFOBJ*, CLIPOBJ*, BRUSHOBJ*, LONG, LONG, LONG, LONG, RECTL*,
                                 MIX);

double NanosecondsPerCall(const std::function<void(int)>& call) {
    for (int i = 0; i < 4096; ++i) {
        call(i); // warm up
    }
    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < kCalls; ++i) {
        call(i);
    }
    std::chrono::duration<double, std::nano> spent = std::chrono::steady_clock::now() - start;
    return spent.count() / kCalls;
}

void Report(const char* what, double ns, double baseline) {
    std::printf("%-46s %8.1f ns/call  %5.2f x off  (+%.1f ns)\n", what, ns, ns / baseline,
                ns - baseline);
}

} // namespace

int main() {
    StandInReset();
    StandInDevice dev;
    if (!StandInOpen(&dev, 1024, 768, 32, 60) || dev.surface == nullptr) {
        std::fprintf(stderr, "driver did not open\n");
        return 1;
    }
    auto* pdev = reinterpret_cast<MirvanePdev*>(dev.dhpdev);
    auto lineTo =
        reinterpret_cast<LineToFn>(reinterpret_cast<void*>(StandInFunction(&dev, INDEX_DrvLineTo)));
    std::vector<BYTE> buffer(MIRVANE_CHANGES_MIN_BUFFER);
    auto drain = [&](int i) {
        if (i % 64 == 63) {
            StandInEscape(&dev, USBED_ESC_GET_CHANGES, 0, nullptr, (ULONG)buffer.size(),
                          buffer.data());
        }
    };
    auto line = [&](int i) {
        RECTL r{i & 511, 0, (i & 511) + 8, 1};
        lineTo(dev.surface, nullptr, nullptr, r.left, 0, r.right, 0, &r, 0);
    };
    auto fill = [&](int i) {
        RECTL r{i & 511, i & 255, (i & 511) + 16, (i & 255) + 16};
        StandInFill(&dev, &r, (ULONG)i);
    };

    struct Case {
        const char* name;
        std::function<void(int)> call;
    };
    const Case cases[] = {{"DrvLineTo (engine draws nothing)", line},
                          {"DrvBitBlt, 16 x 16 solid fill", fill}};
    for (const Case& c : cases) {
        double off = 1e9, drained = 1e9, full = 1e9;
        for (int round = 0; round < kRounds; ++round) {
            pdev->trackingEnabled = 0;
            off = std::min(off, NanosecondsPerCall(c.call));
            pdev->trackingEnabled = 1;
            drained = std::min(drained, NanosecondsPerCall([&](int i) {
                                   c.call(i);
                                   drain(i);
                               }));
            full = std::min(full, NanosecondsPerCall(c.call));
            StandInEscape(&dev, USBED_ESC_FLUSH_CHANGES, 0, nullptr, 0, nullptr);
        }
        std::printf("%s\n  %-44s %8.1f ns/call\n", c.name, "tracking off (baseline)", off);
        Report("  tracking on, drained every 64 calls", drained, off);
        Report("  tracking on, queue full (oldest dropped)", full, off);
    }
    StandInClose(&dev);
    return 0;
}
