// One frame after the capture: full refreshes, the frame counter, conversion of every
// display and the hand-off of its packed block.
#include "app/convert/FrameConversion.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "app/core/Globals.h"
#include "app/link/TileRecord.h"
#include "comsrc/RectList.h"

namespace {

// A still capture of one grey level (BGRx), stored bottom-up like a DIB section.
class GreyFrame : public FramePixels {
public:
    GreyFrame(int32_t w, int32_t h, uint8_t grey) : width(w), height(h), bytes(size_t(w) * h * 4) {
        for (size_t i = 0; i < bytes.size(); ++i)
            bytes[i] = (i % 4 == 3) ? 0x5A : grey;
    }
    const uint8_t* Lock(int32_t& stride, int32_t& w, int32_t& h) override {
        ++locks;
        stride = -width * 4;
        w = width;
        h = height;
        return missing ? nullptr : bytes.data() + size_t(height - 1) * width * 4;
    }
    void Unlock() override { ++unlocks; }

    int32_t width;
    int32_t height;
    std::vector<uint8_t> bytes;
    bool missing = false;
    int locks = 0;
    int unlocks = 0;
};

struct Delivered {
    size_t slot;
    std::vector<uint8_t> block;
};

class Collect : public BlockSink {
public:
    void Deliver(size_t slot, const std::vector<uint8_t>& block) override {
        blocks.push_back({slot, block});
    }
    std::vector<Delivered> blocks;
};

class FrameTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (auto& r : records) {
            r = std::make_unique<MonitorRecord>();
            r->active = 1;
            r->linkUp = 1;
            r->dither = 0;
        }
        g_frameCounter = 0;
    }
    FrameDisplay slot(int i, RECT window) {
        return FrameDisplay{records[i].get(), window, records[i]->invert, records[i]->rotate};
    }
    int32_t run(std::vector<FrameDisplay>& slots, GreyFrame& frame, int32_t shrink = 0) {
        return convertCapturedFrame(slots.data(), slots.size(),
                                    CaptureSize{frame.width, frame.height}, shrink, frame, dirty,
                                    sink);
    }

    std::unique_ptr<MonitorRecord> records[4];
    comsrc::RectList dirty{256, 16};
    Collect sink;
};

TEST_F(FrameTest, NoChangedAreasSendNothingAndKeepTheCounter) {
    GreyFrame frame(640, 480, 0);
    std::vector<FrameDisplay> slots = {slot(0, RECT{0, 0, 128, 64})};
    EXPECT_EQ(run(slots, frame), 0);
    EXPECT_EQ(g_frameCounter, 0u);
    EXPECT_EQ(frame.locks, 0);
    EXPECT_TRUE(sink.blocks.empty());
}

TEST_F(FrameTest, BlackCaptureFullAreaIsOneFullDarkBlock) {
    GreyFrame frame(640, 480, 0);
    dirty.Add(RECT{0, 0, 640, 480});
    std::vector<FrameDisplay> slots = {slot(0, RECT{0, 0, 128, 64})};
    EXPECT_EQ(run(slots, frame), 1);
    EXPECT_EQ(g_frameCounter, 1u);
    EXPECT_EQ(frame.locks, frame.unlocks);
    ASSERT_EQ(sink.blocks.size(), 1u);
    const std::vector<uint8_t>& b = sink.blocks[0].block;
    ASSERT_EQ(b.size(), wire::kFullBlockSize);
    for (size_t r = 0; r < 64; ++r) {
        EXPECT_EQ(b[r * 17], r); // band by band, left to right
        for (size_t k = 1; k < 17; ++k)
            ASSERT_EQ(b[r * 17 + k], 0xFF);
    }
    EXPECT_EQ(dirty.GetCount(), 0u);
}

TEST_F(FrameTest, SkipsDisplaysWithoutLinkOrInactiveOrDown) {
    GreyFrame frame(640, 480, 255);
    dirty.Add(RECT{0, 0, 640, 480});
    records[1]->active = 0;
    records[2]->linkUp = 0;
    records[3]->invert = 1;
    std::vector<FrameDisplay> slots = {FrameDisplay{nullptr, RECT{0, 0, 128, 64}, 0, 0},
                                       slot(1, RECT{0, 0, 128, 64}), slot(2, RECT{0, 0, 128, 64}),
                                       slot(3, RECT{128, 64, 256, 128})};
    EXPECT_EQ(run(slots, frame), 1);
    ASSERT_EQ(sink.blocks.size(), 1u);
    EXPECT_EQ(sink.blocks[0].slot, 3u);
    EXPECT_EQ(sink.blocks[0].block[1], 0xFF); // white, inverted
    EXPECT_EQ(records[1]->plane[0], 0);       // never converted
}

TEST_F(FrameTest, HalftoneRefreshesItsWholeWindowEveryFrame) {
    GreyFrame frame(640, 480, 128);
    records[0]->dither = 2;
    records[1]->dither = 0;
    std::vector<FrameDisplay> slots = {slot(0, RECT{32, 16, 160, 80}),
                                       slot(1, RECT{0, 0, 128, 64})};
    for (uint32_t f = 1; f <= 3; ++f) {
        sink.blocks.clear();
        EXPECT_EQ(run(slots, frame), 2) << f;
        EXPECT_EQ(g_frameCounter, f);
        ASSERT_EQ(sink.blocks.size(), 2u);
        // Slot 0's window (snapped 32,16..160,80) gives all 64 tiles; slot 1 sees the part
        // of that area inside its own window.
        EXPECT_EQ(sink.blocks[0].block.size(), wire::kFullBlockSize);
        EXPECT_EQ(sink.blocks[1].block.size(), size_t(6 * 6) * 17);
    }
}

TEST_F(FrameTest, DroppedFrameForgetsItsAreas) {
    GreyFrame frame(640, 480, 0);
    frame.missing = true;
    dirty.Add(RECT{0, 0, 64, 64});
    std::vector<FrameDisplay> slots = {slot(0, RECT{0, 0, 128, 64})};
    EXPECT_EQ(run(slots, frame), 0);
    EXPECT_EQ(g_frameCounter, 1u);
    EXPECT_EQ(frame.locks, 1);
    EXPECT_EQ(frame.unlocks, 1);
    EXPECT_EQ(dirty.GetCount(), 0u);
    EXPECT_TRUE(sink.blocks.empty());
}

TEST_F(FrameTest, ShrinkLimitsTheConvertedArea) {
    // Window at x 128 with shrink 2: the capture is 210 wide, tiles from x 224 on are not
    // sent and the plane beyond column 82 is never written.
    GreyFrame frame(640, 480, 255);
    dirty.Add(RECT{0, 0, 640, 480});
    std::vector<FrameDisplay> slots = {slot(0, RECT{128, 0, 256, 64})};
    EXPECT_EQ(run(slots, frame, 2), 1);
    ASSERT_EQ(sink.blocks.size(), 1u);
    EXPECT_EQ(sink.blocks[0].block.size(), size_t(6 * 8) * 17); // groups 0..5 of 8 bands
    EXPECT_EQ(records[0]->plane[81], kPlaneLight);
    EXPECT_EQ(records[0]->plane[82], 0);
}

TEST_F(FrameTest, CaptureSmallerThanItsSizeNeverReadsPastThePixels) {
    GreyFrame frame(100, 40, 255);
    dirty.Add(RECT{0, 0, 640, 480});
    std::vector<FrameDisplay> slots = {slot(0, RECT{0, 0, 128, 64})};
    EXPECT_EQ(convertCapturedFrame(slots.data(), 1, CaptureSize{1920, 1080}, 0, frame, dirty, sink),
              1);
    EXPECT_EQ(records[0]->plane[99], kPlaneLight);
    EXPECT_EQ(records[0]->plane[100], 0);
}

TEST_F(FrameTest, HostileSettingsConvertWithoutFault) {
    GreyFrame frame(640, 480, 200);
    records[0]->contrast = std::nan("");
    records[0]->gamma = 1e300;
    records[0]->offset = INT32_MAX;
    records[0]->shrink = 99;
    records[0]->dither = 2;
    records[0]->posX = -100000;
    records[1]->offset = INT32_MIN;
    records[1]->dither = 1;
    records[2]->gamma = std::nan("");
    records[3]->contrast = -1e300;
    std::vector<FrameDisplay> slots = {
        slot(0, panelWindow(*records[0])), slot(1, RECT{256, 192, 384, 256}),
        slot(2, RECT{INT32_MAX - 128, 0, INT32_MAX, 64}), slot(3, RECT{0, 0, 128, 64})};
    dirty.Add(RECT{0, 0, 640, 480});
    EXPECT_EQ(run(slots, frame, records[0]->shrink), 2);
    EXPECT_EQ(sink.blocks[0].slot, 1u);
    EXPECT_EQ(sink.blocks[0].block[1], 0xFF); // all dark
    EXPECT_EQ(sink.blocks[1].slot, 3u);
}

TEST_F(FrameTest, ConvertedAreaBoundsTheConvertedWindowsWithinTheCapture) {
    records[2]->linkUp = 0;
    const RECT corner{0, 0, 128, 64}, farEnd{128, 64, 256, 128}, off{400, 0, 528, 64};
    const struct {
        std::vector<FrameDisplay> slots;
        CaptureSize size;
        RECT area;
    } cases[] = {
        {{slot(0, corner)}, {384, 256}, {0, 0, 128, 64}},
        {{slot(0, corner), slot(1, farEnd)}, {384, 256}, {0, 0, 256, 128}},
        {{slot(1, farEnd)}, {210, 160}, {128, 64, 210, 128}},
        {{FrameDisplay{nullptr, corner, 0, 0}, slot(2, corner), slot(3, off)}, {384, 256}, {}},
    };
    for (const auto& c : cases) {
        const RECT area = convertedArea(c.slots.data(), c.slots.size(), c.size);
        EXPECT_TRUE(comsrc::equalRects(area, c.area)) << area.left << "," << area.right;
    }
}

} // namespace
