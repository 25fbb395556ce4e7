#pragma once
// The few Windows types that platform-free code shares with the Win32 shell. On Windows they
// are the real ones; the host build gets layout-identical stand-ins, so the same code and
// the same record layouts compile in both builds.

#ifdef _WIN32
#include <windows.h>
#else
#include <cstdint>

typedef int32_t LONG;
typedef uint32_t DWORD;
typedef uint16_t WORD;
typedef uint8_t BYTE;
typedef int32_t BOOL;

struct RECT {
    LONG left;
    LONG top;
    LONG right;
    LONG bottom;
};

struct POINT {
    LONG x;
    LONG y;
};
#endif

static_assert(sizeof(RECT) == 16, "RECT is four 32-bit edges");
