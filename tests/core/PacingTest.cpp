#include "app/core/Pacing.h"

#include <gtest/gtest.h>

TEST(Pacing, PeriodicWorkOncePerHundredTicks) {
    EXPECT_FALSE(periodicDue(99, 0));
    EXPECT_TRUE(periodicDue(100, 0)); // first run at the first tick of at least 100
    EXPECT_TRUE(periodicDue(123456, 0));
    EXPECT_FALSE(periodicDue(1099, 1000));
    EXPECT_TRUE(periodicDue(1100, 1000));
    // Across the 32-bit wrap the elapsed time still counts, and nothing runs early.
    EXPECT_FALSE(periodicDue(50, 0xFFFFFFF0u));
    EXPECT_TRUE(periodicDue(84, 0xFFFFFFF0u));
    EXPECT_FALSE(periodicDue(0xFFFFFFF5u, 0xFFFFFFF0u));
}

TEST(Pacing, FramesEveryThirdTickOnlyWhileRunning) {
    EXPECT_EQ(FrameStep::Convert, frameStep(3, 0, true, true, true));
    EXPECT_EQ(FrameStep::Sleep2, frameStep(0, 0, true, true, true));
    EXPECT_EQ(FrameStep::Sleep2, frameStep(1, 0, true, true, true));
    EXPECT_EQ(FrameStep::NoSleep, frameStep(2, 0, true, true, true));
    EXPECT_EQ(FrameStep::Sleep10, frameStep(3, 0, false, true, true));
    EXPECT_EQ(FrameStep::Sleep10, frameStep(3, 0, true, false, true));
    EXPECT_EQ(FrameStep::Sleep10, frameStep(3, 0, true, true, false));
    // Wrap-around: two ticks after a frame just before the wrap is still mid-period.
    EXPECT_EQ(FrameStep::NoSleep, frameStep(0, 0xFFFFFFFEu, true, true, true));
    EXPECT_EQ(FrameStep::Convert, frameStep(1, 0xFFFFFFFEu, true, true, true));
}

TEST(Pacing, NoTwoFramesWithinThreeTicks) {
    uint32_t last = 0xFFFFFF00u;
    uint32_t previousFrame = last;
    int frames = 0;
    for (uint32_t now = 0xFFFFFF00u; now != 0x200u; ++now) {
        if (frameStep(now, last, true, true, true) == FrameStep::Convert) {
            if (frames++ > 0) {
                EXPECT_GE(now - previousFrame, 3u);
            }
            previousFrame = last = now;
        }
    }
    EXPECT_EQ((0x300 - 1) / 3, frames); // every third tick after the start
}

TEST(Pacing, TickFromCounter) {
    EXPECT_EQ(100u, tickFromCounter(1000000, 10000.0));
    EXPECT_EQ(0u, tickFromCounter(1000000, 0.0)); // no divisor: the tick stays 0
    EXPECT_EQ(0u, tickFromCounter(-5, 10000.0));
    // Past 2^32 ticks the value wraps rather than overflowing.
    EXPECT_EQ(5u, tickFromCounter((int64_t{1} << 32) * 10 + 50, 10.0));
}

#include "comsrc/ClockMath.h"

TEST(ClockMath, MillisecondClockFigures) {
    // With a thousandth of the frequency per unit, half a second of counts reads 500.
    const int64_t frequency = 10000000;
    EXPECT_EQ(500u, comsrc::countToUnits(frequency / 2, frequency / 1000.0));
    EXPECT_EQ(0u, comsrc::countToUnits(frequency, -1.0));
}
