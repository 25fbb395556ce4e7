// The part of the frame bitmap that the screen mediator copies and compares.
#include "app/capture/CaptureArea.h"

#include <algorithm>

#include "comsrc/RectList.h"

RECT captureAreaWithin(const RECT& wanted, int32_t width, int32_t height) {
    const RECT frame{0, 0, std::max(width, 0), std::max(height, 0)};
    RECT area = comsrc::intersectRects(wanted, frame);
    if (comsrc::isEmptyRect(area))
        return RECT{0, 0, 0, 0};
    area.left &= ~1; // never negative here
    area.right = std::min<LONG>(area.right + (area.right & 1), frame.right);
    return area;
}

RECT newlyCovered(const RECT& now, const RECT& before) {
    const RECT kept = comsrc::intersectRects(now, before);
    if (comsrc::isEmptyRect(now) || comsrc::isEmptyRect(kept))
        return comsrc::isEmptyRect(now) ? RECT{0, 0, 0, 0} : now;
    // What `now` adds lies in four strips around the part it keeps.
    const RECT strips[] = {
        {now.left, now.top, now.right, kept.top},
        {now.left, kept.bottom, now.right, now.bottom},
        {now.left, kept.top, kept.left, kept.bottom},
        {kept.right, kept.top, now.right, kept.bottom},
    };
    RECT fresh{0, 0, 0, 0};
    for (const RECT& strip : strips)
        fresh = comsrc::unionRects(fresh, strip);
    return comsrc::isEmptyRect(fresh) ? RECT{0, 0, 0, 0} : fresh;
}
