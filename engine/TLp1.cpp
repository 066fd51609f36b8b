#include "engine/TLp1.h"

#include "engine/FastMath.h"

#include <cmath>

namespace engine {

void TLp1::SetCutoff(float cutoff, float sampleRate) noexcept {
    if (cutoff != lastCutoff) {
        twoFs = static_cast<float>(2.0 * sampleRate);
        w = static_cast<float>(6.2831853071795 * cutoff);
        norm = static_cast<float>(1.0 / (static_cast<double>(twoFs) + w));
        b1 = static_cast<float>((static_cast<double>(twoFs) - w) * norm);
        a0 = static_cast<float>(static_cast<double>(w) * norm);
        if (!(std::fabs(b1) < 1.0f) || !std::isfinite(a0)) {
            // Pole on or outside the unit circle: hold the output instead of letting it grow.
            a0 = 0.0f;
            b1 = 1.0f;
        }
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
