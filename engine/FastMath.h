#pragma once

// The integer rounding rules (RoundEven, FastRound, FastTrunc) shared with the frame and the editor, the
// polynomial sine and cosine the filters use for their coefficients, and a double-precision sine that
// gives the same bits on every build.

#include "host/Rounding.h"

namespace engine {

using host::FastRound;
using host::FastTrunc;
using host::RoundEven;
using host::RoundEvenDouble;

// Rounds a double to float, as storing a float does. The empty assembler statement makes the rounded
// value opaque to the optimiser, so it can neither fuse neighbouring roundings into one vector
// conversion nor substitute the unrounded double for the float later on. GCC 12's straight-line
// vectoriser does the latter in chains like the state-variable filter's passes, which changes results.
inline float RoundToFloat(double v) noexcept {
    float f = static_cast<float>(v);
    __asm__("" : "+x"(f));
    return f;
}

// Cubic polynomial in x^2 approximating cos x on 0 <= x <= pi/2, evaluated in double and rounded to
// float. Error against the cosine below 7e-6 there: 1 - 6.7e-6 at 0, -6.7e-6 at pi/2.
inline float CosApprox(float x) noexcept {
    const double a = RoundToFloat(x * x);
    return RoundToFloat(0.9999932946 - 0.4999124376 * a + 0.0414877472 * a * a - 0.0012712095 * a * a * a);
}

// CosApprox(pi/2 - x): an approximate sine for 0 <= x <= pi/2. SinApprox(0) is -6.8e-6, not 0.
inline float SinApprox(float x) noexcept {
    return CosApprox(RoundToFloat(1.570796326794897 - x));
}

// Sine in double precision from our own argument reduction and polynomials, so that glibc and the
// Windows runtimes give identical bits. Within about one ulp of the true sine for |x| < 8.4e8 (pi/2 is
// carried to 180 bits in the reduction). Beyond that the argument is first reduced exactly modulo the
// double nearest 2*pi: still deterministic and within [-1, 1], but no longer the true sine. NaN and
// infinities give NaN.
double PortableSin(double x) noexcept;

} // namespace engine
