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
    DEVMODEA mode;
    std::memset(&mode, 0, sizeof mode);
    mode.dmSize = kDevModeSize;
    if (!g_displayEnumeration.enumSettings(device.DeviceName, ENUM_CURRENT_SETTINGS, &mode)) {
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

DeviceMediator* createMirrorMediator(const RECT& captureRect) {
    return new (std::nothrow) DevMed_USBED(captureRect);
}

namespace {

// Discovery and re-creation only ever make the mirror mediator as a DevMed_USBED.
DevMed_USBED* mirrorMediator() {
    return static_cast<DevMed_USBED*>(g_mirrorMediator);
}

} // namespace

int recreateMirrorMediator() {
    if (!g_mirrorAcquirer || !g_mirrorMediator)
        return -1;
    g_mirrorAcquirer->Open();
    const RECT captureRect = *mirrorMediator()->captureRect();
    delete g_mirrorMediator;
    g_mirrorMediator = createMirrorMediator(captureRect);
    if (!g_mirrorMediator)
        return -1;
    mirrorMediator()->checkDriver();
    return 0;
}

int checkMirrorDriver() {
    return g_mirrorMediator ? mirrorMediator()->checkDriver() : -1;
}
