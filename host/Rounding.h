#pragma once

// Float-to-integer conversions with fixed rounding rules, shared by the plug-in frame (meter, key
// modifier), the engine and the editor (knob positions, light levels).
//
// All conversions use one SSE2 conversion under the default rounding mode (to nearest, ties to even);
// none changes the rounding mode, and the result does not depend on the C library. RoundEven and
// RoundEvenDouble are defined while the rounded value fits in 32 bits, FastRound and FastTrunc for
// |x| < 2^30; outside that range and for NaN the conversion yields the processor's "integer indefinite"
// and the helpers return a large but harmless value.

#include <cstdint>
#include <emmintrin.h>

namespace host {

// Round to nearest, halves to even: 0.5 -> 0, 1.5 -> 2, 2.5 -> 2, -2.5 -> -2.
inline int32_t RoundEven(float x) noexcept {
    return _mm_cvtss_si32(_mm_set_ss(x));
}

// The same conversion for a double, for expressions evaluated in double precision.
inline int32_t RoundEvenDouble(double x) noexcept {
    return _mm_cvtsd_si32(_mm_set_sd(x));
}

// floor(x + 0.5), halves upward: 0.5 -> 1, 2.5 -> 3, -0.5 -> 0, -0.7 -> -1.
// 2x + 0.5 is exact in double, so rounding it to even and halving equals the floor for every x.
inline int32_t FastRound(float x) noexcept {
    return RoundEvenDouble(2.0 * x + 0.5) >> 1;
}

// Truncation toward zero: 2.7 -> 2, 3.0 -> 3, 0.75 -> 0, -2.7 -> -2, -0.0 -> 0.
inline int32_t FastTrunc(float x) noexcept {
    const int32_t n = RoundEvenDouble((x < 0 ? -2.0 * x : 2.0 * x) - 0.5) >> 1;
    return x < 0 ? -n : n;
}

} // namespace host
