// The frame loop under Wine, measured from inside, a bare screen copier to set its cost
// against, and the helper window of the scene-to-port benchmark. bench/frameloop.sh runs:
//   bench_frameloop loop SECONDS
//       mirpanel itself (start-up, main window, frame loop, shutdown) for SECONDS. Every frame
//       conversion is timed against the tick at which it became due, and a thread posts a
//       message to a window of the GUI thread every 2 to 11 ms: how long each waits while
//       frames run. The first two seconds are not counted.
//   bench_frameloop pace SECONDS
//       the lateness floor of the platform at the time: a bare loop that waits for every third
//       tick as the frame loop does, with nothing else to do.
//   bench_frameloop copy INTERVAL_MS SECONDS [WIDTH HEIGHT]
//       copies the screen's top-left WIDTH x HEIGHT (640 x 480) into a DIB section every
//       INTERVAL_MS.
//   bench_frameloop changes COUNT GAP_MS LOG
//       a white top-most window over the screen's top-left 384 x 256; COUNT times a black
//       32 x 32 square at a random place inside the top-left 128 x 64, for GAP_MS, then white
//       again for GAP_MS. LOG gets a line per square: the moment it was seen on the screen
//       (Unix time in microseconds), its x and y.
// Prints "name value unit" lines.
#include <windows.h>

#include <mmsystem.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <vector>

#include "app/capture/DevMed_HDC.h"
#include "app/core/Globals.h"
#include "app/core/Pacing.h"
#include "app/main/FrameLoop_Win32.h"

namespace {

LONGLONG counterNow() {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now.QuadPart;
}

double g_frequency = 1.0;   // counts a second
double g_tickDivisor = 1.0; // counts a tick, as the frame loop computes it

double countsToMs(double counts) {
    return counts * 1000.0 / g_frequency;
}

void printPercentiles(const char* name, std::vector<double> values) {
    if (values.empty()) {
        std::printf("%s_count 0\n", name);
        return;
    }
    std::sort(values.begin(), values.end());
    auto at = [&](double q) { return values[static_cast<size_t>(q * (values.size() - 1))]; };
    std::printf("%s_p50 %.3f ms\n%s_p95 %.3f ms\n%s_max %.3f ms\n%s_count %u\n", name, at(0.5),
                name, at(0.95), name, values.back(), name, static_cast<unsigned>(values.size()));
}

// ---- loop: mirpanel with its conversions and messages timed

struct LoopRecord {
    LONGLONG measureFrom = 0;
    LONGLONG measureTo = 0;
    int64_t lastTick = -1; // whole ticks since the counter started, of the last conversion
    const void* lastBitmap = nullptr;
    std::vector<double> lateness;
    std::vector<double> work;
    int frames = 0;
    int captures = 0;
    std::vector<double> messageWait;
};

LoopRecord g_loop;
constexpr unsigned kMaxMessages = 20000;
std::atomic<LONGLONG> g_postedAt[kMaxMessages];
HWND g_benchWindow = nullptr;
HWND g_mainWindow = nullptr;

bool measuring(LONGLONG now) {
    return now >= g_loop.measureFrom && now < g_loop.measureTo;
}

bool framesRunning() {
    return g_anyActive && g_linksUp && g_captureReady;
}

} // namespace

// The frame loop's call of convertFrame comes here (the link maps it with --wrap).
extern "C" void __real__Z12convertFramev();
extern "C" void __wrap__Z12convertFramev() {
    const LONGLONG start = counterNow();
    const int64_t tick = static_cast<int64_t>(static_cast<double>(start) / g_tickDivisor);
    const bool counted = measuring(start);
    // A frame that follows another within a second was due kFrameTicks after it.
    if (counted && g_loop.lastTick >= 0 && tick - g_loop.lastTick < kPeriodicTicks) {
        const double due = static_cast<double>(g_loop.lastTick + kFrameTicks) * g_tickDivisor;
        g_loop.lateness.push_back(countsToMs(static_cast<double>(start) - due));
    }
    __real__Z12convertFramev();
    const void* bitmap = g_screenMediator ? g_screenMediator->frameBitmap() : nullptr;
    if (counted) {
        ++g_loop.frames;
        g_loop.work.push_back(countsToMs(static_cast<double>(counterNow() - start)));
        g_loop.captures += bitmap != g_loop.lastBitmap ? 1 : 0; // a capture swaps the bitmaps
    }
    g_loop.lastBitmap = bitmap;
    g_loop.lastTick = tick;
}

namespace {

LRESULT CALLBACK benchWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_APP) {
        const LONGLONG now = counterNow();
        if (wParam < kMaxMessages && measuring(now) && framesRunning()) {
            const LONGLONG posted = g_postedAt[wParam].load();
            g_loop.messageWait.push_back(countsToMs(static_cast<double>(now - posted)));
        }
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

DWORD WINAPI postMessages(void* parameter) {
    const LONGLONG end = *static_cast<LONGLONG*>(parameter);
    std::mt19937 random(5);
    for (unsigned i = 0; i < kMaxMessages && counterNow() < end; ++i) {
        Sleep(2 + random() % 10);
        g_postedAt[i].store(counterNow());
        PostMessageA(g_benchWindow, WM_APP, i, 0);
    }
    PostMessageA(g_mainWindow, WM_CLOSE, 0, 0); // ends the frame loop as the user would
    return 0;
}

int runLoop(int seconds) {
    HINSTANCE instance = GetModuleHandleA(nullptr);
    startUp(instance);
    g_mainWindow = createMainWindow(SW_SHOWNOACTIVATE);
    WNDCLASSA benchClass{};
    benchClass.lpfnWndProc = benchWindowProc;
    benchClass.hInstance = instance;
    benchClass.lpszClassName = "MIRVISTA_BENCH";
    if (!g_mainWindow || !RegisterClassA(&benchClass) ||
        !(g_benchWindow = CreateWindowExA(0, "MIRVISTA_BENCH", "", 0, 0, 0, 0, 0, HWND_MESSAGE,
                                          nullptr, instance, nullptr))) {
        std::fprintf(stderr, "bench_frameloop: no window\n");
        return 1;
    }
    const LONGLONG start = counterNow();
    g_loop.measureFrom = start + static_cast<LONGLONG>(2 * g_frequency);
    LONGLONG end = start + static_cast<LONGLONG>(seconds * g_frequency);
    g_loop.measureTo = end;
    HANDLE poster = CreateThread(nullptr, 0, postMessages, &end, 0, nullptr);
    if (!poster) {
        return 1;
    }
    runFrameLoop(g_mainWindow);
    shutDown();
    WaitForSingleObject(poster, INFINITE);
    CloseHandle(poster);
    const double measured = (seconds - 2.0);
    printPercentiles("frame_lateness", g_loop.lateness);
    printPercentiles("frame_work", g_loop.work);
    std::printf("frames_per_s %.2f\ncaptures_per_s %.2f\n", g_loop.frames / measured,
                g_loop.captures / measured);
    printPercentiles("message_wait", g_loop.messageWait);
    return g_loop.frames > 0 ? 0 : 1;
}

// ---- pace: a bare loop waiting for every third tick

int runPace(int seconds) {
    timeBeginPeriod(1);
    const LONGLONG start = counterNow();
    const LONGLONG from = start + static_cast<LONGLONG>(2 * g_frequency);
    const LONGLONG end = start + static_cast<LONGLONG>(seconds * g_frequency);
    std::vector<double> lateness;
    int64_t last = static_cast<int64_t>(static_cast<double>(start) / g_tickDivisor);
    for (LONGLONG now = start; now < end; now = counterNow()) {
        const TickReading reading = readingFromCounter(now, g_tickDivisor);
        const uint32_t lastTick = static_cast<uint32_t>(last);
        const FrameStep step = frameStep(reading.tick, lastTick, true, true, true);
        if (step == FrameStep::Convert) {
            const double due = static_cast<double>(last + kFrameTicks) * g_tickDivisor;
            if (now >= from) {
                lateness.push_back(countsToMs(static_cast<double>(now) - due));
            }
            last = static_cast<int64_t>(static_cast<double>(now) / g_tickDivisor);
            continue;
        }
        MsgWaitForMultipleObjectsEx(0, nullptr, turnWaitMs(step, reading, lastTick, reading.tick),
                                    QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    }
    timeEndPeriod(1);
    printPercentiles("bare_lateness", lateness);
    return 0;
}

// ---- copy: the bare screen copier

int runCopy(int intervalMs, int seconds, int width, int height) {
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!screen || !memory || !bitmap) {
        return 1;
    }
    HGDIOBJ old = SelectObject(memory, bitmap);
    timeBeginPeriod(1);
    const DWORD start = timeGetTime();
    int copies = 0;
    for (DWORD next = start; next - start < static_cast<DWORD>(seconds) * 1000;
         next += intervalMs) {
        BitBlt(memory, 0, 0, width, height, screen, 0, 0, SRCCOPY);
        GdiFlush();
        ++copies;
        const DWORD now = timeGetTime();
        if (static_cast<int32_t>(next + intervalMs - now) > 0) {
            Sleep(next + intervalMs - now);
        }
    }
    timeEndPeriod(1);
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    std::printf("copies_per_s %.2f\n", copies / static_cast<double>(seconds));
    return 0;
}

// ---- changes: the helper window of the scene-to-port benchmark

constexpr int kSquare = 32;

// The wall clock, which the pty reader on the Linux side reads too (Wine takes it from the
// same clock, to the microsecond).
int64_t unixMicroseconds() {
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    const int64_t ticks = (static_cast<int64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
    return (ticks - 116444736000000000LL) / 10; // from 1601 in 100 ns to 1970 in us
}

void pumpFor(DWORD ms) {
    const DWORD start = GetTickCount();
    MSG message;
    while (GetTickCount() - start < ms) {
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            DispatchMessageA(&message);
        }
        Sleep(1);
    }
}

void fillSquare(HWND window, int x, int y, int size, bool black) {
    HDC dc = GetDC(window);
    RECT area{x, y, x + size, y + size};
    FillRect(dc, &area, static_cast<HBRUSH>(GetStockObject(black ? BLACK_BRUSH : WHITE_BRUSH)));
    ReleaseDC(window, dc);
    GdiFlush();
}

// Waits until the screen shows the square's colour at its centre; the moment is the change's.
// Wine hands a window's drawing to the X server while the thread handles its messages.
bool waitUntilSeen(int x, int y, bool black) {
    HDC screen = GetDC(nullptr);
    const COLORREF wanted = black ? RGB(0, 0, 0) : RGB(255, 255, 255);
    bool seen = false;
    const DWORD start = GetTickCount();
    while (!seen && GetTickCount() - start < 2000) {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            DispatchMessageA(&message);
        }
        seen = GetPixel(screen, x + kSquare / 2, y + kSquare / 2) == wanted;
    }
    ReleaseDC(nullptr, screen);
    return seen;
}

int runChanges(int count, int gapMs, const char* logPath) {
    WNDCLASSA helperClass{};
    helperClass.lpfnWndProc = DefWindowProcA;
    helperClass.hInstance = GetModuleHandleA(nullptr);
    helperClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    helperClass.lpszClassName = "MIRVISTA_CHANGES";
    HWND window =
        RegisterClassA(&helperClass)
            ? CreateWindowExA(WS_EX_TOPMOST, "MIRVISTA_CHANGES", "", WS_POPUP | WS_VISIBLE, 0, 0,
                              384, 256, nullptr, nullptr, helperClass.hInstance, nullptr)
            : nullptr;
    FILE* log = std::fopen(logPath, "w");
    if (!window || !log) {
        return 1;
    }
    fillSquare(window, 0, 0, 384, false);
    pumpFor(3000); // the panel settles on the white window
    std::mt19937 random(7);
    int seen = 0;
    for (int i = 0; i < count; ++i) {
        const int x = static_cast<int>(random() % (128 - kSquare + 1));
        const int y = static_cast<int>(random() % (64 - kSquare + 1));
        fillSquare(window, x, y, kSquare, true);
        if (waitUntilSeen(x, y, true)) {
            std::fprintf(log, "%lld %d %d\n", static_cast<long long>(unixMicroseconds()), x, y);
            std::fflush(log);
            ++seen;
        }
        pumpFor(gapMs);
        fillSquare(window, x, y, kSquare, false);
        waitUntilSeen(x, y, false);
        pumpFor(gapMs);
    }
    std::fclose(log);
    DestroyWindow(window);
    std::printf("changes_seen %d\n", seen);
    return seen == count ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    LARGE_INTEGER frequency;
    if (!QueryPerformanceFrequency(&frequency) || frequency.QuadPart <= 0) {
        return 1;
    }
    g_frequency = static_cast<double>(frequency.QuadPart);
    g_tickDivisor = g_frequency / 100.0;
    const auto number = [&](int i) { return i < argc ? std::atoi(argv[i]) : 0; };
    const char* mode = argc > 1 ? argv[1] : "";
    if (std::strcmp(mode, "loop") == 0 && number(2) > 2) {
        return runLoop(number(2));
    }
    if (std::strcmp(mode, "pace") == 0 && number(2) > 2) {
        return runPace(number(2));
    }
    if (std::strcmp(mode, "copy") == 0 && number(2) > 0 && number(3) > 0) {
        const bool sized = number(4) > 0 && number(5) > 0;
        return runCopy(number(2), number(3), sized ? number(4) : 640, sized ? number(5) : 480);
    }
    if (std::strcmp(mode, "changes") == 0 && number(2) > 0 && number(3) > 0 && argc > 4) {
        return runChanges(number(2), number(3), argv[4]);
    }
    std::fprintf(stderr, "usage: bench_frameloop loop SECONDS | pace SECONDS |"
                         " copy INTERVAL_MS SECONDS [WIDTH HEIGHT] | changes COUNT GAP_MS LOG\n");
    return 2;
}
