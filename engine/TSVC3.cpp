#include "engine/TSVC3.h"

#include "engine/FastMath.h"

#include <cmath>

namespace engine {

namespace {

// Keeps the Nyquist pole of a coefficient at the limit inside the unit circle (radius about
// 1 - 4.5e-4 per pass or less).
constexpr double kStabilityMargin = 1e-4;
// A damping of 0 or below (resonance 1 or more) has no stable coefficient at all.
constexpr float kMinDamping = 0.001f;
// The three-pass resonance at the Nyquist frequency: the bound for a moving cut-off.
constexpr float kMaxCoefficient = 1.0f;

// Each comparison is written so that a NaN passes unchanged (and each maps onto one min or max).
inline float Limit(float state, float limit) noexcept {
    const float below = state > limit ? limit : state;
    return below < -limit ? -limit : below;
}

} // namespace

float TSVC3::MaxFrequencyCoefficient(float q) noexcept {
    const double qd = q;
    // sqrt(q^2 + 4) - q, written without the cancellation for large q; above 1 for every q <= 1.
    const float fixedBound =
        static_cast<float>((1.0 - kStabilityMargin) * 4.0 / (std::sqrt(qd * qd + 4.0) + qd));
    return fixedBound < kMaxCoefficient ? fixedBound : kMaxCoefficient;
}

float TSVC3::Damping(float resonance) noexcept {
    const float q = static_cast<float>(1.0 - resonance);
    return q >= kMinDamping ? q : kMinDamping;
}

float TSVC3::FrequencyCoefficient(float frequency, float sampleRate, float q) noexcept {
    const float f =
        static_cast<float>(2.0 * SinApprox(static_cast<float>(static_cast<double>(frequency) / sampleRate)));
    const float fMax = MaxFrequencyCoefficient(q);
    return !(f >= 0.0f) ? 0.0f : f > fMax ? fMax : f;
}

void TSVC3::SetCoefficients(float frequency, float resonance, float sampleRate) noexcept {
    if (lastFrequency != frequency || lastResonance != resonance) {
        const float q = Damping(resonance);
        damping = q;
        frequencyCoefficient = FrequencyCoefficient(frequency, sampleRate, q);
        lastFrequency = frequency;
        lastResonance = resonance;
    }
}

void TSVC3::Filter(float input, float frequency, float resonance, float sampleRate) noexcept {
    SetCoefficients(frequency, resonance, sampleRate);
    const float magnitude = std::fabs(input);
    if (magnitude > inputPeak) {
        inputPeak = magnitude;
        stateLimit = static_cast<float>(static_cast<double>(kStateLimitGain) * magnitude + kStateLimitFloor);
    }
    const double f = frequencyCoefficient;
    const double q = damping;
    const double x = input;
    float L = lowState;
    float H;
    float B = bandState;

    // Every state and output is rounded to float after each assignment; each right-hand side is
    // evaluated in double.
    // Pass 1.
    L = static_cast<float>(L + f * B);
    H = static_cast<float>((x + 1e-18) - L - q * B);
    B = static_cast<float>(f * H + B);
    float lo = L;
    float hi = H;
    float bp = B;

    // Pass 2.
    L = static_cast<float>(f * B + L);
    H = static_cast<float>(x - L - q * B);
    B = static_cast<float>(f * H + B);
    lo = static_cast<float>(static_cast<double>(lo) + L);
    hi = static_cast<float>(static_cast<double>(hi) + H);
    bp = static_cast<float>(static_cast<double>(bp) + B);

    // Pass 3.
    L = static_cast<float>(f * B + L + 1e-18);
    H = static_cast<float>((1e-18 + x) - L - q * B + 1e-18);
    B = static_cast<float>(f * H + B + 1e-18);
    lowOut = static_cast<float>((static_cast<double>(lo) + L) * 0.3333333333333);
    highOut = static_cast<float>((static_cast<double>(hi) + H) * 0.3333333333333);
    bandOut = static_cast<float>((static_cast<double>(bp) + B) * 0.3333333333333);

    lowState = Limit(L, stateLimit);
    highState = H;
    bandState = Limit(B, stateLimit);
}

} // namespace engine
