// The mirror display driver driven through its function table: natively with its sources
// linked in, and under Wine with the real mirvane.dll beside the stand-in win32k.sys.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "StandIn.h"
#include "driver/MirvanePrivate.h"

namespace {

class Driver : public ::testing::Test {
protected:
    void SetUp() override { StandInReset(); }
    void TearDown() override {
        StandInClose(&dev);
        StandInReset();
        EXPECT_EQ(StandInLiveObjects(), 0u);
    }
    MirvanePdev* Pdev() const { return reinterpret_cast<MirvanePdev*>(dev.dhpdev); }
    StandInDevice dev{};
};

TEST_F(Driver, OpensTheDefaultMode) {
    ASSERT_TRUE(StandInOpen(&dev, 0, 0, 0, 0));
    ASSERT_NE(dev.surface, nullptr);
    EXPECT_EQ(dev.gdiInfo.ulHorzRes, 640u);
}

} // namespace
