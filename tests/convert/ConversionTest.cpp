// Luminance, tone step and the three dithering modes.
#include "app/convert/Conversion.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <vector>

namespace {

constexpr int32_t kInt32Min = std::numeric_limits<int32_t>::min();
constexpr int32_t kInt32Max = std::numeric_limits<int32_t>::max();
constexpr int32_t kUntouched = 0x12345678;

ToneSettings defaultTone() {
    return ToneSettings{1.0, 1.0, 0};
}

// A luminance plane of one value, and a work plane marked as never written.
struct Scene {
    int32_t width;
    int32_t height;
    std::vector<int32_t> luma;
    std::vector<int32_t> plane;

    Scene(int32_t w, int32_t h, int32_t value)
        : width(w), height(h), luma(size_t(w) * h, value), plane(kPlaneValues, kUntouched) {}

    DitherJob job(int32_t dither, RECT window, ToneSettings tone = defaultTone(),
                  uint32_t frame = 0) {
        return DitherJob{
            plane.data(), clipWindow(window, width, height), luma.data(), width, tone, dither,
            frame};
    }
    int32_t at(int32_t x, int32_t y) const { return plane[y * kPanelWidth + x]; }
};

TEST(TruncToInt32, TruncatesTowardZeroInsideTheRange) {
    EXPECT_EQ(truncToInt32(-1.9), -1);
    EXPECT_EQ(truncToInt32(1.9), 1);
    EXPECT_EQ(truncToInt32(2147483647.9), kInt32Max);
    EXPECT_EQ(truncToInt32(-2147483648.9), kInt32Min);
}

TEST(TruncToInt32, NanAndOutOfRangeGiveTheMostNegativeValue) {
    EXPECT_EQ(truncToInt32(std::nan("")), kInt32Min);
    EXPECT_EQ(truncToInt32(2147483648.0), kInt32Min);
    EXPECT_EQ(truncToInt32(-2147483649.0), kInt32Min);
    EXPECT_EQ(truncToInt32(1e300), kInt32Min);
    EXPECT_EQ(truncToInt32(-std::numeric_limits<double>::infinity()), kInt32Min);
}

TEST(LumaPlane, WeighsChannelsAndLimitsTheRange) {
    // Two rows stored bottom-up and walked with a negative stride: row 0 is the top.
    std::vector<uint8_t> bits = {
        128, 128, 128, 0, 10,  20,  30,  0, // bottom row: grey, (R30 G20 B10)
        0,   0,   0,   0, 255, 255, 255, 9, // top row: black, white
    };
    int32_t plane[4];
    computeLumaPlane(bits.data() + 8, -8, 2, 2, plane);
    EXPECT_EQ(plane[0], 0x1000);                       // black is lifted to the low limit
    EXPECT_EQ(plane[1], 220 * 255);                    // white stays within the high limit
    EXPECT_EQ(plane[2], 220 * 128);                    // mid-grey, below 0x8000
    EXPECT_EQ(plane[3], 66 * 30 + 129 * 20 + 25 * 10); // bytes are blue, green, red
    std::vector<uint8_t> red = {0, 0, 255, 0};
    computeLumaPlane(red.data(), 4, 1, 1, plane);
    EXPECT_EQ(plane[0], 66 * 255);
}

TEST(CaptureLimit, ShrinkStepsOfRecordZero) {
    EXPECT_EQ(limitCaptureSize(640, 480, 0).width, 384);
    EXPECT_EQ(limitCaptureSize(640, 480, 0).height, 256);
    EXPECT_EQ(limitCaptureSize(640, 480, 1).width, 320);
    EXPECT_EQ(limitCaptureSize(640, 480, 2).width, 210);
    EXPECT_EQ(limitCaptureSize(640, 480, 2).height, 160);
    EXPECT_EQ(limitCaptureSize(640, 480, 3).height, 120);
    EXPECT_EQ(limitCaptureSize(640, 480, 99).width, 384);
    EXPECT_EQ(limitCaptureSize(640, 480, -1).height, 256);
    EXPECT_EQ(limitCaptureSize(100, 50, 3).width, 100);
    EXPECT_EQ(limitCaptureSize(100, 50, 3).height, 50);
}

TEST(ToneStep, DefaultsAndBrightness) {
    EXPECT_EQ(toneStep(0x1000, defaultTone()), 0x1000);
    EXPECT_EQ(toneStep(220 * 128, defaultTone()), 220 * 128);
    EXPECT_EQ(toneStep(0x5000, ToneSettings{0.0, 1.0, 0}), 0x8000);
    EXPECT_EQ(toneStep(0xE000, ToneSettings{0.0, 1.0, -1}), 0x7F00);
    EXPECT_EQ(toneStep(0x9000, ToneSettings{2.0, 1.0, 0}), 0xA000);
    EXPECT_EQ(toneStep(0x7000, ToneSettings{-0.5, 1.0, 0}), 0x8800);
}

TEST(ToneStep, GammaOfANegativeValue) {
    // offset -256 gives v = -0x8000 for mid-grey; squared it is a quarter.
    EXPECT_EQ(toneStep(0x8000, ToneSettings{1.0, 2.0, -256}), 0x4000);
    // A fractional power of a negative value is not a number: black.
    EXPECT_EQ(toneStep(0x8000, ToneSettings{1.0, 0.5, -256}), kInt32Min);
    EXPECT_EQ(toneStep(0x4000, ToneSettings{1.0, 0.5, 0}), 0x8000);
}

TEST(ToneStep, HostileSettingsStayDefined) {
    const double nan = std::nan("");
    EXPECT_EQ(toneStep(0x9000, ToneSettings{nan, 1.0, 0}), kInt32Min + 0x8000);
    EXPECT_EQ(toneStep(0x9000, ToneSettings{1.0, nan, 0}), kInt32Min);
    EXPECT_EQ(toneStep(0x9000, ToneSettings{1e300, 1.0, 0}), kInt32Min + 0x8000);
    EXPECT_EQ(toneStep(0x9000, ToneSettings{1.0, 1e300, 0}), 0);           // below 1: 0
    EXPECT_EQ(toneStep(0xF000, ToneSettings{1.0, 1e300, 256}), kInt32Min); // above 1: inf
    EXPECT_EQ(toneStep(0x9000, ToneSettings{1.0, 1.0, kInt32Max}), kInt32Max);
    EXPECT_EQ(toneStep(0x1000, ToneSettings{1.0, 1.0, kInt32Min}), kInt32Min);
    EXPECT_EQ(toneStep(0x1000, ToneSettings{nan, 1.0, kInt32Min}), kInt32Min);
    EXPECT_EQ(toneStep(0x9000, ToneSettings{1.0, -1e300, kInt32Max}), 0);
}

TEST(ClipWindow, ClipsToTheCaptureAndThePlane) {
    RECT c = clipWindow(RECT{128, 0, 256, 64}, 210, 160);
    EXPECT_EQ(c.left, 128);
    EXPECT_EQ(c.right, 210);
    c = clipWindow(RECT{-100000, -16, -99872, 48}, 384, 256);
    EXPECT_EQ(c.left, 0);
    EXPECT_EQ(c.top, 0);
    EXPECT_LT(c.right, c.left);
    EXPECT_EQ(c.bottom, 48);
    c = clipWindow(RECT{0, 0, 1000, 1000}, 384, 256); // a window wider than the panel
    EXPECT_EQ(c.right, 128);
    EXPECT_EQ(c.bottom, 64);
}

TEST(Threshold, BlackGreyAndTheThreshold) {
    Scene black(384, 256, 0x1000);
    convertArea(black.job(0, RECT{0, 0, 128, 64}), RECT{0, 0, 384, 256});
    for (int32_t y = 0; y < 64; ++y)
        for (int32_t x = 0; x < 128; ++x)
            ASSERT_EQ(black.at(x, y), kPlaneDark);
    Scene ramp(4, 1, 0);
    ramp.luma = {220 * 128, 220 * 148, 220 * 149, 220 * 255};
    convertArea(ramp.job(0, RECT{0, 0, 128, 64}), RECT{0, 0, 16, 16});
    EXPECT_EQ(ramp.at(0, 0), kPlaneDark);
    EXPECT_EQ(ramp.at(1, 0), kPlaneDark);
    EXPECT_EQ(ramp.at(2, 0), kPlaneLight);
    EXPECT_EQ(ramp.at(3, 0), kPlaneLight);
    EXPECT_EQ(ramp.at(4, 0), kUntouched); // beyond the capture: never converted
    EXPECT_EQ(ramp.at(0, 1), kUntouched);
    // Dither values other than 1 and 2 convert like 0.
    Scene other(4, 1, 220 * 149);
    convertArea(other.job(7, RECT{0, 0, 128, 64}), RECT{0, 0, 16, 16});
    EXPECT_EQ(other.at(0, 0), kPlaneLight);
}

TEST(Threshold, OnlyTheAreaInsideTheClippedWindow) {
    // Window at x 128 on a capture 210 wide (shrink 2): columns from 210 on are never
    // converted; the area is converted only where it meets the window.
    Scene s(210, 160, 0xF000);
    convertArea(s.job(0, RECT{128, 16, 256, 80}), RECT{96, 0, 224, 32});
    for (int32_t x = 0; x < 128; ++x) {
        for (int32_t y = 0; y < 64; ++y) {
            bool converted = x < 210 - 128 && y < 16;
            ASSERT_EQ(s.at(x, y), converted ? kPlaneLight : kUntouched) << x << "," << y;
        }
    }
}

TEST(Diffusion, HandComputedPairWithErrorCarriedOutside) {
    Scene s(8, 8, 0x6001);
    for (int32_t& v : s.plane)
        v = 0;
    convertArea(s.job(1, RECT{0, 0, 128, 64}), RECT{0, 0, 2, 1});
    // (0,0): 0x6001 -> 0x1000, err 20481: right +8960, below +6400, below-right +1280.
    // (1,0): 33537 -> 0xF000, err -27903: right -12207, below-left -5231, below -8719,
    //        below-right -1743 (quotients truncated toward zero).
    EXPECT_EQ(s.at(0, 0), 0x1000);
    EXPECT_EQ(s.at(1, 0), 0xF000);
    EXPECT_EQ(s.at(2, 0), -12207);
    EXPECT_EQ(s.at(0, 1), 6400 - 5231);
    EXPECT_EQ(s.at(1, 1), 1280 - 8719);
    EXPECT_EQ(s.at(2, 1), -1743);
    EXPECT_EQ(s.at(3, 0), 0);
    EXPECT_EQ(s.at(0, 2), 0);
}

TEST(Diffusion, SecondRowUsesTheErrorFromTheFirst) {
    Scene s(8, 8, 0x7000);
    for (int32_t& v : s.plane)
        v = 0;
    convertArea(s.job(1, RECT{0, 0, 128, 64}), RECT{0, 0, 1, 2});
    // (0,0): 0x7000 -> 0x1000, err 0x6000 = 24576: right +10752, below +7680,
    //        below-right +1536. (0,1): 0x7000 + 7680 = 36352 -> 0xF000, err -25088:
    //        right -10976, below -7840, below-right -1568.
    EXPECT_EQ(s.at(0, 0), 0x1000);
    EXPECT_EQ(s.at(1, 0), 10752);
    EXPECT_EQ(s.at(0, 1), 0xF000);
    EXPECT_EQ(s.at(1, 1), 1536 - 10976);
    EXPECT_EQ(s.at(0, 2), -7840);
    EXPECT_EQ(s.at(1, 2), -1568);
}

TEST(Diffusion, ErrorStaysInsideThePanelAtItsEdges) {
    Scene s(128, 64, 0x7000);
    convertArea(s.job(1, RECT{0, 0, 128, 64}), RECT{127, 63, 128, 64});
    EXPECT_EQ(s.at(127, 63), 0x1000);
    EXPECT_EQ(s.at(126, 63), kUntouched);
    EXPECT_EQ(s.at(127, 62), kUntouched);
    // The right column spreads below and below-left only.
    Scene r(128, 64, 0x7000);
    for (int32_t& v : r.plane)
        v = 0;
    convertArea(r.job(1, RECT{0, 0, 128, 64}), RECT{127, 0, 128, 1});
    EXPECT_EQ(r.at(126, 1), 0x6000 * 3 / 16);
    EXPECT_EQ(r.at(127, 1), 0x6000 * 5 / 16);
    EXPECT_EQ(r.at(0, 1), 0); // no wrap onto the next row's start
}

TEST(Diffusion, AnAreaThatStopsChangingKeepsItsPixels) {
    Scene s(128, 64, 0x7800);
    convertArea(s.job(1, RECT{0, 0, 128, 64}), RECT{0, 0, 128, 64});
    std::vector<int32_t> first = s.plane;
    int light = 0;
    for (int32_t y = 0; y < 64; ++y)
        for (int32_t x = 0; x < 128; ++x) {
            ASSERT_TRUE(s.at(x, y) == 0x1000 || s.at(x, y) == 0xF000);
            light += s.at(x, y) == 0xF000;
        }
    // Diffusion keeps the mean: 0x7800 lies 46% of the way from 0x1000 to 0xF000.
    EXPECT_NEAR(light / 8192.0, (0x7800 - 0x1000) / double(0xE000), 0.02);
    // Another area converted later leaves the first one's pixels alone, apart from
    // error added next to it.
    convertArea(s.job(1, RECT{0, 0, 128, 64}), RECT{0, 32, 128, 64});
    for (int32_t i = 0; i < 128 * 32; ++i)
        ASSERT_EQ(s.plane[i], first[i]);
}

TEST(Diffusion, ErrorCollectedOutsideSaturates) {
    Scene s(128, 64, 0x1000);
    s.plane[kPanelWidth] = kInt32Max - 10; // (0, 1) collected error for a long time
    s.luma.assign(s.luma.size(), 0x7FFF);
    convertArea(s.job(1, RECT{0, 0, 128, 64}), RECT{0, 0, 1, 1});
    EXPECT_EQ(s.at(0, 1), kInt32Max);
    // Converting that pixel later with a huge stored value is defined too.
    s.plane[1] = kInt32Min;
    convertArea(s.job(1, RECT{0, 0, 128, 64}), RECT{1, 0, 2, 1});
    EXPECT_EQ(s.at(1, 0), 0x1000); // its first pass overwrote the stored value
}

std::vector<int32_t> halftoneRow(int32_t v, uint32_t frame, int32_t row) {
    Scene s(16, 8, v);
    convertArea(s.job(2, RECT{0, 0, 128, 64}, defaultTone(), frame), RECT{0, 0, 16, 8});
    return std::vector<int32_t>(s.plane.begin() + row * kPanelWidth,
                                s.plane.begin() + row * kPanelWidth + 16);
}

int countLight(const std::vector<int32_t>& row) {
    int n = 0;
    for (int32_t v : row)
        n += v == kPlaneLight;
    return n;
}

TEST(Halftone, LevelsGiveTheirShareOfWhite) {
    EXPECT_EQ(countLight(halftoneRow(0x1FFF, 0, 0)), 0);
    EXPECT_EQ(countLight(halftoneRow(0x2000, 0, 0)), 4);
    EXPECT_EQ(countLight(halftoneRow(0x6000, 0, 1)), 8);
    EXPECT_EQ(countLight(halftoneRow(0xA000, 0, 2)), 12);
    EXPECT_EQ(countLight(halftoneRow(0xE000, 0, 3)), 16);
    // Row 0, frame 0: one in four white at columns 0, 4, 8, 12.
    std::vector<int32_t> row = halftoneRow(0x3000, 0, 0);
    for (int32_t x = 0; x < 16; ++x)
        EXPECT_EQ(row[x], x % 4 == 0 ? kPlaneLight : kPlaneDark) << x;
}

TEST(Halftone, PatternsMoveOneColumnPerFrame) {
    for (int32_t level : {0x3000, 0x8000, 0xC000}) {
        for (uint32_t f : {0u, 1u, 2u, 7u, 0xFFFFFFFFu}) {
            for (int32_t row = 0; row < 4; ++row) {
                std::vector<int32_t> now = halftoneRow(level, f, row);
                std::vector<int32_t> next = halftoneRow(level, f + 1, row);
                for (int32_t x = 0; x + 1 < 16; ++x)
                    ASSERT_EQ(next[x], now[x + 1]) << level << " f" << f << " r" << row;
            }
        }
    }
    // The checkerboard flips every frame.
    std::vector<int32_t> a = halftoneRow(0x8000, 4, 0);
    std::vector<int32_t> b = halftoneRow(0x8000, 5, 0);
    for (int32_t x = 0; x < 16; ++x)
        EXPECT_NE(a[x], b[x]);
}

TEST(Halftone, GammaOfANegativeValueIsTheOneInFourPattern) {
    Scene s(16, 1, 0x8000);
    convertArea(s.job(2, RECT{0, 0, 128, 64}, ToneSettings{1.0, 2.0, -256}), RECT{0, 0, 16, 1});
    std::vector<int32_t> row(s.plane.begin(), s.plane.begin() + 16);
    EXPECT_EQ(countLight(row), 4);
}

TEST(TwoDisplays, SameRectangleOwnSettingsOwnPlanes) {
    std::vector<int32_t> luma(384 * 256, 0x9000);
    std::vector<int32_t> planeA(kPlaneValues, kUntouched);
    std::vector<int32_t> planeB(kPlaneValues, kUntouched);
    DitherJob a{planeA.data(),
                clipWindow(RECT{0, 0, 128, 64}, 384, 256),
                luma.data(),
                384,
                defaultTone(),
                0,
                0};
    DitherJob b{planeB.data(),
                clipWindow(RECT{64, 32, 192, 96}, 384, 256),
                luma.data(),
                384,
                ToneSettings{1.0, 1.0, -32},
                0,
                0};
    RECT area{64, 32, 96, 64};
    convertArea(a, area);
    convertArea(b, area);
    EXPECT_EQ(planeA[32 * kPanelWidth + 64], kPlaneLight); // 0x9000: light
    EXPECT_EQ(planeB[0], kPlaneDark);                      // 0x9000 - 0x2000: dark
    EXPECT_EQ(planeB[31 * kPanelWidth + 31], kPlaneDark);  // the area's far corner
    EXPECT_EQ(planeB[32 * kPanelWidth], kUntouched);       // below the area
    EXPECT_EQ(planeA[31 * kPanelWidth + 64], kUntouched);  // above the area
}

TEST(HostileSettings, EveryModeStaysDefined) {
    const double nan = std::nan("");
    const ToneSettings settings[] = {
        {nan, 1.0, 0},         {1.0, 1e300, 0},          {1.0, 1.0, kInt32Max},
        {1.0, 1.0, kInt32Min}, {-1e300, nan, kInt32Max}, {1e-300, -1e300, 5}};
    for (const ToneSettings& tone : settings) {
        for (int32_t dither : {0, 1, 2, 3, -5}) {
            Scene s(384, 256, 0x9000);
            convertArea(s.job(dither, RECT{-100000, 0, -99872, 64}, tone), RECT{0, 0, 384, 256});
            EXPECT_EQ(s.at(0, 0), kUntouched);
            convertArea(s.job(dither, RECT{256, 192, 384, 256}, tone), RECT{0, 0, 384, 256});
            for (int32_t i = 0; i < 128 * 64; ++i)
                ASSERT_NE(s.plane[i], kUntouched);
        }
    }
}

// The direct form of the diffusion: each share added to the plane at once.
void referenceDiffusion(const DitherJob& job, const RECT& e) {
    const RECT& c = job.clip;
    int32_t x0 = std::max<int32_t>(e.left, c.left), x1 = std::min<int32_t>(e.right, c.right);
    int32_t y0 = std::max<int32_t>(e.top, c.top), y1 = std::min<int32_t>(e.bottom, c.bottom);
    for (int32_t cy = y0; cy < y1; ++cy)
        for (int32_t cx = x0; cx < x1; ++cx)
            job.plane[(cy - c.top) * 128 + cx - c.left] = std::min(
                std::max(toneStep(job.luma[cy * job.lumaWidth + cx], job.tone), 0x1000), 0xF000);
    for (int32_t cy = y0; cy < y1; ++cy)
        for (int32_t cx = x0; cx < x1; ++cx) {
            int32_t x = cx - c.left, y = cy - c.top;
            int32_t* p = job.plane + y * 128 + x;
            int32_t old = *p, level = old >= 0x8000 ? 0xF000 : 0x1000;
            *p = level;
            int32_t err = old - level;
            if (x < 127)
                p[1] += err * 7 / 16;
            if (y < 63) {
                if (x > 0)
                    p[127] += err * 3 / 16;
                p[128] += err * 5 / 16;
                if (x < 127)
                    p[129] += err / 16;
            }
        }
}

TEST(Diffusion, MatchesTheDirectFormOnRandomAreas) {
    std::mt19937 random(7);
    for (int trial = 0; trial < 300; ++trial) {
        Scene s(200, 120, 0);
        for (int32_t& l : s.luma)
            l = 0x1000 + int32_t(random() % 0xE001);
        for (int32_t& v : s.plane)
            v = int32_t(random() % 0x20000) - 0x8000; // earlier levels and carried error
        std::vector<int32_t> reference = s.plane;
        RECT window{int32_t(random() % 100) - 20, int32_t(random() % 80) - 10, 0, 0};
        window.right = window.left + 128;
        window.bottom = window.top + 64;
        RECT area{int32_t(random() % 200), int32_t(random() % 120), 0, 0};
        area.right = area.left + 1 + int32_t(random() % 150);
        area.bottom = area.top + 1 + int32_t(random() % 80);
        ToneSettings tone{0.5 + (random() % 100) / 40.0, trial % 5 == 0 ? 1.3 : 1.0,
                          int32_t(random() % 100) - 50};
        if (trial % 3 == 0) { // the default contrast, with offsets up to and past the limits
            tone.contrast = 1.0;
            tone.offset = int32_t(random() % 600) - 300;
        }
        DitherJob job = s.job(1, window, tone);
        convertArea(job, area);
        job.plane = reference.data();
        referenceDiffusion(job, area);
        ASSERT_EQ(s.plane, reference) << "trial " << trial;
    }
}

// The tone step's fast form for ordinary settings gives toneStep's results, up to the
// limits where it hands over to the general form.
TEST(ToneStep, EveryFormAgreesWithToneStep) {
    std::mt19937 random(11);
    const ToneSettings settings[] = {
        {1.0, 1.0, 0},        {16384.0, 1.0, 0},    {-16384.0, 1.0, 0},   {16384.5, 1.0, 0},
        {0.75, 1.0, 4194176}, {0.75, 1.0, 4194177}, {2.5, 1.0, -4194432}, {2.5, 1.0, -4194433},
        {1.0, 0.45, 3},       {-3.0, 2.0, -20}};
    for (const ToneSettings& tone : settings) {
        Scene s(128, 64, 0);
        for (int32_t& l : s.luma)
            l = int32_t(random() % 0x10000);
        s.luma[0] = -5;      // below the scale
        s.luma[1] = 0x12345; // above it
        convertArea(s.job(0, RECT{0, 0, 128, 64}, tone), RECT{0, 0, 128, 64});
        for (int32_t y = 0; y < 64; ++y)
            for (int32_t x = 0; x < 128; ++x) {
                bool light = toneStep(s.luma[y * 128 + x], tone) >= 0x8000;
                ASSERT_EQ(s.at(x, y), light ? kPlaneLight : kPlaneDark)
                    << tone.contrast << " " << tone.offset << " at " << x << "," << y;
            }
    }
    EXPECT_EQ(toneStep(-5, defaultTone()), 0);
    EXPECT_EQ(toneStep(0x12345, defaultTone()), 0xFFFF);
}

} // namespace
