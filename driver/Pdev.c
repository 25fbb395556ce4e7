/* Display modes and the PDEV: what the miniport offers, the mode a PDEV is made for, and the
 * capabilities and default palette the engine gets for it. */
#include "MirvanePrivate.h"

MIRVANE_STATIC_ASSERT(sizeof(DEVMODEW) == MIRVANE_DEVMODE_SIZE, "DEVMODEW is 220 bytes");
#ifdef _WIN32
MIRVANE_STATIC_ASSERT(sizeof(GDIINFO) == 304, "GDIINFO as the engine expects");
MIRVANE_STATIC_ASSERT(sizeof(DEVINFO) == 300, "DEVINFO as the engine expects");
#endif

#define MIRVANE_HOOKS                                                                              \
    (HOOK_BITBLT | HOOK_STRETCHBLT | HOOK_PLGBLT | HOOK_TEXTOUT | HOOK_STROKEPATH |                \
     HOOK_FILLPATH | HOOK_STROKEANDFILLPATH | HOOK_LINETO | HOOK_COPYBITS | HOOK_SYNCHRONIZE |     \
     HOOK_STRETCHBLTROP | HOOK_TRANSPARENTBLT | HOOK_ALPHABLEND | HOOK_GRADIENTFILL)
MIRVANE_STATIC_ASSERT(MIRVANE_HOOKS == 0x3B5EF, "every hookable drawing call but DrvPaint");

static const WCHAR kDeviceName[] = {'m', 'i', 'r', 'd', 'e', 'v', 0};

/* The 20 system colours that take the first and last ten entries of an 8-bit palette. */
static const ULONG kSystemColors[20] = {
    0x000000, 0x000080, 0x008000, 0x008080, 0x800000, 0x800080, 0x808000,
    0xC0C0C0, 0xC0DCC0, 0xF0CAA6, 0xF0FBFF, 0xA4A0A0, 0x808080, 0x0000FF,
    0x00FF00, 0x00FFFF, 0xFF0000, 0xFF00FF, 0xFFFF00, 0xFFFFFF,
};

/* A 32-bit mode whose rows are not exactly the width apart is unusable: mirpanel reads the
 * mapped frame buffer width x 4 bytes a row. */
BOOL ModeIsUsable(const VIDEO_MODE_INFORMATION* mode) {
    ULONG bits = mode->BitsPerPlane;
    return mode->NumberOfPlanes == 1 && (mode->AttributeFlags & VIDEO_MODE_GRAPHICS) != 0 &&
           (mode->AttributeFlags & VIDEO_MODE_BANKED) == 0 &&
           (bits == 8 || bits == 16 || bits == 24 ||
            (bits == 32 && mode->ScreenStride == (uint64_t)mode->VisScreenWidth * 4));
}

/* The miniport's modes, each unusable one marked with length 0. */
static BOOL QueryModes(HANDLE h, VIDEO_MODE_INFORMATION** modes, ULONG* count) {
    if (!MiniportQueryModes(h, modes, count)) {
        return FALSE;
    }
    for (ULONG i = 0; i < *count; ++i) {
        if (!ModeIsUsable(&(*modes)[i])) {
            (*modes)[i].Length = 0;
        }
    }
    return TRUE;
}

static ULONG BitsPerPixel(const VIDEO_MODE_INFORMATION* mode) {
    return mode->NumberOfPlanes * mode->BitsPerPlane;
}

ULONG APIENTRY DrvGetModes(HANDLE hDriver, ULONG cjSize, DEVMODEW* pdm) {
    VIDEO_MODE_INFORMATION* modes;
    ULONG count;
    if (!QueryModes(hDriver, &modes, &count)) {
        return 0;
    }
    ULONG written = 0;
    if (pdm == NULL) {
        written = count * MIRVANE_DEVMODE_SIZE; /* unusable modes counted too */
    } else {
        for (ULONG i = 0; i < count && cjSize - written >= MIRVANE_DEVMODE_SIZE; ++i) {
            const VIDEO_MODE_INFORMATION* mode = &modes[i];
            if (mode->Length == 0) {
                continue;
            }
            DEVMODEW* dm = pdm + written / MIRVANE_DEVMODE_SIZE;
            MirvaneZero(dm, MIRVANE_DEVMODE_SIZE);
            MirvaneCopy(dm->dmDeviceName, kDeviceName, sizeof(kDeviceName));
            dm->dmSpecVersion = 0x401;
            dm->dmDriverVersion = 0x401;
            dm->dmSize = MIRVANE_DEVMODE_SIZE;
            dm->dmBitsPerPel = BitsPerPixel(mode);
            dm->dmPelsWidth = mode->VisScreenWidth;
            dm->dmPelsHeight = mode->VisScreenHeight;
            dm->dmDisplayFrequency = mode->Frequency;
            dm->dmFields = DM_BITSPERPEL | DM_PELSWIDTH | DM_PELSHEIGHT | DM_DISPLAYFLAGS |
                           DM_DISPLAYFREQUENCY;
            written += MIRVANE_DEVMODE_SIZE;
        }
    }
    EngFreeMem(modes);
    return written;
}

/* The first usable mode matching the request, or the first usable one when it asks for
 * nothing in particular. */
static BOOL SelectMode(HANDLE h, const DEVMODEW* dm, VIDEO_MODE_INFORMATION* selected) {
    VIDEO_MODE_INFORMATION* modes;
    ULONG count;
    if (!QueryModes(h, &modes, &count)) {
        return FALSE;
    }
    BOOL any = dm->dmPelsWidth == 0 && dm->dmPelsHeight == 0 && dm->dmBitsPerPel == 0 &&
               dm->dmDisplayFrequency == 0;
    BOOL found = FALSE;
    for (ULONG i = 0; i < count && !found; ++i) {
        const VIDEO_MODE_INFORMATION* m = &modes[i];
        if (m->Length != 0 &&
            (any ||
             (m->VisScreenWidth == dm->dmPelsWidth && m->VisScreenHeight == dm->dmPelsHeight &&
              BitsPerPixel(m) == dm->dmBitsPerPel && m->Frequency == dm->dmDisplayFrequency))) {
            *selected = *m;
            found = TRUE;
        }
    }
    EngFreeMem(modes);
    return found;
}

static void FillPdev(MirvanePdev* pdev, const VIDEO_MODE_INFORMATION* m) {
    pdev->cxScreen = pdev->cxVisible = (LONG)m->VisScreenWidth;
    pdev->cyScreen = pdev->cyVisible = (LONG)m->VisScreenHeight;
    pdev->modeIndex = m->ModeIndex;
    pdev->stride = (LONG)m->ScreenStride;
    pdev->frameBufferBytes = m->VisScreenHeight * m->ScreenStride;
    pdev->redMask = m->RedMask;
    pdev->greenMask = m->GreenMask;
    pdev->blueMask = m->BlueMask;
    pdev->paletteShift = m->NumberRedBits < 8 ? 8 - m->NumberRedBits : 0;
    pdev->bitsPerPixel = BitsPerPixel(m);
    pdev->hooks = MIRVANE_HOOKS;
}

static void SetChroma(CIECHROMA* c, LDECI4 x, LDECI4 y) {
    c->x = x;
    c->y = y;
    c->Y = 0;
}

static void FillColorInfo(HANDLE h, COLORINFO* ci) {
    VIDEO_COLOR_CAPABILITIES caps;
    if (MiniportQueryColorCaps(h, &caps)) {
        SetChroma(&ci->Red, caps.RedChromaticity_x, caps.RedChromaticity_y);
        SetChroma(&ci->Green, caps.GreenChromaticity_x, caps.GreenChromaticity_y);
        SetChroma(&ci->Blue, caps.BlueChromaticity_x, caps.BlueChromaticity_y);
        SetChroma(&ci->AlignmentWhite, caps.WhiteChromaticity_x, caps.WhiteChromaticity_y);
        ci->AlignmentWhite.Y = caps.WhiteChromaticity_Y;
        ci->RedGamma = caps.RedGamma;
        ci->GreenGamma = caps.GreenGamma;
        ci->BlueGamma = caps.BlueGamma;
        return;
    }
    SetChroma(&ci->Red, 6700, 3300);
    SetChroma(&ci->Green, 2100, 7100);
    SetChroma(&ci->Blue, 1400, 800);
    SetChroma(&ci->AlignmentWhite, 3127, 3290);
    ci->RedGamma = ci->GreenGamma = ci->BlueGamma = 20000;
}

static void FillGdiInfo(HANDLE h, const VIDEO_MODE_INFORMATION* m, const DEVMODEW* dm,
                        GDIINFO* gi) {
    MirvaneZero(gi, sizeof(*gi));
    gi->ulVersion = GDI_DRIVER_VERSION;
    gi->ulTechnology = DT_RASDISPLAY;
    gi->ulHorzSize = m->XMillimeter;
    gi->ulVertSize = m->YMillimeter;
    /* The panning fields are the desktop size (later headers name them so). */
    gi->ulHorzRes = gi->ulPanningHorzRes = m->VisScreenWidth;
    gi->ulVertRes = gi->ulPanningVertRes = m->VisScreenHeight;
    gi->cBitsPixel = m->BitsPerPlane;
    gi->cPlanes = m->NumberOfPlanes;
    gi->ulVRefresh = m->Frequency;
    gi->ulBltAlignment = 1;
    gi->ulLogPixelsX = gi->ulLogPixelsY = dm->dmLogPixels;
    gi->flTextCaps = TC_RA_ABLE;
    gi->ulDACRed = m->NumberRedBits;
    gi->ulDACGreen = m->NumberGreenBits;
    gi->ulDACBlue = m->NumberBlueBits;
    gi->ulAspectX = gi->ulAspectY = 36;
    gi->ulAspectXY = 51;
    gi->xStyleStep = gi->yStyleStep = 1;
    gi->denStyleStep = 3;
    FillColorInfo(h, &gi->ciDevice);
    gi->ulPrimaryOrder = PRIMARY_ORDER_CBA;
    gi->ulHTPatternSize = HT_PATSIZE_4x4_M;
    gi->flHTFlags = HT_FLAG_ADDITIVE_PRIMS;
    ULONG bpp = BitsPerPixel(m);
    if (bpp == 8) {
        gi->ulNumColors = 20;
        gi->ulNumPalReg = 256;
        gi->ulHTOutputFormat = HT_FORMAT_8BPP;
    } else {
        gi->ulNumColors = (ULONG)-1;
        gi->ulHTOutputFormat = bpp == 16   ? HT_FORMAT_16BPP
                               : bpp == 24 ? HT_FORMAT_24BPP
                                           : HT_FORMAT_32BPP;
    }
}

static void SetFont(LOGFONTW* lf, const char* name, LONG height, LONG width, LONG weight) {
    lf->lfHeight = height;
    lf->lfWidth = width;
    lf->lfWeight = weight;
    for (ULONG i = 0; name[i] != 0 && i + 1 < sizeof(lf->lfFaceName) / sizeof(WCHAR); ++i) {
        lf->lfFaceName[i] = (WCHAR)name[i];
    }
}

static void FillDevInfo(const MirvanePdev* pdev, DEVINFO* di) {
    MirvaneZero(di, sizeof(*di));
    di->flGraphicsCaps = GCAPS_OPAQUERECT;
    if (pdev->bitsPerPixel == 8) {
        di->flGraphicsCaps |= GCAPS_PALMANAGED | GCAPS_COLOR_DITHER;
    }
    /* A hardware pointer moves by itself only when the miniport says so. */
    const VIDEO_POINTER_CAPABILITIES* pc = &pdev->pointerCaps;
    if ((pc->Flags & (VIDEO_MODE_MONO_POINTER | VIDEO_MODE_COLOR_POINTER)) != 0 &&
        (pc->Flags & VIDEO_MODE_ASYNC_POINTER) != 0) {
        di->flGraphicsCaps |= GCAPS_ASYNCMOVE;
    }
    SetFont(&di->lfDefaultFont, "System", 16, 7, 700);
    SetFont(&di->lfAnsiVarFont, "MS Sans Serif", 12, 9, 400);
    SetFont(&di->lfAnsiFixFont, "Courier", 12, 9, 400);
    ULONG bpp = pdev->bitsPerPixel;
    di->iDitherFormat = bpp == 8    ? BMF_8BPP
                        : bpp == 16 ? BMF_16BPP
                        : bpp == 24 ? BMF_24BPP
                                    : BMF_32BPP;
    di->hpalDefault = pdev->palette;
    di->flGraphicsCaps2 = GCAPS2_ALPHACURSOR | GCAPS2_MOUSETRAILS;
}

/* 8 bits: an 8 x 8 x 4 colour cube (red fastest) with the system colours at both ends;
 * deeper modes: bit fields from the mode's masks. */
static BOOL CreateDefaultPalette(MirvanePdev* pdev) {
    if (pdev->bitsPerPixel != 8) {
        pdev->palette = EngCreatePalette(PAL_BITFIELDS, 0, NULL, pdev->redMask, pdev->greenMask,
                                         pdev->blueMask);
        return pdev->palette != NULL;
    }
    ULONG* entries = (ULONG*)EngAllocMem(FL_ZERO_MEMORY, 256 * sizeof(ULONG), MIRVANE_ALLOC_TAG);
    if (entries == NULL) {
        return FALSE;
    }
    for (ULONG i = 0; i < 256; ++i) {
        ULONG red = (i & 7) * 32, green = ((i >> 3) & 7) * 32, blue = (i >> 6) * 64;
        entries[i] = red | green << 8 | blue << 16;
    }
    for (ULONG i = 0; i < 10; ++i) {
        entries[i] = kSystemColors[i];
        entries[246 + i] = kSystemColors[10 + i];
    }
    pdev->paletteEntries = entries;
    pdev->palette = EngCreatePalette(PAL_INDEXED, 256, entries, 0, 0, 0);
    return pdev->palette != NULL;
}

static void FreePdev(MirvanePdev* pdev) {
    ReleaseSurface(pdev); /* when the engine did not disable the surface first */
    if (pdev->palette != NULL) {
        EngDeletePalette(pdev->palette);
    }
    if (pdev->paletteEntries != NULL) {
        EngFreeMem(pdev->paletteEntries);
    }
    if (pdev->pointerAttributes != NULL) {
        EngFreeMem(pdev->pointerAttributes);
    }
    EngFreeMem(pdev);
}

DHPDEV APIENTRY DrvEnablePDEV(DEVMODEW* pdm, LPWSTR pwszLogAddress, ULONG cPat,
                              HSURF* phsurfPatterns, ULONG cjCaps, ULONG* pdevcaps, ULONG cjDevInfo,
                              DEVINFO* pdi, HDEV hdev, LPWSTR pwszDeviceName, HANDLE hDriver) {
    (void)pwszLogAddress;
    (void)cPat;
    (void)phsurfPatterns;
    (void)hdev;
    (void)pwszDeviceName;
    if (pdm == NULL) {
        return NULL;
    }
    MirvanePdev* pdev =
        (MirvanePdev*)EngAllocMem(FL_ZERO_MEMORY, sizeof(MirvanePdev), MIRVANE_ALLOC_TAG);
    if (pdev == NULL) {
        return NULL;
    }
    pdev->hDriver = hDriver;
    VIDEO_MODE_INFORMATION mode;
    if (!SelectMode(hDriver, pdm, &mode)) {
        FreePdev(pdev);
        return NULL;
    }
    FillPdev(pdev, &mode);
    if (!MiniportQueryPointerCaps(hDriver, pdev->modeIndex, &pdev->pointerCaps)) {
        MirvaneZero(&pdev->pointerCaps, sizeof(pdev->pointerCaps)); /* no hardware pointer */
    }
    if (!CreateDefaultPalette(pdev)) {
        FreePdev(pdev);
        return NULL;
    }
    GDIINFO gi;
    DEVINFO di;
    FillGdiInfo(hDriver, &mode, pdm, &gi);
    FillDevInfo(pdev, &di);
    if (pdi != NULL) {
        MirvaneCopy(pdi, &di, cjDevInfo < sizeof(di) ? cjDevInfo : sizeof(di));
    }
    if (pdevcaps != NULL) {
        MirvaneCopy(pdevcaps, &gi, cjCaps < sizeof(gi) ? cjCaps : sizeof(gi));
    }
    return (DHPDEV)pdev;
}

VOID APIENTRY DrvCompletePDEV(DHPDEV dhpdev, HDEV hdev) {
    ((MirvanePdev*)dhpdev)->hdev = hdev;
}

VOID APIENTRY DrvDisablePDEV(DHPDEV dhpdev) {
    if (dhpdev != NULL) {
        FreePdev((MirvanePdev*)dhpdev);
    }
}
