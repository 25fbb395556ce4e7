/* Stand-in graphics engine: the Eng functions the mirror driver calls, with failures on
 * demand and real painting of 32-bit surfaces for fills and copies. */
#include "StandIn.h"

#include <stdlib.h>
#include <string.h>

typedef struct Surface {
    SURFOBJ so;
    ULONG hooks;
    ULONG flags;
    BYTE* owned; /* pixels of an engine bitmap */
} Surface;

typedef struct Hdev {
    DHPDEV dhpdev;
} Hdev;

static ULONG g_faults;
static long g_live;
static ULONG g_paletteMode, g_paletteCount, g_palette[256], g_paletteMasks[3];

void StandInSetEngFaults(ULONG faults) {
    g_faults = faults;
}

ULONG StandInLiveObjects(void) {
    return (ULONG)g_live;
}

static void* NewObject(size_t bytes) {
    void* p = calloc(1, bytes);
    if (p != NULL) {
        ++g_live;
    }
    return p;
}

static void FreeObject(void* p) {
    if (p != NULL) {
        --g_live;
        free(p);
    }
}

PVOID APIENTRY EngAllocMem(ULONG Flags, ULONG MemSize, ULONG Tag) {
    (void)Flags; /* always zeroed, which FL_ZERO_MEMORY asks for and is harmless otherwise */
    (void)Tag;
    return (g_faults & STANDIN_FAIL_ALLOC) != 0 ? NULL : NewObject(MemSize);
}

VOID APIENTRY EngFreeMem(PVOID Mem) {
    FreeObject(Mem);
}

HPALETTE APIENTRY EngCreatePalette(ULONG iMode, ULONG cColors, ULONG* pulColors, FLONG flRed,
                                   FLONG flGreen, FLONG flBlue) {
    if ((g_faults & STANDIN_FAIL_PALETTE) != 0) {
        return NULL;
    }
    g_paletteMode = iMode;
    g_paletteCount = cColors;
    if (pulColors != NULL) {
        memcpy(g_palette, pulColors, (cColors < 256 ? cColors : 256) * sizeof(ULONG));
    }
    g_paletteMasks[0] = flRed;
    g_paletteMasks[1] = flGreen;
    g_paletteMasks[2] = flBlue;
    return (HPALETTE)NewObject(1);
}

BOOL APIENTRY EngDeletePalette(HPALETTE hpal) {
    FreeObject(hpal);
    return TRUE;
}

ULONG StandInLastPalette(ULONG* mode, ULONG entries[256], ULONG masks[3]) {
    *mode = g_paletteMode;
    memcpy(entries, g_palette, sizeof(g_palette));
    memcpy(masks, g_paletteMasks, sizeof(g_paletteMasks));
    return g_paletteCount;
}

static Surface* NewSurface(LONG cx, LONG cy, ULONG format, USHORT type) {
    Surface* s = (Surface*)NewObject(sizeof(Surface));
    if (s != NULL) {
        s->so.hsurf = (HSURF)s;
        s->so.sizlBitmap.cx = cx;
        s->so.sizlBitmap.cy = cy;
        s->so.iBitmapFormat = format;
        s->so.iType = type;
    }
    return s;
}

HSURF APIENTRY EngCreateDeviceSurface(DHSURF dhsurf, SIZEL sizl, ULONG iFormatCompat) {
    if ((g_faults & STANDIN_FAIL_CREATE_SURFACE) != 0) {
        return NULL;
    }
    Surface* s = NewSurface(sizl.cx, sizl.cy, iFormatCompat, STYPE_DEVICE);
    if (s != NULL) {
        s->so.dhsurf = dhsurf;
    }
    return s != NULL ? s->so.hsurf : NULL;
}

SURFOBJ* StandInCreateBitmap(LONG width, LONG height) {
    Surface* s = NewSurface(width, height, BMF_32BPP, STYPE_BITMAP);
    if (s == NULL) {
        return NULL;
    }
    s->owned = (BYTE*)NewObject((size_t)width * (size_t)height * 4 + 4);
    s->so.pvBits = s->so.pvScan0 = s->owned;
    s->so.lDelta = width * 4;
    s->so.cjBits = (ULONG)(width * height * 4);
    s->so.fjBitmap = BMF_TOPDOWN;
    return &s->so;
}

void StandInDeleteBitmap(SURFOBJ* bitmap) {
    EngDeleteSurface(bitmap->hsurf);
}

BOOL APIENTRY EngAssociateSurface(HSURF hsurf, HDEV hdev, FLONG flHooks) {
    if ((g_faults & STANDIN_FAIL_ASSOCIATE) != 0 || hsurf == NULL) {
        return FALSE;
    }
    Surface* s = (Surface*)hsurf;
    s->so.hdev = hdev;
    s->so.dhpdev = hdev != NULL ? ((Hdev*)hdev)->dhpdev : NULL;
    s->hooks = flHooks;
    return TRUE;
}

BOOL APIENTRY EngModifySurface(HSURF hsurf, HDEV hdev, FLONG flHooks, FLONG flSurface,
                               DHSURF dhsurf, VOID* pvScan0, LONG lDelta, VOID* pvReserved) {
    (void)pvReserved;
    if ((g_faults & STANDIN_FAIL_MODIFY) != 0 || !EngAssociateSurface(hsurf, hdev, flHooks)) {
        return FALSE;
    }
    Surface* s = (Surface*)hsurf;
    s->flags = flSurface;
    s->so.dhsurf = dhsurf;
    s->so.pvScan0 = pvScan0;
    s->so.lDelta = lDelta;
    return TRUE;
}

BOOL APIENTRY EngDeleteSurface(HSURF hsurf) {
    Surface* s = (Surface*)hsurf;
    if (s != NULL) {
        FreeObject(s->owned);
        FreeObject(s);
    }
    return TRUE;
}

SURFOBJ* APIENTRY EngLockSurface(HSURF hsurf) {
    return hsurf != NULL ? &((Surface*)hsurf)->so : NULL;
}

SURFOBJ* StandInSurface(HSURF hsurf) {
    return EngLockSurface(hsurf);
}

VOID APIENTRY EngUnlockSurface(SURFOBJ* pso) {
    (void)pso;
}

ULONG StandInSurfaceHooks(HSURF hsurf, ULONG* flags) {
    *flags = ((Surface*)hsurf)->flags;
    return ((Surface*)hsurf)->hooks;
}

HDEV StandInNewHdev(void) {
    return (HDEV)NewObject(sizeof(Hdev));
}

void StandInBindHdev(HDEV hdev, DHPDEV dhpdev) {
    ((Hdev*)hdev)->dhpdev = dhpdev;
}

void StandInFreeHdev(HDEV hdev) {
    FreeObject(hdev);
}

/* ---- Painting ---- */

static ULONG* Pixel(SURFOBJ* so, LONG x, LONG y) {
    return (ULONG*)((BYTE*)so->pvScan0 + (ptrdiff_t)y * so->lDelta + (ptrdiff_t)x * 4);
}

/* The part of the target rectangle inside the target, and inside the source when there is
 * one; FALSE when nothing is left. */
static BOOL ClipBlt(SURFOBJ* trg, SURFOBJ* src, const RECTL* r, const POINTL* at, RECTL* out,
                    POINTL* srcAt) {
    if (trg == NULL || trg->pvScan0 == NULL || trg->iBitmapFormat != BMF_32BPP || r == NULL) {
        return FALSE;
    }
    RECTL c = *r;
    POINTL s = at != NULL ? *at : (POINTL){0, 0};
    if (c.left < 0) {
        s.x -= c.left;
        c.left = 0;
    }
    if (c.top < 0) {
        s.y -= c.top;
        c.top = 0;
    }
    if (src != NULL && (s.x < 0 || s.y < 0)) {
        return FALSE;
    }
    c.right = c.right < trg->sizlBitmap.cx ? c.right : trg->sizlBitmap.cx;
    c.bottom = c.bottom < trg->sizlBitmap.cy ? c.bottom : trg->sizlBitmap.cy;
    if (src != NULL) {
        c.right = c.right - c.left < src->sizlBitmap.cx - s.x ? c.right
                                                              : c.left + src->sizlBitmap.cx - s.x;
        c.bottom = c.bottom - c.top < src->sizlBitmap.cy - s.y ? c.bottom
                                                               : c.top + src->sizlBitmap.cy - s.y;
    }
    *out = c;
    *srcAt = s;
    return c.left < c.right && c.top < c.bottom;
}

static void Paint(SURFOBJ* trg, SURFOBJ* src, const RECTL* r, const POINTL* at, ULONG color) {
    RECTL c;
    POINTL s;
    if (!ClipBlt(trg, src, r, at, &c, &s)) {
        return;
    }
    for (LONG y = c.top; y < c.bottom; ++y) {
        for (LONG x = c.left; x < c.right; ++x) {
            *Pixel(trg, x, y) =
                src != NULL ? *Pixel(src, s.x + x - c.left, s.y + y - c.top) : color;
        }
    }
}

static BOOL Drawn(void) {
    return (g_faults & STANDIN_FAIL_DRAW) == 0;
}

/* The stroke of a stand-in path: the outline of its bounds through the nearest pixels, pixel
 * x's centre lying at FIX x * 16. */
#define NEAREST(v) ((LONG)(((int64_t)(v) + 8) >> 4))
static void Stroke(SURFOBJ* so, const RECTFX* b, ULONG color) {
    LONG l = NEAREST(b->xLeft), t = NEAREST(b->yTop);
    LONG r = NEAREST(b->xRight) + 1, bottom = NEAREST(b->yBottom) + 1;
    RECTL edges[4] = {
        {l, t, r, t + 1}, {l, bottom - 1, r, bottom}, {l, t, l + 1, bottom}, {r - 1, t, r, bottom}};
    for (int i = 0; i < 4; ++i) {
        Paint(so, NULL, &edges[i], NULL, color);
    }
}

/* Inverts the pixels whose centres lie inside the parallelogram, as any rule for the pixels
 * on its edges would light them. */
static void Parallelogram(SURFOBJ* so, const POINTFIX* p) {
    double ax = p[1].x - (double)p[0].x, ay = p[1].y - (double)p[0].y;
    double bx = p[2].x - (double)p[0].x, by = p[2].y - (double)p[0].y, det = ax * by - ay * bx;
    for (LONG y = 0; so->pvScan0 != NULL && y < so->sizlBitmap.cy; ++y) {
        for (LONG x = 0; x < so->sizlBitmap.cx; ++x) {
            double dx = x * 16.0 - p[0].x, dy = y * 16.0 - p[0].y;
            double u = (dx * by - dy * bx) * det, v = (ax * dy - ay * dx) * det; /* x det^2 */
            if (u > 0 && u < det * det && v > 0 && v < det * det) {
                *Pixel(so, x, y) ^= 0xFFFFFF;
            }
        }
    }
}

BOOL APIENTRY EngBitBlt(SURFOBJ* psoTrg, SURFOBJ* psoSrc, SURFOBJ* psoMask, CLIPOBJ* pco,
                        XLATEOBJ* pxlo, RECTL* prclTrg, POINTL* pptlSrc, POINTL* pptlMask,
                        BRUSHOBJ* pbo, POINTL* pptlBrush, ROP4 rop4) {
    (void)psoMask, (void)pco, (void)pxlo, (void)pptlMask, (void)pptlBrush;
    if (!Drawn()) {
        return FALSE;
    }
    if (rop4 == 0xF0F0 && pbo != NULL) {
        Paint(psoTrg, NULL, prclTrg, NULL, pbo->iSolidColor);
    } else if (rop4 == 0xCCCC && psoSrc != NULL && psoSrc->iBitmapFormat == BMF_32BPP) {
        Paint(psoTrg, psoSrc, prclTrg, pptlSrc, 0);
    }
    return TRUE;
}

BOOL APIENTRY EngCopyBits(SURFOBJ* psoDest, SURFOBJ* psoSrc, CLIPOBJ* pco, XLATEOBJ* pxlo,
                          RECTL* prclDest, POINTL* pptlSrc) {
    (void)pco, (void)pxlo;
    if (!Drawn()) {
        return FALSE;
    }
    if (psoSrc != NULL && psoSrc->iBitmapFormat == BMF_32BPP) {
        Paint(psoDest, psoSrc, prclDest, pptlSrc, 0);
    }
    return TRUE;
}

BOOL APIENTRY EngStretchBlt(SURFOBJ* psoDest, SURFOBJ* psoSrc, SURFOBJ* psoMask, CLIPOBJ* pco,
                            XLATEOBJ* pxlo, COLORADJUSTMENT* pca, POINTL* pptlHTOrg,
                            RECTL* prclDest, RECTL* prclSrc, POINTL* pptlMask, ULONG iMode) {
    (void)psoDest, (void)psoSrc, (void)psoMask, (void)pco, (void)pxlo, (void)pca;
    (void)pptlHTOrg, (void)prclDest, (void)prclSrc, (void)pptlMask, (void)iMode;
    return Drawn();
}

BOOL APIENTRY EngStretchBltROP(SURFOBJ* psoDest, SURFOBJ* psoSrc, SURFOBJ* psoMask, CLIPOBJ* pco,
                               XLATEOBJ* pxlo, COLORADJUSTMENT* pca, POINTL* pptlHTOrg,
                               RECTL* prclDest, RECTL* prclSrc, POINTL* pptlMask, ULONG iMode,
                               BRUSHOBJ* pbo, DWORD rop4) {
    (void)psoDest, (void)psoSrc, (void)psoMask, (void)pco, (void)pxlo, (void)pca;
    (void)pptlHTOrg, (void)prclDest, (void)prclSrc, (void)pptlMask, (void)iMode, (void)pbo;
    (void)rop4;
    return Drawn();
}

BOOL APIENTRY EngAlphaBlend(SURFOBJ* psoDest, SURFOBJ* psoSrc, CLIPOBJ* pco, XLATEOBJ* pxlo,
                            RECTL* prclDest, RECTL* prclSrc, BLENDOBJ* pBlendObj) {
    (void)psoDest, (void)psoSrc, (void)pco, (void)pxlo, (void)prclDest, (void)prclSrc;
    (void)pBlendObj;
    return Drawn();
}

BOOL APIENTRY EngTransparentBlt(SURFOBJ* psoDst, SURFOBJ* psoSrc, CLIPOBJ* pco, XLATEOBJ* pxlo,
                                RECTL* prclDst, RECTL* prclSrc, ULONG iTransColor,
                                ULONG ulReserved) {
    (void)psoDst, (void)psoSrc, (void)pco, (void)pxlo, (void)prclDst, (void)prclSrc;
    (void)iTransColor, (void)ulReserved;
    return Drawn();
}

BOOL APIENTRY EngGradientFill(SURFOBJ* psoDest, CLIPOBJ* pco, XLATEOBJ* pxlo, TRIVERTEX* pVertex,
                              ULONG nVertex, PVOID pMesh, ULONG nMesh, RECTL* prclExtents,
                              POINTL* pptlDitherOrg, ULONG ulMode) {
    (void)psoDest, (void)pco, (void)pxlo, (void)pVertex, (void)nVertex, (void)pMesh;
    (void)nMesh, (void)prclExtents, (void)pptlDitherOrg, (void)ulMode;
    return Drawn();
}

BOOL APIENTRY EngLineTo(SURFOBJ* pso, CLIPOBJ* pco, BRUSHOBJ* pbo, LONG x1, LONG y1, LONG x2,
                        LONG y2, RECTL* prclBounds, MIX mix) {
    (void)pso, (void)pco, (void)pbo, (void)x1, (void)y1, (void)x2, (void)y2;
    (void)prclBounds, (void)mix;
    return Drawn();
}

BOOL APIENTRY EngFillPath(SURFOBJ* pso, PATHOBJ* ppo, CLIPOBJ* pco, BRUSHOBJ* pbo,
                          POINTL* pptlBrushOrg, MIX mix, FLONG flOptions) {
    (void)pso, (void)ppo, (void)pco, (void)pbo, (void)pptlBrushOrg, (void)mix, (void)flOptions;
    return Drawn();
}

BOOL APIENTRY EngStrokePath(SURFOBJ* pso, PATHOBJ* ppo, CLIPOBJ* pco, XFORMOBJ* pxo, BRUSHOBJ* pbo,
                            POINTL* pptlBrushOrg, LINEATTRS* plineattrs, MIX mix) {
    (void)pco, (void)pxo, (void)pptlBrushOrg, (void)plineattrs, (void)mix;
    if (Drawn() && ppo != NULL && pbo != NULL) {
        Stroke(pso, &((StandInPath*)ppo)->bounds, pbo->iSolidColor);
    }
    return Drawn();
}

BOOL APIENTRY EngStrokeAndFillPath(SURFOBJ* pso, PATHOBJ* ppo, CLIPOBJ* pco, XFORMOBJ* pxo,
                                   BRUSHOBJ* pboStroke, LINEATTRS* plineattrs, BRUSHOBJ* pboFill,
                                   POINTL* pptlBrushOrg, MIX mixFill, FLONG flOptions) {
    (void)pso, (void)ppo, (void)pco, (void)pxo, (void)pboStroke, (void)plineattrs;
    (void)pboFill, (void)pptlBrushOrg, (void)mixFill, (void)flOptions;
    return Drawn();
}

BOOL APIENTRY EngPlgBlt(SURFOBJ* psoTrg, SURFOBJ* psoSrc, SURFOBJ* psoMsk, CLIPOBJ* pco,
                        XLATEOBJ* pxlo, COLORADJUSTMENT* pca, POINTL* pptlBrushOrg, POINTFIX* pptfx,
                        RECTL* prcl, POINTL* pptl, ULONG iMode) {
    (void)psoSrc, (void)psoMsk, (void)pco, (void)pxlo, (void)pca, (void)pptlBrushOrg;
    (void)prcl, (void)pptl, (void)iMode;
    if (Drawn() && psoTrg != NULL && pptfx != NULL) {
        Parallelogram(psoTrg, pptfx);
    }
    return Drawn();
}

BOOL APIENTRY EngTextOut(SURFOBJ* pso, STROBJ* pstro, FONTOBJ* pfo, CLIPOBJ* pco, RECTL* prclExtra,
                         RECTL* prclOpaque, BRUSHOBJ* pboFore, BRUSHOBJ* pboOpaque, POINTL* pptlOrg,
                         MIX mix) {
    (void)pso, (void)pstro, (void)pfo, (void)pco, (void)prclExtra, (void)prclOpaque;
    (void)pboFore, (void)pboOpaque, (void)pptlOrg, (void)mix;
    return Drawn();
}

/* ---- Callbacks fed from test data ---- */

VOID APIENTRY PATHOBJ_vGetBounds(PATHOBJ* ppo, PRECTFX prectfx) {
    *prectfx = ((StandInPath*)ppo)->bounds;
}

/* Enumeration position per string: the driver enumerates one string at a time. */
static STROBJ* g_enumString;
static ULONG g_enumNext;

VOID APIENTRY STROBJ_vEnumStart(STROBJ* pstro) {
    g_enumString = pstro;
    g_enumNext = 0;
}

BOOL APIENTRY STROBJ_bEnum(STROBJ* pstro, ULONG* pc, PGLYPHPOS* ppgpos) {
    if (pstro != g_enumString) {
        STROBJ_vEnumStart(pstro);
    }
    ULONG left = pstro->cGlyphs - g_enumNext;
    ULONG batch = left < 2 ? left : 2;
    *pc = batch;
    *ppgpos = pstro->pgp + g_enumNext;
    g_enumNext += batch;
    return g_enumNext < pstro->cGlyphs;
}

ULONG APIENTRY PALOBJ_cGetColors(PALOBJ* ppalo, ULONG iStart, ULONG cColors, ULONG* pulColors) {
    const StandInPalette* p = (const StandInPalette*)ppalo;
    ULONG n = cColors < p->delivered ? cColors : p->delivered;
    for (ULONG i = 0; i < n && iStart + i < 256; ++i) {
        pulColors[i] = p->colors[iStart + i];
    }
    return n;
}
