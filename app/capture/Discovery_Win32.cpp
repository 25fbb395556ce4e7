// Display discovery and the capture objects' lifetime.
#include "app/capture/Discovery.h"

#include <cstdint>
#include <cstring>
#include <new>

#include "app/capture/DevMed_HDC.h"
#include "app/capture/DevMed_USBED.h"
#include "app/core/Globals.h"
#include "comsrc/HDCAcquirer_Win32.h"
#include "comsrc/RectList.h"

namespace {

constexpr uint32_t kCollapseLimit = 256;
constexpr int32_t kGridSize = 16;
constexpr RECT kScreenCaptureRect = {0, 0, 640, 480};
constexpr DWORD kDisplayDeviceSize = 424;
constexpr WORD kDevModeSize = 156;

static_assert(sizeof(DISPLAY_DEVICEA) == kDisplayDeviceSize, "display device record");
static_assert(sizeof(DEVMODEA) >= kDevModeSize, "display settings record");

// The mirror display's device name as discovery last found it, for the mode check.
char s_mirrorDeviceName[sizeof(DISPLAY_DEVICEA::DeviceName)] = {};

// Writes every description string to the debugger output and stops at the first mirror
// display; false when there is none.
bool findMirrorDevice(DISPLAY_DEVICEA& device) {
    for (DWORD index = 0;; ++index) {
        std::memset(&device, 0, sizeof device);
        device.cb = kDisplayDeviceSize;
        if (!g_displayEnumeration.enumDevices(nullptr, index, &device, 0)) {
            return false;
        }
        device.DeviceString[sizeof device.DeviceString - 1] = '\0';
        OutputDebugStringA(device.DeviceString);
        if (std::strncmp(device.DeviceString, kMirrorDescription, sizeof kMirrorDescription - 1) ==
            0) {
            return true;
        }
    }
}

// Sizes and far edges as rectangle coordinates, saturated rather than wrapped.
LONG edgeValue(int64_t value) {
    return static_cast<LONG>(value > INT32_MAX ? INT32_MAX : value);
}

// The device's current settings; false when it has none (not attached to the desktop).
bool readCurrentMode(const char* deviceName, DEVMODEA& mode) {
    std::memset(&mode, 0, sizeof mode);
    mode.dmSize = kDevModeSize;
    return g_displayEnumeration.enumSettings(deviceName, ENUM_CURRENT_SETTINGS, &mode) != FALSE;
}

void createScreenCapture() {
    g_screenAcquirer = new HDCAcquirer(nullptr);
    g_screenAcquirer->Open();
    *g_screenAcquirer->GetRect() =
        RECT{0, 0, GetSystemMetrics(SM_CXVIRTUALSCREEN), GetSystemMetrics(SM_CYVIRTUALSCREEN)};
    g_screenMediator = new DevMed_HDC(kScreenCaptureRect);
}

// The mirror display's device context, its place on the desktop and its mediator;
// -1 when there is no device context for it.
int createMirrorCapture(DISPLAY_DEVICEA& device) {
    device.DeviceName[sizeof device.DeviceName - 1] = '\0';
    g_mirrorAcquirer = new (std::nothrow) HDCAcquirer(device.DeviceName);
    if (!g_mirrorAcquirer) {
        return -1;
    }
    g_mirrorAcquirer->Open();
    if (!g_mirrorAcquirer->GetHDC()) {
        return -1;
    }
    std::memcpy(s_mirrorDeviceName, device.DeviceName, sizeof s_mirrorDeviceName);
    DEVMODEA mode;
    if (!readCurrentMode(device.DeviceName, mode)) {
        return 0;
    }
    const LONG left = mode.dmPosition.x;
    const LONG top = mode.dmPosition.y;
    const LONG width = edgeValue(mode.dmPelsWidth);
    const LONG height = edgeValue(mode.dmPelsHeight);
    *g_mirrorAcquirer->GetRect() =
        RECT{left, top, edgeValue(int64_t{left} + width), edgeValue(int64_t{top} + height)};
    g_mirrorMediator = createMirrorMediator(RECT{0, 0, width, height});
    g_mirrorModeFound = g_mirrorMediator ? 1 : 0;
    return 0;
}

} // namespace

// Mediators first: they refer to the acquirers and the list.
void releaseCaptureObjects() {
    delete g_mirrorMediator;
    g_mirrorMediator = nullptr;
    delete g_screenMediator;
    g_screenMediator = nullptr;
    delete g_mirrorAcquirer;
    g_mirrorAcquirer = nullptr;
    delete g_screenAcquirer;
    g_screenAcquirer = nullptr;
    delete g_dirtyRects;
    g_dirtyRects = nullptr;
}

int discoverDisplays() {
    releaseCaptureObjects();
    g_captureReady = 0;
    g_mirrorModeFound = 0;
    g_mirrorDeviceFound = 0;
    g_dirtyRects = new comsrc::RectList(kCollapseLimit, kGridSize);
    createScreenCapture();
    DISPLAY_DEVICEA device;
    if (findMirrorDevice(device)) {
        g_mirrorDeviceFound = 1;
        if (createMirrorCapture(device) != 0) {
            return -1;
        }
    }
    g_captureReady = (g_runMode == 0 || (g_mirrorDeviceFound && g_mirrorModeFound)) ? 1 : 0;
    return 0;
}

int recreateMediator() {
    if (!g_captureReady)
        return -1;
    return g_runMode == 1 ? recreateMirrorMediator() : recreateScreenMediator();
}

int requestFullRefresh() {
    if (g_dirtyRects)
        g_dirtyRects->Append(kScreenCaptureRect);
    g_wholePictureDue = 1; // the panels may have lost their pictures: unchanged tiles too
    return 0;
}

int recreateScreenMediator() {
    if (!g_screenAcquirer || !g_screenMediator) {
        return -1;
    }
    g_screenAcquirer->Open();
    const RECT captureRect = *g_screenMediator->captureRect();
    delete g_screenMediator;
    g_screenMediator = new DevMed_HDC(captureRect);
    return 0;
}

// A new mode is a new surface in the driver, which tracks no changes until it is
// identified: identifying only at the next once-a-second check would leave the repaint that
// follows a mode change unreported. The result is for that check to act on. The main-screen
// mode leaves tracking off, sparing the driver records that nobody reads.
DeviceMediator* createMirrorMediator(const RECT& captureRect) {
    DevMed_USBED* made = new (std::nothrow) DevMed_USBED(captureRect);
    if (made && g_runMode == 1)
        made->checkDriver();
    return made;
}

namespace {

// Discovery and re-creation only ever make the mirror mediator as a DevMed_USBED.
DevMed_USBED* mirrorMediator() {
    return static_cast<DevMed_USBED*>(g_mirrorMediator);
}

} // namespace

// The mediator copies rows with the pitch of the size it was made for, so a mode of another
// size (or none) needs a new one, and discovery also renews the capture area's size.
int followMirrorMode() {
    if (!g_mirrorMediator)
        return 0;
    const RECT& made = *mirrorMediator()->captureRect();
    DEVMODEA mode;
    if (readCurrentMode(s_mirrorDeviceName, mode) && edgeValue(mode.dmPelsWidth) == made.right &&
        edgeValue(mode.dmPelsHeight) == made.bottom)
        return 0;
    discoverDisplays();
    return 1;
}

int recreateMirrorMediator() {
    if (!g_mirrorAcquirer || !g_mirrorMediator)
        return -1;
    g_mirrorAcquirer->Open();
    const RECT captureRect = *mirrorMediator()->captureRect();
    delete g_mirrorMediator;
    g_mirrorMediator = createMirrorMediator(captureRect);
    return g_mirrorMediator ? 0 : -1;
}

int checkMirrorDriver() {
    return g_mirrorMediator ? mirrorMediator()->checkDriver() : -1;
}
