// The capture interface: a source of desktop pixels that keeps a frame bitmap up to date
// and reports the areas that changed since the previous capture.
#pragma once

#include <cstdint>

#include "comsrc/WinTypes.h"

namespace comsrc {
class DIBitmap;
}

class DeviceMediator {
public:
    DeviceMediator() = default;
    DeviceMediator(const DeviceMediator&) = delete;
    DeviceMediator& operator=(const DeviceMediator&) = delete;

    virtual ~DeviceMediator() = default;
    // Nothing calls it; every mediator returns 0.
    virtual int32_t start() = 0;
    // Brings the frame bitmap up to date and adds the changed areas to the changed-area
    // list: the number of rectangles added (0 when nothing changed or it was too early),
    // negative on failure.
    virtual int32_t capture() = 0;
    // The part of the frame that conversion will read, in the frame's coordinates: a
    // mediator may leave the rest of the frame unread and unreported. Until it is told, it
    // keeps all of it up to date.
    virtual void setWantedArea(const RECT& area) { (void)area; }
    // The latest capture (32 bits per pixel, the capture rectangle's size), or null. The
    // conversion reads it through the DIBitmap interface alone (LockPixels, GetStride, the
    // size), so a DIB section and a plain pixel buffer serve alike.
    virtual comsrc::DIBitmap* frameBitmap() = 0;
    virtual int32_t isValid() { return valid; }

protected:
    int32_t valid = 0; // set by the derived constructor as its last step
};
