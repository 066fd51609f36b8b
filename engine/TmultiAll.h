#pragma once

namespace engine {

// Phase oscillator for the LFOs: one phase in -0.5..+0.5 and six waveforms computed from it at every
// step. Rate in hertz, sample rate in hertz; all state is float and every intermediate is rounded to
// float, so a cycle lasts as many samples as the float phase takes to pass +0.5 (40,090 at 1.1 Hz and
// 44.1 kHz), after which the phase restarts at -0.5 and the overshoot is dropped.
//
// Outputs, with p = phase:
//   parabolic   8 u (1 - 2|u|), u = 0.25 - |p|: +1 at p = 0, -1 at p = +-0.5, a parabolic sine
//   triangle    1 - 4|p|
//   rising saw  2p,  falling saw -2p
//   square      +1 for p >= 0, else -1
//   random      2 (R - 0.5) with R the next value of the module-wide generator, drawn only in a step
//               that leaves the phase at exactly -0.5, and held otherwise.
// A rate of 0 stands still; an infinite rate wraps to -0.5 at every step. A phase that is not a finite
// number (SetPhase with an infinite increment) also restarts at -0.5, and a phase below -0.5 wraps to
// +0.5 with a negative rate and restarts at -0.5 otherwise (a restart placed with a larger increment
// than the step then uses), so every step ends with the phase within -0.5..+0.5 and the outputs within
// -1..+1 whatever the rate.
class TmultiAll {
public:
    // One step. The increment is recomputed only when the rate changes, not when only the sample rate
    // does.
    void Advance(float rate, float sampleRate) noexcept;
    // The first part of a step: recomputes the increment if the rate changed.
    void SetRate(float rate, float sampleRate) noexcept;
    // The phase increment per sample for a rate.
    static float Increment(float rate, float sampleRate) noexcept;
    // The value of the "Random" shape after a draw: 2 (R - 0.5), R the next value of the module-wide
    // generator.
    static float DrawRandom() noexcept;
    // Places the phase so that the next Advance reaches value (value - the current increment).
    void SetPhase(float value) noexcept;

    float increment = 0;
    float lastRate = 0;
    float parabolic = 0;
    float triangle = 0;
    float risingSaw = 0;
    float fallingSaw = 0;
    float square = 0;
    float random = 0;
    float phase = 0;
};

} // namespace engine
