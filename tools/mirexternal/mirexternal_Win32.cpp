// mirexternal: mirpanel in external-monitor mode with the mirror driver in its own process,
// for the demo. The real mirvane.dll runs beside the stand-in win32k.sys and model miniport,
// so nothing is installed (StandInDisplay.h). A timer draws a moving scene through the
// driver's hooks between frames. Everything else is mirpanel itself: settings, main window,
// frame loop, discovery, capture, links.
//   mirexternal [--still] [--shot OUT.ppm]
// --still draws the scene once and leaves it; --shot (last, the rest of the line is the path)
// writes the virtual display as a binary PPM when the program ends.
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "app/main/FrameLoop_Win32.h"
#include "tools/mirexternal/DriverScene.h"
#include "tools/mirexternal/StandInDisplay.h"

namespace {

constexpr LONG kBall = 12;
constexpr uint32_t kWhite = 0x00FFFFFF, kBlack = 0;

// Text rendered by GDI into a DIB section, then copied onto the surface through DrvCopyBits.
void blitText(const char* text, LONG x, LONG y, LONG width, LONG height, int size) {
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP dib = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!dc || !dib) {
        DeleteDC(dc);
        return;
    }
    HGDIOBJ oldBitmap = SelectObject(dc, dib);
    RECT all{0, 0, width, height};
    FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    HFONT font = CreateFontA(size, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                             OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, NONANTIALIASED_QUALITY,
                             DEFAULT_PITCH, "Arial");
    HGDIOBJ oldFont = SelectObject(dc, font);
    SetBkMode(dc, TRANSPARENT);
    TextOutA(dc, 0, 0, text, static_cast<int>(std::strlen(text)));
    GdiFlush();
    sceneBlit(g_standInDisplay, static_cast<const uint32_t*>(bits), width, height, x, y);
    SelectObject(dc, oldFont);
    SelectObject(dc, oldBitmap);
    DeleteObject(font);
    DeleteObject(dib);
    DeleteDC(dc);
}

// The panel shows the display's top-left 128 x 64 pixels.
void drawBackground() {
    sceneFill(g_standInDisplay, RECT{0, 0, kStandInWidth, kStandInHeight}, kWhite);
    sceneFill(g_standInDisplay, RECT{0, 0, 128, 1}, kBlack);
    sceneFill(g_standInDisplay, RECT{0, 63, 128, 64}, kBlack);
    sceneFill(g_standInDisplay, RECT{0, 0, 1, 64}, kBlack);
    sceneFill(g_standInDisplay, RECT{127, 0, 128, 64}, kBlack);
    blitText("Mirvane", 4, 3, 90, 20, 18);
    blitText("external", 4, 23, 80, 14, 12);
    scenePath(g_standInDisplay, RECT{96, 6, 122, 16});
    sceneText(g_standInDisplay, 96, 35);
}

LONG ballX(unsigned frame) {
    const LONG span = 2 * (124 - kBall - 4);
    const LONG step = LONG(frame * 3 % unsigned(span));
    return 4 + (step < span / 2 ? step : span - step);
}

// Every 50 ms the ball moves along the bottom, and the counter changes every second.
void CALLBACK drawFrame(HWND, UINT, UINT_PTR, DWORD) {
    static unsigned frame = 0;
    const LONG from = ballX(frame), to = ballX(++frame);
    sceneFill(g_standInDisplay, RECT{from, 44, from + kBall, 44 + kBall}, kWhite);
    sceneFill(g_standInDisplay, RECT{to, 44, to + kBall, 44 + kBall}, kBlack);
    if (frame % 20 == 0) {
        char counter[16];
        std::snprintf(counter, sizeof counter, "%u s", frame / 20);
        blitText(counter, 90, 23, 34, 14, 12);
    }
}

// The display's pixels, top row first, as a binary PPM.
bool writeShot(const char* path) {
    FILE* f = std::fopen(path, "wb");
    if (!f)
        return false;
    std::fprintf(f, "P6\n%ld %ld\n255\n", kStandInWidth, kStandInHeight);
    for (LONG y = 0; y < kStandInHeight; ++y)
        for (LONG x = 0; x < kStandInWidth; ++x) {
            const uint8_t* p = scenePixel(g_standInDisplay, x, y);
            const uint8_t rgb[3] = {p[2], p[1], p[0]};
            std::fwrite(rgb, 1, 3, f);
        }
    return std::fclose(f) == 0;
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int showCommand) {
    const bool still = std::strstr(commandLine, "--still") != nullptr;
    const char* shot = std::strstr(commandLine, "--shot ");
    if (!openStandInDisplay())
        return 1;
    drawBackground();
    startUp(instance);
    HWND window = createMainWindow(showCommand);
    if (!window)
        return 0;
    if (!still)
        SetTimer(nullptr, 0, 50, drawFrame);
    const int exitCode = runFrameLoop(window);
    shutDown();
    if (shot && !writeShot(shot + std::strlen("--shot ")))
        return 1;
    closeStandInDisplay();
    return exitCode;
}
