#pragma once

#include <array>
#include <cstdint>

namespace engine {

// State-variable filter (low-pass, band-pass and high-pass together) run three times per sample with
// its outputs averaged over the three passes. One pass, with damping q = 1 - resonance and
// frequency coefficient f = 2 * SinApprox(frequency / sampleRate):
//   L = L + f*B;   H = input - L - q*B;   B = f*H + B.
// Frequency in hertz, resonance 0..0.97 (damping 1..0.03). States start at 1e-18, and 1e-18 is added at
// fixed points of the first and third passes, to keep the states away from denormal numbers; the
// average uses the decimal 0.3333333333333, not exactly one third. Coefficients are recomputed only
// when frequency or resonance changes (not when only the sample rate does).
//
// Stability: one pass is stable only for 0 < f*q and f^2 + 2 f q < 4, i.e. f < sqrt(q^2 + 4) - q
// (1.236 at q = 1, 1.970 at q = 0.03). As the cut-off nears the sample rate the coefficient passes that
// limit: 14.9 kHz at 8 or 22.05 kHz without resonance, 14.9 kHz at 9.5 kHz at any resonance. f is
// therefore bounded to 0 <= f <= (1 - 1e-4) times the limit, and q to at least 0.001; inside those
// bounds the filter is unchanged, and its outputs stay finite for any finite input.
class TSVC3 {
public:
    void Filter(float input, float frequency, float resonance, float sampleRate) noexcept;
    // The first part of Filter: recomputes damping and frequency coefficient if frequency or
    // resonance changed.
    void SetCoefficients(float frequency, float resonance, float sampleRate) noexcept;

    // The largest frequency coefficient used for damping q.
    static float MaxFrequencyCoefficient(float q) noexcept;
    // The damping a coefficient update sets for a resonance.
    static float Damping(float resonance) noexcept;

    float lowOut = 0;
    float highOut = 0;
    float bandOut = 0;
    float lastFrequency = 0;
    float lastResonance = 0;
    float lowState = 1e-18f;
    float highState = 1e-18f;
    float bandState = 1e-18f;
    float damping = 0;
    float frequencyCoefficient = 0;
};

// Weights of (low out, band out, high out) for the filter codes 3 (low-pass), 6 (band-pass) and
// 9 (high-pass): row code / 3 - 1. Each row selects exactly one output.
inline constexpr std::array<std::array<std::uint8_t, 3>, 3> FilterMix{{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}};

// The voice output for filter code 3, 6 or 9: w1 * low out + w2 * band out + w3 * high out.
inline float FilterMixOutput(const TSVC3& filter, int code) noexcept {
    const auto& row = FilterMix[static_cast<std::size_t>(code / 3 - 1)];
    return static_cast<float>(static_cast<double>(row[0]) * filter.lowOut +
                              static_cast<double>(row[1]) * filter.bandOut +
                              static_cast<double>(row[2]) * filter.highOut);
}

} // namespace engine
