#pragma once

namespace engine {

// One-pole low-pass from the bilinear transform without frequency pre-warping:
//   y[n] = a0 * (x[n] + 1e-18) + a0 * x[n-1] + b1 * y[n-1],   H(z) = a0 (1 + z^-1) / (1 - b1 z^-1),
//   a0 = w / (2 fs + w), b1 = (2 fs - w) / (2 fs + w), w = 2 pi cutoff,
// unity gain at DC. The 1e-18 keeps the recursion out of denormal numbers. Cut-off in hertz, 0 up to
// the sample rate's order; a cut-off of 0 holds the output. Coefficients are recomputed only when the
// cut-off changes (not when only the sample rate does); last cut-off starts at -1 to force the first
// computation, so a first call with cut-off -1 computes nothing and answers 0.
// Coefficients that would make the recursion grow (a negative cut-off, a sample rate of 0 or below)
// are replaced by those of cut-off 0, so the output stays finite for any finite input.
class TLp1 {
public:
    void Filter(float input, float cutoff, float sampleRate) noexcept;
    // The first part of Filter: recomputes the coefficients if the cut-off changed.
    void SetCutoff(float cutoff, float sampleRate) noexcept;

    struct Coefficients {
        float twoFs, w, norm, a0, b1;
    };
    // The coefficients for a cut-off (with the fallback that holds the output).
    static Coefficients CoefficientsFor(float cutoff, float sampleRate) noexcept;

    float a0 = 0;
    float b1 = 0;
    float twoFs = 0;
    float w = 0;
    float norm = 0;
    float previousInput = 0;
    float previousOutput = 0;
    float lastCutoff = -1;
    float output = 0;
};

} // namespace engine
