#include <gtest/gtest.h>

#include "app/core/Globals.h"
#include "app/link/Links_Win32.h"
#include "app/link/Packing.h"
#include "app/link/SenderLink.h"
#include "app/link/TileRecord.h"
#include "tests/link/PortTestSupport.h"

// Ports: COM3 and COM13 are the two ends of one pty pair; COM4 is one end of another whose
// far end `mirtool render` follows into render4.pbm.
namespace {

class LinkStart : public testing::Test {
protected:
    void SetUp() override { resetGlobalState(); }
    void TearDown() override { stopAllLinks(); }
};

std::vector<uint8_t> Block(uint32_t seed) {
    return porttest::Pattern(wire::kRecordSize * 4, seed);
}

TEST_F(LinkStart, OpensActiveDisplaysOnlyAndCopiesTheirSettings) {
    g_monitors[1].active = 1;
    g_monitors[1].port = 3;
    g_monitors[1].posX = 32;
    g_monitors[1].posY = 16;
    g_monitors[1].invert = 5;
    g_monitors[1].rotate = 2;
    g_monitors[2].linkUp = 1; // inactive: left as it was
    EXPECT_EQ(StartLinks(), 0);
    EXPECT_EQ(g_linksUp, 1);
    EXPECT_EQ(g_anyActive, 1);
    ASSERT_EQ(g_links.size(), 4u);
    EXPECT_EQ(g_links[0], nullptr);
    ASSERT_NE(g_links[1], nullptr);
    EXPECT_EQ(g_links[2], nullptr);
    EXPECT_EQ(g_monitors[1].linkUp, 1);
    EXPECT_EQ(g_monitors[2].linkUp, 1);
    const SenderLink& link = *g_links[1];
    EXPECT_EQ(link.window.left, 32);
    EXPECT_EQ(link.window.top, 16);
    EXPECT_EQ(link.window.right, 160);
    EXPECT_EQ(link.window.bottom, 80);
    EXPECT_TRUE(link.invert);
    EXPECT_EQ(link.rotate, 2);
    EXPECT_FALSE(anyLinkFailed());
}

TEST_F(LinkStart, NoActiveDisplayClearsAnyActive) {
    EXPECT_EQ(StartLinks(), 0);
    EXPECT_EQ(g_anyActive, 0);
    EXPECT_EQ(g_links, std::vector<SenderLink*>(4, nullptr));
}

TEST_F(LinkStart, PortAboveNineIsOpenedByItsDevicePathAndSends) {
    g_monitors[0].active = 1;
    g_monitors[0].port = 13;
    ASSERT_EQ(StartLinks(), 0);
    porttest::PeerReader peer("COM3");
    ASSERT_TRUE(peer.IsOpen());
    std::vector<uint8_t> block = Block(1);
    ASSERT_EQ(SendFrameBlock(g_links[0], block), 0);
    EXPECT_EQ(peer.Read(block.size()), block);
}

TEST_F(LinkStart, PortThatDoesNotOpenFailsTheStartButKeepsTheLink) {
    g_monitors[0].active = 1;
    g_monitors[0].port = 3;
    g_monitors[3].active = 1;
    g_monitors[3].port = 9; // mapped to something that never opens
    EXPECT_EQ(StartLinks(), -1);
    EXPECT_EQ(g_linksUp, 0);
    EXPECT_EQ(g_monitors[0].linkUp, 1);
    EXPECT_EQ(g_monitors[3].linkUp, 0);
    ASSERT_NE(g_links[3], nullptr);
    EXPECT_TRUE(g_links[3]->IsStreamFailed());
    EXPECT_TRUE(anyLinkFailed());
}

TEST_F(LinkStart, UnpluggedAdapterFailsTheStreamUntilAPortReturns) {
    g_monitors[0].active = 1;
    g_monitors[0].port = 3;
    ASSERT_EQ(StartLinks(), 0);
    ASSERT_TRUE(porttest::ChangePort("unplug", 3));
    for (DWORD waited = 0; waited < porttest::kPatienceMs && !anyLinkFailed(); waited += 20) {
        SendFrameBlock(g_links[0], Block(2));
        Sleep(20);
    }
    ASSERT_TRUE(anyLinkFailed());
    EXPECT_EQ(StartLinks(), -1);
    EXPECT_EQ(g_monitors[0].linkUp, 0);
    EXPECT_EQ(StartLinks(), -1); // still gone
    ASSERT_TRUE(porttest::ChangePort("plug", 3));
    EXPECT_EQ(StartLinks(), 0);
    EXPECT_EQ(g_monitors[0].linkUp, 1);
    EXPECT_FALSE(anyLinkFailed());
}

// The picture a panel shows for `plane` turned half a turn and inverted, as a P4 file.
std::vector<uint8_t> ExpectedPicture(const std::vector<int32_t>& plane) {
    std::string header = "P4\n128 64\n";
    std::vector<uint8_t> pbm(header.begin(), header.end());
    for (int row = 0; row < 64; ++row)
        for (int column = 0; column < 128; column += 8) {
            uint8_t byte = 0;
            for (int b = 0; b < 8; ++b) {
                int x = 127 - (column + b), y = 63 - row;
                bool dark = !(plane[y * 128 + x] < 0x8000);
                byte |= dark ? static_cast<uint8_t>(0x80 >> b) : 0;
            }
            pbm.push_back(byte);
        }
    return pbm;
}

TEST_F(LinkStart, PackedFramesReachThePanelEmulatorExactly) {
    g_monitors[0].active = 1;
    g_monitors[0].port = 4;
    g_monitors[0].invert = 1;
    g_monitors[0].rotate = 2;
    ASSERT_EQ(StartLinks(), 0);
    SenderLink* link = g_links[0];
    std::vector<int32_t> plane(65536);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 128; ++x) // a ring and a diagonal band
            plane[y * 128 + x] = ((x - 64) * (x - 64) + 4 * (y - 32) * (y - 32) < 900 &&
                                  (x - 64) * (x - 64) + 4 * (y - 32) * (y - 32) > 500) ||
                                         (x - 2 * y > 0 && x - 2 * y < 9)
                                     ? 0x1000
                                     : 0xF000;
    PackSource source{plane.data(), plane.size(), link->window, link->invert, link->rotate};
    // Two frames: the left half, then the right half.
    RECT halves[2] = {{0, 0, 64, 64}, {64, 0, 128, 64}};
    for (const RECT& half : halves) {
        std::vector<uint8_t> block;
        PackFrameBlock(source, &half, 1, block);
        ASSERT_EQ(block.size(), 32u * wire::kRecordSize);
        ASSERT_EQ(SendFrameBlock(link, block), 0);
    }
    const std::vector<uint8_t> expected = ExpectedPicture(plane);
    const std::string picture = porttest::HostPath("render4.pbm");
    std::vector<uint8_t> seen;
    for (DWORD waited = 0; waited < porttest::kPatienceMs && seen != expected; waited += 50) {
        Sleep(50);
        seen = porttest::ReadWholeFile(picture);
    }
    EXPECT_EQ(seen, expected);
}

} // namespace
