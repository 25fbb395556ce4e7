#pragma once
// The texts of the main window's value labels, as Shift-JIS (code page 932) byte strings.
// Platform-free.

#include <cstdint>
#include <string>

#include "app/core/MonitorRecord.h"

// The global state that the status and driver lines show.
struct StatusFlags {
    int32_t runMode;
    int32_t anyActive;
    int32_t captureReady;
    int32_t linksUp;
    int32_t mirrorDeviceFound;
    int32_t mirrorModeFound;
};

// Shown as the status while the links restart, and at the first refresh after start.
extern const char kInitialisingText[];

std::string statusText(const StatusFlags& flags);
std::string driverText(const StatusFlags& flags);
std::string modeText(int32_t runMode);
std::string portText(const MonitorRecord& record);
std::string speedText(int32_t speed);
std::string ctsText(int32_t cts);
std::string ditherText(int32_t dither);
std::string ratioText(double value); // contrast and gamma
std::string numberText(int32_t value);
std::string onOffText(int32_t value); // inversion and rotation
