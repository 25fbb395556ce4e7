// winctl: a small Windows console helper for scripts that drive GUI programs under Wine.
//   winctl close CLASS [TIMEOUT_MS]   post WM_CLOSE to the first window of CLASS and wait
//                                     until its process exits; exit with its exit code
//   winctl wait CLASS [TIMEOUT_MS]    wait until a window of CLASS exists
//   winctl click CLASS X Y            bring the window to the front and click the left
//                                     button at client point (X, Y) with real input
//   winctl rect CLASS                 print the window's outer rectangle on the screen as
//                                     WIDTHxHEIGHT+LEFT+TOP (the crop geometry of ImageMagick)
// Exit status 2 for bad arguments, 3 when no such window appears, 4 on a time-out.

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

HWND waitForWindow(const char* className, DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    for (;;) {
        HWND window = FindWindowA(className, nullptr);
        if (window)
            return window;
        if (GetTickCount() - start >= timeoutMs)
            return nullptr;
        Sleep(50);
    }
}

int closeWindow(HWND window, DWORD timeoutMs) {
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, processId);
    if (!process) {
        std::fprintf(stderr, "winctl: cannot open the window's process (error %lu)\n",
                     GetLastError());
        return 3;
    }
    PostMessageA(window, WM_CLOSE, 0, 0);
    int result = 4;
    if (WaitForSingleObject(process, timeoutMs) == WAIT_OBJECT_0) {
        DWORD exitCode = 1;
        GetExitCodeProcess(process, &exitCode);
        result = static_cast<int>(exitCode);
    } else {
        std::fprintf(stderr, "winctl: the process did not exit in time\n");
    }
    CloseHandle(process);
    return result;
}

void sendButton(DWORD flags) {
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = flags;
    SendInput(1, &input, sizeof(input));
}

// Input goes where the pointer is, as a user's click would.
int click(HWND window, const char* x, const char* y) {
    POINT point{std::atoi(x), std::atoi(y)};
    SetForegroundWindow(window);
    if (!ClientToScreen(window, &point) || !SetCursorPos(point.x, point.y))
        return 3;
    Sleep(100);
    sendButton(MOUSEEVENTF_LEFTDOWN);
    Sleep(50);
    sendButton(MOUSEEVENTF_LEFTUP);
    Sleep(200); // let the program take it before this process ends
    return 0;
}

int printRect(HWND window) {
    RECT r{};
    if (!GetWindowRect(window, &r))
        return 3;
    std::printf("%ldx%ld+%ld+%ld\n", r.right - r.left, r.bottom - r.top, r.left, r.top);
    return 0;
}

bool known(int argc, char** argv) {
    if (argc < 3)
        return false;
    const char* command = argv[1];
    if (std::strcmp(command, "click") == 0)
        return argc == 5;
    return std::strcmp(command, "close") == 0 || std::strcmp(command, "wait") == 0 ||
           std::strcmp(command, "rect") == 0;
}

} // namespace

int main(int argc, char** argv) {
    if (!known(argc, argv)) {
        std::fprintf(stderr, "usage: winctl close|wait CLASS [TIMEOUT_MS]\n"
                             "       winctl click CLASS X Y\n"
                             "       winctl rect CLASS\n");
        return 2;
    }
    const bool timed = std::strcmp(argv[1], "close") == 0 || std::strcmp(argv[1], "wait") == 0;
    const DWORD timeoutMs = timed && argc > 3 ? std::strtoul(argv[3], nullptr, 10) : 10000;
    HWND window = waitForWindow(argv[2], timeoutMs);
    if (!window) {
        std::fprintf(stderr, "winctl: no window of class %s\n", argv[2]);
        return 3;
    }
    if (std::strcmp(argv[1], "click") == 0)
        return click(window, argv[3], argv[4]);
    if (std::strcmp(argv[1], "rect") == 0)
        return printRect(window);
    if (std::strcmp(argv[1], "wait") == 0)
        return 0;
    return closeWindow(window, timeoutMs);
}
