// Frame conversion: luminance, tone step and the three dithering modes.
//
// Platform-free. The capture is a 32-bit BGRx image (fourth byte unused), row 0 on
// top, walked with a signed stride. Luminance is on a 16-bit scale (0x0000 black,
// 0xFFFF white); a work plane holds rows of 128 levels, below 0x8000 dark.
#pragma once

#include <cstdint>

#include "app/core/MonitorRecord.h"
#include "comsrc/WinTypes.h"

constexpr int32_t kLumaPlaneSize = 131072;
constexpr int32_t kMaxCaptureWidth = 384;
constexpr int32_t kMaxCaptureHeight = 256;

constexpr int32_t kLevelLow = 0x1000;  // darkest level the tone step keeps
constexpr int32_t kLevelHigh = 0xF000; // lightest level the tone step keeps
constexpr int32_t kLevelMid = 0x8000;  // below is dark
constexpr int32_t kPlaneDark = 0;      // stored by the two-level and halftone modes
constexpr int32_t kPlaneLight = 0xFF00;

// Dithering modes (a record's `dither`); other values convert like kDitherThreshold.
enum DitherMode : int32_t {
    kDitherThreshold = 0,
    kDitherDiffusion = 1,
    kDitherHalftone = 2,
};

// Per-channel luminance weights (white = 220 x 255). Multiplied directly rather than
// looked up in per-channel tables: the compiler turns the weighted sums into vector code,
// which table lookups prevent.
constexpr int32_t kLumaRed = 66;
constexpr int32_t kLumaGreen = 129;
constexpr int32_t kLumaBlue = 25;

// Luminance of the capture area of the current frame, row after row, each row as long as
// the converted capture width.
extern int32_t g_lumaPlane[kLumaPlaneSize];

// Writes plane[row * width + column] for rows 0..height-1, columns 0..width-1,
// limited to kLevelLow..kLevelHigh. The caller guarantees width * height fits the plane.
void computeLumaPlane(const uint8_t* row0, int32_t stride, int32_t width, int32_t height,
                      int32_t* plane);

struct CaptureSize {
    int32_t width;
    int32_t height;
};

// The converted area: the capture size limited to 384 x 256 and then by record 0's shrink
// step (1: 320 x 240, 2: 210 x 160, 3: 160 x 120; other values add nothing).
CaptureSize limitCaptureSize(int32_t width, int32_t height, int32_t shrink);

// Truncation toward zero; NaN and values outside the 32-bit range give INT32_MIN.
int32_t truncToInt32(double value);

struct ToneSettings {
    double contrast;
    double gamma;
    int32_t offset;
};

// Contrast around mid-grey, brightness offset, then gamma (skipped when exactly 1.0).
// Integer sums saturate at the 32-bit range.
int32_t toneStep(int32_t luma, const ToneSettings& tone);

// The display's window clipped to the capture (and never wider than the plane).
RECT clipWindow(const RECT& window, int32_t captureWidth, int32_t captureHeight);

// One display's conversion of one frame: where its pixels come from and go to.
struct DitherJob {
    int32_t* plane;      // the display's work plane, rows of 128
    RECT clip;           // clipWindow of the display's window; plane (0, 0) is its corner
    const int32_t* luma; // the luminance plane
    int32_t lumaWidth;   // its row length, the converted capture width
    ToneSettings tone;
    int32_t dither;
    uint32_t frameCounter;
};

// Converts the pixels of `area` (capture coordinates) that lie inside job.clip.
void convertArea(const DitherJob& job, const RECT& area);
