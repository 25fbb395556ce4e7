#include "app/core/Pacing.h"

#include <algorithm>
#include <cmath>

#include "comsrc/ClockMath.h"

namespace {

constexpr double kMsPerTick = 10.0;

} // namespace

uint32_t tickFromCounter(int64_t counter, double divisor) {
    return comsrc::countToUnits(counter, divisor);
}

TickReading readingFromCounter(int64_t counter, double divisor) {
    const uint32_t tick = tickFromCounter(counter, divisor);
    if (!(divisor > 0.0) || counter < 0) {
        return {tick, 0.0};
    }
    const double ticks = static_cast<double>(counter) / divisor;
    const double fraction = ticks - std::floor(ticks);
    return {tick, fraction >= 0.0 && fraction < 1.0 ? fraction : 0.0};
}

bool periodicDue(uint32_t now, uint32_t lastPeriodicTick) {
    return now - lastPeriodicTick >= kPeriodicTicks;
}

FrameStep frameStep(uint32_t now, uint32_t lastFrameTick, bool anyActive, bool linksUp,
                    bool captureReady) {
    if (!(anyActive && linksUp && captureReady))
        return FrameStep::Idle;
    return now - lastFrameTick >= kFrameTicks ? FrameStep::Convert : FrameStep::Wait;
}

uint32_t msUntilTick(const TickReading& now, uint32_t due) {
    const uint32_t ahead = due - now.tick;
    if (ahead == 0 || ahead >= 0x80000000u)
        return 0;
    // The slack keeps rounding noise in the fraction from adding a whole millisecond.
    const double ms = (static_cast<double>(ahead) - now.fraction) * kMsPerTick - 1e-6;
    return static_cast<uint32_t>(std::ceil(std::max(ms, 0.0)));
}

uint32_t turnWaitMs(FrameStep step, const TickReading& now, uint32_t lastFrameTick,
                    uint32_t lastPeriodicTick) {
    const uint32_t periodic = msUntilTick(now, lastPeriodicTick + kPeriodicTicks);
    switch (step) {
    case FrameStep::Convert:
        return 0;
    case FrameStep::Wait:
        return std::min(msUntilTick(now, lastFrameTick + kFrameTicks), periodic);
    case FrameStep::Idle:
        break;
    }
    return std::min(kIdleWaitMs, periodic);
}
