#pragma once
// A clock over the Windows performance counter, in a chosen unit (milliseconds everywhere in
// this program).

#include <cstdint>

namespace comsrc {

class QPClock {
public:
    explicit QPClock(double unitsPerSecond);
    virtual ~QPClock() = default;

    // The current reading in units; wraps at 32 bits, so compare readings as unsigned.
    // 0 when the counter cannot be read.
    uint32_t Now() const;

    int64_t frequency() const { return frequency_; }
    double ticksPerUnit() const { return ticksPerUnit_; }
    double unitsPerSecond() const { return unitsPerSecond_; }

private:
    int64_t frequency_ = 0;
    double ticksPerUnit_ = 0.0; // 0 until the frequency gives a usable value: Now then reads 0
    double unitsPerSecond_ = 0.0;
};

} // namespace comsrc
