#pragma once
// One Mirvane display: the user's settings for it, whether its port opened, and the work
// plane that conversion writes and packing reads.

#include <cstdint>

#include "comsrc/WinTypes.h"

constexpr int kPanelWidth = 128;
constexpr int kPanelHeight = 64;
constexpr int kMonitorCount = 4;
constexpr int kPlaneValues = 65536;

struct MonitorRecord {
    int32_t active = 0;     // in use: links and conversion skip inactive displays
    int32_t linkUp = 0;     // its COM port opened at the last link start; never saved
    int32_t port = 0;       // COM port number
    int32_t speed = 500000; // baud rate
    int32_t cts = 0;        // CTS output flow control
    int32_t dither = 1;     // 0 threshold, 1 Floyd-Steinberg, 2 ordered halftone
    double contrast = 1.0;  // gain around mid-grey
    double gamma = 1.0;     // exponent; 1.0 exactly skips the step
    int32_t offset = 0;     // brightness, added as offset * 256 on the 16-bit scale
    int32_t rotate = 0;     // quarter turns 0..3
    int32_t shrink = 0;     // capture-area limit step; record 0's value governs all
    int32_t invert = 0;     // invert every output bit
    int32_t posX = 0;       // left edge of the display's window in capture coordinates
    int32_t posY = 0;       // top edge of that window
    // Rows of 128 luminance values (16-bit scale, below 0x8000 dark) for the display's
    // window; persists from frame to frame.
    int32_t plane[kPlaneValues] = {};
};

// The display's window on the capture: (posX, posY, posX + 128, posY + 64). Positions come
// from a hand-editable file, so the far edges saturate instead of overflowing.
inline RECT panelWindow(const MonitorRecord& record) {
    auto farEdge = [](int32_t edge, int32_t size) {
        const int64_t value = static_cast<int64_t>(edge) + size;
        return static_cast<LONG>(value > INT32_MAX ? INT32_MAX : value);
    };
    return RECT{record.posX, record.posY, farEdge(record.posX, kPanelWidth),
                farEdge(record.posY, kPanelHeight)};
}
