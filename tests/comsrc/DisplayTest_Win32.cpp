#include "comsrc/HDCAcquirer_Win32.h"
#include "comsrc/QPClock_Win32.h"

#include <gtest/gtest.h>

TEST(HDCAcquirer, OpensTheDisplayAndRecoversAfterABadName) {
    HDCAcquirer whole(nullptr);
    EXPECT_EQ(nullptr, whole.GetHDC());
    EXPECT_EQ(0, whole.Close()); // closing a closed acquirer is fine
    ASSERT_EQ(0, whole.Open());
    HDC first = whole.GetHDC();
    ASSERT_NE(nullptr, first);
    EXPECT_GT(GetDeviceCaps(first, HORZRES), 0);
    ASSERT_EQ(0, whole.Open()); // reopening replaces the context
    EXPECT_NE(nullptr, whole.GetHDC());
    EXPECT_EQ(nullptr, whole.GetHandle());
    EXPECT_EQ(0, whole.Close());
    EXPECT_EQ(nullptr, whole.GetHDC());

    HDCAcquirer missing("\\\\.\\DISPLAY77");
    EXPECT_EQ(-1, missing.Open());
    EXPECT_EQ(nullptr, missing.GetHDC());

    // The rectangle is the creator's to write.
    RECT* rect = whole.GetRect();
    *rect = RECT{0, 0, 640, 480};
    EXPECT_EQ(640, whole.GetRect()->right);
}

TEST(HDCAcquirer, NamedPrimaryDisplayOpens) {
    DISPLAY_DEVICEA device{};
    device.cb = sizeof(device);
    ASSERT_TRUE(EnumDisplayDevicesA(nullptr, 0, &device, 0));
    HDCAcquirer named(device.DeviceName);
    EXPECT_EQ(0, named.Open());
    EXPECT_NE(nullptr, named.GetHDC());
}

TEST(QPClock, MillisecondsFromTheCounter) {
    LARGE_INTEGER frequency;
    ASSERT_TRUE(QueryPerformanceFrequency(&frequency));
    comsrc::QPClock clock(1000.0);
    EXPECT_EQ(frequency.QuadPart, clock.frequency());
    EXPECT_DOUBLE_EQ(static_cast<double>(frequency.QuadPart) / 1000.0, clock.ticksPerUnit());
    EXPECT_DOUBLE_EQ(1000.0, clock.unitsPerSecond());

    const uint32_t before = clock.Now();
    Sleep(50);
    const uint32_t elapsed = clock.Now() - before;
    EXPECT_GE(elapsed, 40u);
    EXPECT_LT(elapsed, 5000u);

    comsrc::QPClock unitless(0.0); // no unit: readings stay 0 rather than dividing by zero
    EXPECT_EQ(0u, unitless.Now());
}
