/* winddi.h names a few DirectDraw types in prototypes this driver never uses; MinGW ships
 * winddi.h without the header that defines them. Opaque declarations are all it needs. */
#ifndef MIRVANE_COMPAT_DDRAWINT_H
#define MIRVANE_COMPAT_DDRAWINT_H
typedef struct _DD_SURFACE_LOCAL DD_SURFACE_LOCAL, *PDD_SURFACE_LOCAL;
typedef struct _DD_DIRECTDRAW_GLOBAL DD_DIRECTDRAW_GLOBAL;
typedef struct _DD_CALLBACKS DD_CALLBACKS;
typedef struct _DD_SURFACECALLBACKS DD_SURFACECALLBACKS;
typedef struct _DD_PALETTECALLBACKS DD_PALETTECALLBACKS;
typedef struct _DD_HALINFO DD_HALINFO;
typedef struct _VIDEOMEMORY VIDEOMEMORY;
#endif
