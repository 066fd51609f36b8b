#pragma once

// Float-to-integer conversions with fixed rounding rules, the polynomial sine and cosine the filters use
// for their coefficients, and a double-precision sine that gives the same bits on every build.
//
// All conversions use one SSE2 conversion under the default rounding mode (to nearest, ties to even);
// none changes the rounding mode. Results are defined for |x| < 2^30; outside that range and for NaN the
// conversion yields the processor's "integer indefinite" and the helpers return a large but harmless value.

#include <cstdint>
#include <emmintrin.h>

namespace engine {

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

// Cubic polynomial in x^2 approximating cos x on 0 <= x <= pi/2, evaluated in double and rounded to
// float. Error against the cosine below 7e-6 there: 1 - 6.7e-6 at 0, -6.7e-6 at pi/2.
inline float CosApprox(float x) noexcept {
    const double a = static_cast<float>(x * x);
    return static_cast<float>(0.9999932946 - 0.4999124376 * a + 0.0414877472 * a * a -
                              0.0012712095 * a * a * a);
}

// CosApprox(pi/2 - x): an approximate sine for 0 <= x <= pi/2. SinApprox(0) is -6.8e-6, not 0.
inline float SinApprox(float x) noexcept {
    return CosApprox(static_cast<float>(1.570796326794897 - x));
}

// Sine in double precision from our own argument reduction and polynomials, so that glibc and the
// Windows runtimes give identical bits. Within about one ulp of the true sine for |x| < 8.4e8 (pi/2 is
// carried to 180 bits in the reduction). Beyond that the argument is first reduced exactly modulo the
// double nearest 2*pi: still deterministic and within [-1, 1], but no longer the true sine. NaN and
// infinities give NaN.
double PortableSin(double x) noexcept;

} // namespace engine
