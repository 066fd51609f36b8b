#include "engine/TFastP2F.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

using engine::TFastP2F;

TEST(TFastP2FTest, TableHoldsTheDecimalRatioPowers) {
    const TFastP2F p2f;
    for (int i = 0; i < TFastP2F::kSize; ++i) {
        const long double exact = std::pow(1.05946L, static_cast<long double>(i - 480)) * 8.17742L;
        EXPECT_NEAR(p2f.table[i] / exact, 1.0L, 1.2e-7L) << "entry " << i;
    }
    EXPECT_EQ(p2f.table[480], 8.17742f) << "pitch 0";
    EXPECT_NEAR(p2f.table[0], 7.4478e-12, 0.0001e-12);
    EXPECT_NEAR(p2f.table[649], 141876.0, 1.0);
}

TEST(TFastP2FTest, ConvertHitsTheCutOffRangeAndInterpolates) {
    const TFastP2F p2f;
    EXPECT_EQ(p2f.Convert(0.0f), p2f.table[480]);
    EXPECT_NEAR(p2f.Convert(15.0f), 19.44844f, 0.00001f) << "lowest cut-off, Freq 0";
    EXPECT_NEAR(p2f.Convert(130.0f), 14914.53f, 0.01f) << "highest cut-off, Freq 1";
    EXPECT_EQ(p2f.Convert(12.5f), static_cast<float>(0.5 * p2f.table[492] + 0.5 * p2f.table[493]))
        << "half a semitone is the mean of its neighbours";
    EXPECT_EQ(p2f.Convert(-0.5f), static_cast<float>(1.5 * p2f.table[480] - 0.5 * p2f.table[481]))
        << "negative fractions extrapolate from the segment above";

    float previous = 0.0f;
    for (int n = 0; n <= 1300; ++n) {
        const float f = p2f.Convert(n * 0.1f);
        EXPECT_GT(f, previous) << "pitch " << n * 0.1f;
        EXPECT_NEAR(f / (8.17742 * std::pow(1.05946, n * 0.1)), 1.0, 5e-4) << "pitch " << n * 0.1f;
        previous = f;
    }
}

TEST(TFastP2FTest, PitchesOutsideTheTableStayInsideIt) {
    const TFastP2F p2f;
    // Nothing here may read outside the table; values are extrapolated from the end segments.
    EXPECT_TRUE(std::isfinite(p2f.Convert(-1000.0f)));
    EXPECT_GT(p2f.Convert(1000.0f), p2f.table[649]);
    EXPECT_TRUE(std::isfinite(p2f.Convert(3.0e9f)));
    EXPECT_TRUE(std::isnan(p2f.Convert(std::numeric_limits<float>::quiet_NaN())));
}

} // namespace
