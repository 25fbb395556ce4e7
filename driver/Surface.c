/* The device surface and the palette: setting the mode, mapping the video memory and
 * publishing the frame buffer 4 MiB into it as a 32-bit surface the engine draws into. */
#include "MirvanePrivate.h"

#define MIRVANE_PROBE 0xAA55AA55u

/* A buffer for the largest pointer the miniport can show, in the layout it takes. */
static BOOL AllocatePointerAttributes(MirvanePdev* pdev) {
    const VIDEO_POINTER_CAPABILITIES* pc = &pdev->pointerCaps;
    uint64_t widthBytes = (pc->Flags & VIDEO_MODE_COLOR_POINTER) != 0
                              ? (uint64_t)pc->MaxWidth * 4
                              : ((uint64_t)pc->MaxWidth + 7) / 8;
    uint64_t size = 2 * widthBytes * pc->MaxHeight + 28;
    if (size > 0x100000u) { /* no pointer is that large */
        return FALSE;
    }
    if (pdev->pointerAttributes != NULL) {
        EngFreeMem(pdev->pointerAttributes);
    }
    VIDEO_POINTER_ATTRIBUTES* pa =
        (VIDEO_POINTER_ATTRIBUTES*)EngAllocMem(FL_ZERO_MEMORY, (ULONG)size, MIRVANE_ALLOC_TAG);
    pdev->pointerAttributes = pa;
    pdev->pointerAttributesSize = pa != NULL ? (ULONG)size : 0;
    if (pa == NULL) {
        return FALSE;
    }
    pa->Flags = pc->Flags;
    pa->Width = pc->MaxWidth;
    pa->Height = pc->MaxHeight;
    pa->WidthInBytes = (ULONG)widthBytes;
    return TRUE;
}

/* Maps the video memory and checks that the frame buffer, 4 MiB in, holds what is written. */
static BOOL MapVideoMemory(MirvanePdev* pdev) {
    VIDEO_MEMORY_INFORMATION info;
    uint64_t frameBytes = (uint64_t)(ULONG)pdev->cyScreen * (ULONG)pdev->stride;
    if (!MiniportMapVideoMemory(pdev->hDriver, &info) || info.FrameBufferBase == NULL ||
        info.VideoRamLength < MIRVANE_FRAME_OFFSET + frameBytes) {
        return FALSE;
    }
    pdev->videoMemory = (BYTE*)info.FrameBufferBase;
    pdev->frameBuffer = pdev->videoMemory + MIRVANE_FRAME_OFFSET;
    pdev->videoRamLength = info.VideoRamLength;
    volatile ULONG* probe = (volatile ULONG*)pdev->frameBuffer;
    *probe = MIRVANE_PROBE;
    return *probe == MIRVANE_PROBE;
}

/* first: the surface is being enabled; otherwise the desktop returns to the device and the
 * memory is mapped again only when the miniport asks for it. */
BOOL SetDisplayMode(MirvanePdev* pdev, BOOL first) {
    ULONG remap;
    if (!MiniportSetMode(pdev->hDriver, pdev->modeIndex, &remap)) {
        return FALSE;
    }
    if (!first && remap == 0) {
        return TRUE;
    }
    return MapVideoMemory(pdev) && AllocatePointerAttributes(pdev);
}

static BOOL PublishSurface(MirvanePdev* pdev, HSURF hsurf) {
    return EngAssociateSurface(hsurf, pdev->hdev, pdev->hooks) &&
           EngModifySurface(hsurf, pdev->hdev, pdev->hooks, MS_NOTSYSTEMMEMORY, (DHSURF)pdev,
                            pdev->frameBuffer, pdev->stride, NULL);
}

HSURF APIENTRY DrvEnableSurface(DHPDEV dhpdev) {
    MirvanePdev* pdev = (MirvanePdev*)dhpdev;
    /* Only 32-bit modes whose rows hold the whole width have a surface. */
    if (!SetDisplayMode(pdev, TRUE) || pdev->bitsPerPixel != 32 || pdev->cxScreen <= 0 ||
        pdev->cyScreen <= 0 || (int64_t)pdev->stride < (int64_t)pdev->cxScreen * 4) {
        return NULL;
    }
    SIZEL size = {pdev->cxScreen, pdev->cyScreen};
    HSURF hsurf = EngCreateDeviceSurface((DHSURF)pdev, size, BMF_32BPP);
    if (hsurf == NULL) {
        return NULL;
    }
    if (!PublishSurface(pdev, hsurf)) {
        EngDeleteSurface(hsurf);
        return NULL;
    }
    pdev->hsurfEng = pdev->hsurfDevice = hsurf;
    InitPools(pdev);
    return hsurf;
}

VOID APIENTRY DrvDisableSurface(DHPDEV dhpdev) {
    MirvanePdev* pdev = (MirvanePdev*)dhpdev;
    if (pdev->hsurfEng != NULL) {
        EngDeleteSurface(pdev->hsurfEng);
    }
    pdev->hsurfEng = pdev->hsurfDevice = NULL;
}

BOOL APIENTRY DrvAssertMode(DHPDEV dhpdev, BOOL bEnable) {
    MirvanePdev* pdev = (MirvanePdev*)dhpdev;
    if (bEnable) {
        BYTE* before = pdev->videoMemory;
        /* A remapped memory moves the surface and the pools with it. */
        if (SetDisplayMode(pdev, FALSE) && pdev->videoMemory != before && pdev->hsurfEng != NULL &&
            PublishSurface(pdev, pdev->hsurfEng)) {
            InitPools(pdev);
        }
    }
    return TRUE;
}

BOOL APIENTRY DrvSetPalette(DHPDEV dhpdev, PALOBJ* ppalo, FLONG fl, ULONG iStart, ULONG cColors) {
    (void)fl;
    MirvanePdev* pdev = (MirvanePdev*)dhpdev;
    if (pdev->bitsPerPixel != 8 || cColors == 0 || iStart >= 256 || cColors > 256 - iStart) {
        return FALSE;
    }
    ULONG bytes = (ULONG)offsetof(VIDEO_CLUT, LookupTable) + cColors * sizeof(ULONG);
    VIDEO_CLUT* clut = (VIDEO_CLUT*)EngAllocMem(FL_ZERO_MEMORY, bytes, MIRVANE_ALLOC_TAG);
    if (clut == NULL) {
        return FALSE;
    }
    ULONG* colors = &clut->LookupTable[0].RgbLong;
    BOOL ok = PALOBJ_cGetColors(ppalo, iStart, cColors, colors) == cColors;
    if (ok) {
        for (ULONG i = 0; i < cColors; ++i) {
            VIDEO_CLUTDATA* c = &clut->LookupTable[i].RgbArray;
            if (pdev->paletteShift != 0) {
                c->Red >>= pdev->paletteShift;
                c->Green >>= pdev->paletteShift;
                c->Blue >>= pdev->paletteShift;
            }
            c->Unused = 0;
        }
        clut->NumEntries = (USHORT)cColors;
        clut->FirstEntry = (USHORT)iStart;
        ok = MiniportSetColorRegisters(pdev->hDriver, clut, bytes);
    }
    EngFreeMem(clut);
    return ok;
}
