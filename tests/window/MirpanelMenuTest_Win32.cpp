// mirpanel as a process, driven with real input: the accelerators and the Help menu open the
// about box through the program's own message loop, every way of closing it works, a click
// changes a setting, and File > Exit ends the program with that setting saved.

#include <windows.h>

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>

#include "tests/core/MirpanelProcess_Win32.h"
#include "tests/multio/TempFolder_Win32.h"

namespace {

HWND s_main = nullptr;

void send(std::initializer_list<WORD> down) {
    for (int pass = 0; pass < 2; ++pass) // presses in order, then releases in reverse
        for (size_t i = 0; i < down.size(); ++i) {
            INPUT in{};
            in.type = INPUT_KEYBOARD;
            in.ki.wVk = pass ? down.begin()[down.size() - 1 - i] : down.begin()[i];
            in.ki.dwFlags = pass ? KEYEVENTF_KEYUP : 0;
            SendInput(1, &in, sizeof(in));
            Sleep(20);
        }
    Sleep(150);
}

void clickAt(HWND window, POINT p) {
    ClientToScreen(window, &p);
    SetCursorPos(p.x, p.y);
    Sleep(100);
    for (DWORD flags : {MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP}) {
        INPUT in{};
        in.type = INPUT_MOUSE;
        in.mi.dwFlags = flags;
        SendInput(1, &in, sizeof(in));
    }
    Sleep(200);
}

struct OwnedDialog {
    HWND found;
    static BOOL CALLBACK check(HWND window, LPARAM self) {
        char name[16] = {};
        GetClassNameA(window, name, sizeof(name));
        if (std::string(name) == "#32770" && GetWindow(window, GW_OWNER) == s_main &&
            IsWindowVisible(window)) {
            reinterpret_cast<OwnedDialog*>(self)->found = window;
            return FALSE;
        }
        return TRUE;
    }
};

HWND aboutBox() {
    OwnedDialog dialog{nullptr};
    EnumWindows(OwnedDialog::check, reinterpret_cast<LPARAM>(&dialog));
    return dialog.found;
}

// Waits until the about box is shown (or gone); after EndDialog it lingers a little.
bool waitForAboutBox(bool shown) {
    for (int i = 0; i < 100; ++i) {
        if ((aboutBox() != nullptr) == shown)
            return true;
        Sleep(50);
    }
    return false;
}

std::string sjis(const wchar_t* text) {
    char bytes[256] = {};
    WideCharToMultiByte(932, 0, text, -1, bytes, sizeof(bytes), nullptr, nullptr);
    return bytes;
}

} // namespace

TEST(MirpanelMenu, AboutBoxAcceleratorsMenuAndExit) {
    TempFolder folder("menu");
    ASSERT_TRUE(CreateDirectoryA((folder / "mirvane").c_str(), nullptr));
    const std::string ini = folder / "mirvane\\mirvista.ini";
    ASSERT_TRUE(writeWholeFile(ini, "MO.0.DITHER=0\n"));
    std::vector<char> environment = environmentWithAppData(folder.path);
    std::string command = "\"" + programPath() + "\"";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    ASSERT_TRUE(CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, environment.data(),
                               nullptr, &startup, &process));
    s_main = findWindowOf(process.dwProcessId, process.hProcess);
    ASSERT_NE(nullptr, s_main);
    SetForegroundWindow(s_main);
    Sleep(300);

    send({VK_MENU, VK_SHIFT, VK_OEM_2}); // Alt + "?"
    ASSERT_TRUE(waitForAboutBox(true));
    char caption[64] = {};
    GetWindowTextA(aboutBox(), caption, sizeof(caption));
    EXPECT_EQ(sjis(L"\u30d0\u30fc\u30b8\u30e7\u30f3\u60c5\u5831 Mirvista"), caption);
    EXPECT_FALSE(IsWindowEnabled(s_main)); // modal
    send({VK_RETURN});
    EXPECT_TRUE(waitForAboutBox(false)) << "Enter";

    send({VK_MENU, VK_OEM_2}); // Alt + "/"
    ASSERT_TRUE(waitForAboutBox(true));
    send({VK_ESCAPE});
    EXPECT_TRUE(waitForAboutBox(false)) << "Escape";

    send({VK_MENU, 'H'}); // Help > About
    send({'A'});
    ASSERT_TRUE(waitForAboutBox(true));
    HWND ok = GetDlgItem(aboutBox(), IDOK);
    RECT r{};
    GetClientRect(ok, &r);
    clickAt(ok, POINT{r.right / 2, r.bottom / 2});
    EXPECT_TRUE(waitForAboutBox(false)) << "OK";

    send({VK_MENU, VK_SHIFT, VK_OEM_2});
    ASSERT_TRUE(waitForAboutBox(true));
    PostMessageA(aboutBox(), WM_SYSCOMMAND, SC_CLOSE, 0); // the close box
    EXPECT_TRUE(waitForAboutBox(false)) << "close box";

    clickAt(s_main, POINT{135, 175}); // dither "+"
    send({VK_MENU, 'F'});             // File > Exit
    send({'X'});
    const DWORD waited = WaitForSingleObject(process.hProcess, 20000);
    if (waited != WAIT_OBJECT_0)
        TerminateProcess(process.hProcess, 1);
    DWORD exitCode = 1;
    GetExitCodeProcess(process.hProcess, &exitCode);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    ASSERT_EQ(WAIT_OBJECT_0, waited);
    EXPECT_EQ(0u, exitCode);
    EXPECT_NE(std::string::npos, readWholeFile(ini).find("MO.0.DITHER=1\n"));
}
