/* Drawing hooks: the engine draws, and each call that drew into this driver's surface while
 * tracking is on queues the rectangle it touched. Rectangles are recorded as given, not
 * clipped: mirpanel clips them to what it shows. */
#include "MirvanePrivate.h"

/* Records only for the driver's own surface; an engine bitmap has no PDEV. */
static BOOL Track(SURFOBJ* pso, const RECTL* rect) {
    MirvanePdev* pdev = pso != NULL ? (MirvanePdev*)pso->dhpdev : NULL;
    if (pdev != NULL && pdev->trackingEnabled && rect != NULL) {
        RecordChange(pdev, rect);
    }
    return TRUE;
}

static LONG FloorFix(FIX v) {
    return v >> 4; /* arithmetic shift: rounds down, also below zero */
}

static LONG CeilFix(FIX v) {
    return (v >> 4) + ((v & 0xF) != 0 ? 1 : 0);
}

/* A path's bounds in whole pixels, widened outward. */
static BOOL TrackPath(SURFOBJ* pso, PATHOBJ* ppo) {
    MirvanePdev* pdev = pso != NULL ? (MirvanePdev*)pso->dhpdev : NULL;
    if (pdev == NULL || !pdev->trackingEnabled) {
        return TRUE;
    }
    RECTFX fx;
    PATHOBJ_vGetBounds(ppo, &fx);
    RECTL r = {FloorFix(fx.xLeft), FloorFix(fx.yTop), CeilFix(fx.xRight), CeilFix(fx.yBottom)};
    return Track(pso, &r);
}

BOOL APIENTRY DrvBitBlt(SURFOBJ* psoTrg, SURFOBJ* psoSrc, SURFOBJ* psoMask, CLIPOBJ* pco,
                        XLATEOBJ* pxlo, RECTL* prclTrg, POINTL* pptlSrc, POINTL* pptlMask,
                        BRUSHOBJ* pbo, POINTL* pptlBrush, ROP4 rop4) {
    return EngBitBlt(psoTrg, psoSrc, psoMask, pco, pxlo, prclTrg, pptlSrc, pptlMask, pbo, pptlBrush,
                     rop4) &&
           Track(psoTrg, prclTrg);
}

BOOL APIENTRY DrvCopyBits(SURFOBJ* psoDest, SURFOBJ* psoSrc, CLIPOBJ* pco, XLATEOBJ* pxlo,
                          RECTL* prclDest, POINTL* pptlSrc) {
    return EngCopyBits(psoDest, psoSrc, pco, pxlo, prclDest, pptlSrc) && Track(psoDest, prclDest);
}

BOOL APIENTRY DrvStretchBlt(SURFOBJ* psoDest, SURFOBJ* psoSrc, SURFOBJ* psoMask, CLIPOBJ* pco,
                            XLATEOBJ* pxlo, COLORADJUSTMENT* pca, POINTL* pptlHTOrg,
                            RECTL* prclDest, RECTL* prclSrc, POINTL* pptlMask, ULONG iMode) {
    return EngStretchBlt(psoDest, psoSrc, psoMask, pco, pxlo, pca, pptlHTOrg, prclDest, prclSrc,
                         pptlMask, iMode) &&
           Track(psoDest, prclDest);
}

BOOL APIENTRY DrvStretchBltROP(SURFOBJ* psoDest, SURFOBJ* psoSrc, SURFOBJ* psoMask, CLIPOBJ* pco,
                               XLATEOBJ* pxlo, COLORADJUSTMENT* pca, POINTL* pptlHTOrg,
                               RECTL* prclDest, RECTL* prclSrc, POINTL* pptlMask, ULONG iMode,
                               BRUSHOBJ* pbo, DWORD rop4) {
    return EngStretchBltROP(psoDest, psoSrc, psoMask, pco, pxlo, pca, pptlHTOrg, prclDest, prclSrc,
                            pptlMask, iMode, pbo, rop4) &&
           Track(psoDest, prclDest);
}

BOOL APIENTRY DrvAlphaBlend(SURFOBJ* psoDest, SURFOBJ* psoSrc, CLIPOBJ* pco, XLATEOBJ* pxlo,
                            RECTL* prclDest, RECTL* prclSrc, BLENDOBJ* pBlendObj) {
    return EngAlphaBlend(psoDest, psoSrc, pco, pxlo, prclDest, prclSrc, pBlendObj) &&
           Track(psoDest, prclDest);
}

BOOL APIENTRY DrvTransparentBlt(SURFOBJ* psoDst, SURFOBJ* psoSrc, CLIPOBJ* pco, XLATEOBJ* pxlo,
                                RECTL* prclDst, RECTL* prclSrc, ULONG iTransColor,
                                ULONG ulReserved) {
    return EngTransparentBlt(psoDst, psoSrc, pco, pxlo, prclDst, prclSrc, iTransColor,
                             ulReserved) &&
           Track(psoDst, prclDst);
}

BOOL APIENTRY DrvGradientFill(SURFOBJ* psoDest, CLIPOBJ* pco, XLATEOBJ* pxlo, TRIVERTEX* pVertex,
                              ULONG nVertex, PVOID pMesh, ULONG nMesh, RECTL* prclExtents,
                              POINTL* pptlDitherOrg, ULONG ulMode) {
    return EngGradientFill(psoDest, pco, pxlo, pVertex, nVertex, pMesh, nMesh, prclExtents,
                           pptlDitherOrg, ulMode) &&
           Track(psoDest, prclExtents);
}

BOOL APIENTRY DrvLineTo(SURFOBJ* pso, CLIPOBJ* pco, BRUSHOBJ* pbo, LONG x1, LONG y1, LONG x2,
                        LONG y2, RECTL* prclBounds, MIX mix) {
    return EngLineTo(pso, pco, pbo, x1, y1, x2, y2, prclBounds, mix) && Track(pso, prclBounds);
}

BOOL APIENTRY DrvFillPath(SURFOBJ* pso, PATHOBJ* ppo, CLIPOBJ* pco, BRUSHOBJ* pbo,
                          POINTL* pptlBrushOrg, MIX mix, FLONG flOptions) {
    return EngFillPath(pso, ppo, pco, pbo, pptlBrushOrg, mix, flOptions) && TrackPath(pso, ppo);
}

BOOL APIENTRY DrvStrokePath(SURFOBJ* pso, PATHOBJ* ppo, CLIPOBJ* pco, XFORMOBJ* pxo, BRUSHOBJ* pbo,
                            POINTL* pptlBrushOrg, LINEATTRS* plineattrs, MIX mix) {
    return EngStrokePath(pso, ppo, pco, pxo, pbo, pptlBrushOrg, plineattrs, mix) &&
           TrackPath(pso, ppo);
}

BOOL APIENTRY DrvStrokeAndFillPath(SURFOBJ* pso, PATHOBJ* ppo, CLIPOBJ* pco, XFORMOBJ* pxo,
                                   BRUSHOBJ* pboStroke, LINEATTRS* plineattrs, BRUSHOBJ* pboFill,
                                   POINTL* pptlBrushOrg, MIX mixFill, FLONG flOptions) {
    return EngStrokeAndFillPath(pso, ppo, pco, pxo, pboStroke, plineattrs, pboFill, pptlBrushOrg,
                                mixFill, flOptions) &&
           TrackPath(pso, ppo);
}

static void Extend(RECTL* box, LONG x, LONG y) {
    box->left = x < box->left ? x : box->left;
    box->top = y < box->top ? y : box->top;
    box->right = x > box->right ? x : box->right;
    box->bottom = y > box->bottom ? y : box->bottom;
}

/* The box of the destination parallelogram, its fourth corner P1 + P2 - P0 included; 64-bit
 * sums so that far corners cannot overflow. */
static BOOL TrackParallelogram(SURFOBJ* pso, const POINTFIX* p) {
    if (p == NULL) {
        return TRUE;
    }
    int64_t x3 = (int64_t)p[1].x + p[2].x - p[0].x;
    int64_t y3 = (int64_t)p[1].y + p[2].y - p[0].y;
    RECTL box = {FloorFix(p[0].x), FloorFix(p[0].y), FloorFix(p[0].x), FloorFix(p[0].y)};
    Extend(&box, FloorFix(p[1].x), FloorFix(p[1].y));
    Extend(&box, FloorFix(p[2].x), FloorFix(p[2].y));
    Extend(&box, (LONG)(x3 >> 4), (LONG)(y3 >> 4));
    return Track(pso, &box);
}

BOOL APIENTRY DrvPlgBlt(SURFOBJ* psoTrg, SURFOBJ* psoSrc, SURFOBJ* psoMsk, CLIPOBJ* pco,
                        XLATEOBJ* pxlo, COLORADJUSTMENT* pca, POINTL* pptlBrushOrg, POINTFIX* pptfx,
                        RECTL* prcl, POINTL* pptl, ULONG iMode) {
    return EngPlgBlt(psoTrg, psoSrc, psoMsk, pco, pxlo, pca, pptlBrushOrg, pptfx, prcl, pptl,
                     iMode) &&
           TrackParallelogram(psoTrg, pptfx);
}

/* The box of every glyph, each placed where the engine draws it: at its position moved by
 * the bitmap's origin offset. */
static BOOL GlyphBox(STROBJ* pstro, RECTL* box) {
    BOOL any = FALSE;
    BOOL more;
    STROBJ_vEnumStart(pstro);
    do {
        ULONG count = 0;
        GLYPHPOS* gp = NULL;
        more = STROBJ_bEnum(pstro, &count, &gp);
        for (ULONG i = 0; gp != NULL && i < count; ++i) {
            const GLYPHBITS* gb = gp[i].pgdf != NULL ? gp[i].pgdf->pgb : NULL;
            if (gb == NULL) {
                continue;
            }
            int64_t left = (int64_t)gp[i].ptl.x + gb->ptlOrigin.x;
            int64_t top = (int64_t)gp[i].ptl.y + gb->ptlOrigin.y;
            RECTL g = {(LONG)left, (LONG)top, (LONG)(left + gb->sizlBitmap.cx),
                       (LONG)(top + gb->sizlBitmap.cy)};
            if (!any) {
                *box = g;
                any = TRUE;
            } else {
                Extend(box, g.left, g.top);
                Extend(box, g.right, g.bottom);
            }
        }
    } while (more);
    return any;
}

static BOOL TrackText(SURFOBJ* pso, STROBJ* pstro, RECTL* prclOpaque) {
    MirvanePdev* pdev = pso != NULL ? (MirvanePdev*)pso->dhpdev : NULL;
    if (pdev == NULL || !pdev->trackingEnabled) {
        return TRUE;
    }
    if (prclOpaque != NULL) {
        return Track(pso, prclOpaque);
    }
    RECTL box;
    if (pstro != NULL && GlyphBox(pstro, &box)) {
        Track(pso, &box);
    }
    return TRUE;
}

BOOL APIENTRY DrvTextOut(SURFOBJ* pso, STROBJ* pstro, FONTOBJ* pfo, CLIPOBJ* pco, RECTL* prclExtra,
                         RECTL* prclOpaque, BRUSHOBJ* pboFore, BRUSHOBJ* pboOpaque, POINTL* pptlOrg,
                         MIX mix) {
    return EngTextOut(pso, pstro, pfo, pco, prclExtra, prclOpaque, pboFore, pboOpaque, pptlOrg,
                      mix) &&
           TrackText(pso, pstro, prclOpaque);
}
