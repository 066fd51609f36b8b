#include "engine/FastMath.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>

namespace {

using engine::CosApprox;
using engine::FastRound;
using engine::FastTrunc;
using engine::PortableSin;
using engine::RoundEven;
using engine::SinApprox;

TEST(FastMathTest, RoundingRulesOnHalvesAndNegatives) {
    EXPECT_EQ(RoundEven(0.5f), 0) << "RoundEven ties to even";
    EXPECT_EQ(RoundEven(1.5f), 2);
    EXPECT_EQ(RoundEven(2.5f), 2);
    EXPECT_EQ(RoundEven(-2.5f), -2);
    EXPECT_EQ(RoundEven(-0.5f), 0);
    EXPECT_EQ(RoundEven(2.6f), 3);

    EXPECT_EQ(FastRound(2.5f), 3) << "FastRound ties upward";
    EXPECT_EQ(FastRound(0.5f), 1);
    EXPECT_EQ(FastRound(1.5f), 2);
    EXPECT_EQ(FastRound(-0.5f), 0);
    EXPECT_EQ(FastRound(-0.7f), -1);
    EXPECT_EQ(FastRound(-1.5f), -1);
    EXPECT_EQ(FastRound(-2.5f), -2);

    EXPECT_EQ(FastTrunc(2.7f), 2) << "FastTrunc truncates toward zero";
    EXPECT_EQ(FastTrunc(3.0f), 3);
    EXPECT_EQ(FastTrunc(0.75f), 0);
    EXPECT_EQ(FastTrunc(-2.7f), -2);
    EXPECT_EQ(FastTrunc(-3.0f), -3);
    EXPECT_EQ(FastTrunc(-0.0f), 0);
    EXPECT_EQ(FastTrunc(0.5f), 0);
    EXPECT_EQ(FastTrunc(-0.5f), 0);
}

TEST(FastMathTest, FastRoundAndFastTruncMatchFloorAndTruncEverywhere) {
    std::mt19937 gen(1234);
    std::uniform_real_distribution<float> wide(-1.0e6f, 1.0e6f);
    std::uniform_int_distribution<int> whole(-100000, 100000);
    for (int n = 0; n < 200000; ++n) {
        // Alternate arbitrary floats with exact halves and their neighbours, where the rules differ.
        float x = wide(gen);
        if (n % 2) {
            const float half = static_cast<float>(whole(gen)) + 0.5f;
            x = (n % 3 == 0) ? half : std::nextafter(half, (n % 3 == 1) ? 1.0e9f : -1.0e9f);
        }
        ASSERT_EQ(FastRound(x), static_cast<int32_t>(std::floor(static_cast<double>(x) + 0.5))) << "x=" << x;
        ASSERT_EQ(FastTrunc(x), static_cast<int32_t>(std::trunc(x))) << "x=" << x;
    }
    // Large magnitudes, where x + 0.5 is no longer exact in float.
    EXPECT_EQ(FastRound(8388607.5f), 8388608);
    EXPECT_EQ(FastRound(16777215.0f), 16777215);
    EXPECT_EQ(FastTrunc(-16777215.0f), -16777215);
}

TEST(FastMathTest, PolynomialCosineAndSineStayWithinTheirError) {
    const double halfPi = 1.5707963267948966;
    for (int i = 0; i <= 1000; ++i) {
        const float x = static_cast<float>(halfPi * i / 1000.0);
        EXPECT_NEAR(CosApprox(x), std::cos(static_cast<double>(x)), 7e-6) << "x=" << x;
        EXPECT_NEAR(SinApprox(x), std::sin(static_cast<double>(x)), 7e-6) << "x=" << x;
    }
    EXPECT_NEAR(SinApprox(0.0f), -6.8e-6, 0.1e-6) << "the approximation is not zero at zero";
    EXPECT_NEAR(CosApprox(0.0f), 1.0 - 6.7e-6, 0.1e-6);
}

// Distance in units in the last place between two finite doubles of the same sign region.
int64_t ulpDistance(double a, double b) {
    auto key = [](double v) {
        const int64_t bits = std::bit_cast<int64_t>(v);
        return bits < 0 ? std::numeric_limits<int64_t>::min() - bits : bits;
    };
    const int64_t d = key(a) - key(b);
    return d < 0 ? -d : d;
}

TEST(FastMathTest, PortableSineIsWithinAboutOneUlpOfTheLibrarySine) {
    std::mt19937_64 gen(99);
    std::uniform_real_distribution<double> exponent(-20.0, std::log2(8.0e8));
    int64_t worst = 0;
    double worstX = 0;
    auto check = [&](double x) {
        const int64_t d = ulpDistance(PortableSin(x), std::sin(x));
        if (d > worst) {
            worst = d;
            worstX = x;
        }
    };
    for (int n = 0; n < 400000; ++n) {
        const double x = std::exp2(exponent(gen));
        check(x);
        check(-x);
    }
    // Arguments close to multiples of pi and pi/2, where the reduction cancels most bits.
    for (double x : {3.141592653589793, 6.283185307179586, 1.5707963267948966, 355.0, 103993.0, 104348.0,
                     833719.0, 1.0e6 * 3.141592653589793, 6381956970095103.0 / 1.0e9}) {
        check(x);
        check(std::nextafter(x, 0.0));
        check(std::nextafter(x, 1e300));
    }
    EXPECT_LE(worst, 1) << "worst at x=" << worstX;

    EXPECT_EQ(PortableSin(0.0), 0.0);
    EXPECT_EQ(PortableSin(1e-300), 1e-300) << "tiny arguments answer themselves";
    EXPECT_EQ(PortableSin(-0.75), -PortableSin(0.75)) << "the sine is odd";
    EXPECT_EQ(PortableSin(1.0), 0x1.aed548f090ceep-1) << "sin 1, correctly rounded";
}

TEST(FastMathTest, PortableSineGivesPinnedBits) {
    // FNV-1a over the bits of a sweep from 1e-5 to 4.9e3 in both signs. The value was checked to be the
    // same in the Linux build and in the 64-bit Windows build under wine; a change means the feedback
    // limiter no longer produces the same bits everywhere.
    uint64_t hash = 1469598103934665603ull;
    auto mix = [&hash](double v) {
        const uint64_t bits = std::bit_cast<uint64_t>(v);
        for (int i = 0; i < 8; ++i) {
            hash ^= (bits >> (8 * i)) & 0xff;
            hash *= 1099511628211ull;
        }
    };
    double x = 1e-5;
    for (int n = 0; n < 100000; ++n) {
        mix(PortableSin(x));
        mix(PortableSin(-1.5 * x));
        x *= 1.0002;
    }
    EXPECT_EQ(hash, 0x0e5cd8b644d1fbc1ull);
}

TEST(FastMathTest, PortableSineOfHugeAndNonFiniteArguments) {
    for (double x : {1.0e9, -3.0e12, 1.0e300, -1.7e308}) {
        const double s = PortableSin(x);
        EXPECT_TRUE(s >= -1.0 && s <= 1.0) << "x=" << x << " gave " << s;
    }
    EXPECT_TRUE(std::isnan(PortableSin(std::numeric_limits<double>::infinity())));
    EXPECT_TRUE(std::isnan(PortableSin(-std::numeric_limits<double>::infinity())));
    EXPECT_TRUE(std::isnan(PortableSin(std::numeric_limits<double>::quiet_NaN())));
}

} // namespace
