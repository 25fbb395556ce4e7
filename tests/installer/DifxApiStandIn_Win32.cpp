// Stand-in for difxapi.dll in the installer tests (never shipped). Each package call reports
// its name, path and flags through the log callback, with the error MIRSTUB_LOG_ERROR (0 for
// the short form of the log line), returns MIRSTUB_RESULT and sets the need-reboot flag when
// MIRSTUB_REBOOT is set.
#include "installer/DifxApi_Win32.h"

#include <cwchar>

namespace {

DIFXAPILOGCALLBACK_W g_log;
PVOID g_context;

DWORD Setting(const wchar_t* name) {
    wchar_t value[32];
    const DWORD chars = GetEnvironmentVariableW(name, value, 32);
    return chars > 0 && chars < 32 ? wcstoul(value, nullptr, 0) : 0;
}

DWORD Report(const wchar_t* call, PCWSTR path, DWORD flags, BOOL* needReboot) {
    wchar_t line[400];
    swprintf(line, 400, L"%ls %ls %lu", call, path, flags);
    if (g_log)
        g_log(DIFXAPI_INFO, Setting(L"MIRSTUB_LOG_ERROR"), line, g_context);
    if (needReboot)
        *needReboot = Setting(L"MIRSTUB_REBOOT") != 0;
    return Setting(L"MIRSTUB_RESULT");
}

} // namespace

extern "C" {

__declspec(dllexport) DWORD WINAPI DriverPackagePreinstallW(PCWSTR path, DWORD flags) {
    return Report(L"Preinstall", path, flags, nullptr);
}

__declspec(dllexport) DWORD WINAPI
    DriverPackageInstallW(PCWSTR path, DWORD flags, const INSTALLERINFO_W*, BOOL* reboot) {
    return Report(L"Install", path, flags, reboot);
}

__declspec(dllexport) DWORD WINAPI
    DriverPackageUninstallW(PCWSTR path, DWORD flags, const INSTALLERINFO_W*, BOOL* reboot) {
    return Report(L"Uninstall", path, flags, reboot);
}

// Reports the buffer length it was given in place of flags.
__declspec(dllexport) DWORD WINAPI DriverPackageGetPathW(PCWSTR path, PWSTR dest, DWORD* chars) {
    static const wchar_t stored[] = L"C:\\windows\\inf\\oem3.inf";
    const DWORD result = Report(L"GetPath", path, *chars, nullptr);
    if (result != ERROR_SUCCESS)
        return result;
    if (*chars < ARRAYSIZE(stored))
        return ERROR_INSUFFICIENT_BUFFER;
    wcscpy(dest, stored);
    *chars = ARRAYSIZE(stored);
    return ERROR_SUCCESS;
}

__declspec(dllexport) void WINAPI DIFXAPISetLogCallbackW(DIFXAPILOGCALLBACK_W log, PVOID context) {
    g_log = log;
    g_context = context;
}
}
