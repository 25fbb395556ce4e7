// Display discovery: builds the capture objects of both modes from nothing and decides
// whether capture is possible in the current mode. Windows only.
#pragma once

#include <windows.h>

#include "comsrc/DisplayEnumeration_Win32.h"

class DeviceMediator;

// The mirror display's description string begins with this.
constexpr char kMirrorDescription[] = "Mirvane";

// Makes the mediator of the mirror display for its capture rectangle; null when there is
// none to make.
DeviceMediator* createMirrorMediator(const RECT& captureRect);
