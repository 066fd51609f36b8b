#include "engine/FastMath.h"

#include "engine/DspConstants.h"

#include <cmath>

namespace engine {

namespace {

using dspconst::kCosTail;
using dspconst::kPio2Parts;
using dspconst::kSinTail;

constexpr double kTwoOverPi = 0x1.45f306dc9c883p-1;
// Adding and subtracting 1.5 * 2^52 rounds a double below 2^51 to the nearest integer, ties to even.
constexpr double kRoundingShift = 0x1.8p52;
// Largest |k| (multiple of pi/2) for which k times each 24-bit part of pi/2 is exact.
constexpr double kMaxQuadrant = 0x1p29;
constexpr double kTwoPi = 0x1.921fb54442d18p+2;

// a + b = s + e exactly (Knuth's two-sum).
inline void twoSum(double a, double b, double& s, double& e) noexcept {
    s = a + b;
    const double bb = s - a;
    e = (a - (s - bb)) + (b - bb);
}

inline double polynomial(const std::array<double, 7>& c, double z) noexcept {
    double p = c[6];
    for (int i = 5; i >= 0; --i)
        p = p * z + c[i];
    return p;
}

// sin(r + t) for |r| <= pi/4 (slightly more after reduction) and |t| tiny against r.
inline double sinKernel(double r, double t) noexcept {
    const double z = r * r;
    const double tail = r * z * polynomial(kSinTail, z);
    return r + (tail + t * (1.0 - 0.5 * z));
}

// cos(r + t). 1 - z/2 is split so that its rounding error is added back with the small terms.
inline double cosKernel(double r, double t) noexcept {
    const double z = r * r;
    const double half = 0.5 * z;
    const double w = 1.0 - half;
    return w + (((1.0 - w) - half) + (z * z * polynomial(kCosTail, z) - r * t));
}

} // namespace

double PortableSin(double x) noexcept {
    if (!std::isfinite(x))
        return x - x;
    double k = (x * kTwoOverPi + kRoundingShift) - kRoundingShift;
    if (std::fabs(k) >= kMaxQuadrant) {
        // fmod is exact by definition, so this stays deterministic across runtimes.
        x = std::fmod(x, kTwoPi);
        k = (x * kTwoOverPi + kRoundingShift) - kRoundingShift;
    }
    if (k == 0.0)
        return sinKernel(x, 0.0);

    // r = x - k * pi/2 as an unevaluated sum hi + lo. The first product is within a factor of two of x,
    // so the first subtraction is exact; the others are tracked with two-sums.
    double hi = x - k * kPio2Parts[0];
    double lo = 0.0;
    for (std::size_t i = 1; i < kPio2Parts.size(); ++i) {
        double s, e;
        twoSum(hi, -k * kPio2Parts[i], s, e);
        hi = s;
        lo += e;
    }
    double r, t;
    twoSum(hi, lo, r, t);

    const int quadrant = static_cast<int>(static_cast<int64_t>(k) & 3);
    switch (quadrant) {
    case 0:
        return sinKernel(r, t);
    case 1:
        return cosKernel(r, t);
    case 2:
        return -sinKernel(r, t);
    default:
        return -cosKernel(r, t);
    }
}

} // namespace engine
