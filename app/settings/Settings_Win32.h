#pragma once
// Loading and saving mirvista.ini in the user's preference folder.

#include <cstdint>
#include <vector>

#include "app/core/MonitorRecord.h"
#include "app/settings/KeyTable.h"

// Results of the load and save.
enum SettingsResult : int32_t {
    kSettingsOk = 0,
    kSettingsNoAppData = -1,      // the application-data folder could not be found
    kSettingsNoProductFolder = -2 // the product folder could not be entered or created
};

// Loads (load true) or saves the settings of `records` and `runMode` through `table`. A file
// that is missing, unreadable or cannot be created is not an error: nothing changes.
int32_t loadOrSaveSettingsWith(KeyTable& table, std::vector<MonitorRecord>& records,
                               int32_t& runMode, bool load);

// The program's settings: g_monitors and g_runMode, loaded when `load` is non-zero, saved
// otherwise, through a key table that keeps the keys the program does not know.
int loadOrSaveSettings(int load);
