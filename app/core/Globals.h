#pragma once
// The application's global state, owned by the GUI thread. Only each link's queue is shared
// with another thread, and that lives inside the link.

#include <cstdint>
#include <vector>

#include "app/core/MonitorRecord.h"

class SenderLink;
class HDCAcquirer;
class DeviceMediator;
class DevMed_HDC;
namespace comsrc {
class RectList;
}

extern std::vector<MonitorRecord> g_monitors; // exactly kMonitorCount records

extern int32_t g_runMode;           // 0 main-screen mirror, 1 external monitor
extern int32_t g_captureReady;      // the capture source for the mode works
extern int32_t g_linksUp;           // every active display's port is open
extern int32_t g_anyActive;         // at least one display is active
extern int32_t g_mirrorDeviceFound; // the mirror display device exists
extern int32_t g_mirrorModeFound;   // its current mode was read
extern int32_t g_selectedMonitor;   // record shown and edited by the main window
extern uint32_t g_frameCounter;     // frames with at least one changed area
extern int32_t g_wholePictureDue;   // asked for by a full refresh: the next frame sends
                                    // every tile of its areas, unchanged ones too

extern std::vector<SenderLink*> g_links; // index i belongs to g_monitors[i]; null if inactive
extern comsrc::RectList* g_dirtyRects;
extern HDCAcquirer* g_screenAcquirer;
extern DevMed_HDC* g_screenMediator;
extern HDCAcquirer* g_mirrorAcquirer;
extern DeviceMediator* g_mirrorMediator;

// Start-up state: every pointer null, flags cleared except g_anyActive, and four default
// records.
void resetGlobalState();
