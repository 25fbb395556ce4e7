// Frame conversion: luminance, tone step and the three dithering modes.
#include "app/convert/Conversion.h"

#include "app/convert/Diffusion.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <limits>

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

void computeLumaPlane(const uint8_t* row0, int32_t stride, int32_t width, int32_t height,
                      int32_t* plane) {
    for (int32_t y = 0; y < height; ++y) {
        const uint8_t* p = row0 + static_cast<ptrdiff_t>(y) * stride;
        int32_t* out = plane + static_cast<ptrdiff_t>(y) * width;
        for (int32_t x = 0; x < width; ++x) {
            const uint8_t* px = p + 4 * x;
            out[x] = limitLevel(kLumaRed * px[2] + kLumaGreen * px[1] + kLumaBlue * px[0]);
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

namespace {

int64_t toneBias(const ToneSettings& tone) {
    return (static_cast<int64_t>(tone.offset) + 128) * 256;
}

int32_t lumaOnScale(int32_t luma) {
    return std::min(std::max(luma, 0), 0xFFFF);
}

} // namespace

int32_t toneStep(int32_t luma, const ToneSettings& tone) {
    double centred = static_cast<double>(lumaOnScale(luma) - kLevelMid);
    int32_t v = saturate(truncToInt32(centred * tone.contrast) + toneBias(tone));
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

// The tone step over the pixels of one row of a span, into out[0..], limited to
// kLevelLow..kLevelHigh: the limit changes no mode's decision (the two-level and halftone
// thresholds lie inside it) and is the diffusion's first pass. With gamma 1.0 and settings
// small enough that no sum can leave the 32-bit range, the plain arithmetic below gives
// toneStep's results and vectorises.
void toneRow(const DitherJob& job, const Span& s, int32_t cy, int32_t* out) {
    const int32_t* luma = job.luma + static_cast<ptrdiff_t>(cy) * job.lumaWidth + s.x0;
    const int32_t count = s.x1 - s.x0;
    const int64_t bias = toneBias(job.tone);
    const double contrast = job.tone.contrast;
    const bool plain = job.tone.gamma == 1.0 && std::fabs(contrast) <= 16384.0 &&
                       bias >= -(int64_t{1} << 30) && bias <= (int64_t{1} << 30);
    if (!plain) {
        for (int32_t i = 0; i < count; ++i) {
            out[i] = limitLevel(toneStep(luma[i], job.tone));
        }
        return;
    }
    const int32_t plainBias = static_cast<int32_t>(bias);
    if (contrast == 1.0) { // the default: no product, so no conversion to double either
        // The two limits folded into one: limitLevel(lumaOnScale(y) + shift) is
        // min(max(y, lo), hi) + shift, or a constant when the ranges do not meet.
        int32_t shift = plainBias - kLevelMid;
        int32_t lo = std::max(0, kLevelLow - shift);
        int32_t hi = std::min(0xFFFF, kLevelHigh - shift);
        if (lo > hi) {
            shift = limitLevel(shift);
            lo = hi = 0;
        }
        for (int32_t i = 0; i < count; ++i) {
            out[i] = std::min(std::max(luma[i], lo), hi) + shift;
        }
        return;
    }
    for (int32_t i = 0; i < count; ++i) {
        out[i] = limitLevel(static_cast<int32_t>((lumaOnScale(luma[i]) - kLevelMid) * contrast) +
                            plainBias);
    }
}

void convertThreshold(const DitherJob& job, const Span& s) {
    int32_t tones[kPanelWidth];
    for (int32_t cy = s.y0; cy < s.y1; ++cy) {
        toneRow(job, s, cy, tones);
        int32_t* out = planeAt(job, s.x0, cy);
        const int32_t count = s.x1 - s.x0; // a local, so the stores cannot change it
        for (int32_t i = 0; i < count; ++i) {
            out[i] = tones[i] < kLevelMid ? kPlaneDark : kPlaneLight;
        }
    }
}

void convertDiffusion(const DitherJob& job, const Span& s) {
    for (int32_t cy = s.y0; cy < s.y1; ++cy) {
        int32_t* out = planeAt(job, s.x0, cy);
        toneRow(job, s, cy, out);
    }
    diffuseArea(job.plane, s.x0 - job.clip.left, s.x1 - job.clip.left, s.y0 - job.clip.top,
                s.y1 - job.clip.top);
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
    int32_t tones[kPanelWidth];
    for (int32_t cy = s.y0; cy < s.y1; ++cy) {
        toneRow(job, s, cy, tones);
        int32_t* out = planeAt(job, s.x0, cy);
        for (int32_t cx = s.x0; cx < s.x1; ++cx) {
            bool light = halftoneLight(tones[cx - s.x0], cx, cy, job.frameCounter);
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
