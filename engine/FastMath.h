#pragma once

// The integer rounding rules (RoundEven, FastRound, FastTrunc) shared with the frame and the editor, the
// polynomial sine and cosine the filters use for their coefficients, and a double-precision sine that
// gives the same bits on every build.

#include "engine/DspConstants.h"
#include "host/Rounding.h"

namespace engine {

using host::FastRound;
using host::FastTrunc;
using host::RoundEven;
using host::RoundEvenDouble;

// Cubic polynomial in x^2 approximating cos x on 0 <= x <= pi/2, evaluated in double and rounded to
// float. Error against the cosine below 7e-6 there: 1 - 6.7e-6 at 0, -6.7e-6 at pi/2.
inline float CosApprox(float x) noexcept {
    const double a = static_cast<float>(x * x);
    const auto& c = dspconst::kCosApprox;
    return static_cast<float>(c[0] - c[1] * a + c[2] * a * a - c[3] * a * a * a);
}

// CosApprox(pi/2 - x): an approximate sine for 0 <= x <= pi/2. SinApprox(0) is -6.8e-6, not 0.
inline float SinApprox(float x) noexcept {
    return CosApprox(static_cast<float>(dspconst::kSinApproxHalfPi - x));
}

// Sine in double precision from our own argument reduction and polynomials, so that glibc and the
// Windows runtimes give identical bits. Within about one ulp of the true sine for |x| < 8.4e8 (pi/2 is
// carried to 180 bits in the reduction). Beyond that the argument is first reduced exactly modulo the
// double nearest 2*pi: still deterministic and within [-1, 1], but no longer the true sine. NaN and
// infinities give NaN.
double PortableSin(double x) noexcept;

} // namespace engine
