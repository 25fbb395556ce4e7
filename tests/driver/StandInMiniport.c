/* Model video miniport behind EngDeviceIoControl: a mode list, a video memory, the standard
 * requests and the mirror driver's private ones, with faults on demand. */
#ifdef _WIN32
#include <windows.h>
#else
#define _GNU_SOURCE /* memfd_create, MAP_32BIT, REG_EFL */
#include <signal.h>
#include <sys/mman.h>
#include <ucontext.h>
#include <unistd.h>
#endif
#include <string.h>

#include "StandIn.h"

#define MAX_MODES 16
#define MAX_FAULTS 16
#define MAX_MAPPINGS 8
#define ERROR_CODE 87 /* what a refused request returns: invalid parameter */

static VIDEO_MODE_INFORMATION g_modes[MAX_MODES];
static ULONG g_modeCount;
static struct {
    ULONG code;
    enum StandInIoctlFault fault;
} g_faults[MAX_FAULTS];
static ULONG g_remap, g_queryValue, g_keepAlives, g_mapWords[4];
static ULONG g_clutFirst, g_clutCount, g_clut[256];
static BYTE* g_memory;
static ULONG g_memoryBytes;
static BYTE* g_mappings[MAX_MAPPINGS];
static BYTE* g_driverViews[2]; /* the driver's mappings: the memory itself, a second view */

#ifdef _WIN32
static HANDLE g_section;

static BYTE* NewView(void) {
    return (BYTE*)MapViewOfFile(g_section, FILE_MAP_WRITE, 0, 0, g_memoryBytes);
}

static void DropView(BYTE* view) {
    UnmapViewOfFile(view);
}

static BOOL NewMemory(ULONG bytes) {
    if (g_section != NULL) {
        DropView(g_memory);
        CloseHandle(g_section);
    }
    g_memoryBytes = bytes;
    g_section = CreateFileMappingA(INVALID_HANDLE_VALUE, NULL, PAGE_READWRITE, 0, bytes, NULL);
    g_memory = g_section != NULL ? NewView() : NULL;
    return g_memory != NULL;
}
#else
static int g_fd = -1;

/* Views of the process stay below 4 GiB: the map request answers a 32-bit address. */
static BYTE* NewView(void) {
    void* p = mmap(NULL, g_memoryBytes, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_32BIT, g_fd, 0);
    return p != MAP_FAILED ? (BYTE*)p : NULL;
}

static void DropView(BYTE* view) {
    munmap(view, g_memoryBytes);
}

static BOOL NewMemory(ULONG bytes) {
    if (g_fd >= 0) {
        DropView(g_memory);
        close(g_fd);
    }
    g_memoryBytes = bytes;
    g_fd = memfd_create("standin-video", 0);
    if (g_fd < 0 || ftruncate(g_fd, bytes) != 0) {
        return FALSE;
    }
    void* p = mmap(NULL, bytes, PROT_READ | PROT_WRITE, MAP_SHARED, g_fd, 0);
    g_memory = p != MAP_FAILED ? (BYTE*)p : NULL;
    return g_memory != NULL;
}
#endif

/* Memory that forgets writes: the first page of the frame buffer is kept inaccessible; an
 * access to it is let through for one instruction (trap flag), after which the page is
 * filled with ones and closed again. */
#define PAGE 4096
#define TRAP_FLAG 0x100
static BYTE* g_brokenPage;

static BOOL OnBrokenPage(const void* at) {
    return g_brokenPage != NULL && (const BYTE*)at >= g_brokenPage &&
           (const BYTE*)at < g_brokenPage + PAGE;
}

#ifdef _WIN32
static PVOID g_handler;

static void ProtectBrokenPage(BOOL open) {
    DWORD old;
    VirtualProtect(g_brokenPage, PAGE, open ? PAGE_READWRITE : PAGE_NOACCESS, &old);
}

static LONG CALLBACK OnException(EXCEPTION_POINTERS* e) {
    DWORD code = e->ExceptionRecord->ExceptionCode;
    if (code == EXCEPTION_ACCESS_VIOLATION &&
        OnBrokenPage((const void*)e->ExceptionRecord->ExceptionInformation[1])) {
        ProtectBrokenPage(TRUE);
        e->ContextRecord->EFlags |= TRAP_FLAG;
        return EXCEPTION_CONTINUE_EXECUTION;
    }
    if (code == EXCEPTION_SINGLE_STEP && g_brokenPage != NULL) {
        memset(g_brokenPage, 0xFF, PAGE);
        ProtectBrokenPage(FALSE);
        e->ContextRecord->EFlags &= ~(DWORD)TRAP_FLAG;
        return EXCEPTION_CONTINUE_EXECUTION;
    }
    return EXCEPTION_CONTINUE_SEARCH;
}

static void CatchFaults(BOOL on) {
    if (on) {
        g_handler = AddVectoredExceptionHandler(1, OnException);
    } else {
        RemoveVectoredExceptionHandler(g_handler);
    }
}
#else
static struct sigaction g_oldSegv, g_oldTrap;

static void ProtectBrokenPage(BOOL open) {
    mprotect(g_brokenPage, PAGE, open ? PROT_READ | PROT_WRITE : PROT_NONE);
}

static void OnFault(int sig, siginfo_t* info, void* context) {
    (void)sig;
    if (!OnBrokenPage(info->si_addr)) {
        sigaction(SIGSEGV, &g_oldSegv, NULL); /* not ours: fault again, as before */
        return;
    }
    ProtectBrokenPage(TRUE);
    ((ucontext_t*)context)->uc_mcontext.gregs[REG_EFL] |= TRAP_FLAG;
}

static void OnStep(int sig, siginfo_t* info, void* context) {
    (void)sig, (void)info;
    memset(g_brokenPage, 0xFF, PAGE);
    ProtectBrokenPage(FALSE);
    ((ucontext_t*)context)->uc_mcontext.gregs[REG_EFL] &= ~(greg_t)TRAP_FLAG;
}

static void CatchFaults(BOOL on) {
    if (on) {
        struct sigaction sa;
        memset(&sa, 0, sizeof(sa));
        sa.sa_flags = SA_SIGINFO;
        sa.sa_sigaction = OnFault;
        sigaction(SIGSEGV, &sa, &g_oldSegv);
        sa.sa_sigaction = OnStep;
        sigaction(SIGTRAP, &sa, &g_oldTrap);
    } else {
        sigaction(SIGSEGV, &g_oldSegv, NULL);
        sigaction(SIGTRAP, &g_oldTrap, NULL);
    }
}
#endif

BOOL StandInBreakFrameBuffer(void) {
    CatchFaults(TRUE);
    g_brokenPage = g_memory + MIRVANE_FRAME_OFFSET;
    memset(g_brokenPage, 0xFF, PAGE);
    ProtectBrokenPage(FALSE);
    return TRUE;
}

static void RepairFrameBuffer(void) {
    if (g_brokenPage != NULL) {
        ProtectBrokenPage(TRUE);
        CatchFaults(FALSE);
        g_brokenPage = NULL;
    }
}

VIDEO_MODE_INFORMATION StandInMode(ULONG index, ULONG width, ULONG height, ULONG bits,
                                   ULONG frequency) {
    VIDEO_MODE_INFORMATION m;
    memset(&m, 0, sizeof(m));
    m.Length = sizeof(m);
    m.ModeIndex = index;
    m.VisScreenWidth = width;
    m.VisScreenHeight = height;
    m.ScreenStride = width * (bits / 8);
    m.NumberOfPlanes = 1;
    m.BitsPerPlane = bits;
    m.Frequency = frequency;
    m.XMillimeter = width / 4;
    m.YMillimeter = height / 4;
    m.NumberRedBits = m.NumberGreenBits = m.NumberBlueBits = bits == 8 ? 6 : 8;
    m.AttributeFlags = VIDEO_MODE_COLOR | VIDEO_MODE_GRAPHICS;
    if (bits == 8) {
        m.AttributeFlags |= VIDEO_MODE_PALETTE_DRIVEN;
    } else if (bits == 16) {
        m.RedMask = 0xF800, m.GreenMask = 0x07E0, m.BlueMask = 0x001F;
    } else {
        m.RedMask = 0xFF0000, m.GreenMask = 0x00FF00, m.BlueMask = 0x0000FF;
    }
    m.VideoMemoryBitmapWidth = width;
    m.VideoMemoryBitmapHeight = height;
    return m;
}

static void UnmapAll(void) {
    for (ULONG i = 0; i < MAX_MAPPINGS; ++i) {
        if (g_mappings[i] != NULL) {
            DropView(g_mappings[i]);
            g_mappings[i] = NULL;
        }
    }
}

void StandInSetModes(const VIDEO_MODE_INFORMATION* modes, ULONG count) {
    g_modeCount = count < MAX_MODES ? count : MAX_MODES;
    memcpy(g_modes, modes, g_modeCount * sizeof(*modes));
    uint64_t largest = 0;
    for (ULONG i = 0; i < g_modeCount; ++i) {
        uint64_t bytes = (uint64_t)modes[i].VisScreenHeight * modes[i].ScreenStride;
        largest = bytes > largest ? bytes : largest;
    }
    ULONG bytes = MIRVANE_FRAME_OFFSET + (ULONG)largest;
    RepairFrameBuffer();
    UnmapAll();
    memset(g_driverViews, 0, sizeof(g_driverViews)); /* what a failed test left mapped */
    if (g_memory == NULL || bytes > g_memoryBytes) {
        NewMemory(bytes);
    }
    if (g_memory != NULL) {
        memset(g_memory, 0, g_memoryBytes);
    }
}

void StandInReset(void) {
    VIDEO_MODE_INFORMATION modes[10] = {
        StandInMode(0, 640, 480, 32, 60),  StandInMode(1, 800, 600, 32, 60),
        StandInMode(2, 800, 600, 32, 75),  StandInMode(3, 1024, 768, 32, 60),
        StandInMode(4, 800, 600, 16, 60),  StandInMode(5, 640, 480, 8, 60),
        StandInMode(6, 1024, 768, 32, 60), StandInMode(7, 800, 600, 16, 60),
        StandInMode(8, 640, 480, 32, 60),  StandInMode(9, 640, 480, 4, 60),
    };
    modes[6].AttributeFlags |= VIDEO_MODE_BANKED;
    modes[7].NumberOfPlanes = 2; /* 2 x 16 bits: 32 bits per pixel, but planar */
    modes[8].AttributeFlags &= ~(ULONG)VIDEO_MODE_GRAPHICS; /* text */
    StandInSetModes(modes, 10);
    memset(g_faults, 0, sizeof(g_faults));
    g_remap = 0;
    g_queryValue = 0x20100;
    g_keepAlives = 0;
    g_clutCount = 0;
    memset(g_mapWords, 0, sizeof(g_mapWords));
    StandInSetEngFaults(0);
}

HANDLE StandInMiniport(void) {
    return (HANDLE)&g_modes;
}

const VIDEO_MODE_INFORMATION* StandInModes(ULONG* count) {
    *count = g_modeCount;
    return g_modes;
}

BYTE* StandInVideoMemory(void) {
    return g_memory;
}

ULONG StandInVideoMemoryBytes(void) {
    return g_memoryBytes;
}

void StandInSetIoctlFault(ULONG code, enum StandInIoctlFault fault) {
    for (ULONG i = 0; i < MAX_FAULTS; ++i) {
        if (g_faults[i].code == code || g_faults[i].code == 0) {
            g_faults[i].code = code;
            g_faults[i].fault = fault;
            return;
        }
    }
}

static enum StandInIoctlFault FaultOf(ULONG code) {
    for (ULONG i = 0; i < MAX_FAULTS; ++i) {
        if (g_faults[i].code == code) {
            return g_faults[i].fault;
        }
    }
    return STANDIN_IOCTL_OK;
}

void StandInSetRemap(ULONG remap) {
    g_remap = remap;
}

void StandInSetQueryValue(ULONG value) {
    g_queryValue = value;
}

ULONG StandInProcess(void) {
    return 0xFFFFFFFFu; /* the current-process pseudo handle */
}

void StandInDropMappings(void) {
    UnmapAll();
}

ULONG StandInMappingCount(void) {
    ULONG n = 0;
    for (ULONG i = 0; i < MAX_MAPPINGS; ++i) {
        n += g_mappings[i] != NULL;
    }
    return n;
}

ULONG StandInKeepAliveCount(void) {
    return g_keepAlives;
}

void StandInLastMapRequest(ULONG words[4]) {
    memcpy(words, g_mapWords, sizeof(g_mapWords));
}

ULONG StandInColorRegisters(ULONG* first, ULONG entries[256]) {
    *first = g_clutFirst;
    memcpy(entries, g_clut, g_clutCount * sizeof(ULONG));
    return g_clutCount;
}

/* ---- Requests ---- */

typedef struct Request {
    const void* in;
    ULONG inBytes;
    void* out;
    ULONG outBytes;
    ULONG returned;
} Request;

static BOOL Answer(Request* r, const void* data, ULONG bytes) {
    if (r->out == NULL || r->outBytes < bytes) {
        return FALSE;
    }
    memcpy(r->out, data, bytes);
    r->returned = bytes;
    return TRUE;
}

static ULONG InWord(const Request* r, ULONG index) {
    ULONG v;
    memcpy(&v, (const BYTE*)r->in + index * 4, 4);
    return v;
}

static BOOL QueryModes(Request* r, BOOL count) {
    if (count) {
        VIDEO_NUM_MODES n = {g_modeCount, sizeof(VIDEO_MODE_INFORMATION)};
        return Answer(r, &n, sizeof(n));
    }
    return Answer(r, g_modes, g_modeCount * sizeof(VIDEO_MODE_INFORMATION));
}

static BOOL SetMode(Request* r) {
    if (r->in == NULL || r->inBytes < 4) {
        return FALSE;
    }
    ULONG index = InWord(r, 0);
    for (ULONG i = 0; i < g_modeCount; ++i) {
        if (g_modes[i].ModeIndex == index) {
            return Answer(r, &g_remap, sizeof(g_remap));
        }
    }
    return FALSE;
}

ULONG StandInVideoMappingCount(void) {
    return (g_driverViews[0] != NULL) + (g_driverViews[1] != NULL);
}

/* A mapping made while the other lives is the second view, at another address. */
static BOOL MapVideoMemory(Request* r) {
    int i = g_driverViews[0] != NULL;
    if (r->in == NULL || r->inBytes < sizeof(VIDEO_MEMORY) || !g_memory || g_driverViews[i]) {
        return FALSE;
    }
    BYTE* view = g_driverViews[i] = i == 0 ? g_memory : NewView();
    VIDEO_MEMORY_INFORMATION info = {view, g_memoryBytes, view, g_memoryBytes};
    return view != NULL && Answer(r, &info, sizeof(info));
}

static BOOL UnmapVideoMemory(Request* r) {
    BYTE* view = r->in != NULL && r->inBytes >= sizeof(VIDEO_MEMORY) ? *(BYTE* const*)r->in : NULL;
    int i = view != NULL && view == g_driverViews[1];
    if (view == NULL || view != g_driverViews[i]) {
        return FALSE;
    }
    if (i == 1) {
        DropView(view);
    }
    g_driverViews[i] = NULL;
    return TRUE;
}

static BOOL ColorCaps(Request* r) {
    VIDEO_COLOR_CAPABILITIES c;
    memset(&c, 0, sizeof(c));
    c.Length = sizeof(c);
    c.WhiteChromaticity_x = 3127, c.WhiteChromaticity_y = 3290, c.WhiteChromaticity_Y = 10000;
    c.RedChromaticity_x = 6400, c.RedChromaticity_y = 3300;
    c.GreenChromaticity_x = 3000, c.GreenChromaticity_y = 6000;
    c.BlueChromaticity_x = 1500, c.BlueChromaticity_y = 600;
    c.RedGamma = c.GreenGamma = c.BlueGamma = 22000;
    return Answer(r, &c, sizeof(c));
}

static BOOL PointerCaps(Request* r) {
    VIDEO_POINTER_CAPABILITIES c = {VIDEO_MODE_ASYNC_POINTER | VIDEO_MODE_MONO_POINTER, 32, 32, 0,
                                    0};
    return r->in != NULL && r->inBytes >= 4 && Answer(r, &c, sizeof(c));
}

static BOOL SetColorRegisters(Request* r) {
    if (r->in == NULL || r->inBytes < 4) {
        return FALSE;
    }
    const VIDEO_CLUT* clut = (const VIDEO_CLUT*)r->in;
    ULONG count = clut->NumEntries;
    if (count > 256 || clut->FirstEntry + count > 256 || r->inBytes < 4 + count * 4) {
        return FALSE;
    }
    g_clutFirst = clut->FirstEntry;
    g_clutCount = count;
    memcpy(g_clut, (const BYTE*)r->in + 4, count * 4);
    return TRUE;
}

static BOOL MapToProcess(Request* r) {
    if (r->in == NULL || r->inBytes < 16) {
        return FALSE;
    }
    for (ULONG i = 0; i < 4; ++i) {
        g_mapWords[i] = InWord(r, i);
    }
    if (g_mapWords[0] != StandInProcess() || g_mapWords[2] > g_memoryBytes - MIRVANE_FRAME_OFFSET) {
        return FALSE;
    }
    for (ULONG i = 0; i < MAX_MAPPINGS; ++i) {
        if (g_mappings[i] == NULL) {
            g_mappings[i] = NewView();
            ULONG out[3] = {0, 0, (ULONG)(uintptr_t)g_mappings[i]};
            return g_mappings[i] != NULL && Answer(r, out, sizeof(out));
        }
    }
    return FALSE;
}

static BOOL UnmapFromProcess(Request* r) {
    if (r->in == NULL || r->inBytes < 16 || InWord(r, 0) != StandInProcess()) {
        return FALSE;
    }
    ULONG address = InWord(r, 3);
    for (ULONG i = 0; i < MAX_MAPPINGS; ++i) {
        /* the driver passes on the frame buffer's address, 4 MiB into the view */
        if (g_mappings[i] != NULL &&
            (ULONG)(uintptr_t)g_mappings[i] + MIRVANE_FRAME_OFFSET == address) {
            DropView(g_mappings[i]);
            g_mappings[i] = NULL;
            return TRUE;
        }
    }
    return FALSE;
}

static BOOL Dispatch(ULONG code, Request* r) {
    switch (code) {
    case IOCTL_VIDEO_QUERY_NUM_AVAIL_MODES:
        return QueryModes(r, TRUE);
    case IOCTL_VIDEO_QUERY_AVAIL_MODES:
        return QueryModes(r, FALSE);
    case IOCTL_VIDEO_QUERY_COLOR_CAPABILITIES:
        return ColorCaps(r);
    case IOCTL_VIDEO_QUERY_POINTER_CAPABILITIES:
        return PointerCaps(r);
    case IOCTL_VIDEO_SET_CURRENT_MODE:
        return SetMode(r);
    case IOCTL_VIDEO_MAP_VIDEO_MEMORY:
        return MapVideoMemory(r);
    case IOCTL_VIDEO_UNMAP_VIDEO_MEMORY:
        return UnmapVideoMemory(r);
    case IOCTL_VIDEO_SET_COLOR_REGISTERS:
        return SetColorRegisters(r);
    case MIRVANE_IOCTL_MAP:
        return MapToProcess(r);
    case MIRVANE_IOCTL_UNMAP:
        return UnmapFromProcess(r);
    case MIRVANE_IOCTL_KEEP_MAP:
        ++g_keepAlives;
        return TRUE;
    case MIRVANE_IOCTL_QUERY:
        return Answer(r, &g_queryValue, sizeof(g_queryValue));
    default:
        return FALSE;
    }
}

DWORD APIENTRY EngDeviceIoControl(HANDLE hDevice, DWORD dwIoControlCode, PVOID lpInBuffer,
                                  DWORD nInBufferSize, PVOID lpOutBuffer, DWORD nOutBufferSize,
                                  LPDWORD lpBytesReturned) {
    Request r = {lpInBuffer, nInBufferSize, lpOutBuffer, nOutBufferSize, 0};
    enum StandInIoctlFault fault = FaultOf(dwIoControlCode);
    BOOL ok = hDevice == StandInMiniport() && fault != STANDIN_IOCTL_FAIL &&
              Dispatch(dwIoControlCode, &r);
    if (ok && fault == STANDIN_IOCTL_SHORT && r.returned > 0) {
        r.returned--;
    }
    if (lpBytesReturned != NULL) {
        *lpBytesReturned = ok ? r.returned : 0;
    }
    return ok ? 0 : ERROR_CODE;
}
