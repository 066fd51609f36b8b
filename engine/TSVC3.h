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
// Stability with a fixed cut-off: one pass is stable only for 0 < f*q and f^2 + 2 f q < 4, i.e.
// f < sqrt(q^2 + 4) - q (1.236 at q = 1, 1.970 at q = 0.03). q is kept at 0.001 or more.
//
// Under a moving cut-off the coefficient is further bounded to f <= 1. At f = 1 (q = 0) each pass turns
// the state by pi/3, so the three passes put the filter's resonance exactly at the Nyquist frequency;
// larger coefficients only fold it back below Nyquist. Below that bound cut-off jumps at every sample
// (random modulation) leave the filter's mean energy bounded at every resonance; above it they could
// pump the state up without bound (at sample rates below 20 kHz they did). Only cut-offs above 0.524
// times the sample rate reach the bound (at 14.9 kHz: sample rates below 28.5 kHz), so the filter is
// unchanged wherever it was already stable.
//
// State limit: no coefficient bound can keep every conceivable modulation sequence from pumping a
// resonant filter, so after the three passes L and B are kept within +-(256 * the largest input
// magnitude so far + 1e-6). A filter with a fixed cut-off never comes near it (its states stay within
// 47 times the input peak at resonance 0.97); it only stops a runaway. Every output is then within
// 2 * that limit + the input peak. A state that is not a number passes unchanged, for the caller to
// detect.
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
    // The frequency coefficient a coefficient update sets: 2 SinApprox(frequency / sampleRate), bounded
    // to 0 .. MaxFrequencyCoefficient(damping).
    static float FrequencyCoefficient(float frequency, float sampleRate, float damping) noexcept;

    // States are kept within kStateLimitGain * inputPeak + kStateLimitFloor.
    static constexpr float kStateLimitGain = 256.0f;
    static constexpr float kStateLimitFloor = 1e-6f;

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
    float inputPeak = 0;                 // largest input magnitude so far
    float stateLimit = kStateLimitFloor; // bound of |L| and |B| for that peak
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
