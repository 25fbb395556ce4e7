#include "tools/mirexternal/StandInDisplay.h"

#include <cstring>

#include "app/capture/DevMed_USBED.h"
#include "comsrc/DisplayEnumeration_Win32.h"

StandInDevice g_standInDisplay;

namespace {

constexpr char kName[] = "\\\\.\\DISPLAY9";
LONG s_width = kStandInWidth, s_height = kStandInHeight;

BOOL WINAPI enumDevices(LPCSTR device, DWORD index, PDISPLAY_DEVICEA info, DWORD flags) {
    if (index > 0)
        return EnumDisplayDevicesA(device, index - 1, info, flags);
    std::strcpy(info->DeviceName, kName);
    std::strcpy(info->DeviceString, "Mirvane Mirror Display");
    info->StateFlags = DISPLAY_DEVICE_ATTACHED_TO_DESKTOP;
    return TRUE;
}

BOOL WINAPI enumSettings(LPCSTR device, DWORD mode, DEVMODEA* out) {
    if (!device || std::strcmp(device, kName) != 0)
        return EnumDisplaySettingsA(device, mode, out);
    out->dmPosition = POINTL{1280, 0};
    out->dmPelsWidth = DWORD(s_width);
    out->dmPelsHeight = DWORD(s_height);
    out->dmBitsPerPel = 32;
    return TRUE;
}

} // namespace

int WINAPI standInEscape(HDC, int code, int inSize, LPCSTR in, int outSize, LPSTR out) {
    return StandInEscape(&g_standInDisplay, ULONG(code), ULONG(inSize), const_cast<char*>(in),
                         ULONG(outSize), out);
}

bool reopenStandInDisplay(LONG width, LONG height) {
    StandInClose(&g_standInDisplay);
    s_width = width;
    s_height = height;
    return StandInOpen(&g_standInDisplay, ULONG(width), ULONG(height), 32, 60) &&
           g_standInDisplay.surface;
}

bool openStandInDisplay() {
    StandInReset();
    if (!reopenStandInDisplay(kStandInWidth, kStandInHeight))
        return false;
    g_mirrorEscape = standInEscape;
    g_displayEnumeration = {enumDevices, enumSettings, CreateDCA};
    return true;
}

void closeStandInDisplay() {
    g_mirrorEscape = ExtEscape;
    g_displayEnumeration = {EnumDisplayDevicesA, EnumDisplaySettingsA, CreateDCA};
    StandInClose(&g_standInDisplay);
}
