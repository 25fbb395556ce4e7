// mirscene: a test scene for the mirror, and screenshots of it, for scripts under Wine.
//   mirscene show [--still] [--width W] [--height H]
//       a borderless top-most window (class MIRSCENE) at the desktop's top-left corner
//       with text, shapes and a grey ramp; without --still a square and a counter move
//       every 50 ms. Runs until the window is closed.
//   mirscene place CLASS X Y
//       moves the first window of CLASS so that its top-left corner is at (X, Y).
//   mirscene shot OUT.ppm [WIDTH HEIGHT]
//       copies the screen's top-left WIDTH x HEIGHT pixels (default 384 x 256) through
//       the screen device context, as the mirror captures them, into a binary PPM.
// Exit status 0, 1 when the window or the file cannot be made, 2 for bad arguments.

#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

constexpr char kClassName[] = "MIRSCENE";
constexpr UINT_PTR kTimerId = 1;
constexpr UINT kTimerMs = 50;

struct Scene {
    int width = 384;
    int height = 256;
    bool still = false;
    unsigned frame = 0;
};

Scene g_scene;

void fillRect(HDC dc, int left, int top, int right, int bottom, COLORREF colour) {
    RECT r{left, top, right, bottom};
    HBRUSH brush = CreateSolidBrush(colour);
    FillRect(dc, &r, brush);
    DeleteObject(brush);
}

void drawText(HDC dc, int x, int y, int height, int weight, const char* text) {
    HFONT font = CreateFontA(height, 0, 0, 0, weight, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                             OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, NONANTIALIASED_QUALITY,
                             DEFAULT_PITCH, "Arial");
    HGDIOBJ old = SelectObject(dc, font);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB(0, 0, 0));
    TextOutA(dc, x, y, text, static_cast<int>(std::strlen(text)));
    SelectObject(dc, old);
    DeleteObject(font);
}

void drawLine(HDC dc, int x0, int y0, int x1, int y1) {
    MoveToEx(dc, x0, y0, nullptr);
    LineTo(dc, x1, y1);
}

void drawShapes(HDC dc, int left, int top, int size) {
    fillRect(dc, left, top, left + size, top + size, RGB(0, 0, 0));
    HPEN pen = CreatePen(PS_SOLID, 2, RGB(0, 0, 0));
    HGDIOBJ oldPen = SelectObject(dc, pen);
    HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(NULL_BRUSH));
    Ellipse(dc, left + size + 4, top, left + 2 * size + 4, top + size);
    drawLine(dc, left + 2 * size + 8, top, left + 3 * size + 8, top + size);
    drawLine(dc, left + 3 * size + 8, top, left + 2 * size + 8, top + size);
    SelectObject(dc, oldBrush);
    SelectObject(dc, oldPen);
    DeleteObject(pen);
}

// Sixteen grey steps from black to white over `width`, then a smooth ramp below them.
void drawRamp(HDC dc, int left, int top, int width, int stepHeight, int smoothHeight) {
    for (int i = 0; i < 16; ++i) {
        int grey = i * 255 / 15;
        fillRect(dc, left + i * width / 16, top, left + (i + 1) * width / 16, top + stepHeight,
                 RGB(grey, grey, grey));
    }
    for (int x = 0; x < width; ++x) {
        int grey = x * 255 / (width - 1);
        fillRect(dc, left + x, top + stepHeight, left + x + 1, top + stepHeight + smoothHeight,
                 RGB(grey, grey, grey));
    }
}

// The panel's own 128 x 64 window at the top-left, and more around it for windows moved
// elsewhere.
void paintScene(HDC dc, const Scene& s) {
    fillRect(dc, 0, 0, s.width, s.height, RGB(255, 255, 255));
    drawShapes(dc, 2, 2, 18);
    drawText(dc, 66, 2, 14, FW_BOLD, "Mirvista");
    drawText(dc, 66, 14, 11, FW_NORMAL, "128 x 64");
    drawRamp(dc, 0, 44, 128, 10, 10);
    drawShapes(dc, 136, 8, 40);
    drawText(dc, 8, 72, 28, FW_BOLD, "main screen mirror");
    drawRamp(dc, 0, 120, s.width, 24, 16);
    fillRect(dc, 200, 176, 376, 240, RGB(96, 96, 96));
    drawText(dc, 208, 196, 20, FW_BOLD, "grey box");
    if (!s.still) {
        int x = static_cast<int>(s.frame * 2 % 120u);
        fillRect(dc, x, 24, x + 8, 40, RGB(0, 0, 0));
        char counter[32];
        std::snprintf(counter, sizeof counter, "frame %u", s.frame);
        drawText(dc, 66, 26, 12, FW_NORMAL, counter);
        int y = static_cast<int>(s.frame * 3 % 80u);
        fillRect(dc, 8, 160 + y % 16, 8 + 40 + y, 176 + y % 16, RGB(0, 0, 0));
    }
}

LRESULT CALLBACK sceneProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(window, &ps);
        paintScene(dc, g_scene);
        EndPaint(window, &ps);
        return 0;
    }
    case WM_TIMER:
        ++g_scene.frame;
        InvalidateRect(window, nullptr, FALSE);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

bool parseSize(const char* text, int& value) {
    char* end = nullptr;
    long v = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || v < 16 || v > 4096)
        return false;
    value = static_cast<int>(v);
    return true;
}

int show(int argc, char** argv) {
    for (int i = 0; i < argc; ++i) {
        if (std::strcmp(argv[i], "--still") == 0) {
            g_scene.still = true;
        } else if ((std::strcmp(argv[i], "--width") == 0 ||
                    std::strcmp(argv[i], "--height") == 0) &&
                   i + 1 < argc) {
            int& target = argv[i][2] == 'w' ? g_scene.width : g_scene.height;
            if (!parseSize(argv[++i], target))
                return 2;
        } else {
            return 2;
        }
    }
    HINSTANCE instance = GetModuleHandleA(nullptr);
    WNDCLASSA wc{};
    wc.lpfnWndProc = sceneProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.lpszClassName = kClassName;
    if (!RegisterClassA(&wc))
        return 1;
    HWND window = CreateWindowExA(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, kClassName, "mirscene",
                                  WS_POPUP | WS_VISIBLE, 0, 0, g_scene.width, g_scene.height,
                                  nullptr, nullptr, instance, nullptr);
    if (!window)
        return 1;
    if (!g_scene.still)
        SetTimer(window, kTimerId, kTimerMs, nullptr);
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return 0;
}

bool writePpm(const char* path, const std::vector<uint8_t>& bgrx, int width, int height) {
    FILE* f = std::fopen(path, "wb");
    if (!f)
        return false;
    std::fprintf(f, "P6\n%d %d\n255\n", width, height);
    std::vector<uint8_t> rgb(static_cast<size_t>(width) * 3);
    bool ok = true;
    for (int y = 0; y < height && ok; ++y) {
        const uint8_t* row = bgrx.data() + static_cast<size_t>(y) * width * 4;
        for (int x = 0; x < width; ++x) {
            rgb[x * 3 + 0] = row[x * 4 + 2];
            rgb[x * 3 + 1] = row[x * 4 + 1];
            rgb[x * 3 + 2] = row[x * 4 + 0];
        }
        ok = std::fwrite(rgb.data(), 1, rgb.size(), f) == rgb.size();
    }
    return (std::fclose(f) == 0) && ok;
}

// The screen's pixels through a 32-bit top-down DIB section, as BitBlt delivers them.
bool captureScreen(int width, int height, std::vector<uint8_t>& bgrx) {
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP section = screen && memory
                          ? CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0)
                          : nullptr;
    bool ok = false;
    if (section) {
        HGDIOBJ old = SelectObject(memory, section);
        ok = BitBlt(memory, 0, 0, width, height, screen, 0, 0, SRCCOPY) != 0;
        GdiFlush();
        if (ok) {
            const uint8_t* p = static_cast<const uint8_t*>(bits);
            bgrx.assign(p, p + static_cast<size_t>(width) * height * 4);
        }
        SelectObject(memory, old);
        DeleteObject(section);
    }
    if (memory)
        DeleteDC(memory);
    if (screen)
        ReleaseDC(nullptr, screen);
    return ok;
}

int shot(int argc, char** argv) {
    int width = 384;
    int height = 256;
    if (argc != 1 && argc != 3)
        return 2;
    if (argc == 3 && (!parseSize(argv[1], width) || !parseSize(argv[2], height)))
        return 2;
    std::vector<uint8_t> bgrx;
    if (!captureScreen(width, height, bgrx) || !writePpm(argv[0], bgrx, width, height)) {
        std::fprintf(stderr, "mirscene: cannot take the screenshot %s\n", argv[0]);
        return 1;
    }
    return 0;
}

bool parseCoordinate(const char* text, int& value) {
    char* end = nullptr;
    long v = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || v < -16384 || v > 16384)
        return false;
    value = static_cast<int>(v);
    return true;
}

int place(int argc, char** argv) {
    int x = 0;
    int y = 0;
    if (argc != 3 || !parseCoordinate(argv[1], x) || !parseCoordinate(argv[2], y))
        return 2;
    HWND window = FindWindowA(argv[0], nullptr);
    if (!window ||
        !SetWindowPos(window, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE)) {
        std::fprintf(stderr, "mirscene: cannot move a window of class %s\n", argv[0]);
        return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    int result = 2;
    if (argc >= 2 && std::strcmp(argv[1], "show") == 0)
        result = show(argc - 2, argv + 2);
    else if (argc >= 2 && std::strcmp(argv[1], "shot") == 0)
        result = shot(argc - 2, argv + 2);
    else if (argc >= 2 && std::strcmp(argv[1], "place") == 0)
        result = place(argc - 2, argv + 2);
    if (result == 2)
        std::fprintf(stderr, "usage: mirscene show [--still] [--width W] [--height H]\n"
                             "       mirscene place CLASS X Y\n"
                             "       mirscene shot OUT.ppm [WIDTH HEIGHT]\n");
    return result;
}
