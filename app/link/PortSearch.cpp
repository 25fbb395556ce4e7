#include "app/link/PortSearch.h"

#include <cstdio>

bool FormatPortPath(int32_t port, char* buffer, size_t size) {
    const char* format = port < 10 ? "COM%d" : "\\\\.\\COM%d";
    int n = snprintf(buffer, size, format, static_cast<int>(port));
    return n > 0 && static_cast<size_t>(n) < size;
}

namespace {
// In 64 bits: the first step starts from the saved number, which may be INT32_MAX.
int32_t NextPort(int32_t n, int32_t step) {
    const int64_t next = static_cast<int64_t>(n) + step;
    if (next > kHighestPort)
        return kLowestPort;
    if (next < kLowestPort)
        return kHighestPort;
    return static_cast<int32_t>(next);
}
} // namespace

int32_t SearchComPort(int32_t current, int32_t step, PortOpenTest test, void* context) {
    const int32_t start = current < kLowestPort ? kLowestPort : current;
    const int32_t direction = step < 0 ? -1 : 1;
    int32_t n = start;
    for (int32_t tries = 0; tries < kHighestPort; ++tries) {
        n = NextPort(n, direction);
        char path[64];
        bool found = FormatPortPath(n, path, sizeof path) && test(path, context);
        if (found || n == start)
            return found ? n : -1;
    }
    return -1;
}
