#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/settings/Settings_Win32.h"
#include "comsrc/PrefFileOpener_WIN32.h"
#include "tests/multio/TempFolder_Win32.h"

namespace {

// Sets APPDATA for this process while it lives; restores the old value afterwards.
class AppDataOverride {
public:
    explicit AppDataOverride(const char* value) {
        char old[4096];
        const DWORD length = GetEnvironmentVariableA("APPDATA", old, sizeof old);
        hadOld = length > 0 && length < sizeof old;
        if (hadOld) {
            oldValue = old;
        }
        SetEnvironmentVariableA("APPDATA", value);
    }
    ~AppDataOverride() { SetEnvironmentVariableA("APPDATA", hadOld ? oldValue.c_str() : nullptr); }

private:
    bool hadOld = false;
    std::string oldValue;
};

struct Settings {
    KeyTable table;
    std::vector<MonitorRecord> records = std::vector<MonitorRecord>(kMonitorCount);
    int32_t runMode = 0;
    int32_t load() { return loadOrSaveSettingsWith(table, records, runMode, true); }
    int32_t save() { return loadOrSaveSettingsWith(table, records, runMode, false); }
};

bool isDirectory(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::string windowsDirectory() {
    char buffer[MAX_PATH] = {};
    GetWindowsDirectoryA(buffer, MAX_PATH);
    return buffer;
}

} // namespace

TEST(PrefFolder, InitTakesAppDataAndEntersSubfolders) {
    TempFolder folder("pref");
    AppDataOverride appData(folder.path.c_str());
    comsrc::PrefFileOpener_WIN32 opener;
    ASSERT_EQ(opener.Init(), 0);
    EXPECT_EQ(std::string(opener.GetBaseDir()), folder.path);
    EXPECT_EQ(opener.EnterSubdirectory("mirvane"), 0);
    EXPECT_TRUE(isDirectory(folder / "mirvane"));
    EXPECT_EQ(std::string(opener.GetBaseDir()), folder / "mirvane");

    ASSERT_TRUE(writeWholeFile(folder / "mirvane\\x.txt", "kept"));
    comsrc::PrefFileOpener_WIN32 again; // the existing folder is used unchanged
    ASSERT_EQ(again.Init(), 0);
    EXPECT_EQ(again.EnterSubdirectory("mirvane"), 0);
    EXPECT_EQ(readWholeFile(folder / "mirvane\\x.txt"), "kept");
    EXPECT_EQ(again.EnterSubdirectory("x.txt"), comsrc::kPrefNotADirectory);
    EXPECT_EQ(std::string(again.GetBaseDir()), folder / "mirvane");

    multio::Stream* stream = nullptr;
    ASSERT_EQ(again.Open("x.txt", multio::kOpenRead, &stream), 0);
    char buffer[8] = {};
    EXPECT_EQ(stream->Read(buffer, 8, 0), 4);
    stream->Close();
    delete stream;
}

TEST(PrefFolder, FailuresOfSubfolderCreation) {
    TempFolder folder("pref");
    comsrc::PrefFileOpener_WIN32 opener;
    EXPECT_EQ(opener.EnterSubdirectory("x"), comsrc::kPrefNoFolder); // no base folder yet
    ASSERT_EQ(opener.SetBaseDir((folder / "missing\\deeper").c_str(), 0), 0);
    EXPECT_EQ(opener.EnterSubdirectory("x"), comsrc::kPrefCreateFailed);
}

TEST(PrefFolder, SetBaseDirAndJoinPath) {
    comsrc::PrefFileOpener_WIN32 opener;
    EXPECT_EQ(opener.GetBaseDir(), nullptr);
    ASSERT_EQ(opener.SetBaseDir("C:\\abcdef", 5), 0);
    EXPECT_STREQ(opener.GetBaseDir(), "C:\\ab");
    ASSERT_EQ(opener.SetBaseDir("C:\\x", -1), 0);
    EXPECT_STREQ(opener.GetBaseDir(), "C:\\x");
    char* joined = opener.JoinPath(opener.GetBaseDir(), "y.ini");
    EXPECT_STREQ(joined, "C:\\x\\y.ini");
    delete[] joined;
}

TEST(PrefFolder, LongAppDataIsReadWhole) {
    const std::string longValue = "C:\\" + std::string(300, 'a');
    AppDataOverride appData(longValue.c_str());
    comsrc::PrefFileOpener_WIN32 opener;
    ASSERT_EQ(opener.Init(), 0);
    EXPECT_EQ(std::string(opener.GetBaseDir()), longValue);
}

TEST(PrefFolder, WithoutAppDataTheWindowsDirectoryIsUsed) {
    AppDataOverride appData(nullptr);
    comsrc::PrefFileOpener_WIN32 opener;
    ASSERT_EQ(opener.Init(), 0);
    EXPECT_EQ(std::string(opener.GetBaseDir()), windowsDirectory() + "\\Application Data");
    EXPECT_TRUE(isDirectory(opener.GetBaseDir()));

    AppDataOverride empty("");
    comsrc::PrefFileOpener_WIN32 fromEmpty;
    ASSERT_EQ(fromEmpty.Init(), 0);
    EXPECT_EQ(std::string(fromEmpty.GetBaseDir()), windowsDirectory() + "\\Application Data");
}

TEST(SettingsOnDisk, SaveCreatesTheFolderAndLoadReadsItBack) {
    TempFolder folder("settings");
    AppDataOverride appData(folder.path.c_str());
    Settings saved;
    saved.records[0].port = 3;
    saved.records[1].invert = 7;
    saved.records[2].contrast = 1.5;
    saved.runMode = 1;
    ASSERT_EQ(saved.save(), 0);
    const std::string file = readWholeFile(folder / "mirvane\\mirvista.ini");
    EXPECT_EQ(file.rfind("G.MODE=1\nMO.0.ACTIVE=0\nMO.0.PORT=3\nMO.0.SPEED=500000\n", 0), 0u);
    EXPECT_NE(file.find("\nMO.1.INVERT=1\n"), std::string::npos);
    EXPECT_NE(file.find("\nMO.2.CONTRAST=1.500000\n"), std::string::npos);

    Settings loaded;
    ASSERT_EQ(loaded.load(), 0);
    EXPECT_EQ(loaded.records[0].port, 3);
    EXPECT_EQ(loaded.records[1].invert, 1);
    EXPECT_EQ(loaded.records[2].contrast, 1.5);
    EXPECT_EQ(loaded.runMode, 1);
}

TEST(SettingsOnDisk, AppDataWithForwardSlashesReachesTheSameFile) {
    TempFolder folder("settings");
    std::string slashed = folder.path;
    for (char& c : slashed) {
        if (c == '\\') {
            c = '/';
        }
    }
    Settings saved;
    saved.records[1].port = 12;
    {
        AppDataOverride appData(slashed.c_str());
        ASSERT_EQ(saved.save(), 0);
    }
    EXPECT_NE(readWholeFile(folder / "mirvane\\mirvista.ini").find("\nMO.1.PORT=12\n"),
              std::string::npos);
    AppDataOverride appData(folder.path.c_str());
    Settings loaded;
    ASSERT_EQ(loaded.load(), 0);
    EXPECT_EQ(loaded.records[1].port, 12);
}

TEST(SettingsOnDisk, LoadCreatesTheFolderAndAMissingFileChangesNothing) {
    TempFolder folder("settings");
    AppDataOverride appData(folder.path.c_str());
    Settings s;
    s.records[3].speed = 9600;
    ASSERT_EQ(s.load(), 0);
    EXPECT_TRUE(isDirectory(folder / "mirvane"));
    EXPECT_EQ(s.records[3].speed, 9600);
    EXPECT_EQ(readWholeFile(folder / "mirvane\\mirvista.ini"), "<missing>");
}

TEST(SettingsOnDisk, PlainFileInPlaceOfTheFolderGivesMinus2) {
    TempFolder folder("settings");
    AppDataOverride appData(folder.path.c_str());
    ASSERT_TRUE(writeWholeFile(folder / "mirvane", "not a folder"));
    Settings s;
    EXPECT_EQ(s.load(), kSettingsNoProductFolder);
    EXPECT_EQ(s.save(), kSettingsNoProductFolder);
    EXPECT_EQ(readWholeFile(folder / "mirvane"), "not a folder");
}

TEST(SettingsOnDisk, FileThatCannotBeCreatedIsNotAnError) {
    TempFolder folder("settings");
    AppDataOverride appData(folder.path.c_str());
    CreateDirectoryA((folder / "mirvane").c_str(), nullptr);
    CreateDirectoryA((folder / "mirvane\\mirvista.ini").c_str(), nullptr); // a folder by that name
    Settings s;
    EXPECT_EQ(s.save(), 0);
    EXPECT_EQ(s.load(), 0);
    EXPECT_EQ(s.records[0].speed, 500000);
}

TEST(SettingsOnDisk, WithoutAppDataTheFileLivesUnderTheWindowsDirectory) {
    AppDataOverride appData(nullptr);
    const std::string folder = windowsDirectory() + "\\Application Data\\mirvane";
    const std::string path = folder + "\\mirvista.ini";
    DeleteFileA(path.c_str());
    Settings s;
    s.records[0].port = 11;
    ASSERT_EQ(s.save(), 0);
    EXPECT_EQ(readWholeFile(path).rfind("G.MODE=0\nMO.0.ACTIVE=0\nMO.0.PORT=11\n", 0), 0u);
    Settings loaded;
    ASSERT_EQ(loaded.load(), 0);
    EXPECT_EQ(loaded.records[0].port, 11);
    DeleteFileA(path.c_str());
    RemoveDirectoryA(folder.c_str());
}
