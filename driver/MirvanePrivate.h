/* mirvane, the mirror display driver: the PDEV and the functions its files share.
 *
 * Windows draws the extended desktop into a 32-bit surface whose pixels lie in the video
 * miniport's memory, 4 MiB in. The change records that the drawing hooks queue and mirpanel
 * drains through escapes come from pools in memory of the driver's own: the video memory is
 * mapped into mirpanel too, so nothing the driver relies on may live there. */
#ifndef MIRVANE_PRIVATE_H
#define MIRVANE_PRIVATE_H

#include "MirvaneDdi.h"
#include "MirvaneEscape.h"

#define MIRVANE_POOL_COUNT 4
#define MIRVANE_QUEUE_LIMIT 1023u     /* records kept; the oldest give way */
#define MIRVANE_ALLOC_TAG 0x6e76726du /* 'mrvn' */
#define MIRVANE_DEVMODE_SIZE 220u

/* Header of a pool of fixed-size blocks, at the start of its region of the pool memory:
 * 32-bit words whatever the pointer size. The used-bit words follow it directly. */
typedef struct MirvanePool {
    ULONG headerBytes;
    volatile LONG lockWord;
    ULONG totalBlockBytes;
    ULONG blockSize;
    ULONG blockCount;
    ULONG usedCount;
    ULONG firstBlock;  /* block 0, as an offset from the start of the pool memory */
    ULONG usedBits[1]; /* as many words as the header has room for */
} MirvanePool;

typedef struct MirvanePdev {
    HANDLE hDriver;
    HDEV hdev;
    HSURF hsurfEng;
    HPALETTE palette;
    BYTE* videoMemory;
    BYTE* frameBuffer;
    LONG cxScreen, cyScreen;
    POINTL origin;
    LONG cxVisible, cyVisible;
    ULONG modeIndex;
    LONG stride;
    ULONG videoRamLength;
    ULONG frameBufferBytes;
    ULONG redMask, greenMask, blueMask;
    ULONG paletteShift;
    ULONG bitsPerPixel;
    VIDEO_POINTER_CAPABILITIES pointerCaps;
    VIDEO_POINTER_ATTRIBUTES* pointerAttributes;
    ULONG pointerAttributesSize;
    ULONG hooks;
    HSURF hsurfDevice;
    ULONG* paletteEntries;
    /* change tracking */
    MirvaneChangeRecord* changeHead;
    MirvaneChangeRecord* changeTail;
    ULONG changeCount;
    ULONG trackingEnabled;
    ULONG poolCount;
    MirvanePool* pools[MIRVANE_POOL_COUNT];
    BYTE* poolMemory; /* the driver's own, from surface enable to disable */
} MirvanePdev;

#ifdef __cplusplus
extern "C" { /* for the tests */
#endif

/* Memory helpers: the image links no C runtime. */
void MirvaneZero(void* p, ULONG bytes);
void MirvaneCopy(void* dst, const void* src, ULONG bytes);

/* Miniport requests: each checks the byte count the miniport returned. */
BOOL MiniportQueryModes(HANDLE h, VIDEO_MODE_INFORMATION** modes, ULONG* count);
BOOL MiniportQueryColorCaps(HANDLE h, VIDEO_COLOR_CAPABILITIES* caps);
BOOL MiniportQueryPointerCaps(HANDLE h, ULONG mode, VIDEO_POINTER_CAPABILITIES* caps);
BOOL MiniportSetMode(HANDLE h, ULONG mode, ULONG* remap);
BOOL MiniportMapVideoMemory(HANDLE h, BYTE** base, ULONG* length);
BOOL MiniportUnmapVideoMemory(HANDLE h, void* base);
BOOL MiniportSetColorRegisters(HANDLE h, VIDEO_CLUT* clut, ULONG bytes);
BOOL MiniportMapToProcess(HANDLE h, ULONG process, ULONG bytes, ULONG* address);
BOOL MiniportUnmapFromProcess(HANDLE h, ULONG process, ULONG address);
BOOL MiniportKeepMap(HANDLE h);
BOOL MiniportQuery(HANDLE h, ULONG* value);

/* Modes, PDEV and surface. */
BOOL ModeIsUsable(const VIDEO_MODE_INFORMATION* mode);
BOOL SetDisplayMode(MirvanePdev* pdev, BOOL first);
void ReleaseSurface(MirvanePdev* pdev);

/* Change queue and pools. */
BOOL InitPools(MirvanePdev* pdev);
void FreePools(MirvanePdev* pdev);
void* PoolAlloc(MirvanePdev* pdev, ULONG bytes);
void PoolFree(MirvanePdev* pdev, void* block);
LONG RecordChange(MirvanePdev* pdev, const RECTL* rect);
void PopChange(MirvanePdev* pdev);

/* Driver functions, as the function table names them. */
DHPDEV APIENTRY DrvEnablePDEV(DEVMODEW* pdm, LPWSTR pwszLogAddress, ULONG cPat,
                              HSURF* phsurfPatterns, ULONG cjCaps, ULONG* pdevcaps, ULONG cjDevInfo,
                              DEVINFO* pdi, HDEV hdev, LPWSTR pwszDeviceName, HANDLE hDriver);
VOID APIENTRY DrvCompletePDEV(DHPDEV dhpdev, HDEV hdev);
VOID APIENTRY DrvDisablePDEV(DHPDEV dhpdev);
HSURF APIENTRY DrvEnableSurface(DHPDEV dhpdev);
VOID APIENTRY DrvDisableSurface(DHPDEV dhpdev);
BOOL APIENTRY DrvAssertMode(DHPDEV dhpdev, BOOL bEnable);
ULONG APIENTRY DrvGetModes(HANDLE hDriver, ULONG cjSize, DEVMODEW* pdm);
BOOL APIENTRY DrvSetPalette(DHPDEV dhpdev, PALOBJ* ppalo, FLONG fl, ULONG iStart, ULONG cColors);
ULONG APIENTRY DrvEscape(SURFOBJ* pso, ULONG iEsc, ULONG cjIn, PVOID pvIn, ULONG cjOut,
                         PVOID pvOut);

BOOL APIENTRY DrvBitBlt(SURFOBJ* psoTrg, SURFOBJ* psoSrc, SURFOBJ* psoMask, CLIPOBJ* pco,
                        XLATEOBJ* pxlo, RECTL* prclTrg, POINTL* pptlSrc, POINTL* pptlMask,
                        BRUSHOBJ* pbo, POINTL* pptlBrush, ROP4 rop4);
BOOL APIENTRY DrvCopyBits(SURFOBJ* psoDest, SURFOBJ* psoSrc, CLIPOBJ* pco, XLATEOBJ* pxlo,
                          RECTL* prclDest, POINTL* pptlSrc);
BOOL APIENTRY DrvStretchBlt(SURFOBJ* psoDest, SURFOBJ* psoSrc, SURFOBJ* psoMask, CLIPOBJ* pco,
                            XLATEOBJ* pxlo, COLORADJUSTMENT* pca, POINTL* pptlHTOrg,
                            RECTL* prclDest, RECTL* prclSrc, POINTL* pptlMask, ULONG iMode);
BOOL APIENTRY DrvStretchBltROP(SURFOBJ* psoDest, SURFOBJ* psoSrc, SURFOBJ* psoMask, CLIPOBJ* pco,
                               XLATEOBJ* pxlo, COLORADJUSTMENT* pca, POINTL* pptlHTOrg,
                               RECTL* prclDest, RECTL* prclSrc, POINTL* pptlMask, ULONG iMode,
                               BRUSHOBJ* pbo, DWORD rop4);
BOOL APIENTRY DrvAlphaBlend(SURFOBJ* psoDest, SURFOBJ* psoSrc, CLIPOBJ* pco, XLATEOBJ* pxlo,
                            RECTL* prclDest, RECTL* prclSrc, BLENDOBJ* pBlendObj);
BOOL APIENTRY DrvTransparentBlt(SURFOBJ* psoDst, SURFOBJ* psoSrc, CLIPOBJ* pco, XLATEOBJ* pxlo,
                                RECTL* prclDst, RECTL* prclSrc, ULONG iTransColor,
                                ULONG ulReserved);
BOOL APIENTRY DrvGradientFill(SURFOBJ* psoDest, CLIPOBJ* pco, XLATEOBJ* pxlo, TRIVERTEX* pVertex,
                              ULONG nVertex, PVOID pMesh, ULONG nMesh, RECTL* prclExtents,
                              POINTL* pptlDitherOrg, ULONG ulMode);
BOOL APIENTRY DrvLineTo(SURFOBJ* pso, CLIPOBJ* pco, BRUSHOBJ* pbo, LONG x1, LONG y1, LONG x2,
                        LONG y2, RECTL* prclBounds, MIX mix);
BOOL APIENTRY DrvFillPath(SURFOBJ* pso, PATHOBJ* ppo, CLIPOBJ* pco, BRUSHOBJ* pbo,
                          POINTL* pptlBrushOrg, MIX mix, FLONG flOptions);
BOOL APIENTRY DrvStrokePath(SURFOBJ* pso, PATHOBJ* ppo, CLIPOBJ* pco, XFORMOBJ* pxo, BRUSHOBJ* pbo,
                            POINTL* pptlBrushOrg, LINEATTRS* plineattrs, MIX mix);
BOOL APIENTRY DrvStrokeAndFillPath(SURFOBJ* pso, PATHOBJ* ppo, CLIPOBJ* pco, XFORMOBJ* pxo,
                                   BRUSHOBJ* pboStroke, LINEATTRS* plineattrs, BRUSHOBJ* pboFill,
                                   POINTL* pptlBrushOrg, MIX mixFill, FLONG flOptions);
BOOL APIENTRY DrvPlgBlt(SURFOBJ* psoTrg, SURFOBJ* psoSrc, SURFOBJ* psoMsk, CLIPOBJ* pco,
                        XLATEOBJ* pxlo, COLORADJUSTMENT* pca, POINTL* pptlBrushOrg, POINTFIX* pptfx,
                        RECTL* prcl, POINTL* pptl, ULONG iMode);
BOOL APIENTRY DrvTextOut(SURFOBJ* pso, STROBJ* pstro, FONTOBJ* pfo, CLIPOBJ* pco, RECTL* prclExtra,
                         RECTL* prclOpaque, BRUSHOBJ* pboFore, BRUSHOBJ* pboOpaque, POINTL* pptlOrg,
                         MIX mix);
VOID APIENTRY DrvSynchronize(DHPDEV dhpdev, RECTL* prcl);

#ifdef __cplusplus
}
#endif

#endif /* MIRVANE_PRIVATE_H */
