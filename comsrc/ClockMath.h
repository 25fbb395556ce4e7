#pragma once
// Turning performance-counter readings into clock units, shared by the frame loop's tick
// and the capture clocks.

#include <cstdint>

namespace comsrc {

// count / countsPerUnit, truncated toward zero through 64 bits and wrapped to 32 bits, as
// callers compare readings as unsigned numbers. 0 when there is no usable divisor or the
// reading is negative.
uint32_t countToUnits(int64_t count, double countsPerUnit);

} // namespace comsrc
