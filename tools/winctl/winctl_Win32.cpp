// winctl: a small Windows console helper for scripts that drive GUI programs under Wine.
//   winctl close CLASS [TIMEOUT_MS]   post WM_CLOSE to the first window of CLASS and wait
//                                     until its process exits; exit with its exit code
//   winctl wait CLASS [TIMEOUT_MS]    wait until a window of CLASS exists
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

} // namespace

int main(int argc, char** argv) {
    if (argc < 3 || (std::strcmp(argv[1], "close") != 0 && std::strcmp(argv[1], "wait") != 0)) {
        std::fprintf(stderr, "usage: winctl close|wait CLASS [TIMEOUT_MS]\n");
        return 2;
    }
    const DWORD timeoutMs = argc > 3 ? std::strtoul(argv[3], nullptr, 10) : 10000;
    HWND window = waitForWindow(argv[2], timeoutMs);
    if (!window) {
        std::fprintf(stderr, "winctl: no window of class %s\n", argv[2]);
        return 3;
    }
    if (std::strcmp(argv[1], "wait") == 0)
        return 0;
    return closeWindow(window, timeoutMs);
}
