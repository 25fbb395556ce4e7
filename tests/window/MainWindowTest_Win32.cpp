// The main window in this process over stand-ins for the core, clicked and typed at with
// real input (SetCursorPos and SendInput), its value labels read back as bytes.

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "app/core/App_Win32.h"
#include "app/core/Globals.h"
#include "app/link/SenderLink.h"
#include "app/window/MainWindow_Win32.h"
#include "app/window/WidgetIds.h"

// Stand-ins for what the window calls in the core and the links.
HINSTANCE g_instance = GetModuleHandleA(nullptr);
namespace {
struct Calls {
    int startLinks, recreate, fullRefresh, windowPosition, discover;
} s_calls;
int s_startResult = 0;
} // namespace
int StartLinks() {
    ++s_calls.startLinks;
    return s_startResult;
}
int recreateMediator() {
    return ++s_calls.recreate, 0;
}
int requestFullRefresh() {
    return ++s_calls.fullRefresh, 0;
}
int applyWindowPosition() {
    return ++s_calls.windowPosition, 0;
}
int discoverDisplays() {
    return ++s_calls.discover, 0;
}
int FindComPort(int32_t current, int32_t step) {
    return current + 10 * step;
}

namespace {

HWND s_window = nullptr;
std::string s_firstStatus;

// A UTF-8 text as the Shift-JIS bytes Windows makes of it.
std::string sjis(const char* utf8) {
    wchar_t wide[256];
    char bytes[512];
    const int n = MultiByteToWideChar(CP_UTF8, 0, utf8, -1, wide, 256);
    const int m = WideCharToMultiByte(932, 0, wide, n, bytes, sizeof(bytes), nullptr, nullptr);
    return std::string(bytes, m > 0 ? m - 1 : 0);
}

std::string text(int id) {
    return static_cast<ui::Label*>(mainForm()->FindById(id))->text;
}

void pump(DWORD ms) {
    const DWORD start = GetTickCount();
    MSG msg;
    do {
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        Sleep(5);
    } while (GetTickCount() - start < ms);
}

void send(INPUT input) {
    ASSERT_EQ(1u, SendInput(1, &input, sizeof(input)));
}

void button(DWORD flags) {
    INPUT in{};
    in.type = INPUT_MOUSE;
    in.mi.dwFlags = flags;
    send(in);
}

void pointAt(int id, int dx = 0) {
    const RECT& r = mainForm()->FindById(id)->rect;
    POINT p{(r.left + r.right) / 2 + dx, (r.top + r.bottom) / 2};
    ClientToScreen(s_window, &p);
    SetCursorPos(p.x, p.y);
    pump(20);
}

void click(int id) {
    pointAt(id);
    button(MOUSEEVENTF_LEFTDOWN);
    button(MOUSEEVENTF_LEFTUP);
    pump(40);
}

void key(WORD vk) {
    INPUT in{};
    in.type = INPUT_KEYBOARD;
    in.ki.wVk = vk;
    send(in);
    in.ki.dwFlags = KEYEVENTF_KEYUP;
    send(in);
    pump(60);
}

class MainWindow : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        resetGlobalState();
        registerMainWindowClass(g_instance, "MIRVISTA");
        s_window = CreateWindowExA(0, "MIRVISTA", "Mirvista", WS_CAPTION | WS_SYSMENU, 0, 0, 320,
                                   380, nullptr, nullptr, g_instance, nullptr);
        ASSERT_NE(nullptr, s_window);
        s_firstStatus = text(kIdStatus);
        ShowWindow(s_window, SW_SHOWNORMAL);
        SetForegroundWindow(s_window);
        pump(200);
    }
    void SetUp() override {
        key('1');
        resetGlobalState();
        s_calls = {};
        s_startResult = 0;
    }
    MonitorRecord& record() { return g_monitors[g_selectedMonitor]; }
    void refresh() { SendMessageA(s_window, WM_TIMER, 0, 0); }
};

// One click on a button of the selected display, from a set-up to an expected record.
struct ClickCase {
    const char* name;
    int id;
    void (*setUp)(MonitorRecord&);
    bool (*expected)(const MonitorRecord&);
    bool restart; // else a resend
};

const ClickCase kClicks[] = {
    {"contrast stays at 1.5", kIdContrastUp, [](MonitorRecord& r) { r.contrast = 1.5; },
     [](const MonitorRecord& r) { return r.contrast == 1.5; }, false},
    {"contrast 0.55 to 0.5", kIdContrastDown, [](MonitorRecord& r) { r.contrast = 0.55; },
     [](const MonitorRecord& r) { return r.contrast == 0.5; }, false},
    {"contrast stays at 0.5", kIdContrastDown, [](MonitorRecord& r) { r.contrast = 0.5; },
     [](const MonitorRecord& r) { return r.contrast == 0.5; }, false},
    {"gamma out of range up", kIdGammaDown, [](MonitorRecord& r) { r.gamma = 7.0; },
     [](const MonitorRecord& r) { return r.gamma == 1.5; }, false},
    {"offset 60 to 64", kIdBrightnessUp, [](MonitorRecord& r) { r.offset = 60; },
     [](const MonitorRecord& r) { return r.offset == 64; }, false},
    {"offset -60 to -64", kIdBrightnessDown, [](MonitorRecord& r) { r.offset = -60; },
     [](const MonitorRecord& r) { return r.offset == -64; }, false},
    {"offset from the far end", kIdBrightnessDown, [](MonitorRecord& r) { r.offset = INT32_MIN; },
     [](const MonitorRecord& r) { return r.offset == -64; }, false},
    {"posX 120 to 128", kIdPosXUp, [](MonitorRecord& r) { r.posX = 120; },
     [](const MonitorRecord& r) { return r.posX == 128; }, false},
    {"posX 8 to 0", kIdPosXDown, [](MonitorRecord& r) { r.posX = 8; },
     [](const MonitorRecord& r) { return r.posX == 0; }, false},
    {"posY 10 to 0", kIdPosYDown, [](MonitorRecord& r) { r.posY = 10; },
     [](const MonitorRecord& r) { return r.posY == 0; }, false},
    {"posY 60 to 64", kIdPosYUp, [](MonitorRecord& r) { r.posY = 60; },
     [](const MonitorRecord& r) { return r.posY == 64; }, false},
    {"speed wraps up", kIdSpeedUp, [](MonitorRecord& r) { r.speed = 500000; },
     [](const MonitorRecord& r) { return r.speed == 9600; }, true},
    {"speed wraps down", kIdSpeedDown, [](MonitorRecord& r) { r.speed = 9600; },
     [](const MonitorRecord& r) { return r.speed == 500000; }, true},
    {"speed snaps down", kIdSpeedDown, [](MonitorRecord& r) { r.speed = 100000; },
     [](const MonitorRecord& r) { return r.speed == 76800; }, true},
    {"speed snaps up", kIdSpeedUp, [](MonitorRecord& r) { r.speed = 100000; },
     [](const MonitorRecord& r) { return r.speed == 153600; }, true},
    {"speed above the table", kIdSpeedUp, [](MonitorRecord& r) { r.speed = 600000; },
     [](const MonitorRecord& r) { return r.speed == 19200; }, true},
    {"dither 0 wraps to 2", kIdDitherDown, [](MonitorRecord& r) { r.dither = 0; },
     [](const MonitorRecord& r) { return r.dither == 2; }, false},
    {"dither 2 wraps to 0", kIdDitherUp, [](MonitorRecord& r) { r.dither = 2; },
     [](const MonitorRecord& r) { return r.dither == 0; }, false},
    {"dither 7 down to 6", kIdDitherDown, [](MonitorRecord& r) { r.dither = 7; },
     [](const MonitorRecord& r) { return r.dither == 6; }, false},
    {"rotate 1 to 0", kIdRotateToggle, [](MonitorRecord& r) { r.rotate = 1; },
     [](const MonitorRecord& r) { return r.rotate == 0; }, false},
    {"rotate 3 to 0", kIdRotateToggle, [](MonitorRecord& r) { r.rotate = 3; },
     [](const MonitorRecord& r) { return r.rotate == 0; }, false},
    {"rotate 0 to 2", kIdRotateToggle, [](MonitorRecord&) {},
     [](const MonitorRecord& r) { return r.rotate == 2; }, false},
    {"invert on", kIdInvertToggle, [](MonitorRecord&) {},
     [](const MonitorRecord& r) { return r.invert == 1; }, false},
    {"cts on", kIdCtsToggle, [](MonitorRecord&) {},
     [](const MonitorRecord& r) { return r.cts == 1; }, true},
    {"port down", kIdPortDown, [](MonitorRecord& r) { r.port = 30; },
     [](const MonitorRecord& r) { return r.port == 20; }, true},
    {"port up", kIdPortUp, [](MonitorRecord& r) { r.port = 3; },
     [](const MonitorRecord& r) { return r.port == 13; }, true},
    {"checkbox activates", kIdActive, [](MonitorRecord&) {},
     [](const MonitorRecord& r) { return r.active == 1; }, true},
};

} // namespace

TEST_F(MainWindow, FirstRefreshShowsTheStartUpNoticeAndLaterOnesTheStatus) {
    EXPECT_EQ(sjis("初期化中..."), s_firstStatus);
    refresh();
    EXPECT_EQ(sjis("*画面のプロパティを確認してください*"), text(kIdStatus));
}

TEST_F(MainWindow, EveryClickActionWithItsFollowUp) {
    for (const ClickCase& c : kClicks) {
        resetGlobalState();
        c.setUp(record());
        refresh(); // the checkbox shows the record
        s_calls = {};
        click(c.id);
        EXPECT_TRUE(c.expected(record())) << c.name;
        EXPECT_EQ(c.restart ? 1 : 0, s_calls.startLinks) << c.name;
        EXPECT_EQ(c.restart ? 1 : 0, s_calls.recreate) << c.name;
        EXPECT_EQ(c.restart ? 0 : 1, s_calls.fullRefresh) << c.name;
        EXPECT_GE(s_calls.windowPosition, 1) << c.name; // the refresh moved the link window
    }
}

TEST_F(MainWindow, TenStepsDownFromOneLandOnHalfExactly) {
    for (int i = 0; i < 10; ++i)
        click(kIdGammaDown);
    EXPECT_EQ(0.5, record().gamma);
    EXPECT_EQ("0.50", text(kIdGamma));
}

TEST_F(MainWindow, FailedRestartLeavesTheCaptureSourcesAlone) {
    s_startResult = -1;
    record().active = 1;
    refresh();
    click(kIdActive);
    EXPECT_EQ(0, record().active);
    EXPECT_EQ(1, s_calls.startLinks);
    EXPECT_EQ(0, s_calls.recreate);
}

TEST_F(MainWindow, ModeButtonsToggleAndRediscover) {
    click(kIdModeUp);
    EXPECT_EQ(1, g_runMode);
    EXPECT_EQ(sjis("外部モニタ"), text(kIdModeName));
    click(kIdModeDown);
    EXPECT_EQ(0, g_runMode);
    EXPECT_EQ(sjis("メイン画面ミラー"), text(kIdModeName));
    EXPECT_GE(s_calls.discover, 2);
}

TEST_F(MainWindow, LinkCopiesOfInversionAndRotation) {
    g_links.assign(kMonitorCount, nullptr);
    SenderLink link("COM99", 9600, false);
    g_links[0] = &link;
    click(kIdInvertToggle);
    click(kIdRotateToggle);
    EXPECT_TRUE(link.invert);
    EXPECT_EQ(2, link.rotate);
    click(kIdInvertToggle);
    EXPECT_FALSE(link.invert);
    g_links.clear();
}

TEST_F(MainWindow, TabsAndKeysSelectTheDisplay) {
    g_monitors[1].offset = 24;
    click(kIdTab2);
    EXPECT_EQ(1, g_selectedMonitor);
    EXPECT_EQ("24", text(kIdBrightness));
    click(kIdTab2); // the selected tab again: nothing but a repaint
    EXPECT_EQ(1, g_selectedMonitor);
    key('A');
    EXPECT_EQ(1, g_selectedMonitor);
    key('1');
    EXPECT_EQ(0, g_selectedMonitor);
    EXPECT_EQ("0", text(kIdBrightness));
    EXPECT_TRUE(static_cast<ui::Checkbox*>(mainForm()->FindById(kIdTab1))->checked);
    key('2');
    EXPECT_EQ(1, g_selectedMonitor);
    click(kIdBrightnessUp);
    EXPECT_EQ(32, g_monitors[1].offset);
    EXPECT_EQ(0, g_monitors[0].offset);
}

TEST_F(MainWindow, DoubleClickIsTwoClicksAndReleaseElsewhereNone) {
    record().dither = 0;
    click(kIdDitherUp);
    click(kIdDitherUp); // within the double-click time
    EXPECT_EQ(2, record().dither);
    pointAt(kIdDitherUp);
    button(MOUSEEVENTF_LEFTDOWN);
    pump(20);
    pointAt(kIdDitherUp, 20); // onto the value label
    button(MOUSEEVENTF_LEFTUP);
    pump(40);
    EXPECT_EQ(2, record().dither);
    EXPECT_EQ(0, s_calls.startLinks);
}

TEST_F(MainWindow, ValueTextsAsBytes) {
    struct Flags {
        int32_t mode, any, capture, links, device, modeFound;
        const char* status;
    } cases[] = {
        {0, 0, 0, 0, 0, 0, "停止中"},
        {1, 0, 1, 1, 1, 1, "停止中"},
        {0, 1, 0, 0, 1, 1, "*画面のプロパティを確認してください*"},
        {0, 1, 1, 0, 0, 0, "*USB接続を確認してください*"},
        {0, 1, 1, 1, 0, 0, "動作中"},
        {1, 1, 1, 1, 0, 1, "*ドライバをインストールしてください*"},
        {1, 1, 1, 1, 1, 0, "*画面のプロパティを確認してください*"},
        {1, 1, 0, 0, 1, 1, "*USB接続を確認してください*"},
        {1, 1, 0, 1, 1, 1, "動作中"},
    };
    for (const Flags& f : cases) {
        g_runMode = f.mode;
        g_anyActive = f.any;
        g_captureReady = f.capture;
        g_linksUp = f.links;
        g_mirrorDeviceFound = f.device;
        g_mirrorModeFound = f.modeFound;
        refresh();
        EXPECT_EQ(sjis(f.status), text(kIdStatus)) << f.status;
        EXPECT_EQ(sjis(!f.device     ? "*見つかりません*"
                       : f.modeFound ? "動作中"
                                     : "停止中"),
                  text(kIdDriver));
    }
    MonitorRecord& r = record();
    r.port = 3;
    refresh();
    EXPECT_EQ("COM3 ", text(kIdPort));
    r.active = 1;
    refresh();
    EXPECT_EQ(sjis("COM3 *エラー*"), text(kIdPort));
    r.linkUp = 1;
    r.speed = 76800;
    r.dither = 5;
    r.cts = 1;
    refresh();
    EXPECT_EQ("COM3 OK", text(kIdPort));
    EXPECT_EQ("76.800 kbps", text(kIdSpeed));
    EXPECT_EQ("???", text(kIdDither));
    EXPECT_EQ(sjis("ON (無線用)"), text(kIdCts));
    r.port = 0;
    r.dither = 2;
    refresh();
    EXPECT_EQ(sjis("*COMポートがありません*"), text(kIdPort));
    EXPECT_EQ(sjis("4色ハーフトーン"), text(kIdDither));
    for (int rotate : {0, 1, 2, 3}) {
        r.rotate = rotate;
        refresh();
        EXPECT_EQ(rotate ? "ON" : "off", text(kIdRotate));
    }
}

namespace {
std::string s_shellCall;
HINSTANCE WINAPI recordShellCall(HWND owner, LPCSTR verb, LPCSTR file, LPCSTR parameters,
                                 LPCSTR folder, INT show) {
    s_shellCall = std::string(verb) + " " + file + (owner || parameters || folder ? " !" : "") +
                  (show == SW_SHOWNORMAL ? " normal" : "");
    return reinterpret_cast<HINSTANCE>(42);
}
} // namespace

TEST_F(MainWindow, WebPageCommandCallsTheShell) {
    g_shellExecute = recordShellCall;
    EXPECT_EQ(0, SendMessageA(s_window, WM_COMMAND, 111, 0));
    EXPECT_EQ(std::string("open ") + kMakerWebPage + " normal", s_shellCall);
}
