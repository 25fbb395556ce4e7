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
    EXPECT_EQ(FrameStep::Wait, frameStep(0, 0, true, true, true));
    EXPECT_EQ(FrameStep::Wait, frameStep(2, 0, true, true, true));
    EXPECT_EQ(FrameStep::Idle, frameStep(3, 0, false, true, true));
    EXPECT_EQ(FrameStep::Idle, frameStep(3, 0, true, false, true));
    EXPECT_EQ(FrameStep::Idle, frameStep(3, 0, true, true, false));
    // Wrap-around: two ticks after a frame just before the wrap is still mid-period.
    EXPECT_EQ(FrameStep::Wait, frameStep(0, 0xFFFFFFFEu, true, true, true));
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

// The loop waits until the frame's tick begins, never less, and wakes for the once-a-second
// work; while not running it waits 10 ms.
TEST(Pacing, WaitsUntilTheNextFrameIsDue) {
    const TickReading early{1000, 0.25};
    EXPECT_EQ(28u, turnWaitMs(FrameStep::Wait, early, 1000, 1000)); // 2.75 ticks, rounded up
    EXPECT_EQ(1u, turnWaitMs(FrameStep::Wait, TickReading{1002, 0.95}, 1000, 1000));
    EXPECT_EQ(0u, turnWaitMs(FrameStep::Convert, early, 997, 1000));
    EXPECT_EQ(8u, turnWaitMs(FrameStep::Wait, TickReading{1099, 0.2}, 1098, 1000));
    EXPECT_EQ(10u, turnWaitMs(FrameStep::Idle, early, 0, 1000));
    EXPECT_EQ(3u, turnWaitMs(FrameStep::Idle, TickReading{1099, 0.7}, 0, 1000));
    // Across the wrap the frame is due at tick 1, 1.5 ticks ahead.
    EXPECT_EQ(15u,
              turnWaitMs(FrameStep::Wait, TickReading{0xFFFFFFFFu, 0.5}, 0xFFFFFFFEu, 0xFFFFFFFEu));
    // A due tick already begun, even long ago, means no wait.
    EXPECT_EQ(0u, msUntilTick(TickReading{5, 0.5}, 5));
    EXPECT_EQ(0u, msUntilTick(TickReading{5, 0.5}, 0xFFFFFFF0u));
}

// Waiting the computed time and reading the tick again always lands at or after the frame's
// tick, whatever the phase: the loop turns once per wait instead of spinning.
TEST(Pacing, AWaitEndsAtTheDueTick) {
    const double divisor = 7.0; // counts per tick; a count is 10/7 ms
    for (int64_t last = 0xFFFFFFF0LL * 7; last < 0x100000010LL * 7; ++last) {
        const uint32_t lastTick = tickFromCounter(last, divisor);
        int64_t counter = last;
        int turns = 0;
        for (;;) {
            const TickReading now = readingFromCounter(counter, divisor);
            ASSERT_EQ(now.tick, tickFromCounter(counter, divisor));
            const FrameStep step = frameStep(now.tick, lastTick, true, true, true);
            if (step == FrameStep::Convert)
                break;
            const uint32_t ms = turnWaitMs(step, now, lastTick, lastTick);
            ASSERT_GT(ms, 0u);
            counter += (ms * 7 + 9) / 10; // the first count at or after ms
            ASSERT_LE(++turns, 1) << "counter " << last;
        }
        const int64_t due = (last / 7 + 3) * 7; // the first count of the frame's tick
        EXPECT_GE(counter, due);
        EXPECT_LE(counter - due, 1) << "woke more than a millisecond late"; // 1 ms = 0.7 counts
    }
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
