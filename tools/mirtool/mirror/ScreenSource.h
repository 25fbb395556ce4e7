// Where the mirror's pixels come from: the screen through a platform shell (X11), which
// fetches pixels and, where it can, reports the areas drawn to; the choice between those
// reports and comparing whole captures is made here. Platform-free.
#pragma once

#include <cstdint>
#include <vector>

#include "comsrc/RectList.h"
#include "tools/mirtool/mirror/CaptureFrame.h"

namespace mirtool {

struct CaptureRequest {
    CaptureSize size; // the converted area's size (MirrorCaptureSize)
    RECT area;        // the part of it the displays look at (CoveredArea)
    bool whole;       // fetch the whole area afresh and report all of it changed
};

class ScreenSource {
public:
    virtual ~ScreenSource() = default;

    // The screen's size now; it may change while the mirror runs.
    virtual CaptureSize ScreenSize() = 0;
    // Whether a capture may find something new: drawing was reported since the last one,
    // or, without such reports, always.
    virtual bool ChangesPending() = 0;

    // Brings the frame up to date over the request's area and adds the areas that changed
    // there to `dirty`: the reported ones, or the 32 x 32 cells that differ from the
    // previous capture. A new size or `whole` reports the whole area. Returns 0, or -1 when
    // the screen is lost.
    int32_t Capture(const CaptureRequest& request, comsrc::RectList& dirty);
    // The latest capture.
    CaptureFrame& Frame() { return frames[current]; }

protected:
    // Whether the shell reports drawing (TakeDamage); otherwise captures are compared.
    virtual bool TracksDamage() const = 0;
    // Appends the areas drawn to since the last call, in screen coordinates, and forgets
    // them. False when the screen is lost.
    virtual bool TakeDamage(std::vector<RECT>& rects) = 0;
    // Fetches the screen's pixels of `area` (inside the frame's size): `pixels` shows them,
    // the area's top row first, until the next fetch, or is null when the server refused
    // (ForgetFrame then makes the next capture whole). False when the screen is lost.
    virtual bool Fetch(const RECT& area, PixelImage& pixels) = 0;

    // Makes the next capture fetch and report the whole area, as a new size does.
    void ForgetFrame() { sized = false; }
    bool FrameForgotten() const { return !sized; }

private:
    int32_t CaptureDamage(const CaptureRequest& request, bool whole, comsrc::RectList& dirty);
    int32_t CaptureCompared(const CaptureRequest& request, bool whole, comsrc::RectList& dirty);

    CaptureFrame frames[2];
    int current = 0;
    bool sized = false; // the frames have the size of a request
    std::vector<RECT> damage;
    comsrc::RectList found{256, 16}; // the comparison's runs, relative to the area
};

} // namespace mirtool
