// procstats.dll: loaded into another process by `winctl stats`, it reads that process's
// handle count, GDI objects and private bytes from inside (Wine keeps GDI objects in a table
// of each process's own) and writes
// "handles=N gdi=N private=N" to "<this dll>.<process id>.txt". It then refuses to stay
// loaded.

#include <windows.h>

#include <cstdio>

#include "tests/comsrc/GdiObjectCount_Win32.h"

namespace {

// Wine answers the handle count with 0: count the handle values that name an object.
long countHandles() {
    long live = 0;
    DWORD flags = 0;
    for (UINT_PTR value = 4; value < 0x10000; value += 4)
        if (GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags))
            ++live;
    return live;
}

// Committed private memory, region by region (Wine reports no private usage either).
unsigned long long privateBytes() {
    unsigned long long total = 0;
    MEMORY_BASIC_INFORMATION region;
    const char* at = nullptr;
    while (VirtualQuery(at, &region, sizeof region) == sizeof region) {
        if (region.State == MEM_COMMIT && region.Type == MEM_PRIVATE)
            total += region.RegionSize;
        const char* next = static_cast<const char*>(region.BaseAddress) + region.RegionSize;
        if (next <= at)
            break;
        at = next;
    }
    return total;
}

void writeCounts(HINSTANCE self) {
    char path[MAX_PATH + 32];
    DWORD length = GetModuleFileNameA(self, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return;
    std::snprintf(path + length, sizeof path - length, ".%lu.txt", GetCurrentProcessId());
    // Taken before the file is opened, which adds a handle.
    const long gdi = comsrc_test::CountGdiObjects();
    const long handles = countHandles();
    const unsigned long long bytes = privateBytes();
    if (FILE* out = std::fopen(path, "w")) {
        std::fprintf(out, "handles=%ld gdi=%ld private=%llu\n", handles, gdi, bytes);
        std::fclose(out);
    }
}

} // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID) {
    if (reason != DLL_PROCESS_ATTACH)
        return TRUE;
    writeCounts(self);
    return FALSE; // unloaded again at once: nothing of it stays in the process
}
