// mirpanel as a process with a prepared mirvista.ini: it loads the file at start-up and
// writes it back in its own key order when its window is closed.

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/main/MirpanelProcess_Win32.h"
#include "tests/multio/TempFolder_Win32.h"

namespace {

const char kPrepared[] = "# prepared by the test\n"
                         "x.custom = keep me\n"
                         "mo.0.port = 5\n"
                         "Mo.1.Invert=7\n"
                         "\n"
                         "MO.0.SPEED=0x2580   # 9600\n"
                         "MO.2.CONTRAST=1.5\r\n"
                         "zzz=last\n"
                         "G.MODE=0\n";

// What mirpanel writes back: its keys in its order with the loaded values, then the others.
std::string expectedFile() {
    static const char* const keys[] = {"ACTIVE", "PORT",  "SPEED",  "DITHER", "CONTRAST",
                                       "OFFSET", "GAMMA", "INVERT", "ROTATE", "SHRINK",
                                       "CTS",    "POS.X", "POS.Y"};
    std::string file = "G.MODE=0\n";
    for (int i = 0; i < 4; ++i) {
        for (const char* key : keys) {
            std::string value = "0";
            const std::string name = key;
            if (name == "SPEED") {
                value = i == 0 ? "9600" : "500000";
            } else if (name == "DITHER") {
                value = "1";
            } else if (name == "CONTRAST") {
                value = i == 2 ? "1.500000" : "1.000000";
            } else if (name == "GAMMA") {
                value = "1.000000";
            } else if (name == "PORT" && i == 0) {
                value = "5";
            } else if (name == "INVERT" && i == 1) {
                value = "1";
            }
            file += "MO." + std::to_string(i) + "." + name + "=" + value + "\n";
        }
    }
    return file + "X.CUSTOM=keep me\nZZZ=last\n";
}

} // namespace

TEST(MirpanelSettings, WritesPreparedFileBackInItsOwnOrder) {
    ASSERT_FALSE(programPath().empty()) << "MIRPANEL_EXE is not set";
    TempFolder folder("mirpanel");
    ASSERT_TRUE(CreateDirectoryA((folder / "mirvane").c_str(), nullptr));
    const std::string ini = folder / "mirvane\\mirvista.ini";
    ASSERT_TRUE(writeWholeFile(ini, kPrepared));

    PROCESS_INFORMATION process{};
    HWND window = startMirpanel(folder.path, process);
    EXPECT_NE(window, nullptr);
    if (window != nullptr) {
        EXPECT_TRUE(PostMessageA(window, WM_CLOSE, 0, 0));
    }
    ASSERT_NE(-1, endOfMirpanel(process));

    EXPECT_EQ(readWholeFile(ini), expectedFile());
}
