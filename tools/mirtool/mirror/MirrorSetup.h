// mirtool mirror: its command line, where its settings file is, and which displays it
// drives on which devices. Platform-free.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "app/core/MonitorRecord.h"
#include "app/settings/KeyTable.h"

namespace mirtool {

struct MirrorArgs {
    std::string config;  // --config FILE; empty: the default file, when it exists
    std::string port;    // --port DEVICE
    int32_t seconds = 0; // --seconds N; 0 runs until SIGINT or SIGTERM
    int32_t speed = 0;   // --speed N for display 0; 0 keeps the file's or the default
    bool verbose = false;
    bool help = false;
    std::vector<int> conversionArgs; // argv index of each conversion option (its value follows)
};

// Parses the command line; the conversion options are checked here and applied by
// PlanDisplays. False with `error` set for an unknown option or a bad value.
bool ParseMirrorArgs(int argc, char** argv, MirrorArgs& args, std::string& error);

// $XDG_CONFIG_HOME/mirvane/mirvista.ini, else $HOME/.config/mirvane/mirvista.ini (either
// variable only when it holds an absolute path); empty when there is neither.
std::string DefaultConfigPath(const char* xdgConfigHome, const char* home);

// One display to drive: its record's index, the device and its line.
struct MirrorPort {
    int32_t display;
    std::string device;
    int32_t speed;
    bool cts;
};

// The key of display `index`'s device path, which the Windows program keeps as it keeps
// every key it does not know.
std::string DeviceKey(int32_t index);

// Decides what runs. `table` is the loaded settings file, or null without one; `records`
// holds the file's settings (or the defaults). The conversion options apply to display 0
// over the file's values, as does --speed; --port names display 0's device and makes it
// active. Active
// displays without a device are switched off with a line in `notes`. False with `error`
// set when no display is left to drive.
bool PlanDisplays(int argc, char** argv, const MirrorArgs& args, const KeyTable* table,
                  std::vector<MonitorRecord>& records, std::vector<MirrorPort>& ports,
                  std::vector<std::string>& notes, std::string& error);

} // namespace mirtool
