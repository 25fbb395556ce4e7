// Speed of the frame pipeline's steps: luminance of a 384 x 256 capture, tone and
// Floyd-Steinberg over the 128 x 64 window, one whole frame for one display, and the
// comparison of two unchanged 640 x 480 captures.
//
// Prints one "name value unit" line per figure; bench/conversion.sh sets them against
// Pillow measured in the same run. Each figure is the best of several batches, which
// keeps other load on the machine out of it.
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <random>
#include <vector>

#include "app/capture/CellCompare.h"
#include "app/convert/Conversion.h"
#include "app/convert/FrameConversion.h"
#include "app/core/Globals.h"
#include "comsrc/RectList.h"

namespace {

using Clock = std::chrono::steady_clock;

// Best time of one call, in nanoseconds, over `batches` batches of `calls` calls.
template <typename F> double bestNs(int batches, int calls, F&& f) {
    double best = 1e300;
    for (int b = 0; b < batches; ++b) {
        auto start = Clock::now();
        for (int i = 0; i < calls; ++i)
            f();
        double ns = std::chrono::duration<double, std::nano>(Clock::now() - start).count() / calls;
        best = ns < best ? ns : best;
    }
    return best;
}

// A desktop-like capture: random colours in blocks, so that runs of equal pixels and
// changes both occur.
std::vector<uint8_t> makeCapture(int32_t width, int32_t height, unsigned seed) {
    std::mt19937 random(seed);
    std::vector<uint8_t> bytes(size_t(width) * height * 4);
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x) {
            uint32_t v = ((x / 7) * 2654435761u) ^ ((y / 5) * 40503u) ^ (random() & 0x0F0F0F);
            for (int k = 0; k < 4; ++k)
                bytes[(size_t(y) * width + x) * 4 + k] = uint8_t(v >> (8 * k));
        }
    return bytes;
}

class StillPixels : public FramePixels {
public:
    StillPixels(const std::vector<uint8_t>& bytes, int32_t w, int32_t h)
        : bytes(bytes), width(w), height(h) {}
    const uint8_t* Lock(int32_t& stride, int32_t& w, int32_t& h) override {
        stride = width * 4;
        w = width;
        h = height;
        return bytes.data();
    }
    void Unlock() override {}

private:
    const std::vector<uint8_t>& bytes;
    int32_t width;
    int32_t height;
};

class CountBytes : public BlockSink {
public:
    void Deliver(size_t, const std::vector<uint8_t>& block) override { total += block.size(); }
    size_t total = 0;
};

volatile int32_t g_sink;

} // namespace

int main() {
    const int32_t w = kMaxCaptureWidth;
    const int32_t h = kMaxCaptureHeight;
    std::vector<uint8_t> capture = makeCapture(w, h, 1);

    double luma = bestNs(30, 20, [&] {
        computeLumaPlane(capture.data(), w * 4, w, h, g_lumaPlane);
        g_sink = g_lumaPlane[w * h - 1];
    });
    printf("luma_384x256 %.3f ns_per_pixel\n", luma / (w * h));

    // The grey window: a ramp, as Pillow gets it.
    std::vector<int32_t> grey(128 * 64);
    for (int32_t i = 0; i < 128 * 64; ++i)
        grey[i] = kLevelLow + (i * 37 % 220) * 255;
    std::vector<int32_t> plane(kPlaneValues);
    DitherJob job{plane.data(),
                  RECT{0, 0, 128, 64},
                  grey.data(),
                  128,
                  ToneSettings{1.0, 1.0, 0},
                  kDitherDiffusion,
                  0};
    double fs = bestNs(30, 200, [&] {
        convertArea(job, RECT{0, 0, 128, 64});
        g_sink = plane[8191];
    });
    printf("tone_fs_128x64 %.3f ns_per_pixel\n", fs / (128 * 64));

    MonitorRecord* record = new MonitorRecord;
    record->active = 1;
    record->linkUp = 1;
    FrameDisplay slot{record, RECT{0, 0, 128, 64}, 0, 0};
    comsrc::RectList dirty(256, 16);
    StillPixels pixels(capture, w, h);
    CountBytes sink;
    double frame = bestNs(30, 20, [&] {
        dirty.Add(RECT{0, 0, w, h});
        convertCapturedFrame(&slot, 1, CaptureSize{w, h}, 0, pixels, dirty, sink);
    });
    printf("convert_frame_384x256 %.3f us\n", frame / 1000.0);

    std::vector<uint8_t> a = makeCapture(640, 480, 2);
    std::vector<uint8_t> b = a;
    comsrc::RectList changes(256, 16);
    int32_t phase = 0;
    double compare = bestNs(30, 20, [&] {
        phase ^= 1;
        g_sink = compareCells(PixelImage{a.data(), 640 * 4}, PixelImage{b.data(), 640 * 4}, 640,
                              480, phase, changes);
    });
    printf("compare_640x480_still %.3f us\n", compare / 1000.0);
    delete record;
    return sink.total > 0 && changes.GetCount() == 0 ? 0 : 1;
}
