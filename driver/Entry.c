/* Driver entry: the function table handed to the graphics engine, and the entry points that
 * have nothing to do. */
#include "MirvanePrivate.h"

BOOL APIENTRY DrvResetPDEV(DHPDEV dhpdevOld, DHPDEV dhpdevNew) {
    (void)dhpdevOld;
    (void)dhpdevNew;
    return TRUE;
}

VOID APIENTRY DrvDisableDriver(VOID) {}

/* No brush is realized: drawing is left to the engine, which needs no device brush. */
BOOL APIENTRY DrvRealizeBrush(BRUSHOBJ* pbo, SURFOBJ* psoTarget, SURFOBJ* psoPattern,
                              SURFOBJ* psoMask, XLATEOBJ* pxlo, ULONG iHatch) {
    (void)pbo;
    (void)psoTarget;
    (void)psoPattern;
    (void)psoMask;
    (void)pxlo;
    (void)iHatch;
    return TRUE;
}

ULONG APIENTRY DrvResetDevice(DHPDEV dhpdev, PVOID reserved) {
    (void)dhpdev;
    (void)reserved;
    return DRD_SUCCESS;
}

VOID APIENTRY DrvSynchronize(DHPDEV dhpdev, RECTL* prcl) {
    (void)dhpdev;
    (void)prcl;
}

#define MIRVANE_FN(name)                                                                           \
    { INDEX_##name, (PFN)(void*)name }

static DRVFN g_functions[] = {
    MIRVANE_FN(DrvEnablePDEV),    MIRVANE_FN(DrvCompletePDEV),   MIRVANE_FN(DrvDisablePDEV),
    MIRVANE_FN(DrvEnableSurface), MIRVANE_FN(DrvDisableSurface), MIRVANE_FN(DrvAssertMode),
    MIRVANE_FN(DrvResetPDEV),     MIRVANE_FN(DrvDisableDriver),  MIRVANE_FN(DrvRealizeBrush),
    MIRVANE_FN(DrvStrokePath),    MIRVANE_FN(DrvFillPath),       MIRVANE_FN(DrvStrokeAndFillPath),
    MIRVANE_FN(DrvBitBlt),        MIRVANE_FN(DrvCopyBits),       MIRVANE_FN(DrvStretchBlt),
    MIRVANE_FN(DrvSetPalette),    MIRVANE_FN(DrvTextOut),        MIRVANE_FN(DrvEscape),
    MIRVANE_FN(DrvLineTo),        MIRVANE_FN(DrvSynchronize),    MIRVANE_FN(DrvGetModes),
    MIRVANE_FN(DrvGradientFill),  MIRVANE_FN(DrvStretchBltROP),  MIRVANE_FN(DrvPlgBlt),
    MIRVANE_FN(DrvAlphaBlend),    MIRVANE_FN(DrvTransparentBlt), MIRVANE_FN(DrvResetDevice),
};

#define MIRVANE_FUNCTION_COUNT (sizeof(g_functions) / sizeof(g_functions[0]))
MIRVANE_STATIC_ASSERT(sizeof(g_functions) / sizeof(g_functions[0]) == 27, "27 entries");

/* Fills only as much of the caller's record as it says it has room for. */
BOOL APIENTRY DrvEnableDriver(ULONG iEngineVersion, ULONG cj, DRVENABLEDATA* pded) {
    (void)iEngineVersion;
    if (pded == NULL) {
        return FALSE;
    }
    if (cj >= offsetof(DRVENABLEDATA, iDriverVersion) + sizeof(ULONG)) {
        pded->iDriverVersion = DDI_DRIVER_VERSION_NT5_01;
    }
    if (cj >= offsetof(DRVENABLEDATA, c) + sizeof(ULONG)) {
        pded->c = MIRVANE_FUNCTION_COUNT;
    }
    if (cj >= offsetof(DRVENABLEDATA, pdrvfn) + sizeof(DRVFN*)) {
        pded->pdrvfn = g_functions;
    }
    return TRUE;
}

/* The compiler's own copies: inline for small fixed sizes, otherwise memcpy and memset, which
 * the image carries itself (Runtime.c). */
void MirvaneZero(void* p, ULONG bytes)
{
    __builtin_memset(p, 0, bytes);
}

void MirvaneCopy(void* dst, const void* src, ULONG bytes)
{
    __builtin_memcpy(dst, src, bytes);
}
