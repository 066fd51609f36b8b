#include "engine/TmultiAll.h"

#include "engine/FastMath.h"
#include "host/RandomGenerator.h"

#include <cmath>

namespace engine {

float TmultiAll::Increment(float rate, float sampleRate) noexcept {
    return static_cast<float>((1.0 / sampleRate) * rate);
}

void TmultiAll::SetRate(float rate, float sampleRate) noexcept {
    if (rate != lastRate) {
        increment = Increment(rate, sampleRate);
        lastRate = rate;
    }
}

void TmultiAll::Advance(float rate, float sampleRate) noexcept {
    SetRate(rate, sampleRate);
    phase = phase + increment;
    // A phase that is not a finite number also restarts: an infinite increment after SetPhase gives
    // -inf + inf, and a finite one after it would leave the -inf that SetPhase left.
    if (!(phase <= 0.5f) || std::isinf(phase))
        phase = -0.5f;
    else if (phase < -0.5f)
        phase = increment < 0.0f ? 0.5f : -0.5f;

    const float p = phase;
    const float absP = std::fabs(p);
    const float u = 0.25f - absP;
    const float g = static_cast<float>(1.0 - 2.0 * std::fabs(u));
    parabolic = static_cast<float>(8.0 * u * g);
    triangle = static_cast<float>(1.0 - 4.0 * absP);
    square = p >= 0.0f ? 1.0f : -1.0f;
    if (p == -0.5f)
        random = DrawRandom();
    risingSaw = 2.0f * p;
    fallingSaw = -2.0f * p;
}

float TmultiAll::DrawRandom() noexcept {
    return static_cast<float>(2.0 * (host::RandomGenerator::Next() - 0.5));
}

void TmultiAll::SetPhase(float value) noexcept {
    phase = value - increment;
}

} // namespace engine
