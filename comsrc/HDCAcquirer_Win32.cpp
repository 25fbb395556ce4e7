#include "comsrc/HDCAcquirer_Win32.h"

#include <cstdlib>
#include <cstring>

#include "comsrc/DisplayEnumeration_Win32.h"

HDCAcquirer::HDCAcquirer(const char* deviceName)
    : deviceName_(deviceName ? _strdup(deviceName) : nullptr), named_(deviceName != nullptr) {}

HDCAcquirer::~HDCAcquirer() {
    if (handle_)
        CloseHandle(handle_);
    if (hdc_)
        DeleteDC(hdc_);
    free(deviceName_);
}

namespace {

// Some GDI implementations hand out a DC for any device name; a display that is gone must
// still read as unavailable, so the name is checked against the display devices first (the
// same enumeration that discovery sees).
bool displayDeviceExists(const char* name) {
    DISPLAY_DEVICEA device{};
    device.cb = sizeof(device);
    for (DWORD index = 0; g_displayEnumeration.enumDevices(nullptr, index, &device, 0); ++index) {
        device.DeviceName[sizeof device.DeviceName - 1] = '\0';
        if (lstrcmpiA(device.DeviceName, name) == 0)
            return true;
        device.cb = sizeof(device);
    }
    return false;
}

} // namespace

int HDCAcquirer::Open() {
    Close();
    if (named_ && !deviceName_)
        return -1; // the name could not be kept: never fall back to the whole display
    if (!deviceName_ || displayDeviceExists(deviceName_))
        hdc_ = g_displayEnumeration.createDC("DISPLAY", deviceName_, nullptr, nullptr);
    handle_ = nullptr;
    return hdc_ ? 0 : -1;
}

int HDCAcquirer::Close() {
    if (hdc_)
        DeleteDC(hdc_);
    hdc_ = nullptr;
    return 0;
}

RECT* HDCAcquirer::GetRect() {
    return &rect_;
}

HDC HDCAcquirer::GetHDC() {
    return hdc_;
}

HANDLE HDCAcquirer::GetHandle() {
    return handle_;
}
