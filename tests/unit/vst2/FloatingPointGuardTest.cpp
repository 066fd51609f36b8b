#include "vst2/FloatingPointGuard.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>

namespace {

using vst2::FloatingPointGuard;

struct X87State {
    std::uint16_t control, status;
};

X87State readX87() {
    X87State state{};
    __asm__ volatile("fnstcw %0\n\tfnstsw %1" : "=m"(state.control), "=m"(state.status));
    return state;
}

void writeX87Control(std::uint16_t control) {
    __asm__ volatile("fnclex\n\tfldcw %0" : : "m"(control));
}

// An x87 operation that raises the invalid-operation flag (the square root of -1).
void raiseX87Invalid() {
    const double minusOne = -1.0;
    double result;
    __asm__ volatile("fldl %1\n\tfsqrt\n\tfstpl %0" : "=m"(result) : "m"(minusOne));
}

} // namespace

// A host that unmasked every exception, rounds toward zero and flushes nothing: inside the guard our
// arithmetic neither traps nor rounds its way, and afterwards the host finds its state as it left it,
// with nothing pending.
TEST(FloatingPointGuard, SetsTheStateItNeedsAndGivesTheHostsStateBack) {
    const unsigned savedMxcsr = _mm_getcsr();
    const X87State savedX87 = readX87();
    const unsigned hostMxcsr = 0x6000 | 0x0001; // round toward zero, all unmasked, invalid flag already set
    const std::uint16_t hostX87 = 0x0F00;       // round toward zero, 64-bit precision, all unmasked

    volatile float tiny = std::numeric_limits<float>::denorm_min();
    volatile float one = 1.0f, zero = 0.0f, third = 1.0f / 3.0f;
    // Volatile results: the arithmetic stays inside the guards, where it was written.
    volatile float processingQuotient = 0, processingTiny = 1, controlTiny = 0, rounded = 0;
    unsigned mxcsrInProcessing = 0, mxcsrInControl = 0, mxcsrAfter[2] = {};
    X87State x87Inside{}, x87After[2] = {};

    writeX87Control(hostX87);
    _mm_setcsr(hostMxcsr);
    {
        FloatingPointGuard guard(FloatingPointGuard::Mode::Processing);
        mxcsrInProcessing = _mm_getcsr();
        x87Inside = readX87();
        processingQuotient = one / zero;
        processingTiny = tiny * one;
        rounded = third * 3.0f;
        raiseX87Invalid();
    }
    mxcsrAfter[0] = _mm_getcsr();
    x87After[0] = readX87();
    {
        FloatingPointGuard guard(FloatingPointGuard::Mode::Control);
        mxcsrInControl = _mm_getcsr();
        controlTiny = tiny * one;
    }
    mxcsrAfter[1] = _mm_getcsr();
    x87After[1] = readX87();
    _mm_setcsr(savedMxcsr);
    writeX87Control(savedX87.control);

    EXPECT_EQ(mxcsrInProcessing & ~0x3Fu, 0x9FC0u) << "processing: all masked, to nearest, FTZ and DAZ";
    EXPECT_EQ(mxcsrInControl & ~0x3Fu, 0x1F80u) << "other calls: all masked, to nearest, no flushing";
    EXPECT_EQ(x87Inside.control & ~0x40, 0x133F) << "x87: all masked, 64-bit precision, to nearest";
    EXPECT_TRUE(std::isinf(processingQuotient)) << "a division by zero gives an infinity, not a trap";
    EXPECT_EQ(processingTiny, 0.0f) << "denormals are flushed while processing";
    EXPECT_NE(controlTiny, 0.0f) << "and kept in other calls";
    EXPECT_EQ(rounded, 1.0f) << "rounding to nearest";
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(mxcsrAfter[i], hostMxcsr) << "the host's MXCSR comes back exactly, guard " << i;
        EXPECT_EQ(x87After[i].control & ~0x40, hostX87) << "the host's x87 control word, guard " << i;
        EXPECT_EQ(x87After[i].status & 0xFF, 0) << "no x87 flag of ours is left pending, guard " << i;
    }
}
