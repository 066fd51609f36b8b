#include "engine/TSVC3.h"
#include "engine/FastMath.h"
#include "engine/TFastP2F.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace {

using engine::FilterMixOutput;
using engine::SinApprox;
using engine::TFastP2F;
using engine::TSVC3;

TEST(TSVC3Test, ConstantInputSettlesThroughEachOutput) {
    for (float res : {0.0f, 0.5f, 0.97f}) {
        TSVC3 f;
        for (int n = 0; n < 44100; ++n)
            f.Filter(0.75f, 1000.0f, res, 44100.0f);
        EXPECT_NEAR(f.lowOut, 0.75f, 1e-5f) << "low-pass passes DC, resonance " << res;
        EXPECT_NEAR(f.bandOut, 0.0f, 1e-5f) << "band-pass blocks DC, resonance " << res;
        EXPECT_NEAR(f.highOut, 0.0f, 1e-5f) << "high-pass blocks DC, resonance " << res;
        EXPECT_EQ(FilterMixOutput(f, 3), f.lowOut);
        EXPECT_EQ(FilterMixOutput(f, 6), f.bandOut);
        EXPECT_EQ(FilterMixOutput(f, 9), f.highOut);
    }
}

// Peak output over the second half of a sine burst through one output of the filter.
double sinePeak(float frequency, float cutoff, int code) {
    TSVC3 f;
    double peak = 0.0;
    const int length = 44100 / 5;
    for (int n = 0; n < length; ++n) {
        f.Filter(static_cast<float>(std::sin(2.0 * 3.141592653589793 * frequency * n / 44100.0)), cutoff,
                 0.0f, 44100.0f);
        if (n > length / 2)
            peak = std::fmax(peak, std::fabs(FilterMixOutput(f, code)));
    }
    return peak;
}

TEST(TSVC3Test, OutputsSeparateLowAndHighFrequencies) {
    EXPECT_GT(sinePeak(100.0f, 2000.0f, 3), 0.95) << "low-pass passes a tone well below the cut-off";
    EXPECT_LT(sinePeak(8000.0f, 200.0f, 3), 0.01) << "low-pass rejects a tone far above it";
    EXPECT_GT(sinePeak(8000.0f, 200.0f, 9), 0.95) << "high-pass passes a tone far above the cut-off";
    EXPECT_LT(sinePeak(50.0f, 5000.0f, 9), 0.01) << "high-pass rejects a tone far below it";
    EXPECT_LT(sinePeak(50.0f, 5000.0f, 6), 0.05) << "band-pass rejects a tone far away";
}

TEST(TSVC3Test, CoefficientsAndTheirCache) {
    TSVC3 f;
    EXPECT_EQ(f.lowState, 1e-18f);
    EXPECT_EQ(f.bandState, 1e-18f);
    f.Filter(0.0f, 1000.0f, 0.0f, 44100.0f);
    EXPECT_EQ(f.damping, 1.0f) << "resonance 0";
    EXPECT_EQ(f.frequencyCoefficient, 2.0f * SinApprox(1000.0f / 44100.0f));
    f.Filter(0.0f, 1000.0f, 0.97f, 44100.0f);
    EXPECT_NEAR(f.damping, 0.03f, 1e-7f) << "highest resonance";

    const float coefficient = f.frequencyCoefficient;
    f.Filter(0.0f, 1000.0f, 0.97f, 96000.0f);
    EXPECT_EQ(f.frequencyCoefficient, coefficient) << "a sample-rate change alone does not recompute";

    // Switching outputs mid-stream takes effect at once: the states are shared by all three.
    TSVC3 g;
    for (int n = 0; n < 100; ++n)
        g.Filter(n % 7 == 0 ? 1.0f : 0.0f, 3000.0f, 0.3f, 44100.0f);
    EXPECT_NE(FilterMixOutput(g, 3), FilterMixOutput(g, 9));
}

// The filter written out step by step, with every state and output stored through volatile memory so no
// optimiser can skip a rounding to float; coefficients are taken from the filter under test.
struct SteppedFilter {
    volatile float L = 1e-18f, H = 1e-18f, B = 1e-18f, low = 0, high = 0, band = 0;

    void step(double x, double f, double q) {
        L = static_cast<float>(L + f * B);
        H = static_cast<float>((x + 1e-18) - L - q * B);
        B = static_cast<float>(f * H + B);
        low = L;
        high = H;
        band = B;
        L = static_cast<float>(f * B + L);
        H = static_cast<float>(x - L - q * B);
        B = static_cast<float>(f * H + B);
        low = static_cast<float>(static_cast<double>(low) + L);
        high = static_cast<float>(static_cast<double>(high) + H);
        band = static_cast<float>(static_cast<double>(band) + B);
        L = static_cast<float>(f * B + L + 1e-18);
        H = static_cast<float>((1e-18 + x) - L - q * B + 1e-18);
        B = static_cast<float>(f * H + B + 1e-18);
        low = static_cast<float>((static_cast<double>(low) + L) * 0.3333333333333);
        high = static_cast<float>((static_cast<double>(high) + H) * 0.3333333333333);
        band = static_cast<float>((static_cast<double>(band) + B) * 0.3333333333333);
    }
};

TEST(TSVC3Test, EveryAssignmentIsRoundedToFloat) {
    const TFastP2F p2f;
    TSVC3 filter;
    SteppedFilter reference;
    std::mt19937 gen(11);
    std::uniform_real_distribution<float> noise(-0.5f, 0.5f);
    for (int n = 0; n < 100000; ++n) {
        const float input = noise(gen);
        const float cutoff = p2f.Convert(130.0f * static_cast<float>((n % 5000) / 5000.0));
        filter.Filter(input, cutoff, 0.9f, 44100.0f);
        reference.step(input, filter.frequencyCoefficient, filter.damping);
        ASSERT_EQ(filter.lowOut, reference.low) << "sample " << n;
        ASSERT_EQ(filter.highOut, reference.high) << "sample " << n;
        ASSERT_EQ(filter.bandOut, reference.band) << "sample " << n;
        ASSERT_EQ(filter.lowState, reference.L) << "sample " << n;
        ASSERT_EQ(filter.bandState, reference.B) << "sample " << n;
    }
}

TEST(TSVC3Test, CoefficientBoundLeavesStableSettingsUnchanged) {
    // Every cut-off the engine can ask for (pitch 0..130), at common rates and over the resonance range.
    const TFastP2F p2f;
    for (float rate : {32000.0f, 44100.0f, 48000.0f, 96000.0f, 192000.0f, 384000.0f}) {
        for (int pitch = 0; pitch <= 130; pitch += 5) {
            for (float res : {0.0f, 0.5f, 0.97f}) {
                const float hz = p2f.Convert(static_cast<float>(pitch));
                TSVC3 f;
                f.Filter(0.0f, hz, res, rate);
                EXPECT_EQ(f.frequencyCoefficient, 2.0f * SinApprox(hz / rate))
                    << hz << " Hz at " << rate << " Hz, resonance " << res;
                EXPECT_EQ(f.damping, static_cast<float>(1.0 - res));
            }
        }
    }
}

TEST(TSVC3Test, StaysFiniteWhereTheUnboundedCoefficientDiverges) {
    struct Case {
        float hz, res, rate;
    };
    std::mt19937 gen(7);
    std::uniform_real_distribution<float> noise(-1.0f, 1.0f);
    for (const Case c :
         {Case{14914.53f, 0.0f, 8000.0f}, Case{14914.53f, 0.97f, 8000.0f}, Case{14914.53f, 0.0f, 22050.0f},
          Case{14914.53f, 0.5f, 9500.0f}, Case{14914.53f, 0.97f, 9495.0f}, Case{0.0f, 0.5f, 44100.0f},
          Case{-500.0f, 0.5f, 44100.0f}, Case{1000.0f, 1.0f, 44100.0f}, Case{1000.0f, 5.0f, 44100.0f},
          Case{1000.0f, -50.0f, 8000.0f}, Case{1000.0f, 0.5f, 0.0f}}) {
        TSVC3 f;
        double peak = 0.0;
        for (int n = 0; n < 200000; ++n) {
            f.Filter(noise(gen), c.hz, c.res, c.rate);
            peak = std::fmax(peak, std::fabs(f.lowOut) + std::fabs(f.bandOut) + std::fabs(f.highOut));
        }
        EXPECT_TRUE(std::isfinite(peak) && peak < 1e6)
            << c.hz << " Hz at " << c.rate << " Hz, resonance " << c.res << ": peak " << peak;
        // Once the input stops, the ringing dies away.
        for (int n = 0; n < 200000; ++n)
            f.Filter(0.0f, c.hz, c.res, c.rate);
        EXPECT_LT(std::fabs(f.lowOut) + std::fabs(f.bandOut) + std::fabs(f.highOut),
                  1e-2 * (peak + 1e-9) + 1e-9)
            << c.hz << " Hz at " << c.rate << " Hz, resonance " << c.res;
    }
}

} // namespace

// Cut-off jumps at every sample, as a "Random" LFO on the cut-off makes them: pitch uniform in
// [(1 - depth) top, top], at the highest resonance and rates from 8 kHz up. Without the bound for a
// moving cut-off the states grew without limit below about 20 kHz; with it they stay at the level of a
// fixed cut-off, well inside the state limit, which therefore never acts.
TEST(TSVC3Test, RandomCutOffJumpsStayAtTheLevelOfAFixedCutOff) {
    const TFastP2F p2f;
    TSVC3 fixed;
    fixed.Filter(0.0f, 14914.53f, 0.97f, 8000.0f);
    EXPECT_EQ(fixed.frequencyCoefficient, 1.0f) << "the bound for a moving cut-off";

    std::mt19937 gen(3);
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    for (float rate : {8000.0f, 11025.0f, 16000.0f, 22050.0f, 44100.0f, 384000.0f}) {
        for (float top : {110.0f, 125.0f, 130.0f}) {
            for (float depth : {0.02f, 0.3f, 0.7f, 1.0f}) {
                TSVC3 f;
                double peak = 0.0;
                for (int n = 0; n < 40000; ++n) {
                    const float pitch = static_cast<float>((1.0 - unit(gen) * depth) * top);
                    f.Filter(2.0f * unit(gen) - 1.0f, p2f.Convert(pitch), 0.97f, rate);
                    peak = std::fmax(peak, std::fmax(std::fabs(f.lowState), std::fabs(f.bandState)));
                }
                EXPECT_LT(peak, 0.5 * TSVC3::kStateLimitGain)
                    << "pitch " << top << ", depth " << depth << " at " << rate << " Hz";
            }
        }
    }
}

// A cut-off that alternates in step with the resonance can pump any resonant filter up, whatever the
// coefficient bound (here within the range of 44.1 kHz). The state limit holds it, and once the input
// and the pumping stop the ringing dies away.
TEST(TSVC3Test, StateLimitHoldsAPumpingCutOff) {
    const float sampleRate = 44100.0f;
    const float low = 5861.0f, high = 14914.53f; // coefficients 0.265 and 0.663
    const int pattern[7] = {0, 0, 1, 0, 1, 0, 1};
    TSVC3 f;
    f.Filter(1.0f, low, 0.97f, sampleRate);
    float peakState = 0.0f;
    for (int n = 0; n < 20000; ++n) {
        f.Filter(0.0f, pattern[n % 7] ? high : low, 0.97f, sampleRate);
        peakState = std::fmax(peakState, std::fmax(std::fabs(f.lowState), std::fabs(f.bandState)));
        ASSERT_TRUE(std::isfinite(f.lowOut) && std::isfinite(f.bandOut) && std::isfinite(f.highOut)) << n;
    }
    EXPECT_EQ(f.inputPeak, 1.0f);
    EXPECT_GT(peakState, 0.99f * f.stateLimit) << "the pattern does pump the state up to the limit";
    EXPECT_LE(peakState, f.stateLimit);
    EXPECT_LE(std::fabs(f.highOut), 2.0f * f.stateLimit + 1.0f);
    for (int n = 0; n < 400000; ++n)
        f.Filter(0.0f, low, 0.97f, sampleRate);
    EXPECT_LT(std::fabs(f.lowState) + std::fabs(f.bandState), 1e-3f);
}
