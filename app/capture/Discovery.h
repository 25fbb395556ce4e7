// Display discovery and the capture objects' lifetime: builds the capture objects of both
// modes from nothing, decides whether capture is possible in the current mode, re-creates
// the mode's mediator and asks for whole pictures. Windows only.
#pragma once

#include <windows.h>

#include "comsrc/DisplayEnumeration_Win32.h"

class DeviceMediator;

// The mirror display's description string begins with this.
constexpr char kMirrorDescription[] = "Mirvane";

// Releases the capture objects and builds them again: the changed-area list, the screen's
// acquirer and mediator, and the mirror display's when there is one. Sets g_captureReady,
// g_mirrorDeviceFound and g_mirrorModeFound. -1 when the mirror display has no device
// context, otherwise 0.
int discoverDisplays();
// Deletes the mediators, the acquirers and the changed-area list, in that order.
void releaseCaptureObjects();

// Makes the next capture start from a blank history, so that the whole capture area is
// sent again: 0, or -1 when capture is not ready or there is nothing to re-create.
int recreateMediator();
int recreateScreenMediator();
int recreateMirrorMediator();
// Whether the mirror driver still answers: 0, or negative (also without a mirror mediator).
int checkMirrorDriver();
// Reruns discovery when the mirror display's current size is no longer the mirror
// mediator's, or it has no current mode: 1 when discovery ran (its flags tell the outcome),
// 0 when nothing changed or there is no mirror mediator.
int followMirrorMode();
// Marks the whole capture area changed, so the next frame is converted and sent whole.
int requestFullRefresh();

// Makes the mediator of the mirror display for its capture rectangle and, in mode 1,
// identifies it to the driver, which switches change tracking on; null when there is none.
DeviceMediator* createMirrorMediator(const RECT& captureRect);
