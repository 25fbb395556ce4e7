#include "comsrc/DisplayEnumeration_Win32.h"

DisplayEnumeration g_displayEnumeration = {EnumDisplayDevicesA, EnumDisplaySettingsA, CreateDCA};
