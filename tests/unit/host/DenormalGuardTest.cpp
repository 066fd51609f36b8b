#include "host/DenormalGuard.h"

#include <gtest/gtest.h>

#include <limits>

TEST(DenormalGuard, FlushesInsideAndRestoresTheCallersState) {
    const unsigned saved = _mm_getcsr();
    const unsigned callers = 0x1F80 | 0x2000; // all masked, round down, no flush
    _mm_setcsr(callers);
    volatile float tiny = std::numeric_limits<float>::denorm_min();
    volatile float one = 1.0f;
    volatile float product = 0.0f;
    {
        host::DenormalGuard guard;
        product = tiny * one;
        EXPECT_EQ(_mm_getcsr() & 0x8040u, 0x8040u) << "FTZ and DAZ set inside";
    }
    const unsigned after = _mm_getcsr();
    volatile float outside = tiny * one;
    _mm_setcsr(saved);
    EXPECT_EQ(product, 0.0f) << "a denormal reads as zero inside the guard";
    EXPECT_EQ(after & ~0x3Fu, callers) << "the caller's rounding and flags come back";
    EXPECT_NE(outside, 0.0f) << "denormals survive outside";
}
