#include "tools/mirexternal/DriverScene.h"

#include <cstring>

namespace {

template <class F> F hook(StandInDevice& dev, ULONG index) {
    return reinterpret_cast<F>(reinterpret_cast<void*>(StandInFunction(&dev, index)));
}

} // namespace

uint8_t* scenePixel(StandInDevice& dev, LONG x, LONG y) {
    return static_cast<uint8_t*>(dev.surface->pvScan0) + y * dev.surface->lDelta + x * 4;
}

void scenePaint(StandInDevice& dev, const RECT& r, uint32_t colour) {
    for (LONG y = r.top; y < r.bottom; ++y)
        for (LONG x = r.left; x < r.right; ++x)
            std::memcpy(scenePixel(dev, x, y), &colour, 4);
}

bool sceneFill(StandInDevice& dev, const RECT& r, uint32_t colour) {
    RECTL rect{r.left, r.top, r.right, r.bottom};
    return StandInFill(&dev, &rect, colour) != FALSE;
}

bool sceneText(StandInDevice& dev, LONG x, LONG y) {
    scenePaint(dev, RECT{x + 2, y + 2, x + 22, y + 8}, 0);
    GLYPHBITS bits{{0, 0}, {24, 10}, {0}};
    GLYPHDEF def;
    def.pgb = &bits;
    GLYPHPOS glyph{0, &def, {x, y}};
    STROBJ text{};
    text.cGlyphs = 1;
    text.pgp = &glyph;
    using TextFn = BOOL(APIENTRY*)(SURFOBJ*, STROBJ*, FONTOBJ*, CLIPOBJ*, RECTL*, RECTL*, BRUSHOBJ*,
                                   BRUSHOBJ*, POINTL*, MIX);
    return hook<TextFn>(dev, INDEX_DrvTextOut)(dev.surface, &text, nullptr, nullptr, nullptr,
                                               nullptr, nullptr, nullptr, nullptr, 0) != FALSE;
}

bool scenePath(StandInDevice& dev, const RECT& r) {
    scenePaint(dev, r, 0x00404040);
    StandInPath path{{0, 0}, {r.left * 16, r.top * 16, r.right * 16, r.bottom * 16}};
    using PathFn = BOOL(APIENTRY*)(SURFOBJ*, PATHOBJ*, CLIPOBJ*, XFORMOBJ*, BRUSHOBJ*, POINTL*,
                                   LINEATTRS*, MIX);
    return hook<PathFn>(dev, INDEX_DrvStrokePath)(dev.surface, &path.path, nullptr, nullptr,
                                                  nullptr, nullptr, nullptr, 0) != FALSE;
}

bool sceneLine(StandInDevice& dev, const RECT& bounds) {
    RECTL b{bounds.left, bounds.top, bounds.right, bounds.bottom};
    using LineFn =
        BOOL(APIENTRY*)(SURFOBJ*, CLIPOBJ*, BRUSHOBJ*, LONG, LONG, LONG, LONG, RECTL*, MIX);
    return hook<LineFn>(dev, INDEX_DrvLineTo)(dev.surface, nullptr, nullptr, b.left, b.top, b.right,
                                              b.bottom, &b, 0) != FALSE;
}

bool sceneBlit(StandInDevice& dev, const uint32_t* pixels, LONG width, LONG height, LONG x,
               LONG y) {
    SURFOBJ* source = StandInCreateBitmap(width, height);
    if (!source)
        return false;
    std::memcpy(source->pvScan0, pixels, size_t(width) * height * 4);
    RECTL dest{x, y, x + width, y + height};
    POINTL from{0, 0};
    using CopyFn = BOOL(APIENTRY*)(SURFOBJ*, SURFOBJ*, CLIPOBJ*, XLATEOBJ*, RECTL*, POINTL*);
    const BOOL copied =
        hook<CopyFn>(dev, INDEX_DrvCopyBits)(dev.surface, source, nullptr, nullptr, &dest, &from);
    StandInDeleteBitmap(source);
    return copied != FALSE;
}
