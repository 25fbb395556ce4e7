/* The display driver interface: MinGW's headers in the Windows build; in the host build, the
 * declarations that the stand-in graphics engine of the tests provides. */
#ifndef MIRVANE_DDI_H
#define MIRVANE_DDI_H

#ifdef _WIN32
#include <windef.h>
#include <wingdi.h>
#include <winddi.h>
#include <winioctl.h>
#include <ntddvdeo.h>
#else
#include <HostDdi.h>
#endif

#endif /* MIRVANE_DDI_H */
