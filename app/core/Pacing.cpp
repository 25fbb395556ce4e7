#include "app/core/Pacing.h"

#include "comsrc/ClockMath.h"

uint32_t tickFromCounter(int64_t counter, double divisor) {
    return comsrc::countToUnits(counter, divisor);
}

bool periodicDue(uint32_t now, uint32_t lastPeriodicTick) {
    return now - lastPeriodicTick >= kPeriodicTicks;
}

FrameStep frameStep(uint32_t now, uint32_t lastFrameTick, bool anyActive, bool linksUp,
                    bool captureReady) {
    if (!(anyActive && linksUp && captureReady))
        return FrameStep::Sleep10;
    const uint32_t elapsed = now - lastFrameTick;
    if (elapsed >= kFrameTicks)
        return FrameStep::Convert;
    if (elapsed < 2)
        return FrameStep::Sleep2;
    return FrameStep::NoSleep;
}
