#pragma once

#include <xmmintrin.h>

namespace host {

// Flushes denormals to zero (FTZ and DAZ in MXCSR) for the lifetime of the guard and gives the
// caller's floating-point state back when it ends. One per processing call.
class DenormalGuard {
public:
    static constexpr unsigned kFlushToZero = 0x8000;
    static constexpr unsigned kDenormalsAreZero = 0x0040;

    DenormalGuard() noexcept : saved_(_mm_getcsr()) { _mm_setcsr(saved_ | kFlushToZero | kDenormalsAreZero); }
    ~DenormalGuard() { _mm_setcsr(saved_); }
    DenormalGuard(const DenormalGuard&) = delete;
    DenormalGuard& operator=(const DenormalGuard&) = delete;

private:
    unsigned saved_;
};

} // namespace host
