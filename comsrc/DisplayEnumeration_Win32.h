#pragma once
// The display enumeration that display discovery and HDCAcquirer both consult, so that a
// test can present a display device (the mirror display) to the whole program at once.

#include <windows.h>

struct DisplayEnumeration {
    BOOL(WINAPI* enumDevices)(LPCSTR device, DWORD index, PDISPLAY_DEVICEA info, DWORD flags);
    BOOL(WINAPI* enumSettings)(LPCSTR device, DWORD mode, DEVMODEA* settings);
};

// EnumDisplayDevicesA and EnumDisplaySettingsA unless a test replaced them.
extern DisplayEnumeration g_displayEnumeration;
