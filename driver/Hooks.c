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

/* 28.4 fixed point to whole pixels; 64-bit, so that sums of corners cannot overflow, and
 * arithmetic shifts, which round down also below zero. */
static LONG FloorFix(int64_t v) {
    return (LONG)(v >> 4);
}

static LONG CeilFix(int64_t v) {
    return (LONG)((v + 15) >> 4);
}

/* A path's bounds in whole pixels. A fill lights the pixels whose centres lie inside, so its
 * bounds are rounded out. A stroke lights the pixel nearest to each point of the line, pixel
 * centres lying on integer coordinates: its right and bottom edges take the pixel nearest to
 * the bounds' edge in, so a square from (0,0) to (4,4) covers column and row 4. Strokes are
 * one pixel wide: the driver does not claim to widen lines, so GDI fills wide ones. */
static BOOL TrackPath(SURFOBJ* pso, PATHOBJ* ppo, BOOL stroked) {
    MirvanePdev* pdev = pso != NULL ? (MirvanePdev*)pso->dhpdev : NULL;
    if (pdev == NULL || !pdev->trackingEnabled) {
        return TRUE;
    }
    RECTFX fx;
    PATHOBJ_vGetBounds(ppo, &fx);
    RECTL r = {FloorFix(fx.xLeft), FloorFix(fx.yTop), CeilFix(fx.xRight), CeilFix(fx.yBottom)};
    if (stroked) {
        r.right = FloorFix((int64_t)fx.xRight + 8) + 1;
        r.bottom = FloorFix((int64_t)fx.yBottom + 8) + 1;
    }
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
    return EngFillPath(pso, ppo, pco, pbo, pptlBrushOrg, mix, flOptions) &&
           TrackPath(pso, ppo, FALSE);
}

BOOL APIENTRY DrvStrokePath(SURFOBJ* pso, PATHOBJ* ppo, CLIPOBJ* pco, XFORMOBJ* pxo, BRUSHOBJ* pbo,
                            POINTL* pptlBrushOrg, LINEATTRS* plineattrs, MIX mix) {
    return EngStrokePath(pso, ppo, pco, pxo, pbo, pptlBrushOrg, plineattrs, mix) &&
           TrackPath(pso, ppo, TRUE);
}

BOOL APIENTRY DrvStrokeAndFillPath(SURFOBJ* pso, PATHOBJ* ppo, CLIPOBJ* pco, XFORMOBJ* pxo,
                                   BRUSHOBJ* pboStroke, LINEATTRS* plineattrs, BRUSHOBJ* pboFill,
                                   POINTL* pptlBrushOrg, MIX mixFill, FLONG flOptions) {
    return EngStrokeAndFillPath(pso, ppo, pco, pxo, pboStroke, plineattrs, pboFill, pptlBrushOrg,
                                mixFill, flOptions) &&
           TrackPath(pso, ppo, TRUE);
}

static void Extend(RECTL* box, LONG x, LONG y) {
    box->left = x < box->left ? x : box->left;
    box->top = y < box->top ? y : box->top;
    box->right = x > box->right ? x : box->right;
    box->bottom = y > box->bottom ? y : box->bottom;
}

/* The box of the destination parallelogram, its fourth corner P1 + P2 - P0 included, rounded
 * out as fills are. */
static BOOL TrackParallelogram(SURFOBJ* pso, const POINTFIX* p) {
    if (p == NULL) {
        return TRUE;
    }
    int64_t x[4] = {p[0].x, p[1].x, p[2].x, (int64_t)p[1].x + p[2].x - p[0].x};
    int64_t y[4] = {p[0].y, p[1].y, p[2].y, (int64_t)p[1].y + p[2].y - p[0].y};
    int64_t left = x[0], top = y[0], right = x[0], bottom = y[0];
    for (int i = 1; i < 4; ++i) {
        left = x[i] < left ? x[i] : left;
        top = y[i] < top ? y[i] : top;
        right = x[i] > right ? x[i] : right;
        bottom = y[i] > bottom ? y[i] : bottom;
    }
    RECTL box = {FloorFix(left), FloorFix(top), CeilFix(right), CeilFix(bottom)};
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
