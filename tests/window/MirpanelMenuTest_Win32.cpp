// mirpanel as a process, driven with real input: the accelerators and the Help menu open the
// about box through the program's own message loop, every way of closing it works, a click
// changes a setting, and File > Exit ends the program with that setting saved.

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "tests/main/MirpanelProcess_Win32.h"
#include "tests/multio/TempFolder_Win32.h"
#include "tests/window/RealInput_Win32.h"

namespace {

void wait(DWORD ms) {
    Sleep(ms);
}

void keys(std::vector<WORD> down) {
    pressKeys(down, wait);
}

void clickAt(HWND window, POINT p) {
    mouseAt(window, p, {MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP}, wait);
}

// The about box of the main window once it is shown (or null once it is gone); after
// EndDialog it lingers a little.
HWND aboutBox(HWND owner, bool shown) {
    for (int i = 0; i < 100; ++i, Sleep(50)) {
        HWND box = FindWindowA("#32770", nullptr);
        box = box && GetWindow(box, GW_OWNER) == owner && IsWindowVisible(box) ? box : nullptr;
        if ((box != nullptr) == shown)
            return box;
    }
    return shown ? nullptr : owner;
}

} // namespace

TEST(MirpanelMenu, AboutBoxAcceleratorsMenuAndExit) {
    TempFolder folder("menu");
    const std::string ini = folder / "mirvane\\mirvista.ini";
    ASSERT_TRUE(CreateDirectoryA((folder / "mirvane").c_str(), nullptr) &&
                writeWholeFile(ini, "MO.0.DITHER=0\n"));
    PROCESS_INFORMATION process{};
    HWND main = startMirpanel(folder.path, process);
    ASSERT_NE(nullptr, main);
    SetForegroundWindow(main);
    Sleep(300);

    keys({VK_MENU, VK_SHIFT, VK_OEM_2}); // Alt + "?"
    HWND box = aboutBox(main, true);
    char caption[64] = {};
    GetWindowTextA(box, caption, sizeof(caption)); // "バージョン情報 Mirvista" in code page 932
    EXPECT_STREQ("\x83\x6f\x81\x5b\x83\x57\x83\x87\x83\x93\x8f\xee\x95\xf1 Mirvista", caption);
    keys({VK_RETURN});
    EXPECT_EQ(nullptr, aboutBox(main, false)) << "Enter";
    keys({VK_MENU, VK_OEM_2}); // Alt + "/"
    ASSERT_NE(nullptr, aboutBox(main, true));
    keys({VK_ESCAPE});
    EXPECT_EQ(nullptr, aboutBox(main, false)) << "Escape";
    keys({VK_MENU, 'H'}); // Help > About
    keys({'A'});
    ASSERT_NE(nullptr, box = aboutBox(main, true));
    clickAt(GetDlgItem(box, IDOK), POINT{10, 10});
    EXPECT_EQ(nullptr, aboutBox(main, false)) << "OK";
    keys({VK_MENU, VK_SHIFT, VK_OEM_2});
    PostMessageA(aboutBox(main, true), WM_SYSCOMMAND, SC_CLOSE, 0); // the close box
    EXPECT_EQ(nullptr, aboutBox(main, false)) << "close box";

    clickAt(main, POINT{135, 175}); // dither "+"
    keys({VK_MENU, 'F'});           // File > Exit
    keys({'X'});
    EXPECT_EQ(0, endOfMirpanel(process));
    EXPECT_NE(std::string::npos, readWholeFile(ini).find("MO.0.DITHER=1\n"));
}
