#include "host/RandomGenerator.h"
#include "tests/unit/host/TestEffect.h"

#include <gtest/gtest.h>

TEST(RandomGenerator, LinearCongruentialSequence) {
    host::RandomGenerator::Seed(0);
    EXPECT_EQ(host::RandomGenerator::NextState(), 1u);
    EXPECT_EQ(host::RandomGenerator::NextState(), 134775814u);
    host::RandomGenerator::Seed(0xFFFFFFFFu);
    EXPECT_EQ(host::RandomGenerator::NextState(), 0xFFFFFFFFu * 134775813u + 1u) << "wraps modulo 2^32";
    host::RandomGenerator::Seed(0xFFFFFFFEu);
    const std::uint32_t next = 0xFFFFFFFEu * 134775813u + 1u;
    EXPECT_DOUBLE_EQ(host::RandomGenerator::Next(), next / 4294967296.0) << "s / 2^32";
    for (int i = 0; i < 1000; ++i) {
        const double r = host::RandomGenerator::Next();
        ASSERT_TRUE(r >= 0.0 && r < 1.0) << r;
    }
}

TEST(RandomGenerator, EveryNewEffectReseeds) {
    host::RandomGenerator::Seed(12345);
    hosttest::TestEffect effect;
    const std::uint32_t first = host::RandomGenerator::State();
    EXPECT_NE(first, 12345u) << "construction seeds from the clock";
    host::RandomGenerator::Seed(12345);
    hosttest::TestEffect another;
    EXPECT_NE(host::RandomGenerator::State(), 12345u);
}
