/* Display escapes: how mirpanel identifies the driver, gets the frame buffer mapped into its
 * process and drains the change queue. Buffers and sizes come from user mode: every escape
 * checks that the buffers it touches are present and large enough, and copies whole values
 * in and out byte by byte, without assuming alignment. */
#include "MirvanePrivate.h"

static BOOL Fits(PVOID buffer, ULONG size, uint64_t need) {
    return need == 0 || (buffer != NULL && size >= need);
}

static ULONG ReadValue(const void* in, ULONG index) {
    ULONG v;
    MirvaneCopy(&v, (const BYTE*)in + index * sizeof(ULONG), sizeof(v));
    return v;
}

static void WriteValue(void* out, ULONG v) {
    MirvaneCopy(out, &v, sizeof(v));
}

static ULONG QueryEscapeSupport(ULONG cjIn, PVOID pvIn) {
    return Fits(pvIn, cjIn, 4) && ReadValue(pvIn, 0) == USBED_ESC_IDENTIFY ? 1 : 0;
}

/* Also switches change tracking on for the life of the PDEV, whether or not there was room. */
static LONG Identify(MirvanePdev* pdev, ULONG cjOut, PVOID pvOut) {
    pdev->trackingEnabled = 1;
    if (!Fits(pvOut, cjOut, USBED_IDENTIFY_SIZE)) {
        return 0;
    }
    MirvaneCopy(pvOut, USBED_IDENTIFY_TAG, USBED_IDENTIFY_SIZE);
    return USBED_IDENTIFY_SIZE;
}

/* Copies a rectangle of the surface out, rows packed; it must lie inside the surface. */
static LONG CopyRect(MirvanePdev* pdev, ULONG cjIn, PVOID pvIn, ULONG cjOut, PVOID pvOut) {
    if (cjIn != sizeof(MirvaneCopyRectIn) || pvIn == NULL) {
        return USBED_ERR_INPUT_SIZE;
    }
    int64_t top = (LONG)ReadValue(pvIn, 0), left = (LONG)ReadValue(pvIn, 1);
    int64_t bottom = (LONG)ReadValue(pvIn, 2), right = (LONG)ReadValue(pvIn, 3);
    int64_t cx = pdev->hsurfEng != NULL ? pdev->cxScreen : 0;
    int64_t cy = pdev->hsurfEng != NULL ? pdev->cyScreen : 0;
    if (left < 0 || top < 0 || left > right || top > bottom || right > cx || bottom > cy) {
        return USBED_ERR_RECT;
    }
    uint64_t rowBytes = (uint64_t)(right - left) * 4;
    uint64_t bytes = rowBytes * (uint64_t)(bottom - top);
    if (bytes > 0x7FFFFFFFu) { /* the count is the result */
        return USBED_ERR_RECT;
    }
    if (bytes == 0) { /* an empty rectangle needs no output at all */
        return 0;
    }
    if (!Fits(pvOut, cjOut, bytes)) {
        return USBED_ERR_OUTPUT_SIZE;
    }
    BYTE* out = (BYTE*)pvOut;
    for (int64_t y = top; y < bottom; ++y) {
        const BYTE* row = pdev->frameBuffer + y * pdev->stride + left * 4;
        MirvaneCopy(out, row, (ULONG)rowBytes);
        out += rowBytes;
    }
    return (LONG)bytes;
}

static LONG Map(MirvanePdev* pdev, ULONG cjIn, PVOID pvIn, ULONG cjOut, PVOID pvOut) {
    if (!Fits(pvOut, cjOut, 4)) {
        return USBED_ERR_OUTPUT_SIZE;
    }
    if (!Fits(pvIn, cjIn, 4)) {
        return USBED_ERR_INPUT_SIZE;
    }
    ULONG address;
    if (!MiniportMapToProcess(pdev->hDriver, ReadValue(pvIn, 0), pdev->frameBufferBytes,
                              &address)) {
        return USBED_ERR_MINIPORT;
    }
    WriteValue(pvOut, address + MIRVANE_FRAME_OFFSET);
    return 4;
}

static LONG Unmap(MirvanePdev* pdev, ULONG cjIn, PVOID pvIn) {
    if (!Fits(pvIn, cjIn, 8)) {
        return USBED_ERR_INPUT_SIZE;
    }
    if (!MiniportUnmapFromProcess(pdev->hDriver, ReadValue(pvIn, 0), ReadValue(pvIn, 1))) {
        return USBED_ERR_MINIPORT;
    }
    return 1;
}

static LONG MiniportQueryEscape(MirvanePdev* pdev, ULONG cjOut, PVOID pvOut) {
    ULONG value;
    if (!Fits(pvOut, cjOut, 4)) {
        return USBED_ERR_OUTPUT_SIZE;
    }
    if (!MiniportQuery(pdev->hDriver, &value)) {
        return USBED_ERR_MINIPORT;
    }
    return (LONG)value;
}

static LONG ReservedPair(ULONG cjOut, PVOID pvOut) {
    if (!Fits(pvOut, cjOut, 8)) {
        return 0;
    }
    MirvaneZero(pvOut, 8);
    return 8;
}

/* The oldest record's size, 0 when the queue is empty. Read once per record: the copy takes
 * exactly the size that was checked against the room. */
static ULONG OldestSize(const MirvanePdev* pdev) {
    return pdev->changeHead != NULL ? pdev->changeHead->header.recordSize : 0;
}

static LONG PeekChange(MirvanePdev* pdev, ULONG cjOut, PVOID pvOut) {
    if (!Fits(pvOut, cjOut, 4)) {
        return USBED_ERR_GENERAL;
    }
    WriteValue(pvOut, OldestSize(pdev));
    return 0;
}

/* Delivers the oldest record; the driver's chaining value stays inside the driver. */
static void DeliverOldest(MirvanePdev* pdev, BYTE* out, ULONG size) {
    MirvaneCopy(out, pdev->changeHead, size);
    MirvaneZero(out + offsetof(MirvaneRecordHeader, link), sizeof(ULONG));
    PopChange(pdev);
}

static LONG GetChange(MirvanePdev* pdev, ULONG cjOut, PVOID pvOut) {
    ULONG size = OldestSize(pdev);
    if (size == 0) {
        return USBED_ERR_GENERAL;
    }
    if (!Fits(pvOut, cjOut, size)) {
        return USBED_ERR_NO_ROOM;
    }
    DeliverOldest(pdev, (BYTE*)pvOut, size);
    return 0;
}

/* As many whole records as fit with room left for the closing 0. */
static LONG GetChanges(MirvanePdev* pdev, ULONG cjOut, PVOID pvOut) {
    if (pdev->changeHead == NULL) {
        return 0;
    }
    uint64_t room = pvOut != NULL ? cjOut : 0;
    BYTE* out = (BYTE*)pvOut;
    LONG count = 0;
    ULONG size;
    while ((size = OldestSize(pdev)) != 0 && room >= (uint64_t)size + 4) {
        DeliverOldest(pdev, out, size);
        out += size;
        room -= size;
        ++count;
    }
    if (count == 0) {
        return USBED_ERR_NO_ROOM;
    }
    WriteValue(out, 0);
    return count;
}

static LONG FlushChanges(MirvanePdev* pdev) {
    while (pdev->changeHead != NULL) {
        PopChange(pdev);
    }
    return 0;
}

static LONG DeviceEscape(MirvanePdev* pdev, ULONG iEsc, ULONG cjIn, PVOID pvIn, ULONG cjOut,
                         PVOID pvOut) {
    switch (iEsc) {
    case USBED_ESC_IDENTIFY:
        return Identify(pdev, cjOut, pvOut);
    case USBED_ESC_COPY_RECT:
        return CopyRect(pdev, cjIn, pvIn, cjOut, pvOut);
    case USBED_ESC_MAP:
        return Map(pdev, cjIn, pvIn, cjOut, pvOut);
    case USBED_ESC_UNMAP:
        return Unmap(pdev, cjIn, pvIn);
    case USBED_ESC_KEEP_MAP:
        return MiniportKeepMap(pdev->hDriver) ? 0 : USBED_ERR_MINIPORT;
    case USBED_ESC_MINIPORT_QUERY:
        return MiniportQueryEscape(pdev, cjOut, pvOut);
    case USBED_ESC_RESERVED_PAIR:
        return ReservedPair(cjOut, pvOut);
    case USBED_ESC_PEEK_CHANGE:
        return PeekChange(pdev, cjOut, pvOut);
    case USBED_ESC_GET_CHANGE:
        return GetChange(pdev, cjOut, pvOut);
    case USBED_ESC_GET_CHANGES:
        return GetChanges(pdev, cjOut, pvOut);
    case USBED_ESC_FLUSH_CHANGES:
        return FlushChanges(pdev);
    default: /* USBED_ESC_GET_BITS included: it would disclose a kernel address */
        return 0;
    }
}

ULONG APIENTRY DrvEscape(SURFOBJ* pso, ULONG iEsc, ULONG cjIn, PVOID pvIn, ULONG cjOut,
                         PVOID pvOut) {
    if (iEsc == USBED_ESC_QUERYESCSUPPORT) {
        return QueryEscapeSupport(cjIn, pvIn);
    }
    MirvanePdev* pdev = pso != NULL ? (MirvanePdev*)pso->dhpdev : NULL;
    if (pdev == NULL) {
        return 0;
    }
    return (ULONG)DeviceEscape(pdev, iEsc, cjIn, pvIn, cjOut, pvOut);
}
