#include "comsrc/QPClock_Win32.h"

#include <windows.h>

#include "comsrc/ClockMath.h"

namespace comsrc {

QPClock::QPClock(double unitsPerSecond) {
    LARGE_INTEGER frequency;
    if (!QueryPerformanceFrequency(&frequency)) {
        frequency_ = 2147483647;
        return;
    }
    frequency_ = frequency.QuadPart;
    if (unitsPerSecond > 0.0) {
        unitsPerSecond_ = unitsPerSecond;
        const double perUnit = static_cast<double>(frequency_) / unitsPerSecond;
        if (perUnit > 0.0)
            ticksPerUnit_ = perUnit;
    }
}

uint32_t QPClock::Now() const {
    LARGE_INTEGER counter;
    if (!QueryPerformanceCounter(&counter))
        return 0;
    return countToUnits(counter.QuadPart, ticksPerUnit_);
}

} // namespace comsrc
