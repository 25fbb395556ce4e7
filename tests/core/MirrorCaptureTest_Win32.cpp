// DevMed_USBED against a small model of the mirror driver behind the escape seam: a frame
// buffer the model maps into this process and a queue of change records.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <deque>

#include "app/core/DevMed_USBED.h"
#include "comsrc/DIBitmap.h"
#include "comsrc/HDCAcquirer_Win32.h"
#include "comsrc/RectList.h"
#include "driver/MirvaneEscape.h"

namespace {

constexpr int kWidth = 640, kHeight = 480;

struct Model {
    static uint8_t* frame; // null while not mapped
    static std::deque<MirvaneChangeRecord> queue;
    static int64_t now;

    static int WINAPI Escape(HDC, int code, int, LPCSTR, int outSize, LPSTR out) {
        switch (uint32_t(code)) {
        case USBED_ESC_PEEK_CHANGE: {
            const uint32_t size = queue.empty() ? 0 : MIRVANE_RECT_RECORD_SIZE;
            std::memcpy(out, &size, 4);
            return 0;
        }
        case USBED_ESC_GET_CHANGES: {
            int count = 0;
            for (; !queue.empty() && outSize >= (count + 1) * 44 + 4; ++count, queue.pop_front())
                std::memcpy(out + count * 44, &queue.front(), 44);
            std::memset(out + count * 44, 0, 4);
            return count;
        }
        case USBED_ESC_MAP:
            if (!frame)
                frame = static_cast<uint8_t*>(
                    VirtualAlloc(nullptr, kWidth * kHeight * 4, MEM_COMMIT, PAGE_READWRITE));
            std::memcpy(out, &frame, 4);
            return 4;
        case USBED_ESC_UNMAP: // the video memory stays: the next map shows it again
            return 1;
        }
        return 0;
    }
    static void Vanish() {
        if (frame)
            VirtualFree(frame, 0, MEM_RELEASE);
        frame = nullptr;
    }
    static void Change(const RECT& r, uint32_t colour) {
        for (LONG y = std::max(r.top, 0L); y < std::min(r.bottom, LONG(kHeight)); ++y)
            for (LONG x = std::max(r.left, 0L); x < std::min(r.right, LONG(kWidth)); ++x)
                std::memcpy(frame + (y * kWidth + x) * 4, &colour, 4);
        queue.push_back(
            MirvaneChangeRecord{{44, 16, 127, 0}, {28, 0, 1, {r.left, r.top, r.right, r.bottom}}});
    }
    static int64_t Clock() { return now; }
};
uint8_t* Model::frame = nullptr;
std::deque<MirvaneChangeRecord> Model::queue;
int64_t Model::now = 5000;

class MirrorCapture : public ::testing::Test {
protected:
    void SetUp() override {
        g_mirrorEscape = Model::Escape;
        ASSERT_EQ(acquirer.Open(), 0);
        mediator.platform().clock = Model::Clock;
    }
    void TearDown() override {
        g_mirrorEscape = ExtEscape;
        Model::Vanish();
        Model::queue.clear();
    }
    uint32_t Pixel(int x, int y) {
        uint32_t value;
        std::memcpy(&value, mediator.frameBitmap()->GetPixels() + y * kWidth * 4 + x * 4, 4);
        return value;
    }
    bool SameAsFrame() {
        return std::memcmp(mediator.frameBitmap()->GetPixels(), Model::frame,
                           kWidth * kHeight * 4) == 0;
    }
    bool Reported(const RECT& r) {
        for (uint32_t i = 0; i < changed.GetCount(); ++i)
            if (comsrc::equalRects(*changed.GetAt(i), r))
                return true;
        return false;
    }

    HDCAcquirer acquirer{nullptr};
    comsrc::RectList changed{256, 16};
    DevMed_USBED mediator{RECT{1280, 0, 1920, 480}, &acquirer, &changed};
};

TEST_F(MirrorCapture, WholeDisplayFirstThenClippedChanges) {
    EXPECT_EQ(mediator.capture(), 0);
    ASSERT_NE(Model::frame, nullptr);
    EXPECT_TRUE(Reported(RECT{0, 0, kWidth, kHeight}));
    Model::Change(RECT{0, 0, kWidth, kHeight}, 0x123456);
    Model::queue.clear();
    changed.RemoveAll();
    mediator.refreshAll();
    EXPECT_TRUE(SameAsFrame());
    EXPECT_EQ(changed.GetCount(), 0u);

    Model::Change(RECT{631, 10, kWidth + 5, 20}, 0xFF00FF); // reaches past the edge
    EXPECT_EQ(mediator.capture(), 1);
    EXPECT_TRUE(Reported(RECT{624, 0, kWidth, 32})); // clipped, then snapped to the grid
    EXPECT_EQ(Pixel(631, 10), 0xFF00FFu);
    EXPECT_TRUE(SameAsFrame());
}

TEST_F(MirrorCapture, MoreThan126RectanglesAreCopiedWhole) {
    mediator.capture();
    for (LONG i = 0; i < 130; ++i)
        Model::Change(RECT{i * 4, i * 3, i * 4 + 2, i * 3 + 1}, 0xFFFFFF);
    const uint32_t quiet = 0x0000FF;
    std::memcpy(Model::frame + (470 * kWidth + 600) * 4, &quiet, 4); // in no rectangle
    EXPECT_EQ(mediator.capture(), 1);
    EXPECT_EQ(Pixel(600, 470), quiet);
}

TEST_F(MirrorCapture, LostMappingIsMadeAgainAndTheDisplayCopiedAgain) {
    mediator.capture();
    // The device goes away behind the mediator's back: nothing is read, nothing crashes.
    Model::Vanish();
    Model::queue.push_back(MirvaneChangeRecord{{44, 16, 127, 0}, {28, 0, 1, {0, 0, 8, 8}}});
    mediator.capture();
    Model::Change(RECT{0, 0, kWidth, kHeight}, 0xABCDEF);
    Model::queue.clear(); // no record: the whole display is reported by the new mapping
    changed.RemoveAll();
    mediator.capture();
    EXPECT_TRUE(SameAsFrame());
    EXPECT_TRUE(Reported(RECT{0, 0, kWidth, kHeight}));

    // A gap of 13 s between captures (a modal dialog): mapped afresh, copied again.
    Model::now += 13;
    Model::Change(RECT{0, 0, kWidth, kHeight}, 0x654321);
    Model::queue.clear();
    changed.RemoveAll();
    mediator.capture();
    mediator.capture();
    EXPECT_TRUE(SameAsFrame());
    EXPECT_TRUE(Reported(RECT{0, 0, kWidth, kHeight}));
}

} // namespace
