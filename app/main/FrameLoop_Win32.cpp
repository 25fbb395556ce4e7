// Start-up, the frame loop and shutdown of mirpanel.

#include "app/main/FrameLoop_Win32.h"

#include <mmsystem.h>

#include "app/capture/Discovery.h"
#include "app/convert/ConvertFrame_Win32.h"
#include "app/core/Globals.h"
#include "app/core/Pacing.h"
#include "app/link/Links_Win32.h"
#include "app/resource.h"
#include "app/settings/Settings_Win32.h"
#include "app/window/MainWindow_Win32.h"

namespace {

constexpr int kTitleLength = 100;

char s_title[kTitleLength];
char s_className[kTitleLength];
double s_tickDivisor = 0.0;
HACCEL s_accelerators = nullptr;
HINSTANCE s_instance = nullptr;

TickReading readTick() {
    LARGE_INTEGER counter;
    if (!QueryPerformanceCounter(&counter))
        return TickReading{0, 0.0};
    return readingFromCounter(counter.QuadPart, s_tickDivisor);
}

void initTickDivisor() {
    LARGE_INTEGER frequency;
    if (QueryPerformanceFrequency(&frequency)) {
        const double divisor = static_cast<double>(frequency.QuadPart) / 100.0;
        if (divisor > 0.0)
            s_tickDivisor = divisor;
    }
}

// Handles at most one message. Returns false when it was the quit message.
bool pumpOneMessage(HWND mainWindow, MSG& message) {
    if (!PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE))
        return true;
    if (GetMessageA(&message, nullptr, 0, 0) <= 0)
        return false; // WM_QUIT (or a broken queue, which ends the program the same way)
    if (!s_accelerators || !TranslateAcceleratorA(mainWindow, s_accelerators, &message)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return true;
}

void runPeriodicWork() {
    if (!g_captureReady) {
        discoverDisplays();
        if (g_captureReady)
            StartLinks();
    } else if (g_runMode == 1) {
        followMirrorMode();
        if (checkMirrorDriver() < 0)
            g_captureReady = 0;
    }

    // A failed link is restarted in the same pass: a replugged adapter then gets its bytes
    // again within a period instead of two.
    if (g_linksUp && anyLinkFailed())
        g_linksUp = 0;
    if (!g_linksUp && StartLinks() == 0)
        recreateMediator();
}

// Blocks until a message is waiting (one already seen but not yet handled counts) or `ms`
// have passed, so that the loop neither spins nor keeps a message waiting.
void waitForTurn(uint32_t ms) {
    if (ms == 0)
        return;
    if (MsgWaitForMultipleObjectsEx(0, nullptr, ms, QS_ALLINPUT, MWMO_INPUTAVAILABLE) ==
        WAIT_FAILED)
        Sleep(ms);
}

void paceFrame(const TickReading& now, uint32_t& lastFrameTick, uint32_t lastPeriodicTick) {
    const FrameStep step =
        frameStep(now.tick, lastFrameTick, g_anyActive != 0, g_linksUp != 0, g_captureReady != 0);
    if (step == FrameStep::Convert) {
        convertFrame();
        lastFrameTick = now.tick;
        return;
    }
    // Read afresh: the periodic work of this turn may have taken a while.
    waitForTurn(turnWaitMs(step, readTick(), lastFrameTick, lastPeriodicTick));
}

} // namespace

void startUp(HINSTANCE instance) {
    initTickDivisor();
    LoadStringA(instance, IDS_APP_TITLE, s_title, kTitleLength);
    LoadStringA(instance, IDC_MIRPANEL, s_className, kTitleLength);
    registerMainWindowClass(instance, s_className);
    resetGlobalState();
    loadOrSaveSettings(1);
    if (g_monitors[0].port < 1)
        g_monitors[0].port = FindComPort(0, +1);
    s_instance = instance;
    discoverDisplays();
}

HWND createMainWindow(int showCommand) {
    HWND window = CreateWindowExA(0, s_className, s_title, WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX,
                                  CW_USEDEFAULT, CW_USEDEFAULT, 320, 380, nullptr, nullptr,
                                  s_instance, nullptr);
    if (!window)
        return nullptr;
    ShowWindow(window, showCommand);
    UpdateWindow(window);
    s_accelerators = LoadAcceleratorsA(s_instance, MAKEINTRESOURCEA(IDC_MIRPANEL));
    timeBeginPeriod(1);
    return window;
}

int runFrameLoop(HWND mainWindow) {
    uint32_t lastPeriodicTick = 0;
    uint32_t lastFrameTick = 0;
    MSG message{};
    while (pumpOneMessage(mainWindow, message)) {
        const TickReading now = readTick();
        if (periodicDue(now.tick, lastPeriodicTick)) {
            runPeriodicWork();
            lastPeriodicTick = now.tick;
        }
        paceFrame(now, lastFrameTick, lastPeriodicTick);
    }
    timeEndPeriod(1);
    return static_cast<int>(message.wParam);
}

void shutDown() {
    loadOrSaveSettings(0);
    stopAllLinks();
    releaseCaptureObjects();
}
