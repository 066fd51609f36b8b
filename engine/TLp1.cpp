#include "engine/TLp1.h"

#include "engine/FastMath.h"

#include <cmath>

namespace engine {

TLp1::Coefficients TLp1::CoefficientsFor(float cutoff, float sampleRate) noexcept {
    Coefficients c;
    c.twoFs = static_cast<float>(2.0 * sampleRate);
    c.w = static_cast<float>(6.2831853071795 * cutoff);
    c.norm = static_cast<float>(1.0 / (static_cast<double>(c.twoFs) + c.w));
    c.b1 = static_cast<float>((static_cast<double>(c.twoFs) - c.w) * c.norm);
    c.a0 = static_cast<float>(static_cast<double>(c.w) * c.norm);
    if (!(std::fabs(c.b1) < 1.0f) || !std::isfinite(c.a0)) {
        // Pole on or outside the unit circle: hold the output instead of letting it grow.
        c.a0 = 0.0f;
        c.b1 = 1.0f;
    }
    return c;
}

void TLp1::SetCutoff(float cutoff, float sampleRate) noexcept {
    if (cutoff != lastCutoff) {
        const Coefficients c = CoefficientsFor(cutoff, sampleRate);
        twoFs = c.twoFs;
        w = c.w;
        norm = c.norm;
        a0 = c.a0;
        b1 = c.b1;
        lastCutoff = cutoff;
    }
}

void TLp1::Filter(float input, float cutoff, float sampleRate) noexcept {
    SetCutoff(cutoff, sampleRate);
    const float y = static_cast<float>((static_cast<double>(input) + 1e-18) * a0 +
                                       static_cast<double>(a0) * previousInput +
                                       static_cast<double>(previousOutput) * b1);
    output = y;
    previousOutput = y;
    previousInput = input;
}

} // namespace engine
