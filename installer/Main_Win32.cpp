// mirsetup: installs and removes the mirror driver's package (through DIFxAPI) and creates or
// removes its virtual display's device node (through SetupAPI). One command per run.

#include "installer/CommandLine.h"
#include "installer/DeviceNode_Win32.h"
#include "installer/DifxApi_Win32.h"
#include "installer/PackageCommands_Win32.h"

#include <clocale>
#include <cwchar>

namespace {

// Makes the full INF path. Returns 0, or the Windows error: a path that does not fit the
// buffer would leave it undefined, and must not reach DIFxAPI.
DWORD MakeFullPath(const wchar_t* path, wchar_t (&fullPath)[MAX_PATH]) {
    const DWORD chars = GetFullPathNameW(path, MAX_PATH, fullPath, nullptr);
    if (chars == 0) {
        const DWORD error = GetLastError();
        return error != 0 ? error : ERROR_INVALID_NAME;
    }
    // On success the count leaves out the terminating zero; otherwise it is the size needed.
    return chars < MAX_PATH ? 0 : ERROR_FILENAME_EXCED_RANGE;
}

// difx is null when difxapi.dll could not be loaded (loadError says why).
int RunCommand(const SetupRequest& request, const wchar_t* fullPath, const DifxApi* difx,
               DWORD loadError) {
    switch (request.command) {
    case SetupCommand::CreateNode:
        return CreateDeviceNode();
    case SetupCommand::RemoveNode:
        return RemoveDeviceNode();
    case SetupCommand::Invalid:
        wprintf(L"ERROR: invalid command line option /%ls.\n", request.letter);
        return kExitRan;
    default:
        break;
    }
    if (!difx) {
        wprintf(L"ERROR: difxapi.dll could not be loaded (error code %lu).\n", loadError);
        return kExitFailed;
    }
    return RunPackageCommand(request.command, fullPath, request.flags, *difx);
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    // wprintf converts to the user's code page; in the default "C" locale it would stop at
    // the first character outside ASCII, cutting a Japanese path short.
    setlocale(LC_ALL, "");

    SetupRequest request;
    switch (ParseCommandLine(argc, argv, &request)) {
    case ParseResult::TooFewArguments:
        wprintf(L"not enough arguments.\n");
        return kExitStopped;
    case ParseResult::InvalidFlag:
        wprintf(L"An invalid flag was specified.");
        return kExitStopped;
    case ParseResult::Ok:
        break;
    }

    wchar_t fullPath[MAX_PATH];
    const DWORD pathError = MakeFullPath(request.path, fullPath);
    if (pathError != 0) {
        PrintFailure(pathError);
        return kExitFailed;
    }

    // Without difxapi.dll the package commands cannot run, but the device-node commands can.
    DifxApi difx;
    const DWORD loadError = LoadDifxApi(&difx);
    if (loadError == 0)
        difx.setLogCallback(PrintLogEvent, nullptr);
    const int exitCode = RunCommand(request, fullPath, loadError == 0 ? &difx : nullptr, loadError);
    if (loadError == 0) {
        difx.setLogCallback(nullptr, nullptr);
        UnloadDifxApi(&difx);
    }
    return exitCode;
}
