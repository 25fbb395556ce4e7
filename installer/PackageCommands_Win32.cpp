#include "installer/PackageCommands_Win32.h"

#include <cwchar>

namespace {

// Codes DIFxAPI returns for outcomes that are not failures of an install.
constexpr DWORD kNoBetterDriver = ERROR_NO_MORE_ITEMS; // 259
constexpr DWORD kNoLiveDevice = 0xE000020B;            // ERROR_NO_SUCH_DEVINST
constexpr DWORD kPathChars = MAX_PATH;

int Preinstall(const wchar_t* fullPath, DWORD flags, const DifxApi& difx) {
    wprintf(L"TEST: preinstalling driver package.\n");
    const DWORD code = difx.preinstall(fullPath, flags);
    if (code == ERROR_SUCCESS)
        wprintf(L"INFO: preinstalled package.\n");
    else if (code == ERROR_ALREADY_EXISTS)
        wprintf(L"INFO: package was already in store.\n");
    else
        PrintFailure(code);
    return kExitRan;
}

int Install(const wchar_t* fullPath, DWORD flags, const DifxApi& difx) {
    wprintf(L"TEST: installing driver package. PLEASE WAIT...\n");
    BOOL needReboot = FALSE;
    const DWORD code = difx.install(fullPath, flags, nullptr, &needReboot);
    if (code == ERROR_SUCCESS) {
        wprintf(L"SUCCESS: installed package %ls.\n", fullPath);
    } else if (code == kNoBetterDriver) {
        wprintf(L"INFO: All devices found already have a better driver than what is contained "
                L"in the specified inf file. To force an install, use the ForceIfNotBetter "
                L"flag.\n");
    } else if (code == kNoLiveDevice) {
        wprintf(L"INFO: There aren't any live devnodes with the DeviceId contained in the "
                L"INF.\n");
    } else {
        PrintFailure(code);
        return kExitFailed;
    }
    if (needReboot)
        wprintf(L"INFO: Machine will have to be rebooted to complete install.");
    return kExitRan;
}

int Uninstall(const wchar_t* fullPath, DWORD flags, const DifxApi& difx) {
    wprintf(L"TEST: uninstalling driver package.\n");
    BOOL needReboot = FALSE;
    const DWORD code = difx.uninstall(fullPath, flags, nullptr, &needReboot);
    if (code == ERROR_SUCCESS)
        wprintf(L"SUCCESS: uninstalled driver package %ls.\n", fullPath);
    else
        PrintFailure(code);
    if (needReboot)
        wprintf(L"INFO: Machine will have to be rebooted to complete uninstall.");
    return kExitRan;
}

int GetPath(const wchar_t* fullPath, const DifxApi& difx) {
    wprintf(L"TEST: getting driver package path.\n");
    wchar_t storePath[kPathChars] = {};
    DWORD chars = kPathChars;
    const DWORD code = difx.getPath(fullPath, storePath, &chars);
    if (code == ERROR_SUCCESS) {
        storePath[kPathChars - 1] = L'\0'; // the library's text, bounded by our buffer
        wprintf(L"INFO: INF path is %ls\n", storePath);
    } else {
        PrintFailure(code);
    }
    return kExitRan;
}

} // namespace

void PrintFailure(DWORD code) {
    wprintf(L"ERROR: failed with error code 0x%lX\n", code);
}

int RunPackageCommand(SetupCommand command, const wchar_t* fullPath, DWORD flags,
                      const DifxApi& difx) {
    switch (command) {
    case SetupCommand::Preinstall:
        return Preinstall(fullPath, flags, difx);
    case SetupCommand::Install:
        return Install(fullPath, flags, difx);
    case SetupCommand::Uninstall:
        return Uninstall(fullPath, flags, difx);
    case SetupCommand::GetPath:
        return GetPath(fullPath, difx);
    default:
        return kExitFailed;
    }
}

void __cdecl PrintLogEvent(DIFXAPI_LOG event, DWORD error, PCWSTR description, PVOID) {
    const unsigned long eventNumber = static_cast<unsigned long>(event);
    if (!description)
        description = L"";
    if (error != 0)
        wprintf(L"LOG Event: %lu, Error = %lu, %ls\n", eventNumber, error, description);
    else
        wprintf(L"LOG Event: %lu, %ls\n", eventNumber, description);
}
