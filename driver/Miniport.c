/* Requests to the video miniport. Each wrapper checks that the miniport returned as many
 * bytes as the answer needs, so that a short answer never leaves a field unset. */
#include "MirvanePrivate.h"

/* Whether the miniport carried the request out; returned: the bytes it answered. */
static BOOL Answered(HANDLE h, ULONG code, void* in, ULONG inBytes, void* out, ULONG outBytes,
                     DWORD* returned) {
    *returned = 0;
    return EngDeviceIoControl(h, code, in, inBytes, out, outBytes, returned) == 0;
}

static BOOL Request(HANDLE h, ULONG code, void* in, ULONG inBytes, void* out, ULONG outBytes) {
    DWORD returned;
    return Answered(h, code, in, inBytes, out, outBytes, &returned) && returned >= outBytes;
}

/* The mode list, in memory of the engine's that the caller frees with EngFreeMem. */
BOOL MiniportQueryModes(HANDLE h, VIDEO_MODE_INFORMATION** modes, ULONG* count) {
    VIDEO_NUM_MODES num;
    *modes = NULL;
    *count = 0;
    if (!Request(h, IOCTL_VIDEO_QUERY_NUM_AVAIL_MODES, NULL, 0, &num, sizeof(num)) ||
        num.NumModes == 0 || num.ModeInformationLength != sizeof(VIDEO_MODE_INFORMATION)) {
        return FALSE;
    }
    uint64_t bytes = (uint64_t)num.NumModes * sizeof(VIDEO_MODE_INFORMATION);
    if (bytes > 0x100000u) { /* far more modes than any device lists */
        return FALSE;
    }
    VIDEO_MODE_INFORMATION* list =
        (VIDEO_MODE_INFORMATION*)EngAllocMem(FL_ZERO_MEMORY, (ULONG)bytes, MIRVANE_ALLOC_TAG);
    if (list == NULL) {
        return FALSE;
    }
    if (!Request(h, IOCTL_VIDEO_QUERY_AVAIL_MODES, NULL, 0, list, (ULONG)bytes)) {
        EngFreeMem(list);
        return FALSE;
    }
    *modes = list;
    *count = num.NumModes;
    return TRUE;
}

BOOL MiniportQueryColorCaps(HANDLE h, VIDEO_COLOR_CAPABILITIES* caps) {
    return Request(h, IOCTL_VIDEO_QUERY_COLOR_CAPABILITIES, NULL, 0, caps, sizeof(*caps));
}

BOOL MiniportQueryPointerCaps(HANDLE h, ULONG mode, VIDEO_POINTER_CAPABILITIES* caps) {
    VIDEO_MODE in = {mode};
    return Request(h, IOCTL_VIDEO_QUERY_POINTER_CAPABILITIES, &in, sizeof(in), caps, sizeof(*caps));
}

/* remap: whether the miniport asks for the video memory to be mapped again. */
BOOL MiniportSetMode(HANDLE h, ULONG mode, ULONG* remap) {
    VIDEO_MODE in = {mode};
    *remap = 0;
    return Request(h, IOCTL_VIDEO_SET_CURRENT_MODE, &in, sizeof(in), remap, sizeof(*remap));
}

/* Maps the video memory into the driver's address space: base is the frame buffer base the
 * miniport reports. A miniport that maps but answers short gets the mapping back whenever
 * its address came through, so that no failed request leaves memory mapped. */
BOOL MiniportMapVideoMemory(HANDLE h, BYTE** base, ULONG* length) {
    VIDEO_MEMORY in = {NULL}; /* no particular address */
    VIDEO_MEMORY_INFORMATION info;
    DWORD returned;
    MirvaneZero(&info, sizeof(info));
    BOOL mapped = Answered(h, IOCTL_VIDEO_MAP_VIDEO_MEMORY, &in, sizeof(in), &info, sizeof(info),
                           &returned) &&
                  returned >= offsetof(VIDEO_MEMORY_INFORMATION, FrameBufferLength) &&
                  info.FrameBufferBase != NULL;
    if (mapped && returned < sizeof(info)) {
        MiniportUnmapVideoMemory(h, info.FrameBufferBase);
        return FALSE;
    }
    *base = (BYTE*)info.FrameBufferBase;
    *length = info.VideoRamLength;
    return mapped;
}

BOOL MiniportUnmapVideoMemory(HANDLE h, void* base) {
    VIDEO_MEMORY in = {base};
    return Request(h, IOCTL_VIDEO_UNMAP_VIDEO_MEMORY, &in, sizeof(in), NULL, 0);
}

BOOL MiniportSetColorRegisters(HANDLE h, VIDEO_CLUT* clut, ULONG bytes) {
    return Request(h, IOCTL_VIDEO_SET_COLOR_REGISTERS, clut, bytes, NULL, 0);
}

/* Maps the frame buffer into a process; address is where its video memory starts there. */
BOOL MiniportMapToProcess(HANDLE h, ULONG process, ULONG bytes, ULONG* address) {
    MirvaneMiniportMapIn in = {process, 0, bytes, 0};
    MirvaneMiniportMapOut out = {0, 0, 0};
    if (!Request(h, MIRVANE_IOCTL_MAP, &in, sizeof(in), &out, sizeof(out))) {
        return FALSE;
    }
    *address = out.address;
    return TRUE;
}

BOOL MiniportUnmapFromProcess(HANDLE h, ULONG process, ULONG address) {
    MirvaneMiniportUnmapIn in = {process, 0, 0, address};
    return Request(h, MIRVANE_IOCTL_UNMAP, &in, sizeof(in), NULL, 0);
}

BOOL MiniportKeepMap(HANDLE h) {
    return Request(h, MIRVANE_IOCTL_KEEP_MAP, NULL, 0, NULL, 0);
}

BOOL MiniportQuery(HANDLE h, ULONG* value) {
    return Request(h, MIRVANE_IOCTL_QUERY, NULL, 0, value, sizeof(*value));
}
