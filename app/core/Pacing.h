#pragma once
// The frame loop's timing decisions, as pure functions of the tick and the flags, so they can
// be checked without a clock. A tick is 10 ms; ticks wrap around as unsigned 32-bit values,
// so every comparison is made on the elapsed difference.

#include <cstdint>

constexpr uint32_t kPeriodicTicks = 100; // once a second
constexpr uint32_t kFrameTicks = 3;      // at most one frame every 30 ms
constexpr uint32_t kIdleWaitMs = 10;     // the turn length while not running

enum class FrameStep {
    Convert, // convert a frame now
    Wait,    // running, the next frame not yet due: wait for it (or a message)
    Idle,    // not running: wait 10 ms (or for a message)
};

// A counter reading as its tick and the part of that tick already gone (0 <= fraction < 1).
struct TickReading {
    uint32_t tick;
    double fraction;
};

// The tick for a performance-counter reading; 0 when the counter gives no usable divisor.
uint32_t tickFromCounter(int64_t counter, double divisor);

// The same reading with the fraction of the tick; fraction 0 when the tick is 0 for want of
// a usable divisor.
TickReading readingFromCounter(int64_t counter, double divisor);

// Whether the once-a-second work is due.
bool periodicDue(uint32_t now, uint32_t lastPeriodicTick);

// What the loop does about frames on this turn.
FrameStep frameStep(uint32_t now, uint32_t lastFrameTick, bool anyActive, bool linksUp,
                    bool captureReady);

// Milliseconds from `now` until tick `due` begins, rounded up so that a wait of that long
// never ends before it; 0 once it has begun (a tick up to 2^31 behind counts as begun).
uint32_t msUntilTick(const TickReading& now, uint32_t due);

// How long a turn that did not convert may wait for a message: until the next frame is due
// while running, 10 ms otherwise, and never past the once-a-second work. 0 for Convert.
uint32_t turnWaitMs(FrameStep step, const TickReading& now, uint32_t lastFrameTick,
                    uint32_t lastPeriodicTick);
