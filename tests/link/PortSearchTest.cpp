#include "app/link/PortSearch.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace {

struct FakePorts {
    std::set<std::string> present;
    std::vector<std::string> tried;
};

bool TryPort(const char* path, void* context) {
    FakePorts* ports = static_cast<FakePorts*>(context);
    ports->tried.push_back(path);
    return ports->present.count(path) > 0;
}

std::string PathOf(int32_t n) {
    char buffer[64];
    EXPECT_TRUE(FormatPortPath(n, buffer, sizeof buffer));
    return buffer;
}

TEST(PortPath, BareNameUpToNineDevicePathAbove) {
    EXPECT_EQ(PathOf(1), "COM1");
    EXPECT_EQ(PathOf(9), "COM9");
    EXPECT_EQ(PathOf(10), "\\\\.\\COM10");
    EXPECT_EQ(PathOf(63), "\\\\.\\COM63");
    char tiny[5];
    EXPECT_FALSE(FormatPortPath(10, tiny, sizeof tiny));
}

TEST(PortSearch, OnlyComOneTriesEveryOtherFirst) {
    FakePorts ports{{"COM1"}, {}};
    EXPECT_EQ(SearchComPort(0, +1, TryPort, &ports), 1);
    ASSERT_EQ(ports.tried.size(), 63u);
    for (int32_t n = 2; n <= 63; ++n)
        EXPECT_EQ(ports.tried[n - 2], PathOf(n));
    EXPECT_EQ(ports.tried.back(), "COM1");
}

TEST(PortSearch, StepsBothWaysToTheNearestPort) {
    FakePorts ports{{"COM3", "COM7"}, {}};
    EXPECT_EQ(SearchComPort(5, +1, TryPort, &ports), 7);
    EXPECT_EQ(ports.tried, (std::vector<std::string>{"COM6", "COM7"}));
    ports.tried.clear();
    EXPECT_EQ(SearchComPort(5, -1, TryPort, &ports), 3);
    EXPECT_EQ(ports.tried, (std::vector<std::string>{"COM4", "COM3"}));
}

TEST(PortSearch, WrapsAroundTheRingThroughDevicePaths) {
    FakePorts ports{{}, {}};
    EXPECT_EQ(SearchComPort(63, +1, TryPort, &ports), -1);
    EXPECT_EQ(ports.tried.front(), "COM1");
    EXPECT_EQ(ports.tried.back(), "\\\\.\\COM63");
    ports.tried.clear();
    EXPECT_EQ(SearchComPort(1, -1, TryPort, &ports), -1);
    EXPECT_EQ(ports.tried.front(), "\\\\.\\COM63");
    EXPECT_EQ(ports.tried.back(), "COM1");
    EXPECT_EQ(ports.tried.size(), 63u);
}

TEST(PortSearch, CurrentPortIsTriedLast) {
    FakePorts ports{{"COM4"}, {}};
    EXPECT_EQ(SearchComPort(4, +1, TryPort, &ports), 4);
    EXPECT_EQ(ports.tried.size(), 63u);
    ports.present.clear(); // held by someone else
    EXPECT_EQ(SearchComPort(4, +1, TryPort, &ports), -1);
}

TEST(PortSearch, NumbersBeyondTheRingEndTheSearch) {
    FakePorts ports{{}, {}};
    EXPECT_EQ(SearchComPort(100, +1, TryPort, &ports), -1);
    EXPECT_EQ(ports.tried.size(), 63u);
    ports.tried.clear();
    EXPECT_EQ(SearchComPort(100, -1, TryPort, &ports), -1);
    EXPECT_EQ(ports.tried.size(), 63u);
    ports.present = {"COM2"};
    EXPECT_EQ(SearchComPort(100, -1, TryPort, &ports), 2);
    EXPECT_EQ(SearchComPort(INT32_MAX, +1, TryPort, &ports), 2); // no overflow on the way
}

} // namespace
