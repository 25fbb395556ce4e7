// Least bodies for the subsystems that later work replaces, so that mirpanel starts, runs
// its loop and shuts down. Each is removed when its real implementation lands.

#include "app/core/App_Win32.h"
#include "app/core/Globals.h"
#include "comsrc/HDCAcquirer_Win32.h"
#include "comsrc/RectList.h"

// Capture: no source yet, so capture never becomes ready and the loop idles.
int discoverDisplays() {
    releaseCaptureObjects();
    g_dirtyRects = new comsrc::RectList(256, 16);
    return 0;
}

void convertFrame() {}

int recreateScreenMediator() {
    return -1;
}

int recreateMirrorMediator() {
    return -1;
}

int checkMirrorDriver() {
    return g_mirrorMediator ? 0 : -1;
}

void releaseCaptureObjects() {
    delete g_screenAcquirer;
    delete g_mirrorAcquirer;
    delete g_dirtyRects;
    g_screenAcquirer = nullptr;
    g_mirrorAcquirer = nullptr;
    g_dirtyRects = nullptr;
}
