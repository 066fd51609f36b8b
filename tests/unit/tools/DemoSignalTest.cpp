#include "tools/vorelan/DemoSignal.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace {

TEST(DemoSignalTest, TenSecondsOfBoundedRepeatableMusic) {
    const vorelan::StereoSignal demo = vorelan::MakeDemoSignal(44100);
    EXPECT_EQ(demo.left.size(), demo.right.size());
    EXPECT_EQ(demo.frames(), 441000u) << "8 s of music and 2 s of silence at 44.1 kHz";

    float peak = 0;
    double energyFirstHalf = 0, energyLastSecond = 0, difference = 0;
    for (std::size_t i = 0; i < demo.frames(); ++i) {
        ASSERT_TRUE(std::isfinite(demo.left[i]) && std::isfinite(demo.right[i])) << "frame " << i;
        peak = std::max({peak, std::fabs(demo.left[i]), std::fabs(demo.right[i])});
        const double e = demo.left[i] * demo.left[i] + demo.right[i] * demo.right[i];
        if (i < demo.frames() / 2)
            energyFirstHalf += e;
        if (i >= demo.frames() - 44100)
            energyLastSecond += e;
        difference += std::fabs(demo.left[i] - demo.right[i]);
    }
    EXPECT_LT(peak, 1.0f) << "the demo must not clip";
    EXPECT_GT(peak, 0.25f) << "the demo must be clearly audible";
    EXPECT_GT(energyFirstHalf, 100.0);
    EXPECT_EQ(energyLastSecond, 0.0) << "the last second is left silent for the effect's tail";
    EXPECT_GT(difference, 100.0) << "instruments are panned, so the channels differ";

    const vorelan::StereoSignal again = vorelan::MakeDemoSignal(44100);
    EXPECT_TRUE(again.left == demo.left && again.right == demo.right) << "the demo is the same on every run";
    EXPECT_EQ(vorelan::MakeDemoSignal(96000).frames(), 960000u) << "synthesised at the rate asked for";
}

} // namespace
