#include "app/settings/Settings_Win32.h"

#include "app/core/Globals.h"
#include "app/settings/SettingsFile.h"
#include "comsrc/PrefFileOpener_WIN32.h"
#include "multio/StreamOpener_File_WIN32File.h"

namespace {

const char kProductFolder[] = "mirvane";
const char kSettingsFile[] = "mirvista.ini";

// The program's key table: filled at start-up, refreshed at exit, never emptied meanwhile,
// so keys the program does not know survive the save.
KeyTable g_settingsKeys;

} // namespace

int32_t loadOrSaveSettingsWith(KeyTable& table, std::vector<MonitorRecord>& records,
                               int32_t& runMode, bool load) {
    comsrc::PrefFileOpener_WIN32 folder;
    if (folder.Init() != 0) {
        return kSettingsNoAppData;
    }
    if (folder.EnterSubdirectory(kProductFolder) != 0) {
        return kSettingsNoProductFolder;
    }
    putProgramKeys(table, records, runMode);
    char* path = folder.JoinPath(folder.GetBaseDir(), kSettingsFile);
    if (path == nullptr) {
        return kSettingsOk;
    }
    const uint32_t flags =
        load ? multio::kOpenRead : multio::kOpenWrite | multio::kOpenCreate | multio::kOpenTruncate;
    multio::Stream* file = nullptr;
    const int32_t opened = multio::StreamOpener_File_WIN32File().Open(path, flags, &file);
    delete[] path;
    if (opened != 0 || file == nullptr) {
        return kSettingsOk;
    }
    if (load) {
        readSettingsLines(table, *file);
        takeProgramKeys(table, records, runMode);
    } else {
        writeSettingsLines(table, *file);
    }
    file->Close();
    delete file;
    return kSettingsOk;
}

int loadOrSaveSettings(int load) {
    return loadOrSaveSettingsWith(g_settingsKeys, g_monitors, g_runMode, load != 0);
}
