// The test build's class-install parameters: Wine's SetupDiSetClassInstallParamsW is a stub
// that fails, so this prints what it was given and succeeds, and the removal that follows
// runs for real.
#include "installer/DeviceNode_Win32.h"

#include <cwchar>

BOOL SetClassInstallParams(HDEVINFO, SP_DEVINFO_DATA*, SP_CLASSINSTALL_HEADER* params, DWORD size) {
    const SP_REMOVEDEVICE_PARAMS* remove = reinterpret_cast<SP_REMOVEDEVICE_PARAMS*>(params);
    wprintf(L"params: cbSize %lu, function %lu, scope %lu, profile %lu, size %lu\n", params->cbSize,
            params->InstallFunction, remove->Scope, remove->HwProfile, size);
    return TRUE;
}
