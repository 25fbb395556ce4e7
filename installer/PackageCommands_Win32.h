// The driver-package commands of mirsetup (preinstall, install, uninstall, get path),
// carried out through DIFxAPI. Each prints its messages and returns the exit code.
#pragma once

#include "installer/CommandLine.h"
#include "installer/DifxApi_Win32.h"

// Runs one of the four package commands on the full INF path. Returns kExitRan when the
// command ran (its outcome printed), kExitFailed when an install failed.
int RunPackageCommand(SetupCommand command, const wchar_t* fullPath, DWORD flags,
                      const DifxApi& difx);

// Prints a failure code (DIFxAPI's, or a Windows error) in hexadecimal.
void PrintFailure(DWORD code);

// Prints one DIFxAPI log event; registered with DIFXAPISetLogCallbackW.
void __cdecl PrintLogEvent(DIFXAPI_LOG event, DWORD error, PCWSTR description, PVOID context);
