#include "engine/TLp1.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

using engine::TLp1;

TEST(TLp1Test, ConstantInputSettlesAtThatConstant) {
    for (float value : {1.0f, -0.25f, 3.5f}) {
        TLp1 lp;
        for (int n = 0; n < 44100; ++n)
            lp.Filter(value, 5.0f, 44100.0f);
        // The float coefficients put the DC gain within about 1e-5 of one at this low cut-off.
        EXPECT_NEAR(lp.output, value, 2e-5f * std::fabs(value)) << "unity gain at DC";
    }
    // The first sample from rest is a0 * input, with a0 = w / (2 fs + w).
    TLp1 lp;
    lp.Filter(1.0f, 1000.0f, 44100.0f);
    const double w = 6.2831853071795 * 1000.0;
    EXPECT_NEAR(lp.output, w / (88200.0 + w), 1e-7);
    EXPECT_NEAR(lp.b1, (88200.0 - w) / (88200.0 + w), 1e-7);
}

TEST(TLp1Test, CoefficientsFollowTheCutOffOnly) {
    TLp1 fresh;
    fresh.Filter(1.0f, -1.0f, 44100.0f);
    EXPECT_EQ(fresh.a0, 0.0f) << "cut-off -1 at first matches the initial last cut-off";
    EXPECT_EQ(fresh.b1, 0.0f);
    EXPECT_EQ(fresh.output, 0.0f);

    TLp1 lp;
    for (int n = 0; n < 1000; ++n)
        lp.Filter(0.8f, 50.0f, 44100.0f);
    const float held = lp.output;
    lp.Filter(-5.0f, 0.0f, 44100.0f);
    EXPECT_EQ(lp.a0, 0.0f) << "cut-off 0";
    EXPECT_EQ(lp.b1, 1.0f);
    for (int n = 0; n < 100; ++n)
        lp.Filter(-5.0f, 0.0f, 44100.0f);
    EXPECT_EQ(lp.output, held) << "cut-off 0 holds the output";

    TLp1 rate;
    rate.Filter(0.0f, 100.0f, 44100.0f);
    const float b1 = rate.b1;
    rate.Filter(0.0f, 100.0f, 96000.0f);
    EXPECT_EQ(rate.b1, b1) << "a sample-rate change alone does not recompute";
    EXPECT_EQ(rate.twoFs, 88200.0f);
}

TEST(TLp1Test, DivergentSettingsHoldInsteadOfGrowing) {
    struct Case {
        float cutoff, sampleRate;
    };
    for (const Case c :
         {Case{-3.0f, 44100.0f}, Case{5.0f, 0.0f}, Case{5.0f, -44100.0f}, Case{1e-7f, 384000.0f}}) {
        TLp1 lp;
        lp.Filter(1.0f, 5.0f, 44100.0f);
        for (int n = 0; n < 200000; ++n)
            lp.Filter(1.0f, c.cutoff, c.sampleRate);
        EXPECT_TRUE(std::isfinite(lp.output) && std::fabs(lp.output) <= 1.0f)
            << "cut-off " << c.cutoff << " at " << c.sampleRate << " Hz gave " << lp.output;
        EXPECT_LE(std::fabs(lp.b1), 1.0f);
    }
}

} // namespace
