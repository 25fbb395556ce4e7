// Driver Install Frameworks (difxapi.dll): the five functions the installer uses, declared
// from their documented signatures, since MinGW ships no header for them.
//
// difxapi.dll is a redistributable that ships beside the installer, not part of Windows, so
// it is loaded at run time: without it the device-node commands still work.
#pragma once

#include <windows.h>

enum DIFXAPI_LOG {
    DIFXAPI_SUCCESS = 0,
    DIFXAPI_INFO = 1,
    DIFXAPI_WARNING = 2,
    DIFXAPI_ERROR = 3,
};

// The log callback is __cdecl, unlike the functions themselves.
typedef void(__cdecl* DIFXAPILOGCALLBACK_W)(DIFXAPI_LOG event, DWORD error, PCWSTR description,
                                            PVOID context);

struct INSTALLERINFO_W; // passed as NULL: the package is not tied to an application

struct DifxApi {
    HMODULE module = nullptr;
    DWORD(WINAPI* preinstall)(PCWSTR infPath, DWORD flags) = nullptr;
    DWORD(WINAPI* install)
    (PCWSTR infPath, DWORD flags, const INSTALLERINFO_W* installer, BOOL* needReboot) = nullptr;
    DWORD(WINAPI* uninstall)
    (PCWSTR infPath, DWORD flags, const INSTALLERINFO_W* installer, BOOL* needReboot) = nullptr;
    DWORD(WINAPI* getPath)(PCWSTR infPath, PWSTR destInfPath, DWORD* chars) = nullptr;
    void(WINAPI* setLogCallback)(DIFXAPILOGCALLBACK_W callback, PVOID context) = nullptr;
};

// Loads difxapi.dll, from this program's folder or else System32 only, and all five
// functions. Returns 0, or the Windows error; on failure nothing stays loaded.
DWORD LoadDifxApi(DifxApi* api);
void UnloadDifxApi(DifxApi* api);
