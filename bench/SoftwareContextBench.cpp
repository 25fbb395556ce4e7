// Software drawing context throughput on a screen-sized 32-bit frame, each
// figure printed as a ratio to a plain baseline measured in the same run:
// - same-format export (whole-row copies) against memcpy of the same rows;
// - the per-pixel converter doing that same copy, to show what the row path saves;
// - 32 -> 16 bit conversion, and 32-bit Fill against std::fill of words.
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <vector>

#include "comsrc/DIBitmap.h"
#include "comsrc/DrawingContext.h"
#include "comsrc/PixelRows.h"

using namespace comsrc;

namespace {

constexpr int kW = 1920, kH = 1080, kRounds = 40;

double SecondsFor(const std::function<void()>& work) {
    work(); // warm caches and pages
    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < kRounds; ++i)
        work();
    std::chrono::duration<double> spent = std::chrono::steady_clock::now() - start;
    return spent.count() / kRounds;
}

void Report(const char* what, double seconds, double baseline) {
    std::printf("%-44s %8.3f ms  %6.2f x baseline\n", what, seconds * 1e3, seconds / baseline);
}

} // namespace

int main() {
    DIBitmap frame;
    if (frame.CreateWithDepth(kW, kH, 32) != 0)
        return 1;
    for (int i = 0; i < frame.GetStride() * kH; ++i)
        frame.GetPixels()[i] = uint8_t(i * 7);
    DrawingContext* ctx = frame.AcquireContext();
    PixelFormat f32, f16;
    MakeStandardPixelFormat(&f32, 32);
    MakeStandardPixelFormat(&f16, 16);
    std::vector<uint8_t> out(size_t(kW) * 4 * kH);
    int32_t outStride = kW * 4;

    double copy = SecondsFor([&] {
        for (int y = 0; y < kH; ++y)
            std::memcpy(&out[size_t(y) * outStride], frame.GetPixels() + y * frame.GetStride(),
                        size_t(kW) * 4);
    });
    std::printf("baseline memcpy of the frame's rows         %8.3f ms\n", copy * 1e3);
    Report("ExportPixels 32 -> 32 (row copies)",
           SecondsFor([&] { ctx->ExportPixels(out.data(), outStride, &f32, 0, 0, kW, kH); }), copy);
    Report("per-pixel converter 32 -> 32", SecondsFor([&] {
               for (int y = 0; y < kH; ++y)
                   ConvertRow(frame.GetPixels() + y * frame.GetStride(), 0, f32,
                              &out[size_t(y) * outStride], f32, kW);
           }),
           copy);
    Report("ExportPixels 32 -> 16 (conversion)",
           SecondsFor([&] { ctx->ExportPixels(out.data(), kW * 2, &f16, 0, 0, kW, kH); }), copy);

    double fill = SecondsFor([&] {
        for (int y = 0; y < kH; ++y) {
            uint32_t* row = reinterpret_cast<uint32_t*>(frame.GetPixels() + y * frame.GetStride());
            std::fill(row, row + kW, 0x00123456u);
        }
    });
    std::printf("baseline std::fill of the frame's words     %8.3f ms\n", fill * 1e3);
    Report("Fill 32-bit", SecondsFor([&] { ctx->Fill(0, 0, kW, kH, 0x00654321u); }), fill);
    return 0;
}
