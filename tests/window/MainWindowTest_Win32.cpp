// The main window in this process over stand-ins for the core, clicked and typed at with
// real input, its value labels read back as bytes.

#include <windows.h>

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "app/capture/Discovery.h"
#include "app/core/Globals.h"
#include "app/link/Links_Win32.h"
#include "app/link/SenderLink.h"
#include "app/window/MainWindow_Win32.h"
#include "app/window/WidgetIds.h"
#include "tests/window/RealInput_Win32.h"

// Stand-ins for what the window calls in the core and the links: they count their calls.
HINSTANCE g_instance = GetModuleHandleA(nullptr);
namespace {
int s_startLinks, s_recreate, s_fullRefresh, s_discover, s_startResult;
RECT s_linkWindow; // the selected display's, when the window last applied it
} // namespace
int StartLinks() {
    return ++s_startLinks, s_startResult;
}
int recreateMediator() {
    return ++s_recreate, 0;
}
int requestFullRefresh() {
    return ++s_fullRefresh, 0;
}
int discoverDisplays() {
    return ++s_discover, 0;
}
int followMirrorMode() {
    return 0;
}
int applyWindowPosition() {
    s_linkWindow = panelWindow(g_monitors[g_selectedMonitor]);
    return 0;
}
int FindComPort(int32_t current, int32_t step) {
    return current + 10 * step;
}

namespace {

HWND s_window = nullptr;
std::string s_firstStatus, s_shellCall;

// A UTF-8 text as the Shift-JIS bytes Windows makes of it.
std::string sjis(const char* utf8) {
    wchar_t wide[256];
    char bytes[512];
    const int n = MultiByteToWideChar(CP_UTF8, 0, utf8, -1, wide, 256);
    return std::string(bytes, WideCharToMultiByte(932, 0, wide, n, bytes, 512, 0, 0) - 1);
}

std::string text(int id) {
    return static_cast<ui::Label*>(mainForm()->FindById(id))->text;
}

void pump(DWORD ms) {
    const DWORD start = GetTickCount();
    for (MSG msg; GetTickCount() - start < ms; Sleep(5))
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
            TranslateMessage(&msg), DispatchMessageA(&msg);
}

POINT centreOf(int id, int dx = 0) {
    const RECT& r = mainForm()->FindById(id)->rect;
    return POINT{(r.left + r.right) / 2 + dx, (r.top + r.bottom) / 2};
}

void click(int id) {
    mouseAt(s_window, centreOf(id), {MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP}, pump);
}

HINSTANCE WINAPI recordShellCall(HWND owner, LPCSTR verb, LPCSTR file, LPCSTR parameters,
                                 LPCSTR folder, INT show) {
    s_shellCall = std::string(verb) + " " + file + (owner || parameters || folder ? " !" : "") +
                  (show == SW_SHOWNORMAL ? " normal" : "");
    return nullptr;
}

struct MainWindow : ::testing::Test {
    static void SetUpTestSuite() {
        resetGlobalState();
        registerMainWindowClass(g_instance, "MIRVISTA");
        s_window = CreateWindowExA(0, "MIRVISTA", "Mirvista", WS_CAPTION | WS_SYSMENU, 0, 0, 320,
                                   380, nullptr, nullptr, g_instance, nullptr);
        s_firstStatus = text(kIdStatus);
        ShowWindow(s_window, SW_SHOWNORMAL);
        SetForegroundWindow(s_window);
        pump(200);
    }
    void SetUp() override {
        pressKeys({'1'}, pump);
        resetGlobalState();
        s_startLinks = s_recreate = s_fullRefresh = s_discover = s_startResult = 0;
    }
    static MonitorRecord& record() { return g_monitors[g_selectedMonitor]; }
    static void refresh() { SendMessageA(s_window, WM_TIMER, 0, 0); }
};

// One click on a button of the selected display: a field from one value to another, and a
// restart of the links or else a resend of the picture.
struct ClickCase {
    int id;
    int32_t MonitorRecord::*field;
    int32_t before, after;
    bool restart = false;
} const kClicks[] = {
    {kIdBrightnessUp, &MonitorRecord::offset, 60, 64},
    {kIdBrightnessDown, &MonitorRecord::offset, INT32_MIN, -64},
    {kIdPosXUp, &MonitorRecord::posX, 120, 128},
    {kIdPosYDown, &MonitorRecord::posY, 10, 0},
    {kIdSpeedUp, &MonitorRecord::speed, 500000, 9600, true},
    {kIdSpeedDown, &MonitorRecord::speed, 9600, 500000, true},
    {kIdSpeedDown, &MonitorRecord::speed, 100000, 76800, true},
    {kIdDitherDown, &MonitorRecord::dither, 0, 2},
    {kIdDitherUp, &MonitorRecord::dither, INT32_MAX, 0},
    {kIdRotateToggle, &MonitorRecord::rotate, 1, 0},
    {kIdCtsToggle, &MonitorRecord::cts, 0, 1, true},
    {kIdPortUp, &MonitorRecord::port, 3, 13, true},
    {kIdActive, &MonitorRecord::active, 1, 0, true},
    {kIdInvertToggle, &MonitorRecord::invert, 2, 0},
};

} // namespace

TEST_F(MainWindow, EveryClickActionWithItsFollowUp) {
    for (const ClickCase& c : kClicks) {
        resetGlobalState();
        record().*c.field = c.before;
        refresh(); // the checkbox shows the record
        s_startLinks = s_recreate = s_fullRefresh = 0;
        click(c.id);
        EXPECT_EQ(c.after, record().*c.field) << c.id << " from " << c.before;
        EXPECT_EQ(c.restart ? 2 : 0, s_startLinks + s_recreate) << c.id;
        EXPECT_EQ(c.restart ? 0 : 1, s_fullRefresh) << c.id;
    }
    record().contrast = 1.5;
    click(kIdContrastUp);
    EXPECT_EQ(1.5, record().contrast);
    for (int i = 0; i < 11; ++i) // ten steps down from 1.0 land on 0.5 exactly, and stay
        click(kIdGammaDown);
    EXPECT_EQ("0.50", text(kIdGamma));
    EXPECT_EQ(0.5, record().gamma);
    record().contrast = record().gamma = NAN; // from the file: one click brings either back
    click(kIdContrastUp);
    click(kIdGammaDown);
    EXPECT_TRUE(record().contrast == 0.5 && record().gamma == 0.5);
}

TEST_F(MainWindow, FailedRestartModeLinkCopiesAndShell) {
    s_startResult = -1;
    click(kIdActive);
    EXPECT_TRUE(record().active == 1 && s_startLinks == 1 && s_recreate == 0);
    click(kIdModeUp);
    EXPECT_TRUE(g_runMode == 1 && s_discover >= 1 && text(kIdModeName) == sjis("外部モニタ"));
    SenderLink link("COM99", 9600, false);
    g_links.assign(kMonitorCount, nullptr);
    g_links[0] = &link;
    click(kIdInvertToggle);
    click(kIdRotateToggle);
    EXPECT_TRUE(link.invert && link.rotate == 2);
    g_links.clear();
    g_shellExecute = recordShellCall;
    EXPECT_EQ(0, SendMessageA(s_window, WM_COMMAND, 111, 0));
    EXPECT_EQ(std::string("open ") + kMakerWebPage + " normal", s_shellCall);
}

TEST_F(MainWindow, TabsKeysDoubleClickAndReleaseElsewhere) {
    g_monitors[1].offset = 24;
    click(kIdTab2);
    EXPECT_EQ("24", text(kIdBrightness));
    pressKeys({'A'}, pump); // any other key only repaints
    pressKeys({'1'}, pump);
    EXPECT_EQ("0", text(kIdBrightness));
    pressKeys({'2'}, pump);
    EXPECT_TRUE(static_cast<ui::Checkbox*>(mainForm()->FindById(kIdTab2))->checked);
    click(kIdBrightnessUp);
    click(kIdBrightnessUp); // within the double-click time: a second click
    mouseAt(s_window, centreOf(kIdBrightnessUp), {MOUSEEVENTF_LEFTDOWN}, pump);
    mouseAt(s_window, centreOf(kIdBrightnessUp, 20), {MOUSEEVENTF_LEFTUP}, pump); // on the label
    EXPECT_TRUE(g_monitors[1].offset == 40 && g_monitors[0].offset == 0);
}

TEST_F(MainWindow, ValueTextsAsBytes) {
    EXPECT_EQ(sjis("初期化中..."), s_firstStatus);
    const struct {
        int32_t mode, any, capture, links, device, modeFound;
        const char *status, *driver;
    } cases[] = {{0, 0, 0, 0, 0, 0, "停止中", "*見つかりません*"},
                 {1, 0, 1, 1, 1, 1, "停止中", "動作中"},
                 {0, 1, 0, 0, 1, 1, "*画面のプロパティを確認してください*", "動作中"},
                 {0, 1, 1, 0, 0, 0, "*USB接続を確認してください*", "*見つかりません*"},
                 {0, 1, 1, 1, 0, 0, "動作中", "*見つかりません*"},
                 {1, 1, 1, 1, 0, 1, "*ドライバをインストールしてください*", "*見つかりません*"},
                 {1, 1, 1, 1, 1, 0, "*画面のプロパティを確認してください*", "停止中"},
                 {1, 1, 0, 0, 1, 1, "*USB接続を確認してください*", "動作中"},
                 {1, 1, 0, 1, 1, 1, "動作中", "動作中"}};
    for (const auto& f : cases) {
        g_runMode = f.mode, g_anyActive = f.any, g_captureReady = f.capture;
        g_linksUp = f.links, g_mirrorDeviceFound = f.device, g_mirrorModeFound = f.modeFound;
        refresh();
        EXPECT_EQ(sjis(f.status) + sjis(f.driver), text(kIdStatus) + text(kIdDriver)) << f.status;
    }
    MonitorRecord& r = record();
    r.port = 3;
    refresh();
    EXPECT_EQ("COM3 ", text(kIdPort));
    r.active = 1, r.rotate = 3;
    refresh();
    EXPECT_EQ(sjis("COM3 *エラー*|ON"), text(kIdPort) + "|" + text(kIdRotate));
    r.linkUp = r.cts = 1, r.speed = 76800, r.dither = 5;
    refresh();
    EXPECT_EQ(sjis("COM3 OK|76.800 kbps|???|ON (無線用)"),
              text(kIdPort) + "|" + text(kIdSpeed) + "|" + text(kIdDither) + "|" + text(kIdCts));
    r.port = 0, r.dither = 2, r.rotate = 0;
    refresh();
    EXPECT_EQ(sjis("*COMポートがありません*|4色ハーフトーン|off"),
              text(kIdPort) + "|" + text(kIdDither) + "|" + text(kIdRotate));
}

TEST_F(MainWindow, TimerResendsTheWholePicture) {
    pump(4500); // the 4-second timer set at creation fires once or twice meanwhile
    EXPECT_TRUE(s_fullRefresh == 1 || s_fullRefresh == 2) << s_fullRefresh;
}

TEST_F(MainWindow, PositionClickMovesTheLinkWindowAtOnce) {
    click(kIdPosXUp);
    click(kIdPosYUp);
    EXPECT_TRUE(s_linkWindow.left == 16 && s_linkWindow.top == 16);
}

// Restored from the taskbar: under Wine, windows that others uncover are redrawn without it.
TEST_F(MainWindow, RepaintAfterUncoveringRediscovers) {
    ShowWindow(s_window, SW_MINIMIZE);
    pump(200);
    s_discover = 0;
    ShowWindow(s_window, SW_RESTORE);
    pump(200);
    EXPECT_GE(s_discover, 1);
}
