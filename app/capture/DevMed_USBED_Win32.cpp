// External-monitor capture through the mirror driver's escapes and mapped frame buffer.
#include "app/capture/DevMed_USBED.h"

#include <algorithm>
#include <ctime>
#include <new>

#include "app/capture/PairCopy.h"
#include "app/core/Globals.h"
#include "comsrc/DIBitmap.h"
#include "comsrc/HDCAcquirer_Win32.h"
#include "comsrc/PixelRows.h"
#include "comsrc/RectList.h"
#include "driver/MirvaneEscape.h"

MirrorEscapeCall g_mirrorEscape = ExtEscape;

namespace {

// GetRects' buffer: room for 126 rectangles; a region of more is copied as the display.
constexpr int32_t kRegionBufferBytes = 2048;
constexpr DWORD kReadable = PAGE_READONLY | PAGE_READWRITE | PAGE_WRITECOPY | PAGE_EXECUTE_READ |
                            PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY;

uint64_t frameBytesOf(const RECT& displayRect) {
    return uint64_t(uint32_t(displayRect.right)) * uint32_t(displayRect.bottom) * 4;
}

LONG extentOf(LONG from, LONG to) {
    return std::max<LONG>(0, comsrc::SaturateInt32(int64_t{to} - from));
}

} // namespace

int32_t MirrorPlatform_Win32::Escape(uint32_t code, int32_t inSize, const void* in, int32_t outSize,
                                     void* out) {
    HDC dc = acquirer ? acquirer->GetHDC() : nullptr;
    if (!dc)
        return -1;
    return g_mirrorEscape(dc, static_cast<int>(code), inSize, static_cast<LPCSTR>(in), outSize,
                          static_cast<LPSTR>(out));
}

void MirrorPlatform_Win32::Reopen() {
    if (acquirer)
        acquirer->Open();
}

int64_t MirrorPlatform_Win32::Now() {
    return clock ? clock() : static_cast<int64_t>(std::time(nullptr));
}

uint32_t MirrorPlatform_Win32::Process() {
    return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(GetCurrentProcess()));
}

// Walks the regions VirtualQuery reports over the range: each must be committed and readable.
bool MirrorPlatform_Win32::Readable(uint32_t address, uint64_t size) {
    const uint64_t end = uint64_t{address} + size;
    if (size == 0 || end > UINTPTR_MAX)
        return false;
    uint64_t at = address;
    while (at < end) {
        MEMORY_BASIC_INFORMATION info;
        if (VirtualQuery(reinterpret_cast<LPCVOID>(static_cast<uintptr_t>(at)), &info,
                         sizeof info) != sizeof info)
            return false;
        if (info.State != MEM_COMMIT || !(info.Protect & kReadable) ||
            (info.Protect & (PAGE_GUARD | PAGE_NOACCESS)))
            return false;
        at = uint64_t(reinterpret_cast<uintptr_t>(info.BaseAddress)) + info.RegionSize;
    }
    return true;
}

DevMed_USBED::DevMed_USBED(const RECT& displayArea)
    : DevMed_USBED(displayArea, g_mirrorAcquirer, g_dirtyRects) {}

DevMed_USBED::DevMed_USBED(const RECT& displayArea, HDCAcquirer* acquirer,
                           comsrc::RectList* changed)
    : acquirer(acquirer),
      changedAreas(changed), displayRect{0, 0, extentOf(displayArea.left, displayArea.right),
                                         extentOf(displayArea.top, displayArea.bottom)},
      platform_(acquirer), session(platform_, frameBytesOf(displayRect)) {
    valid = 257;
}

DevMed_USBED::~DevMed_USBED() {
    delete bitmap;
}

int32_t DevMed_USBED::createBitmap() {
    comsrc::DIBitmap* made = new (std::nothrow) comsrc::DIBitmap();
    if (!made)
        return -4;
    const int32_t result = made->CreateWithDepth(displayRect.right, displayRect.bottom, 32);
    if (result != 0) {
        delete made;
        return result;
    }
    bitmap = made; // the first mapping, made next, is copied whole
    return 0;
}

int32_t DevMed_USBED::capture() {
    session.FlushOnce();
    if (!bitmap) {
        const int32_t made = createBitmap();
        if (made != 0)
            return made;
    }
    const int32_t result = session.DrainChanges(*this);
    // Called even when no record came: it keeps the mapping alive, copies the whole display
    // on a new mapping, and whatever an earlier failed copy left.
    copyRegion(pending);
    return result;
}

int32_t DevMed_USBED::refreshAll() {
    comsrc::Region whole;
    whole.Union(displayRect);
    copyRegion(whole);
    return 0;
}

void DevMed_USBED::OnRecord(uint32_t type, const uint8_t* payload, size_t payloadSize) {
    switch (type) {
    case MIRVANE_RECORD_RECT:
        handleRectRecord(payload, payloadSize);
        break;
    case MIRVANE_RECORD_IGNORED_A:
        handleRecord16(payload, payloadSize);
        break;
    case MIRVANE_RECORD_IGNORED_B:
        handleRecord256(payload, payloadSize);
        break;
    default:
        break;
    }
}

int32_t DevMed_USBED::handleRecord256(const uint8_t*, size_t) {
    return 0;
}

int32_t DevMed_USBED::handleRecord16(const uint8_t*, size_t) {
    return 0;
}

int32_t DevMed_USBED::handleRectRecord(const uint8_t* payload, size_t payloadSize) {
    const size_t count = payloadRectCount(payload, payloadSize);
    for (size_t i = 0; i < count; ++i) {
        const RECT r = comsrc::intersectRects(payloadRect(payload, i), displayRect);
        if (comsrc::isEmptyRect(r))
            continue;
        if (changedAreas)
            changedAreas->Add(r);
        pending.Union(r);
    }
    return 0;
}

int32_t DevMed_USBED::identify(void* buffer, int32_t length) {
    return session.Identify(buffer, length);
}

int32_t DevMed_USBED::checkDriver() {
    return identify(nullptr, 0);
}

int32_t DevMed_USBED::copyRegion(comsrc::Region& region) {
    if (!bitmap)
        return -100;
    bool fresh = false;
    const uint32_t frame = session.UsableFrameBuffer(fresh);
    if (fresh)
        region.Union(displayRect);
    alignas(RECT) uint8_t buffer[kRegionBufferBytes];
    int32_t count = region.GetRects(buffer, sizeof buffer);
    if (count == 0)
        return 0;
    const RECT* rects = reinterpret_cast<const RECT*>(buffer);
    if (count < 0) {
        rects = &displayRect;
        count = 1;
    }
    uint8_t* dest = frame != 0 ? bitmap->LockPixels() : nullptr;
    if (!dest)
        return -200;
    const uint8_t* source = reinterpret_cast<const uint8_t*>(static_cast<uintptr_t>(frame));
    for (int32_t i = 0; i < count; ++i) {
        copyPixelPairs(source, displayRect.right, displayRect.bottom, dest, bitmap->GetStride(),
                       rects[i]);
        if (fresh && changedAreas)
            changedAreas->Add(comsrc::intersectRects(rects[i], displayRect));
    }
    bitmap->UnlockPixels();
    region.Xor(region);
    return 0;
}
