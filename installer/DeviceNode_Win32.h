// The root-enumerated device node of the virtual display (hardware ID DURIRIVAZI) that the
// mirror driver binds to: mirsetup's create and remove commands, through SetupAPI.
#pragma once

#include <windows.h>

#include <setupapi.h>

// Creates the device node unless one of ours exists (see NodeIdentity.h). Prints its
// messages; returns kExitRan, or kExitFailed when the node could not be created.
int CreateDeviceNode();

// Removes the first node that is ours; nodes of other devices are left alone. Prints its
// messages; returns kExitRan (also when there was none), or kExitFailed when the removal
// failed.
int RemoveDeviceNode();

// SetupDiSetClassInstallParamsW, reached through this one function so that a test build of
// the installer can put its own in place of the platform's.
BOOL SetClassInstallParams(HDEVINFO list, SP_DEVINFO_DATA* device, SP_CLASSINSTALL_HEADER* params,
                           DWORD size);
