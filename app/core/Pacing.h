#pragma once
// The frame loop's timing decisions, as pure functions of the tick and the flags, so they can
// be checked without a clock. A tick is 10 ms; ticks wrap around as unsigned 32-bit values,
// so every comparison is made on the elapsed difference.

#include <cstdint>

constexpr uint32_t kPeriodicTicks = 100; // once a second
constexpr uint32_t kFrameTicks = 3;      // at most one frame every 30 ms

enum class FrameStep {
    Convert, // convert a frame now
    Sleep2,  // early in the frame period: sleep 2 ms
    NoSleep, // last tick of the period: turn again at once
    Sleep10, // not running: sleep 10 ms
};

// The tick for a performance-counter reading; 0 when the counter gives no usable divisor.
uint32_t tickFromCounter(int64_t counter, double divisor);

// Whether the once-a-second work is due.
bool periodicDue(uint32_t now, uint32_t lastPeriodicTick);

// What the loop does about frames on this turn.
FrameStep frameStep(uint32_t now, uint32_t lastFrameTick, bool anyActive, bool linksUp,
                    bool captureReady);
