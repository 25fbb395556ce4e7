/* The device surface and the palette: setting the mode, mapping the video memory and
 * publishing the frame buffer 4 MiB into it as a 32-bit surface the engine draws into. */
#include "MirvanePrivate.h"

#define MIRVANE_PROBE 0xAA55AA55u

/* A mapping of the video memory not yet given to the PDEV, with the pointer buffer that goes
 * with it. */
typedef struct Mapping {
    BYTE* base;
    ULONG length;
    VIDEO_POINTER_ATTRIBUTES* pointer;
    ULONG pointerSize;
} Mapping;

/* A buffer for the largest pointer the miniport can show, in the layout it takes. */
static BOOL AllocatePointerAttributes(const MirvanePdev* pdev, Mapping* m) {
    const VIDEO_POINTER_CAPABILITIES* pc = &pdev->pointerCaps;
    uint64_t widthBytes = (pc->Flags & VIDEO_MODE_COLOR_POINTER) != 0
                              ? (uint64_t)pc->MaxWidth * 4
                              : ((uint64_t)pc->MaxWidth + 7) / 8;
    uint64_t size = 2 * widthBytes * pc->MaxHeight + 28;
    if (size > 0x100000u) { /* no pointer is that large */
        return FALSE;
    }
    VIDEO_POINTER_ATTRIBUTES* pa =
        (VIDEO_POINTER_ATTRIBUTES*)EngAllocMem(FL_ZERO_MEMORY, (ULONG)size, MIRVANE_ALLOC_TAG);
    if (pa == NULL) {
        return FALSE;
    }
    pa->Flags = pc->Flags;
    pa->Width = pc->MaxWidth;
    pa->Height = pc->MaxHeight;
    pa->WidthInBytes = (ULONG)widthBytes;
    m->pointer = pa;
    m->pointerSize = (ULONG)size;
    return TRUE;
}

static BOOL HoldsProbe(BYTE* frameBuffer) {
    volatile ULONG* probe = (volatile ULONG*)frameBuffer;
    *probe = MIRVANE_PROBE;
    return *probe == MIRVANE_PROBE;
}

/* Maps the video memory into m and checks that the frame buffer, 4 MiB in, holds what is
 * written. A failure leaves nothing mapped or allocated. */
static BOOL MapVideoMemory(const MirvanePdev* pdev, Mapping* m) {
    uint64_t frameBytes = (uint64_t)(ULONG)pdev->cyScreen * (ULONG)pdev->stride;
    if (!MiniportMapVideoMemory(pdev->hDriver, &m->base, &m->length)) {
        return FALSE;
    }
    if (m->length >= MIRVANE_FRAME_OFFSET + frameBytes &&
        HoldsProbe(m->base + MIRVANE_FRAME_OFFSET) && AllocatePointerAttributes(pdev, m)) {
        return TRUE;
    }
    MiniportUnmapVideoMemory(pdev->hDriver, m->base);
    return FALSE;
}

static void DropMapping(const MirvanePdev* pdev, Mapping* m) {
    EngFreeMem(m->pointer);
    MiniportUnmapVideoMemory(pdev->hDriver, m->base);
}

static void UnmapVideoMemory(MirvanePdev* pdev) {
    if (pdev->videoMemory != NULL) {
        MiniportUnmapVideoMemory(pdev->hDriver, pdev->videoMemory);
    }
    pdev->videoMemory = pdev->frameBuffer = NULL;
    pdev->videoRamLength = 0;
}

/* The PDEV moves to the new mapping and gives the old one back. */
static void CommitMapping(MirvanePdev* pdev, const Mapping* m) {
    UnmapVideoMemory(pdev);
    if (pdev->pointerAttributes != NULL) {
        EngFreeMem(pdev->pointerAttributes);
    }
    pdev->videoMemory = m->base;
    pdev->frameBuffer = m->base + MIRVANE_FRAME_OFFSET;
    pdev->videoRamLength = m->length;
    pdev->pointerAttributes = m->pointer;
    pdev->pointerAttributesSize = m->pointerSize;
}

/* The frame buffer starts 4 MiB into the video memory, where mirpanel's mapping expects it.
 * The first 4 MiB are left unused: every process that maps the frame buffer can write them,
 * so the driver keeps nothing there. */
static BOOL ModifySurface(MirvanePdev* pdev, HSURF hsurf, BYTE* frameBuffer) {
    return EngModifySurface(hsurf, pdev->hdev, pdev->hooks, MS_NOTSYSTEMMEMORY, (DHSURF)pdev,
                            frameBuffer, pdev->stride, NULL);
}

/* first: the surface is being enabled; otherwise the desktop returns to the device and what
 * is mapped is mapped again only when the miniport asks for it. The new mapping is taken
 * only once everything about it succeeded: any failure leaves the PDEV on the old one. */
BOOL SetDisplayMode(MirvanePdev* pdev, BOOL first) {
    ULONG remap;
    Mapping m;
    if (!MiniportSetMode(pdev->hDriver, pdev->modeIndex, &remap)) {
        return FALSE;
    }
    if (!first && (remap == 0 || pdev->videoMemory == NULL)) {
        return TRUE;
    }
    if (!MapVideoMemory(pdev, &m)) {
        return FALSE;
    }
    if (pdev->hsurfEng != NULL && m.base != pdev->videoMemory &&
        !ModifySurface(pdev, pdev->hsurfEng, m.base + MIRVANE_FRAME_OFFSET)) {
        DropMapping(pdev, &m);
        return FALSE;
    }
    CommitMapping(pdev, &m);
    return TRUE;
}

/* Only 32-bit modes have a surface, their rows exactly the width apart (ModeIsUsable). */
static BOOL HasSurface(const MirvanePdev* pdev) {
    return pdev->bitsPerPixel == 32 && pdev->cxScreen > 0 && pdev->cyScreen > 0 &&
           (int64_t)pdev->stride == (int64_t)pdev->cxScreen * 4;
}

/* Takes down what enabling the surface set up: the surface, the pools and the mapping. */
void ReleaseSurface(MirvanePdev* pdev) {
    if (pdev->hsurfEng != NULL) {
        EngDeleteSurface(pdev->hsurfEng);
    }
    pdev->hsurfEng = pdev->hsurfDevice = NULL;
    FreePools(pdev);
    UnmapVideoMemory(pdev);
}

HSURF APIENTRY DrvEnableSurface(DHPDEV dhpdev) {
    MirvanePdev* pdev = (MirvanePdev*)dhpdev;
    if (!HasSurface(pdev) || !SetDisplayMode(pdev, TRUE) || !InitPools(pdev)) {
        ReleaseSurface(pdev);
        return NULL;
    }
    SIZEL size = {pdev->cxScreen, pdev->cyScreen};
    pdev->hsurfEng = EngCreateDeviceSurface((DHSURF)pdev, size, BMF_32BPP);
    if (pdev->hsurfEng == NULL || !EngAssociateSurface(pdev->hsurfEng, pdev->hdev, pdev->hooks) ||
        !ModifySurface(pdev, pdev->hsurfEng, pdev->frameBuffer)) {
        ReleaseSurface(pdev);
        return NULL;
    }
    pdev->hsurfDevice = pdev->hsurfEng;
    return pdev->hsurfEng;
}

VOID APIENTRY DrvDisableSurface(DHPDEV dhpdev) {
    ReleaseSurface((MirvanePdev*)dhpdev);
}

/* A failure to set the mode again leaves the device as it was; the engine is told success
 * either way. */
BOOL APIENTRY DrvAssertMode(DHPDEV dhpdev, BOOL bEnable) {
    if (bEnable) {
        SetDisplayMode((MirvanePdev*)dhpdev, FALSE);
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
