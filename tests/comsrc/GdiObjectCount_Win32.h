// Counts the GDI objects this process owns, for leak tests.
#pragma once

#include <windows.h>

namespace comsrc_test {

// GetGuiResources where the system implements it. Wine answers 0 there, so the
// fallback walks Wine's handle table: a handle whose high word is 0 matches
// whatever object occupies that slot.
inline long CountGdiObjects() {
    DWORD n = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    if (n != 0)
        return long(n);
    long live = 0;
    for (UINT_PTR slot = 1; slot < 0x10000; ++slot)
        if (GetObjectType(reinterpret_cast<HGDIOBJ>(slot)) != 0)
            ++live;
    return live;
}

} // namespace comsrc_test
