// Least bodies for the subsystems that later work replaces, so that mirpanel starts, runs
// its loop and shuts down. Each is removed when its real implementation lands.

#include "app/core/App_Win32.h"
#include "app/core/Discovery.h"
#include "app/core/Globals.h"

// External-monitor capture: no mirror mediator yet, so mode 1 never becomes ready.
DeviceMediator* createMirrorMediator(const RECT&) {
    return nullptr;
}

int recreateMirrorMediator() {
    return -1;
}

int checkMirrorDriver() {
    return g_mirrorMediator ? 0 : -1;
}
