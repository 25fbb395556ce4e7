// The shipped program's class-install parameters: the platform's own call.
#include "installer/DeviceNode_Win32.h"

BOOL SetClassInstallParams(HDEVINFO list, SP_DEVINFO_DATA* device, SP_CLASSINSTALL_HEADER* params,
                           DWORD size) {
    return SetupDiSetClassInstallParamsW(list, device, params, size);
}
