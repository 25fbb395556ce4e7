#include "DrawingContext_GDIBitmap_Win32.h"

#include <cstring>

#include "DIBitmap_Win32.h"
#include "PixelRows.h"

namespace comsrc {

DrawingContext_GDIBitmap::DrawingContext_GDIBitmap(HDC dc, const PixelFormat* f)
    : DrawingContext(kContextKindGDIBitmap), hdc(dc) {
    if (f)
        format = *f;
    else
        std::memset(&format, 0, sizeof format);
}

DrawingContext_GDIBitmap* DrawingContext_GDIBitmap::FromContext(DrawingContext* ctx) {
    if (!ctx || ctx->GetKind() != kContextKindGDIBitmap)
        return nullptr;
    return static_cast<DrawingContext_GDIBitmap*>(ctx);
}

int32_t DrawingContext_GDIBitmap::Blt(int32_t dx, int32_t dy, int32_t w, int32_t h,
                                      DrawingContext* source, int32_t sx, int32_t sy) {
    if (!source)
        return -1;
    DrawingContext_GDIBitmap* gdi = FromContext(source);
    if (!gdi)
        return BltThroughDIB(dx, dy, w, h, source, sx, sy);
    BitBlt(hdc, dx, dy, w, h, gdi->GetHDC(), sx, sy, SRCCOPY);
    return 0;
}

int32_t DrawingContext_GDIBitmap::BltThroughDIB(int32_t dx, int32_t dy, int32_t w, int32_t h,
                                                DrawingContext* source, int32_t sx, int32_t sy) {
    DIBitmap_Win32 temp;
    if (temp.CreateWithDepth(w, h, 32) != 0)
        return -2;
    uint8_t* bits = temp.LockPixels();
    if (bits) {
        source->ExportPixels(bits, temp.GetStride(), temp.GetPixelFormat(), sx, sy, w, h);
        temp.UnlockPixels();
        DrawingContext* tc = temp.AcquireContext();
        if (tc) {
            Blt(dx, dy, w, h, tc, 0, 0);
            temp.ReleaseContext(tc);
        }
    }
    return 0;
}

int32_t DrawingContext_GDIBitmap::Stretch(int32_t dx, int32_t dy, int32_t dw, int32_t dh,
                                          DrawingContext* source, int32_t sx, int32_t sy,
                                          int32_t sw, int32_t sh) {
    DrawingContext_GDIBitmap* gdi = FromContext(source);
    if (!gdi)
        return -1;
    StretchBlt(hdc, dx, dy, dw, dh, gdi->GetHDC(), sx, sy, sw, sh, SRCCOPY);
    return 0;
}

int32_t DrawingContext_GDIBitmap::Blend(int32_t dx, int32_t dy, int32_t dw, int32_t dh,
                                        DrawingContext* source, int32_t sx, int32_t sy, int32_t sw,
                                        int32_t sh, int32_t useSourceAlpha, int32_t constantAlpha) {
    DrawingContext_GDIBitmap* gdi = FromContext(source);
    if (!gdi)
        return -1;
    BLENDFUNCTION blend;
    blend.BlendOp = AC_SRC_OVER;
    blend.BlendFlags = 0;
    blend.SourceConstantAlpha = BYTE(constantAlpha & 0xFF);
    blend.AlphaFormat = BYTE(useSourceAlpha & AC_SRC_ALPHA);
    AlphaBlend(hdc, dx, dy, dw, dh, gdi->GetHDC(), sx, sy, sw, sh, blend);
    return 0;
}

int32_t DrawingContext_GDIBitmap::Fill(int32_t x, int32_t y, int32_t w, int32_t h,
                                       uint32_t colour) {
    HBRUSH brush = CreateSolidBrush(COLORREF(colour));
    if (!brush)
        return -1;
    RECT r = {x, y, SaturateInt32(int64_t{x} + w), SaturateInt32(int64_t{y} + h)};
    FillRect(hdc, &r, brush);
    DeleteObject(brush);
    return 0;
}

int32_t DrawingContext_GDIBitmap::ExportPixels(uint8_t*, int32_t, const PixelFormat*, int32_t,
                                               int32_t, int32_t, int32_t) {
    return -1;
}

} // namespace comsrc
