/* Included by winddi.h; this driver uses none of the Direct3D declarations. */
#ifndef MIRVANE_COMPAT_D3DNTHAL_H
#define MIRVANE_COMPAT_D3DNTHAL_H
#endif
