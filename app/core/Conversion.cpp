// Frame conversion: luminance, tone step and the three dithering modes.
#include "app/core/Conversion.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <limits>

LumaTables g_lumaTables;
int32_t g_lumaTablesFilled = 0;
int32_t g_lumaPlane[kLumaPlaneSize];

namespace {

constexpr int64_t kInt32Min = std::numeric_limits<int32_t>::min();
constexpr int64_t kInt32Max = std::numeric_limits<int32_t>::max();

int32_t saturate(int64_t value) {
    return static_cast<int32_t>(std::min(std::max(value, kInt32Min), kInt32Max));
}

int32_t limitLevel(int32_t value) {
    return std::min(std::max(value, kLevelLow), kLevelHigh);
}

} // namespace

void fillLumaTables(LumaTables& tables) {
    for (int32_t i = 0; i < 256; ++i) {
        tables.red[i] = 66 * i;
        tables.green[i] = 129 * i;
        tables.blue[i] = 25 * i;
    }
}

void ensureLumaTables() {
    if (!g_lumaTablesFilled) {
        fillLumaTables(g_lumaTables);
        g_lumaTablesFilled = 1;
    }
}

void computeLumaPlane(const LumaTables& tables, const uint8_t* row0, int32_t stride, int32_t width,
                      int32_t height, int32_t* plane) {
    for (int32_t y = 0; y < height; ++y) {
        const uint8_t* p = row0 + static_cast<ptrdiff_t>(y) * stride;
        int32_t* out = plane + static_cast<ptrdiff_t>(y) * width;
        for (int32_t x = 0; x < width; ++x, p += 4) {
            int32_t luma = tables.red[p[2]] + tables.green[p[1]] + tables.blue[p[0]];
            out[x] = limitLevel(luma);
        }
    }
}

CaptureSize limitCaptureSize(int32_t width, int32_t height, int32_t shrink) {
    static const CaptureSize kShrinkLimits[4] = {
        {kMaxCaptureWidth, kMaxCaptureHeight}, {320, 240}, {210, 160}, {160, 120}};
    CaptureSize limit = kShrinkLimits[(shrink >= 0 && shrink <= 3) ? shrink : 0];
    return {std::min(width, limit.width), std::min(height, limit.height)};
}

int32_t truncToInt32(double value) {
    // The open interval (-2^31 - 1, 2^31) is exactly what truncates into range; the
    // comparisons are false for NaN.
    if (value > -2147483649.0 && value < 2147483648.0) {
        return static_cast<int32_t>(value);
    }
    return std::numeric_limits<int32_t>::min();
}

int32_t toneStep(int32_t luma, const ToneSettings& tone) {
    double centred = static_cast<double>(static_cast<int64_t>(luma) - kLevelMid);
    int64_t bias = (static_cast<int64_t>(tone.offset) + 128) * 256;
    int32_t v = saturate(truncToInt32(centred * tone.contrast) + bias);
    if (tone.gamma != 1.0) {
        v = truncToInt32(std::pow(v / 65536.0, tone.gamma) * 65536.0);
    }
    return v;
}

RECT clipWindow(const RECT& window, int32_t captureWidth, int32_t captureHeight) {
    RECT clip;
    clip.left = std::max<int32_t>(window.left, 0);
    clip.top = std::max<int32_t>(window.top, 0);
    clip.right = std::min<int32_t>(window.right, captureWidth);
    clip.bottom = std::min<int32_t>(window.bottom, captureHeight);
    // The plane holds 128 x 64 pixels whatever the window claims.
    clip.right =
        static_cast<int32_t>(std::min<int64_t>(clip.right, int64_t{clip.left} + kPanelWidth));
    clip.bottom =
        static_cast<int32_t>(std::min<int64_t>(clip.bottom, int64_t{clip.top} + kPanelHeight));
    return clip;
}

namespace {

// The pixels of an area inside the clipped window, in capture coordinates.
struct Span {
    int32_t x0, y0, x1, y1;
};

int32_t* planeAt(const DitherJob& job, int32_t cx, int32_t cy) {
    return job.plane + (cy - job.clip.top) * kPanelWidth + (cx - job.clip.left);
}

int32_t toneAt(const DitherJob& job, int32_t cx, int32_t cy) {
    return toneStep(job.luma[static_cast<ptrdiff_t>(cy) * job.lumaWidth + cx], job.tone);
}

void convertThreshold(const DitherJob& job, const Span& s) {
    for (int32_t cy = s.y0; cy < s.y1; ++cy) {
        int32_t* out = planeAt(job, s.x0, cy);
        for (int32_t cx = s.x0; cx < s.x1; ++cx) {
            *out++ = limitLevel(toneAt(job, cx, cy)) < kLevelMid ? kPlaneDark : kPlaneLight;
        }
    }
}

// Adds a share of the error to a plane entry; sums saturate, since pixels outside the
// converted areas keep collecting error for as long as the areas beside them change.
void spread(int32_t* entry, int64_t share) {
    *entry = saturate(*entry + share);
}

void diffuseRow(const DitherJob& job, const Span& s, int32_t cy) {
    int32_t y = cy - job.clip.top;
    for (int32_t cx = s.x0; cx < s.x1; ++cx) {
        int32_t x = cx - job.clip.left;
        int32_t* here = job.plane + y * kPanelWidth + x;
        int32_t old = *here;
        int32_t level = old >= kLevelMid ? kLevelHigh : kLevelLow;
        *here = level;
        int64_t err = int64_t{old} - level;
        if (x < kPanelWidth - 1) {
            spread(here + 1, err * 7 / 16);
        }
        if (y < kPanelHeight - 1) {
            int32_t* below = here + kPanelWidth;
            if (x > 0) {
                spread(below - 1, err * 3 / 16);
            }
            spread(below, err * 5 / 16);
            if (x < kPanelWidth - 1) {
                spread(below + 1, err / 16);
            }
        }
    }
}

void convertDiffusion(const DitherJob& job, const Span& s) {
    for (int32_t cy = s.y0; cy < s.y1; ++cy) {
        int32_t* out = planeAt(job, s.x0, cy);
        for (int32_t cx = s.x0; cx < s.x1; ++cx) {
            *out++ = limitLevel(toneAt(job, cx, cy));
        }
    }
    for (int32_t cy = s.y0; cy < s.y1; ++cy) {
        diffuseRow(job, s, cy);
    }
}

// Four-level ordered halftone; the pattern phase moves with the frame counter. The
// arithmetic is unsigned so that only the low bits matter, as in two's complement.
bool halftoneLight(int32_t v, int32_t cx, int32_t cy, uint32_t frame) {
    uint32_t ux = static_cast<uint32_t>(cx);
    uint32_t uy = static_cast<uint32_t>(cy);
    if (v < 0x2000) {
        return false;
    }
    if (v < 0x6000) {
        return ((ux - 2 * uy + frame) & 3) == 0;
    }
    if (v < 0xA000) {
        return ((ux + uy + frame) & 1) == 1;
    }
    if (v < 0xE000) {
        return ((ux - 2 * uy + frame) & 3) != 3;
    }
    return true;
}

void convertHalftone(const DitherJob& job, const Span& s) {
    for (int32_t cy = s.y0; cy < s.y1; ++cy) {
        int32_t* out = planeAt(job, s.x0, cy);
        for (int32_t cx = s.x0; cx < s.x1; ++cx) {
            bool light = halftoneLight(toneAt(job, cx, cy), cx, cy, job.frameCounter);
            *out++ = light ? kPlaneLight : kPlaneDark;
        }
    }
}

} // namespace

void convertArea(const DitherJob& job, const RECT& area) {
    const RECT& c = job.clip;
    if (area.top >= c.bottom || area.left >= c.right) {
        return;
    }
    Span s{std::max<int32_t>(area.left, c.left), std::max<int32_t>(area.top, c.top),
           std::min<int32_t>(area.right, c.right), std::min<int32_t>(area.bottom, c.bottom)};
    if (s.x0 >= s.x1 || s.y0 >= s.y1) {
        return;
    }
    switch (job.dither) {
    case kDitherDiffusion:
        convertDiffusion(job, s);
        break;
    case kDitherHalftone:
        convertHalftone(job, s);
        break;
    default:
        convertThreshold(job, s);
        break;
    }
}
