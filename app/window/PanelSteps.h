#pragma once
// What the main window's setting buttons do to a display's record: steps, clamps and wraps.
// Platform-free.

#include <cstdint>

#include "app/core/MonitorRecord.h"

// The line speeds the speed buttons step through, slowest first.
constexpr int32_t kLineSpeeds[] = {9600,   19200,  38400,  57600,  76800,  115200,
                                   153600, 204800, 250000, 307200, 409600, 500000};
constexpr int kLineSpeedCount = sizeof(kLineSpeeds) / sizeof(kLineSpeeds[0]);

// What a changed setting needs next: nothing, a restart of the links (connection settings)
// or a resend of the whole picture (image settings).
enum class FollowUp { None, Restart, Resend };

// One step through the speed table (direction -1 or +1), wrapping at both ends. A speed not
// in the table first snaps to the next higher entry; one above the table to the first.
int32_t stepSpeed(int32_t speed, int direction);
// dither - 1 (from 0 or below: 2) or dither + 1 (3 or more: 0).
int32_t stepDither(int32_t dither, int direction);
// value + delta, limited to 0.5 .. 1.5 (contrast and gamma); NaN becomes 0.5.
double stepRatio(double value, double delta);
// value + delta in 64-bit arithmetic, limited to low .. high.
int32_t stepClamped(int32_t value, int32_t delta, int32_t low, int32_t high);

// Applies the click of a speed, flow-control or image button to the record and says what
// must follow; FollowUp::None for every other id, which leaves the record alone.
FollowUp applySettingClick(int32_t id, MonitorRecord& record);
