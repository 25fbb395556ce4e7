// DevMed_USBED against the real mirvane.dll beside the stand-in win32k.sys, drawn on through
// its hooks: the escape seam leads to the driver's DrvEscape, and the model miniport maps the
// frame buffer into this process. (external_e2e.sh runs the whole of mirpanel this way.)
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>

#include "app/capture/DevMed_USBED.h"
#include "app/capture/Discovery.h"
#include "app/core/Globals.h"
#include "comsrc/DIBitmap.h"
#include "comsrc/HDCAcquirer_Win32.h"
#include "comsrc/RectList.h"
#include "tools/mirexternal/DriverScene.h"
#include "tools/mirexternal/StandInDisplay.h"

namespace {

constexpr LONG kWidth = kStandInWidth, kHeight = kStandInHeight;
StandInDevice& g_dev = g_standInDisplay;
int g_lostIdentifies = 0; // identify answers lost on the way, as on a stale device context
int64_t g_now = 5000;

int WINAPI DriverEscape(HDC, int code, int inSize, LPCSTR in, int outSize, LPSTR out) {
    if (uint32_t(code) == USBED_ESC_IDENTIFY && g_lostIdentifies > 0 && g_lostIdentifies--)
        return 0;
    return standInEscape(nullptr, code, inSize, in, outSize, out);
}

bool Reported(comsrc::RectList& list, const RECT& r) {
    for (uint32_t i = 0; i < list.GetCount(); ++i)
        if (comsrc::equalRects(*list.GetAt(i), r))
            return true;
    return false;
}

bool SameAsFrame(DevMed_USBED& mediator) {
    const comsrc::DIBitmap& frame = *mediator.frameBitmap(); // both: packed 32-bit rows
    const SIZEL size = g_dev.surface->sizlBitmap;
    return frame.GetWidth() == size.cx && frame.GetHeight() == size.cy &&
           std::memcmp(frame.GetPixels(), scenePixel(g_dev, 0, 0), size.cx * size.cy * 4) == 0;
}

class MirrorDriver : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(openStandInDisplay());
        g_mirrorEscape = DriverEscape;
    }
    void TearDown() override { closeStandInDisplay(); }
};

TEST_F(MirrorDriver, MediatorCopiesWhatTheHooksDrew) {
    HDCAcquirer acquirer(nullptr);
    ASSERT_EQ(acquirer.Open(), 0);
    comsrc::RectList changed(256, 16);
    DevMed_USBED mediator(RECT{1280, 0, 1920, 480}, &acquirer, &changed);
    mediator.platform().clock = [] { return g_now; };
    g_lostIdentifies = 1;
    EXPECT_EQ(mediator.checkDriver(), 0); // on the retry; change tracking is now on
    g_lostIdentifies = 2;
    EXPECT_EQ(mediator.checkDriver(), -1);

    sceneFill(g_dev, RECT{0, 0, kWidth, kHeight}, 0x00808080); // queued before the first capture
    EXPECT_EQ(mediator.capture(), 0); // flushed, yet the display is copied whole
    EXPECT_TRUE(Reported(changed, RECT{0, 0, kWidth, kHeight}));
    EXPECT_TRUE(SameAsFrame(mediator));

    changed.RemoveAll();
    ASSERT_TRUE(sceneText(g_dev, 10, 10) && scenePath(g_dev, RECT{40, 30, 60, 50}));
    scenePaint(g_dev, RECT{631, 12, kWidth, 14}, 0x00FF00FF);
    ASSERT_TRUE(sceneLine(g_dev, RECT{631, 12, kWidth + 10, 14}));
    EXPECT_EQ(mediator.capture(), 1);
    EXPECT_TRUE(SameAsFrame(mediator));
    EXPECT_TRUE(Reported(changed, RECT{624, 0, kWidth, 16})); // clipped before it was added

    for (LONG i = 0; i < 130; ++i) // a region of more than 126 rectangles
        sceneFill(g_dev, RECT{i * 4, i * 3, i * 4 + 2, i * 3 + 1}, 0x00FFFFFF);
    scenePaint(g_dev, RECT{600, 470, 601, 471}, 0x000000FF); // in none of them
    mediator.capture();
    EXPECT_TRUE(SameAsFrame(mediator));

    g_now += 10;
    mediator.capture();
    EXPECT_EQ(StandInKeepAliveCount(), 1u);

    StandInDropMappings(); // the device stops behind the mediator's back
    sceneFill(g_dev, RECT{0, 0, 8, 8}, 0);
    mediator.capture(); // reads nothing
    scenePaint(g_dev, RECT{0, 0, kWidth, kHeight}, 0x00345678);
    changed.RemoveAll();
    mediator.capture(); // mapped again: copied and reported whole
    EXPECT_TRUE(SameAsFrame(mediator));
    EXPECT_TRUE(Reported(changed, RECT{0, 0, kWidth, kHeight}));

    g_now += 13; // a pause longer than a mapping lives (a modal dialog)
    scenePaint(g_dev, RECT{0, 0, kWidth, kHeight}, 0x00876543);
    changed.RemoveAll();
    mediator.capture();
    mediator.capture();
    EXPECT_TRUE(SameAsFrame(mediator));
    EXPECT_TRUE(Reported(changed, RECT{0, 0, kWidth, kHeight}));
    EXPECT_EQ(StandInMappingCount(), 1u);
}

TEST_F(MirrorDriver, ModeChangeIsFollowed) {
    g_runMode = 1;
    ASSERT_EQ(discoverDisplays(), 0);
    EXPECT_EQ(followMirrorMode(), 0);
    ASSERT_TRUE(reopenStandInDisplay(800, 600)); // a new PDEV: change tracking is off
    ASSERT_EQ(followMirrorMode(), 1);
    g_mirrorMediator->capture();
    sceneFill(g_dev, RECT{0, 0, 800, 600}, 0x00345678); // the repaint after the change
    EXPECT_EQ(g_mirrorMediator->capture(), 1);
    EXPECT_TRUE(SameAsFrame(*static_cast<DevMed_USBED*>(g_mirrorMediator)));
}

} // namespace
