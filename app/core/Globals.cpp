#include "app/core/Globals.h"

std::vector<MonitorRecord> g_monitors;

int32_t g_runMode = 0;
int32_t g_captureReady = 0;
int32_t g_linksUp = 0;
int32_t g_anyActive = 1;
int32_t g_mirrorDeviceFound = 0;
int32_t g_mirrorModeFound = 0;
int32_t g_selectedMonitor = 0;
uint32_t g_frameCounter = 0;
int32_t g_wholePictureDue = 0;

std::vector<SenderLink*> g_links;
comsrc::RectList* g_dirtyRects = nullptr;
HDCAcquirer* g_screenAcquirer = nullptr;
DevMed_HDC* g_screenMediator = nullptr;
HDCAcquirer* g_mirrorAcquirer = nullptr;
DeviceMediator* g_mirrorMediator = nullptr;

void resetGlobalState() {
    g_links.clear();
    g_dirtyRects = nullptr;
    g_screenAcquirer = nullptr;
    g_screenMediator = nullptr;
    g_mirrorAcquirer = nullptr;
    g_mirrorMediator = nullptr;
    g_captureReady = 0;
    g_linksUp = 0;
    g_mirrorModeFound = 0;
    g_mirrorDeviceFound = 0;
    g_anyActive = 1;
    g_wholePictureDue = 0;

    // The record is large (its plane is 256 KiB): build the default once and copy it.
    g_monitors.clear();
    g_monitors.reserve(kMonitorCount);
    static const MonitorRecord defaults{};
    for (int i = 0; i < kMonitorCount; ++i)
        g_monitors.push_back(defaults);
}
