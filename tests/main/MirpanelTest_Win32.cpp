// mirpanel as a process: its window, and a clean exit on WM_CLOSE.

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace {

// The test gets the Linux path of the program; Wine shows the root file system as Z:.
std::string windowsPath(const char* unixPath) {
    std::string path = std::string("Z:") + unixPath;
    for (char& c : path)
        if (c == '/')
            c = '\\';
    return path;
}

HWND waitForWindow(const char* className, DWORD processId) {
    for (int i = 0; i < 300; ++i) {
        HWND window = FindWindowA(className, nullptr);
        DWORD owner = 0;
        if (window && GetWindowThreadProcessId(window, &owner) && owner == processId)
            return window;
        Sleep(50);
    }
    return nullptr;
}

} // namespace

TEST(Mirpanel, MainWindowAndCleanExit) {
    const char* exe = std::getenv("MIRPANEL_EXE");
    ASSERT_NE(nullptr, exe);
    std::string command = "\"" + windowsPath(exe) + "\"";

    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    ASSERT_TRUE(CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                               &startup, &process))
        << GetLastError();

    HWND window = waitForWindow("MIRVISTA", process.dwProcessId);
    ASSERT_NE(nullptr, window);
    char title[100] = {};
    GetWindowTextA(window, title, sizeof(title));
    EXPECT_STREQ("Mirvista", title);
    RECT outer{};
    ASSERT_TRUE(GetWindowRect(window, &outer));
    EXPECT_EQ(320, outer.right - outer.left);
    EXPECT_EQ(380, outer.bottom - outer.top);
    const LONG style = GetWindowLongA(window, GWL_STYLE);
    EXPECT_TRUE(style & WS_CAPTION);
    EXPECT_TRUE(style & WS_SYSMENU);
    EXPECT_TRUE(style & WS_MINIMIZEBOX);
    EXPECT_FALSE(style & WS_THICKFRAME);
    EXPECT_NE(nullptr, GetMenu(window));

    ASSERT_TRUE(PostMessageA(window, WM_CLOSE, 0, 0));
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(process.hProcess, 20000));
    DWORD exitCode = 1;
    ASSERT_TRUE(GetExitCodeProcess(process.hProcess, &exitCode));
    EXPECT_EQ(0u, exitCode);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
}
