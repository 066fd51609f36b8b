#include "engine/TmultiAll.h"

#include "host/RandomGenerator.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>

namespace {

using engine::TmultiAll;

TEST(TmultiAllTest, CycleLengthWithTheFloatPhase) {
    TmultiAll lfo;
    int lastWrap = -1;
    int cycles = 0;
    for (int n = 0; n < 200000; ++n) {
        lfo.Advance(1.1f, 44100.0f);
        if (lfo.phase == -0.5f) {
            if (lastWrap >= 0) {
                EXPECT_EQ(n - lastWrap, 40090) << "samples per cycle at 1.1 Hz";
                ++cycles;
            }
            lastWrap = n;
        }
        ASSERT_TRUE(lfo.phase >= -0.5f && lfo.phase <= 0.5f);
    }
    EXPECT_EQ(cycles, 4);
    EXPECT_EQ(lfo.increment, static_cast<float>(1.1f / 44100.0));
}

TEST(TmultiAllTest, ShapesAtKeyPhases) {
    struct Expect {
        float phase, parabolic, triangle, square, rising, falling;
    };
    for (const Expect e :
         {Expect{0.0f, 1.0f, 1.0f, 1.0f, 0.0f, 0.0f}, Expect{0.25f, 0.0f, 0.0f, 1.0f, 0.5f, -0.5f},
          Expect{-0.25f, 0.0f, 0.0f, -1.0f, -0.5f, 0.5f}, Expect{0.5f, -1.0f, -1.0f, 1.0f, 1.0f, -1.0f},
          Expect{-0.5f, -1.0f, -1.0f, -1.0f, -1.0f, 1.0f},
          Expect{0.125f, 0.75f, 0.5f, 1.0f, 0.25f, -0.25f}}) {
        TmultiAll lfo;
        lfo.SetPhase(e.phase);
        lfo.Advance(0.0f, 44100.0f);
        EXPECT_EQ(lfo.phase, e.phase);
        EXPECT_EQ(lfo.parabolic, e.parabolic) << "phase " << e.phase;
        EXPECT_EQ(lfo.triangle, e.triangle) << "phase " << e.phase;
        EXPECT_EQ(lfo.square, e.square) << "phase " << e.phase;
        EXPECT_EQ(lfo.risingSaw, e.rising) << "phase " << e.phase;
        EXPECT_EQ(lfo.fallingSaw, e.falling) << "phase " << e.phase;
    }
}

TEST(TmultiAllTest, RandomDrawsOnlyAtTheCycleStart) {
    host::RandomGenerator::Seed(12345);
    uint32_t s = 12345;
    auto next = [&s] {
        s = s * 134775813u + 1u;
        return static_cast<float>(2.0 * (s / 4294967296.0 - 0.5));
    };

    // Rate 0 standing at -0.5 draws at every step.
    TmultiAll still;
    still.SetPhase(-0.5f);
    for (int n = 0; n < 5; ++n) {
        still.Advance(0.0f, 44100.0f);
        EXPECT_EQ(still.random, next()) << "step " << n;
    }

    // Elsewhere the value is held, and nothing is drawn.
    TmultiAll held;
    held.SetPhase(0.1f);
    for (int n = 0; n < 5; ++n)
        held.Advance(0.0f, 44100.0f);
    EXPECT_EQ(held.random, 0.0f);
    EXPECT_EQ(host::RandomGenerator::State(), s) << "no draw away from -0.5";

    // A running LFO draws once per cycle, in the step that wraps.
    TmultiAll running;
    running.SetPhase(0.3f);
    for (int n = 0; n < 1000; ++n) {
        running.Advance(441.0f, 44100.0f);
        if (running.phase == -0.5f) {
            EXPECT_EQ(running.random, next()) << "step " << n;
        }
    }
    EXPECT_EQ(host::RandomGenerator::State(), s);
    EXPECT_TRUE(running.random >= -1.0f && running.random < 1.0f);
}

TEST(TmultiAllTest, SetPhaseAndIncrementCache) {
    TmultiAll lfo;
    // 689.0625 Hz at 44.1 kHz is an increment of exactly 1/64.
    lfo.Advance(689.0625f, 44100.0f);
    EXPECT_EQ(lfo.increment, 1.0f / 64.0f);
    lfo.SetPhase(0.25f);
    EXPECT_EQ(lfo.phase, 0.25f - 1.0f / 64.0f) << "SetPhase leaves room for one increment";
    lfo.Advance(689.0625f, 44100.0f);
    EXPECT_EQ(lfo.phase, 0.25f) << "the next step reaches the value";

    lfo.Advance(689.0625f, 96000.0f);
    EXPECT_EQ(lfo.increment, 1.0f / 64.0f) << "a sample-rate change alone does not recompute";
    lfo.Advance(0.0f, 96000.0f);
    EXPECT_EQ(lfo.increment, 0.0f);

    // The overshoot past +0.5 is dropped.
    TmultiAll wrap;
    wrap.Advance(689.0625f, 44100.0f);
    wrap.SetPhase(0.5f);
    wrap.Advance(689.0625f, 44100.0f);
    EXPECT_EQ(wrap.phase, 0.5f) << "+0.5 itself belongs to the cycle";
    wrap.Advance(689.0625f, 44100.0f);
    EXPECT_EQ(wrap.phase, -0.5f);
}

TEST(TmultiAllTest, ExtremeRatesKeepTheOutputsInRange) {
    const float inf = std::numeric_limits<float>::infinity();
    TmultiAll fast;
    fast.Advance(inf, 44100.0f);
    fast.SetPhase(0.2f); // -inf: the next step must still restart at the cycle start
    for (int n = 0; n < 3; ++n) {
        fast.Advance(inf, 44100.0f);
        EXPECT_EQ(fast.phase, -0.5f);
        EXPECT_EQ(fast.parabolic, -1.0f);
        EXPECT_EQ(fast.fallingSaw, 1.0f);
    }
    // A restart under the infinite rate followed by a finite rate starts the new cycle at -0.5.
    fast.SetPhase(0.2f);
    fast.Advance(2.0f, 44100.0f);
    EXPECT_EQ(fast.phase, -0.5f);
    EXPECT_EQ(fast.triangle, -1.0f);
    fast.Advance(2.0f, 44100.0f);
    EXPECT_GT(fast.phase, -0.5f);
    // A restart placed with a large increment, then a step at a small one, starts the cycle at -0.5.
    TmultiAll slowed;
    slowed.Advance(20000.0f, 44100.0f);
    slowed.SetPhase(-0.4f);
    slowed.Advance(1.0f, 44100.0f);
    EXPECT_EQ(slowed.phase, -0.5f);

    struct Case {
        float rate, sampleRate;
    };
    for (const Case c : {Case{-3.0f, 44100.0f}, Case{-inf, 44100.0f}, Case{0.0f, 0.0f}, Case{5.0f, 0.0f},
                         Case{std::numeric_limits<float>::quiet_NaN(), 44100.0f}, Case{3.0e38f, 1e-30f}}) {
        TmultiAll lfo;
        for (int n = 0; n < 100000; ++n) {
            lfo.Advance(c.rate, c.sampleRate);
            ASSERT_TRUE(lfo.phase >= -0.5f && lfo.phase <= 0.5f)
                << "rate " << c.rate << " at " << c.sampleRate << " Hz, step " << n;
            ASSERT_TRUE(std::fabs(lfo.parabolic) <= 1.0f && std::fabs(lfo.triangle) <= 1.0f &&
                        std::fabs(lfo.risingSaw) <= 1.0f);
        }
    }
}

} // namespace
