#include <gtest/gtest.h>

#include "app/link/Links_Win32.h"

// Ports: only COM3 and COM7 open; every other number up to 63 is mapped to something that
// does not open.
namespace {

TEST(FindComPort, StepsToTheNearestPortThatOpens) {
    EXPECT_EQ(FindComPort(5, +1), 7);
    EXPECT_EQ(FindComPort(5, -1), 3);
    EXPECT_EQ(FindComPort(3, +1), 7);
    EXPECT_EQ(FindComPort(7, -1), 3);
    EXPECT_EQ(FindComPort(0, +1), 3);
    EXPECT_EQ(FindComPort(-5, -1), 7); // below 1 counts as 1
}

TEST(FindComPort, WrapsThroughTheDevicePathsAboveNine) {
    EXPECT_EQ(FindComPort(7, +1), 3);  // 8, 9, \\.\COM10 .. \\.\COM63, 1, 2, 3
    EXPECT_EQ(FindComPort(63, +1), 3); // COM1 next
    EXPECT_EQ(FindComPort(1, -1), 7);  // \\.\COM63 next, down to 7
    EXPECT_EQ(FindComPort(3, -1), 7);  // 2, 1, 63 .. 8, 7
    EXPECT_EQ(FindComPort(40, +1), 3);
    EXPECT_EQ(FindComPort(40, -1), 7);
}

TEST(FindComPort, NumbersBeyondTheRingStillFindAPort) {
    EXPECT_EQ(FindComPort(100, +1), 3);
    EXPECT_EQ(FindComPort(100, -1), 7);
}

} // namespace
