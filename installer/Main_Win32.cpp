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

// The package commands: the only ones that use the INF path and difxapi.dll.
int RunWithPackage(const SetupRequest& request) {
    wchar_t fullPath[MAX_PATH];
    const DWORD pathError = MakeFullPath(request.path, fullPath);
    if (pathError != 0) {
        wprintf(L"ERROR: INF path \"%ls\" failed with error code 0x%lX\n", request.path, pathError);
        return kExitFailed;
    }
    DifxApi difx;
    const DWORD loadError = LoadDifxApi(&difx);
    if (loadError != 0) {
        wprintf(L"ERROR: difxapi.dll could not be loaded (error code %lu).\n", loadError);
        return kExitFailed;
    }
    difx.setLogCallback(PrintLogEvent, nullptr);
    const int exitCode = RunPackageCommand(request.command, fullPath, request.flags, difx);
    difx.setLogCallback(nullptr, nullptr);
    UnloadDifxApi(&difx);
    return exitCode;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    // Takes the working folder out of the search for every library loaded from here on (an
    // administrator may run this from any folder). Nothing depends on the result: difxapi.dll
    // is loaded from chosen folders either way.
    SetDllDirectoryW(L"");
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

    // The device-node commands take any path and need no difxapi.dll.
    switch (request.command) {
    case SetupCommand::CreateNode:
        return CreateDeviceNode();
    case SetupCommand::RemoveNode:
        return RemoveDeviceNode();
    case SetupCommand::Invalid:
        wprintf(L"ERROR: invalid command line option /%ls.\n", request.letter);
        return kExitRan;
    default:
        return RunWithPackage(request);
    }
}
