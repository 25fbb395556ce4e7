#include "comsrc/ClockMath.h"

namespace comsrc {

uint32_t countToUnits(int64_t count, double countsPerUnit) {
    if (!(countsPerUnit > 0.0) || count < 0)
        return 0;
    const double units = static_cast<double>(count) / countsPerUnit;
    // Beyond 64 bits the conversion would be undefined; such a quotient means a bogus divisor.
    if (!(units < 18446744073709551616.0))
        return 0;
    return static_cast<uint32_t>(static_cast<uint64_t>(units));
}

} // namespace comsrc
