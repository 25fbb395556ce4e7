// Display discovery: builds the capture objects of both modes from nothing and decides
// whether capture is possible in the current mode. Windows only.
#pragma once

#include <windows.h>

class DeviceMediator;

// The display enumeration that discovery uses; tests put their own in its place.
struct DisplayEnumeration {
    BOOL(WINAPI* enumDevices)(LPCSTR device, DWORD index, PDISPLAY_DEVICEA info, DWORD flags);
    BOOL(WINAPI* enumSettings)(LPCSTR device, DWORD mode, DEVMODEA* settings);
};

extern DisplayEnumeration g_displayEnumeration;

// The mirror display's description string begins with this.
constexpr char kMirrorDescription[] = "Mirvane";

// Makes the mediator of the mirror display for its capture rectangle; null when there is
// none to make.
DeviceMediator* createMirrorMediator(const RECT& captureRect);
