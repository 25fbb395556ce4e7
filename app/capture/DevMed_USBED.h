// External-monitor capture: keeps a 32-bit copy of the mirror display up to date from the
// mirror driver's frame buffer, mapped into this process, and the change records the driver
// queues. It speaks to the driver only through display escapes on the mirror display's
// device context. Windows only.
#pragma once

#include <windows.h>

#include <cstdint>

#include "app/capture/ChangeRecords.h"
#include "app/capture/DeviceMediator.h"
#include "app/capture/MirrorSession.h"
#include "comsrc/Region_Win32.h"

class HDCAcquirer;
namespace comsrc {
class RectList;
}

// The escape call, ExtEscape unless a test routes it elsewhere.
using MirrorEscapeCall = int(WINAPI*)(HDC, int, int, LPCSTR, int, LPSTR);
extern MirrorEscapeCall g_mirrorEscape;

// The platform of a mirror mediator's session in mirpanel: escapes on the acquirer's device
// context, the wall clock (replaceable for tests), this process and VirtualQuery.
class MirrorPlatform_Win32 : public MirrorPlatform {
public:
    explicit MirrorPlatform_Win32(HDCAcquirer* acquirer) : acquirer(acquirer) {}
    int32_t Escape(uint32_t code, int32_t inSize, const void* in, int32_t outSize,
                   void* out) override;
    void Reopen() override;
    int64_t Now() override;
    uint32_t Process() override;
    bool Readable(uint32_t address, uint64_t size) override;

    int64_t (*clock)() = nullptr; // null: time()

private:
    HDCAcquirer* acquirer;
};

class DevMed_USBED : public DeviceMediator, private ChangeRecordHandler {
public:
    // Sends escapes through g_mirrorAcquirer and reports to g_dirtyRects, as they are now.
    // `displayArea` is the mirror display's rectangle; only its size is used.
    explicit DevMed_USBED(const RECT& displayArea);
    // For a given device context owner and list (tests).
    DevMed_USBED(const RECT& displayArea, HDCAcquirer* acquirer, comsrc::RectList* changed);
    ~DevMed_USBED() override;

    int32_t start() override { return 0; }
    // Drains the driver's change records and copies the changed pixels: 1 when records were
    // read, otherwise 0; negative when the frame bitmap cannot be made.
    int32_t capture() override;
    comsrc::DIBitmap* frameBitmap() override { return bitmap; }
    // Copies the whole display from the mapping into the bitmap.
    virtual int32_t refreshAll();
    virtual int32_t handleRecord256(const uint8_t* payload, size_t payloadSize);
    // Each rectangle, clipped to the display, goes to the changed areas and the pending area.
    virtual int32_t handleRectRecord(const uint8_t* payload, size_t payloadSize);
    virtual int32_t handleRecord16(const uint8_t* payload, size_t payloadSize);
    virtual int32_t identify(void* buffer, int32_t length);
    // Whether the driver still answers as a Mirvane driver: 0, or negative.
    virtual int32_t checkDriver();
    virtual RECT* captureRect() { return &displayRect; }
    // Asks the session for the frame buffer (once per call), copies the region's pixels
    // into the bitmap and empties it: 0; -100 without a bitmap, -200 when there is no
    // readable mapping (the region is then left as it is). On a new mapping the whole
    // display is copied and reported.
    virtual int32_t copyRegion(comsrc::Region& region);

    MirrorPlatform_Win32& platform() { return platform_; }

private:
    void OnRecord(uint32_t type, const uint8_t* payload, size_t payloadSize) override;
    int32_t createBitmap();

    HDCAcquirer* acquirer;
    comsrc::RectList* changedAreas;
    comsrc::DIBitmap* bitmap = nullptr;
    RECT displayRect;
    comsrc::Region pending;
    MirrorPlatform_Win32 platform_;
    MirrorSession session;
};
