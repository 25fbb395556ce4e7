// The driver image's virtual display as mirpanel sees it, with the driver loaded beside the
// stand-in graphics engine and model miniport: shown first in the display enumeration, as
// "Mirvane Mirror Display" at (1280, 0) with 640 x 480 pixels (until reopened at another
// size), and answering mirpanel's escapes through the driver's DrvEscape. For mirexternal
// and the tests; never shipped.
#pragma once

#include <windows.h>

#include "StandIn.h"

constexpr LONG kStandInWidth = 640, kStandInHeight = 480;

extern StandInDevice g_standInDisplay;

// Enables the display and routes the enumeration and the escape call to it; false when the
// driver image did not load or made no surface.
bool openStandInDisplay();
// A change of the display's mode: the PDEV is disabled and one of the new size is enabled,
// as the engine does, while the miniport keeps its mappings; the enumeration reports the
// new size. False when the new PDEV made no surface.
bool reopenStandInDisplay(LONG width, LONG height);
// Routes both back to Windows and disables the display.
void closeStandInDisplay();
// DrvEscape on the display, called as ExtEscape is.
int WINAPI standInEscape(HDC dc, int code, int inSize, LPCSTR in, int outSize, LPSTR out);
