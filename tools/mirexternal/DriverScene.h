// Drawing on the mirror driver's surface through its hooks, with the driver image loaded
// beside the stand-in graphics engine and model miniport: the demo helper draws its scene
// with it and the tests their pictures. The stand-in engine itself paints fills and copies;
// for text and paths, which it only accepts, the pixels are painted here before the hook is
// called, as the engine would have drawn them.
#pragma once

#include <windows.h>

#include <cstdint>

#include "StandIn.h"

// The surface's pixel (x, y) (top row first).
uint8_t* scenePixel(StandInDevice& dev, LONG x, LONG y);
// Pixels written straight into the surface, with no hook: what only the driver would see.
void scenePaint(StandInDevice& dev, const RECT& r, uint32_t colour);
// DrvBitBlt of a solid colour.
bool sceneFill(StandInDevice& dev, const RECT& r, uint32_t colour);
// A dark glyph box at (x, y), 24 x 10, through DrvTextOut.
bool sceneText(StandInDevice& dev, LONG x, LONG y);
// A grey area stroked through DrvStrokePath with the rectangle as its bounds.
bool scenePath(StandInDevice& dev, const RECT& r);
// DrvLineTo with the bounds given, which may reach past the surface.
bool sceneLine(StandInDevice& dev, const RECT& bounds);
// DrvCopyBits of a top-down 32-bit picture (width x height) to (x, y).
bool sceneBlit(StandInDevice& dev, const uint32_t* pixels, LONG width, LONG height, LONG x, LONG y);
