#pragma once
// The display enumeration that display discovery and HDCAcquirer both consult, with the call
// that makes a display's device context, so that a test can present a display device (the
// mirror display) to the whole program at once, or one that gives no device context.

#include <windows.h>

struct DisplayEnumeration {
    BOOL(WINAPI* enumDevices)(LPCSTR device, DWORD index, PDISPLAY_DEVICEA info, DWORD flags);
    BOOL(WINAPI* enumSettings)(LPCSTR device, DWORD mode, DEVMODEA* settings);
    HDC(WINAPI* createDC)(LPCSTR driver, LPCSTR device, LPCSTR port, const DEVMODEA* mode);
};

// EnumDisplayDevicesA, EnumDisplaySettingsA and CreateDCA unless a test replaced them.
extern DisplayEnumeration g_displayEnumeration;
