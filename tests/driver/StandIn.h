/* Stand-in graphics engine and model video miniport for testing the mirvane display driver
 * outside the Windows kernel. Test code, never shipped.
 *
 * Built two ways:
 * - host: a static library linked with the driver's sources (native tests, fuzz, benchmark);
 * - Windows: win32k.sys, a DLL that Wine loads beside a test program to satisfy the real
 *   mirvane.dll's imports. Put it next to the test executable.
 *
 * The engine provides the Eng functions the driver calls. They succeed unless told to fail,
 * and really paint 32-bit surfaces for solid fills (ROP 0xF0F0) and copies (0xCCCC) through
 * EngBitBlt and EngCopyBits, strokes (of a StandInPath's bounds, pixel centres on integer
 * coordinates) and parallelograms (inverted); the other drawing calls only succeed or fail.
 *
 * The model miniport answers EngDeviceIoControl on StandInMiniport(): a mode list (by default
 * four usable 32-bit modes, then 16- and 8-bit ones, then unusable ones), a video memory of
 * 4 MiB plus the largest frame buffer, the standard requests and the driver's four private
 * ones. Its map request maps the video memory into the calling process a second time, so a
 * test reads the frame buffer as mirpanel would.
 *
 * A test program gets all of it with mirvista_link_mirvane(<target>) (cmake/MirvistaTesting.cmake).
 *
 * Typical use (StandInDevice wraps the driver's own lifecycle):
 *     StandInReset();
 *     StandInDevice dev;
 *     StandInOpen(&dev, 640, 480, 32, 60);     // DrvEnablePDEV, Complete, EnableSurface
 *     StandInEscape(&dev, USBED_ESC_IDENTIFY, 0, NULL, 8, tag);
 *     StandInFill(&dev, &rect, 0x00FF0000);     // DrvBitBlt, solid red
 *     StandInClose(&dev);                       // DrvDisableSurface, DrvDisablePDEV
 */
#ifndef MIRVISTA_STANDIN_H
#define MIRVISTA_STANDIN_H

#include "driver/MirvaneDdi.h"
#include "driver/MirvaneEscape.h"

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Model miniport ---- */

/* Back to defaults: the default modes, nothing failing, zeroed video memory, no mappings. */
void StandInReset(void);
/* The handle the driver gets as hDriver. */
HANDLE StandInMiniport(void);
/* Replaces the mode list (at most 16 modes; the video memory grows to fit). */
void StandInSetModes(const VIDEO_MODE_INFORMATION* modes, ULONG count);
const VIDEO_MODE_INFORMATION* StandInModes(ULONG* count);
/* A usable mode: one plane, graphics, linear, stride width x bytes per pixel. */
VIDEO_MODE_INFORMATION StandInMode(ULONG index, ULONG width, ULONG height, ULONG bits,
                                   ULONG frequency);
/* The start of the video memory, as the miniport reports it to the driver. */
BYTE* StandInVideoMemory(void);
ULONG StandInVideoMemoryBytes(void);

enum StandInIoctlFault {
    STANDIN_IOCTL_OK = 0,
    STANDIN_IOCTL_FAIL = 1,  /* the request returns an error */
    STANDIN_IOCTL_SHORT = 2, /* the request succeeds but returns one byte too few */
};
/* How the request with this control code behaves from now on. */
void StandInSetIoctlFault(ULONG code, enum StandInIoctlFault fault);
/* The value the set-mode request answers (non-zero: map the memory again). */
void StandInSetRemap(ULONG remap);
/* The value the private query request answers. */
void StandInSetQueryValue(ULONG value);
/* From now on the frame buffer forgets what is written to its first page: reads give ones. */
BOOL StandInBreakFrameBuffer(void);
/* The process value the map request accepts: the calling process. */
ULONG StandInProcess(void);
/* Drops every mapping into the process, as a device that stops or goes away does. */
void StandInDropMappings(void);
/* Live mappings of the video memory made for the driver. */
ULONG StandInVideoMappingCount(void);
/* Live mappings into the process, and keep-alive requests seen. */
ULONG StandInMappingCount(void);
ULONG StandInKeepAliveCount(void);
/* The input words of the last private map request. */
void StandInLastMapRequest(ULONG words[4]);
/* The colour registers last set: returns the count and fills first and up to 256 entries. */
ULONG StandInColorRegisters(ULONG* first, ULONG entries[256]);

/* ---- Engine ---- */

enum StandInEngFault {
    STANDIN_FAIL_ALLOC = 1,
    STANDIN_FAIL_PALETTE = 2,
    STANDIN_FAIL_CREATE_SURFACE = 4,
    STANDIN_FAIL_ASSOCIATE = 8,
    STANDIN_FAIL_MODIFY = 16,
    STANDIN_FAIL_DRAW = 32, /* every Eng drawing call */
};
/* The engine calls that fail from now on (a mask of StandInEngFault). */
void StandInSetEngFaults(ULONG faults);
/* Engine objects not yet freed: memory blocks, palettes and surfaces. */
ULONG StandInLiveObjects(void);
/* The last palette created: its mode (PAL_INDEXED or PAL_BITFIELDS), entry count, entries
 * (up to 256) and bit masks. */
ULONG StandInLastPalette(ULONG* mode, ULONG entries[256], ULONG masks[3]);
/* The SURFOBJ of a surface handle. */
SURFOBJ* StandInSurface(HSURF hsurf);
/* The hooks and flags the driver gave its surface. */
ULONG StandInSurfaceHooks(HSURF hsurf, ULONG* flags);

/* A 32-bit engine bitmap (no PDEV behind it), zero-filled; free with StandInDeleteBitmap. */
SURFOBJ* StandInCreateBitmap(LONG width, LONG height);
void StandInDeleteBitmap(SURFOBJ* bitmap);

/* Test data behind the engine's callbacks. A StandInPath is passed as its PATHOBJ, a
 * StandInPalette as a PALOBJ; a STROBJ is enumerated from its pgp and cGlyphs, two glyphs
 * at a time. */
typedef struct StandInPath {
    PATHOBJ path;
    RECTFX bounds;
} StandInPath;
typedef struct StandInPalette {
    ULONG colors[256];
    ULONG delivered; /* PALOBJ_cGetColors returns at most this many */
} StandInPalette;

/* Device handles (HDEV): the engine's side of a PDEV, bound once the driver made it. */
HDEV StandInNewHdev(void);
void StandInBindHdev(HDEV hdev, DHPDEV dhpdev);
void StandInFreeHdev(HDEV hdev);

/* ---- The driver, driven as the engine drives it (StandInDriver.c, linked into the test
 * program) ---- */

typedef BOOL(APIENTRY* StandInEnableDriverFn)(ULONG, ULONG, DRVENABLEDATA*);

typedef struct StandInDevice {
    DRVENABLEDATA table;
    HDEV hdev;
    DHPDEV dhpdev;
    HSURF hsurf;
    SURFOBJ* surface; /* the device surface, NULL when it could not be enabled */
    GDIINFO gdiInfo;
    DEVINFO devInfo;
} StandInDevice;

/* The driver's entry: the linked one in the host build, mirvane.dll beside the program in
 * the Windows build. NULL when it cannot be found. */
StandInEnableDriverFn StandInDriverEntry(void);
/* A function from the driver's table, NULL when absent. */
PFN StandInFunction(const StandInDevice* dev, ULONG index);
/* Enables a PDEV for the mode (all zero: any) and, when it succeeds, its surface. Returns
 * FALSE when no PDEV was made; dev->surface tells whether the surface was. */
BOOL StandInOpen(StandInDevice* dev, ULONG width, ULONG height, ULONG bits, ULONG frequency);
void StandInClose(StandInDevice* dev);
/* DrvEscape on the device surface. */
LONG StandInEscape(StandInDevice* dev, ULONG iEsc, ULONG cjIn, PVOID pvIn, ULONG cjOut,
                   PVOID pvOut);
/* DrvBitBlt of a solid colour into the device surface. */
BOOL StandInFill(StandInDevice* dev, RECTL* rect, ULONG color);

#ifdef __cplusplus
}
#endif

#endif /* MIRVISTA_STANDIN_H */
