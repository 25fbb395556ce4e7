// Screen capture, discovery and one converted frame on the real display under Wine.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/capture/DevMed_HDC.h"
#include "app/capture/DevMed_USBED.h"
#include "app/capture/Discovery.h"
#include "app/convert/ConvertFrame_Win32.h"
#include "app/core/Globals.h"
#include "app/link/SenderLink.h"
#include "comsrc/DIBitmap_Win32.h"
#include "comsrc/HDCAcquirer_Win32.h"
#include "comsrc/RectList.h"
#include "multio/Stream.h"

namespace {

// A borderless top-most window over the top-left of the screen that the tests paint.
class TestWindow {
public:
    TestWindow(int width, int height) {
        WNDCLASSA wc{};
        wc.lpfnWndProc = DefWindowProcA;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "MirvistaCaptureTest";
        RegisterClassA(&wc);
        window = CreateWindowExA(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, wc.lpszClassName, "",
                                 WS_POPUP | WS_VISIBLE, 0, 0, width, height, nullptr, nullptr,
                                 wc.hInstance, nullptr);
        Fill(RECT{0, 0, width, height}, RGB(255, 255, 255));
    }
    ~TestWindow() { DestroyWindow(window); }

    void Fill(const RECT& r, COLORREF colour) {
        HDC dc = GetDC(window);
        HBRUSH brush = CreateSolidBrush(colour);
        FillRect(dc, &r, brush);
        DeleteObject(brush);
        ReleaseDC(window, dc);
        Settle();
    }

    // Lets the drawing reach the screen and the capture clock pass 40 ms.
    static void Settle() {
        GdiFlush();
        MSG message;
        for (int i = 0; i < 10; ++i) {
            while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE))
                DispatchMessageA(&message);
            Sleep(10);
        }
    }

    HWND window = nullptr;
};

std::vector<RECT> Take(comsrc::RectList& list) {
    std::vector<RECT> out;
    for (uint32_t i = 0; i < list.GetCount(); ++i)
        out.push_back(*list.GetAt(i));
    list.RemoveAll();
    return out;
}

bool Same(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

std::string Show(const std::vector<RECT>& rects) {
    std::string s;
    for (const RECT& r : rects)
        s += "(" + std::to_string(r.left) + "," + std::to_string(r.top) + "," +
             std::to_string(r.right) + "," + std::to_string(r.bottom) + ") ";
    return s;
}

uint32_t PixelAt(comsrc::DIBitmap_Win32* bitmap, int x, int y) {
    const uint8_t* row0 = bitmap->LockPixels();
    uint32_t value = 0;
    std::memcpy(&value, row0 + static_cast<ptrdiff_t>(y) * bitmap->GetStride() + x * 4, 4);
    bitmap->UnlockPixels();
    return value & 0xFFFFFF;
}

// A white scene over the screen's top-left and a mediator copying its (0, 0, 256, 192).
struct ScreenCapture {
    ScreenCapture() { EXPECT_EQ(screen.Open(), 0); }
    TestWindow scene{320, 240};
    HDCAcquirer screen{nullptr};
    comsrc::RectList list{256, 16};
    DevMed_HDC mediator{RECT{0, 0, 256, 192}, &screen, &list};
};

TEST(DevMedHDC, WholeAreaFirstThenTheChangedRuns) {
    ScreenCapture capture;
    TestWindow& scene = capture.scene;
    comsrc::RectList& list = capture.list;
    DevMed_HDC& mediator = capture.mediator;
    EXPECT_EQ(mediator.isValid(), 1);
    EXPECT_EQ(mediator.start(), 0);
    EXPECT_EQ(mediator.frameBitmap(), nullptr);

    ASSERT_EQ(mediator.capture(), 1);
    std::vector<RECT> first = Take(list);
    ASSERT_EQ(first.size(), 1u);
    EXPECT_TRUE(Same(first[0], RECT{0, 0, 256, 192})) << Show(first);
    ASSERT_NE(mediator.frameBitmap(), nullptr);
    EXPECT_EQ(mediator.frameBitmap()->GetWidth(), 256);
    EXPECT_EQ(PixelAt(mediator.frameBitmap(), 10, 10), 0xFFFFFFu);

    TestWindow::Settle();
    EXPECT_EQ(mediator.capture(), 0); // nothing moved
    EXPECT_TRUE(Take(list).empty());

    scene.Fill(RECT{70, 40, 100, 50}, RGB(0, 0, 0)); // cells 64 and 96 of band 32
    ASSERT_EQ(mediator.capture(), 1);
    std::vector<RECT> one = Take(list);
    ASSERT_EQ(one.size(), 1u);
    EXPECT_TRUE(Same(one[0], RECT{64, 32, 128, 64})) << Show(one);
    EXPECT_EQ(PixelAt(mediator.frameBitmap(), 80, 45), 0u);

    scene.Fill(RECT{0, 100, 10, 110}, RGB(0, 0, 255));
    scene.Fill(RECT{200, 100, 210, 110}, RGB(0, 255, 0));
    ASSERT_EQ(mediator.capture(), 2);
    std::vector<RECT> two = Take(list);
    ASSERT_EQ(two.size(), 2u);
    EXPECT_TRUE(Same(two[0], RECT{0, 96, 32, 128})) << Show(two);
    EXPECT_TRUE(Same(two[1], RECT{192, 96, 224, 128})) << Show(two);
}

TEST(DevMedHDC, CopiesOnlyTheWantedAreaAndANewlyCoveredOneAtOnce) {
    ScreenCapture capture;
    comsrc::RectList& list = capture.list;
    DevMed_HDC& mediator = capture.mediator;
    mediator.setWantedArea(RECT{0, 0, 128, 64});
    ASSERT_EQ(mediator.capture(), 1); // still the whole frame first
    Take(list);
    EXPECT_EQ(PixelAt(mediator.frameBitmap(), 10, 10), 0xFFFFFFu);
    EXPECT_EQ(PixelAt(mediator.frameBitmap(), 200, 100), 0u); // never copied
    capture.scene.Fill(RECT{150, 100, 180, 120}, RGB(0, 0, 255));
    EXPECT_EQ(mediator.capture(), 0); // outside the area: not compared
    // The window moves there: copied and reported at once, within the 40 ms.
    mediator.setWantedArea(RECT{128, 64, 256, 128});
    ASSERT_EQ(mediator.capture(), 1);
    std::vector<RECT> fresh = Take(list);
    ASSERT_EQ(fresh.size(), 1u);
    EXPECT_TRUE(Same(fresh[0], RECT{128, 64, 256, 128})) << Show(fresh);
    EXPECT_EQ(PixelAt(mediator.frameBitmap(), 160, 110), 0xFFu);
}

TEST(DevMedHDC, NoDeviceContextFails) {
    HDCAcquirer missing("\\\\.\\DISPLAY77");
    comsrc::RectList list(256, 16);
    DevMed_HDC mediator(RECT{0, 0, 64, 64}, &missing, &list);
    EXPECT_EQ(mediator.capture(), -2);
    EXPECT_EQ(mediator.frameBitmap(), nullptr);
}

// Discovery runs against the real display enumeration unless a test replaces it.
class Discovery : public ::testing::Test {
protected:
    void SetUp() override {
        resetGlobalState();
        saved = g_displayEnumeration;
    }
    void TearDown() override {
        g_displayEnumeration = saved;
        releaseCaptureObjects();
        g_runMode = 0;
    }
    DisplayEnumeration saved;
};

TEST_F(Discovery, WithoutMirrorDisplayBothModes) {
    g_runMode = 0;
    EXPECT_EQ(discoverDisplays(), 0);
    EXPECT_EQ(g_captureReady, 1);
    EXPECT_EQ(g_mirrorDeviceFound, 0);
    EXPECT_EQ(g_mirrorModeFound, 0);
    ASSERT_NE(g_dirtyRects, nullptr);
    EXPECT_EQ(g_dirtyRects->GetCount(), 0u);
    ASSERT_NE(g_screenAcquirer, nullptr);
    EXPECT_NE(g_screenAcquirer->GetHDC(), nullptr);
    EXPECT_EQ(g_screenAcquirer->GetRect()->right, GetSystemMetrics(SM_CXVIRTUALSCREEN));
    EXPECT_EQ(g_screenAcquirer->GetRect()->bottom, GetSystemMetrics(SM_CYVIRTUALSCREEN));
    ASSERT_NE(g_screenMediator, nullptr);
    EXPECT_TRUE(Same(*g_screenMediator->captureRect(), RECT{0, 0, 640, 480}));
    EXPECT_EQ(g_mirrorAcquirer, nullptr);
    EXPECT_EQ(g_mirrorMediator, nullptr);

    g_runMode = 1;
    EXPECT_EQ(discoverDisplays(), 0);
    EXPECT_EQ(g_captureReady, 0);
    EXPECT_EQ(g_mirrorDeviceFound, 0);
    EXPECT_NE(g_screenMediator, nullptr);
}

// A fake enumeration: the real devices, then mirror displays with the given names.
struct FakeDisplays {
    static std::vector<std::pair<std::string, std::string>> extra; // (name, description)
    static bool settingsReadable;

    static BOOL WINAPI Devices(LPCSTR device, DWORD index, PDISPLAY_DEVICEA info, DWORD flags) {
        if (index < extra.size()) {
            EXPECT_EQ(info->cb, 424u);
            strncpy(info->DeviceName, extra[index].first.c_str(), sizeof info->DeviceName - 1);
            strncpy(info->DeviceString, extra[index].second.c_str(), sizeof info->DeviceString - 1);
            return TRUE;
        }
        return EnumDisplayDevicesA(device, index - DWORD(extra.size()), info, flags);
    }
    // No device context for DISPLAY42; any other name gives one of the whole display.
    static HDC WINAPI OpenDC(LPCSTR driver, LPCSTR device, LPCSTR port, const DEVMODEA* mode) {
        if (device && std::string(device) == "\\\\.\\DISPLAY42")
            return nullptr;
        return CreateDCA(driver, nullptr, port, mode);
    }
    static BOOL WINAPI Settings(LPCSTR, DWORD mode, DEVMODEA* settings) {
        EXPECT_EQ(mode, ENUM_CURRENT_SETTINGS);
        EXPECT_EQ(settings->dmSize, 156);
        if (!settingsReadable)
            return FALSE;
        settings->dmPosition.x = 1280;
        settings->dmPosition.y = 0;
        settings->dmPelsWidth = 640;
        settings->dmPelsHeight = 480;
        return TRUE;
    }
};
std::vector<std::pair<std::string, std::string>> FakeDisplays::extra;
bool FakeDisplays::settingsReadable = false;

TEST_F(Discovery, MirrorDeviceWithoutDeviceContextFailsInBothModes) {
    g_displayEnumeration = {FakeDisplays::Devices, FakeDisplays::Settings, FakeDisplays::OpenDC};
    FakeDisplays::extra = {{"\\\\.\\DISPLAY42", "Mirvane Mirror Driver"}};
    for (int32_t mode : {0, 1}) {
        g_runMode = mode;
        EXPECT_EQ(discoverDisplays(), -1);
        EXPECT_EQ(g_mirrorDeviceFound, 1);
        EXPECT_EQ(g_mirrorModeFound, 0);
        EXPECT_EQ(g_captureReady, 0);
        EXPECT_NE(g_screenMediator, nullptr); // the screen objects were made first
    }
}

TEST_F(Discovery, MirrorDeviceWithoutCurrentSettings) {
    g_displayEnumeration = {FakeDisplays::Devices, FakeDisplays::Settings, FakeDisplays::OpenDC};
    FakeDisplays::extra = {{"\\\\.\\DISPLAY42", "Other"}, {"\\\\.\\DISPLAY7", "Mirvane 1"}};
    FakeDisplays::settingsReadable = false;
    g_runMode = 0;
    EXPECT_EQ(discoverDisplays(), 0);
    EXPECT_EQ(g_mirrorDeviceFound, 1);
    EXPECT_EQ(g_mirrorModeFound, 0);
    EXPECT_EQ(g_captureReady, 1);
    ASSERT_NE(g_mirrorAcquirer, nullptr);
    EXPECT_NE(g_mirrorAcquirer->GetHDC(), nullptr);
    g_runMode = 1;
    EXPECT_EQ(discoverDisplays(), 0);
    EXPECT_EQ(g_captureReady, 0);
    EXPECT_EQ(g_mirrorModeFound, 0);
}

TEST_F(Discovery, MirrorDisplayPlacedOnTheDesktop) {
    g_displayEnumeration = {FakeDisplays::Devices, FakeDisplays::Settings, FakeDisplays::OpenDC};
    // The first of two mirror displays is used: the second one's name would not open.
    FakeDisplays::extra = {{"\\\\.\\DISPLAY7", "Mirvane A"}, {"\\\\.\\DISPLAY42", "Mirvane B"}};
    FakeDisplays::settingsReadable = true;
    g_runMode = 1;
    EXPECT_EQ(discoverDisplays(), 0);
    EXPECT_EQ(g_mirrorDeviceFound, 1);
    EXPECT_EQ(g_mirrorModeFound, 1);
    EXPECT_EQ(g_captureReady, 1);
    ASSERT_NE(g_mirrorAcquirer, nullptr);
    EXPECT_NE(g_mirrorAcquirer->GetHDC(), nullptr);
    EXPECT_TRUE(Same(*g_mirrorAcquirer->GetRect(), RECT{1280, 0, 1920, 480}));
    ASSERT_NE(g_mirrorMediator, nullptr);
    EXPECT_EQ(g_mirrorMediator->isValid(), 257);
    EXPECT_TRUE(
        Same(*static_cast<DevMed_USBED*>(g_mirrorMediator)->captureRect(), RECT{0, 0, 640, 480}));
    FakeDisplays::settingsReadable = false;
}

// Collects what the link's thread writes.
class Recorder : public multio::Stream {
public:
    int32_t Write(const void* buffer, int32_t length, uint32_t) override {
        std::lock_guard<std::mutex> hold(lock);
        bytes.append(static_cast<const char*>(buffer), static_cast<size_t>(length));
        return length;
    }
    size_t Size() {
        std::lock_guard<std::mutex> hold(lock);
        return bytes.size();
    }
    std::string Bytes() {
        std::lock_guard<std::mutex> hold(lock);
        return bytes;
    }

private:
    std::mutex lock;
    std::string bytes;
};

// Display 0 active with threshold dither, its link writing into a recorder.
struct LinkedDisplay {
    LinkedDisplay() : link(new SenderLink(std::unique_ptr<multio::Stream>(recorder))) {
        g_links.assign(4, nullptr);
        g_links[0] = link;
        g_monitors[0].active = 1;
        g_monitors[0].linkUp = 1;
        g_monitors[0].dither = 0;
        g_linksUp = 1;
    }
    ~LinkedDisplay() {
        link->Stop();
        delete link;
        g_links.clear();
        g_linksUp = 0;
    }
    // What the link wrote once `size` bytes arrived (or after 5 s), and 100 ms more.
    std::string BytesOnce(size_t size) {
        for (int i = 0; i < 500 && recorder->Size() < size; ++i)
            Sleep(10);
        Sleep(100);
        return recorder->Bytes();
    }
    Recorder* recorder = new Recorder;
    SenderLink* link;
};

TEST_F(Discovery, ConvertFrameSendsTheScreenToTheLink) {
    TestWindow scene(320, 240);
    scene.Fill(RECT{0, 0, 16, 8}, RGB(0, 0, 0)); // the top-left tile dark
    g_runMode = 0;
    ASSERT_EQ(discoverDisplays(), 0);
    LinkedDisplay display;
    const uint32_t frames = g_frameCounter;
    convertFrame();
    EXPECT_EQ(g_frameCounter, frames + 1);
    EXPECT_EQ(g_dirtyRects->GetCount(), 0u);
    std::string bytes = display.BytesOnce(1088);
    ASSERT_EQ(bytes.size(), 1088u);
    EXPECT_EQ(uint8_t(bytes[0]), 0);    // address of the top-left tile
    EXPECT_EQ(uint8_t(bytes[1]), 0xFF); // its columns dark
    EXPECT_EQ(uint8_t(bytes[17 + 1]), 0x00);

    TestWindow::Settle();
    convertFrame(); // still screen: nothing new
    EXPECT_EQ(g_frameCounter, frames + 1);
    EXPECT_EQ(g_captureReady, 1);
    EXPECT_EQ(recreateScreenMediator(), 0);
    TestWindow::Settle();
    convertFrame(); // a new mediator reports the whole area again
    EXPECT_EQ(g_frameCounter, frames + 2);
    Sleep(200);
    EXPECT_EQ(display.recorder->Size(), 1088u); // but no tile differs from what was sent
    requestFullRefresh();                       // the 4 s resend, a setting change
    convertFrame();
    EXPECT_EQ(display.BytesOnce(2 * 1088).size(), 2 * 1088u); // every tile once more
}

// The whole screen; while `failing`, every copy from it fails (a locked workstation, the
// secure desktop, a mode change) since its device context is a deleted one.
class FlakyScreen : public HDCAcquirer {
public:
    FlakyScreen() : HDCAcquirer(nullptr) { DeleteDC(staleDC); }
    HDC GetHDC() override { return failing ? staleDC : HDCAcquirer::GetHDC(); }
    bool failing = false;
    HDC staleDC = CreateCompatibleDC(nullptr);
};

TEST_F(Discovery, FailedCopiesAreFramesWithNoNewsAndLeaveTheLinksAlone) {
    TestWindow scene(320, 240);
    ASSERT_EQ(discoverDisplays(), 0);
    FlakyScreen* screen = new FlakyScreen;
    ASSERT_EQ(screen->Open(), 0);
    *screen->GetRect() = *g_screenAcquirer->GetRect();
    delete g_screenMediator;
    delete g_screenAcquirer;
    g_screenAcquirer = screen;
    g_screenMediator = new DevMed_HDC(RECT{0, 0, 640, 480}, screen, g_dirtyRects);
    LinkedDisplay display;
    convertFrame();
    ASSERT_EQ(display.BytesOnce(1088).size(), 1088u);
    const uint32_t frames = g_frameCounter;

    screen->failing = true;
    scene.Fill(RECT{16, 0, 32, 8}, RGB(0, 0, 0)); // the second tile of the top row
    for (int i = 0; i < 5; ++i, TestWindow::Settle()) {
        convertFrame();
        EXPECT_EQ(g_captureReady, 1); // else discovery and a link restart would follow
    }
    EXPECT_EQ(g_frameCounter, frames);
    EXPECT_EQ(display.recorder->Size(), 1088u); // no block sent
    screen->failing = false;
    convertFrame(); // compared with the last good frame: the dark tile is news
    EXPECT_EQ(g_frameCounter, frames + 1);
    const std::string sent = display.BytesOnce(1089).substr(1088);
    ASSERT_TRUE(sent.size() % 17 == 0 && sent.size() < 1088) << "the changed cell's tiles";
    int dark = 0;
    for (size_t at = 0; at < sent.size(); at += 17) {
        dark += sent[at] == 1;
        EXPECT_EQ(sent.substr(at + 1, 16), std::string(16, char(sent[at] == 1 ? 0xFF : 0)));
    }
    EXPECT_EQ(dark, 1);
}

} // namespace
