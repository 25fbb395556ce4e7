// The four-row diffusion against its lane-by-lane form, over random areas and planes.
#include "app/convert/Diffusion.h"

#include <gtest/gtest.h>

#include <limits>
#include <random>
#include <vector>

namespace {

TEST(DiffusionGroups, VectorAndLaneByLaneAgree) {
    std::mt19937 random(3);
    for (int trial = 0; trial < 400; ++trial) {
        std::vector<int32_t> plane(65536);
        for (int32_t& v : plane)
            v = int32_t(random() % 0x20000) - 0x8000;
        int32_t xs = int32_t(random() % 128), ys = int32_t(random() % 64);
        int32_t xe = xs + 1 + int32_t(random() % (128 - xs));
        int32_t ye = ys + 1 + int32_t(random() % (64 - ys));
        for (int32_t y = ys; y < ye; ++y)
            for (int32_t x = xs; x < xe; ++x)
                plane[y * 128 + x] = 0x1000 + int32_t(random() % 0xE001);
        if (trial % 7 == 0) { // pixels beside the area near the limits of the range
            if (xe < 128)
                plane[ys * 128 + xe] = std::numeric_limits<int32_t>::max() - 3;
            if (ye < 64)
                plane[ye * 128 + xs] = std::numeric_limits<int32_t>::min() + 3;
        }
        std::vector<int32_t> scalar = plane;
        diffuseArea(plane.data(), xs, xe, ys, ye);
        diffuseAreaScalar(scalar.data(), xs, xe, ys, ye);
        ASSERT_EQ(plane, scalar) << "trial " << trial << ": " << xs << ".." << xe << " x " << ys
                                 << ".." << ye;
        for (int32_t y = ys; y < ye; ++y)
            for (int32_t x = xs; x < xe; ++x)
                ASSERT_TRUE(plane[y * 128 + x] == 0x1000 || plane[y * 128 + x] == 0xF000);
    }
}

TEST(DiffusionGroups, NothingOutsideThePlaneOrForAnEmptyArea) {
    std::vector<int32_t> plane(65536, 0x7000);
    std::vector<int32_t> before = plane;
    diffuseArea(plane.data(), 5, 5, 0, 64);
    diffuseArea(plane.data(), 0, 128, 9, 9);
    EXPECT_EQ(plane, before);
    diffuseArea(plane.data(), 0, 128, 0, 64); // the whole panel: no error leaves it
    for (size_t i = 128 * 64; i < plane.size(); ++i)
        ASSERT_EQ(plane[i], 0x7000);
}

} // namespace
