#pragma once

#include "engine/EngineValues.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace engine {

// Input samples beyond this magnitude (about 300 dB above full scale) are clipped to it. Any finite
// sample is then small enough that the input gain, the filters' resonance, the voice sum and the
// output gain cannot carry it past the largest float, where it would turn into an infinity that
// stays in the delay lines and the filter states for good. No real signal comes near it.
inline constexpr float kInputLimit = 1e15f;

// A host input sample as the engines take it: not-a-number and infinities as silence, the rest
// within the input limit.
inline float EngineInput(float x) noexcept {
    return std::isfinite(x) ? std::clamp(x, -kInputLimit, kInputLimit) : 0.0f;
}

// What the block steps of the effect core hand to the frame engine for one block: this block's engine values
// and the quantities derived from them once per block.
struct BlockContext {
    const EngineSnapshot* values = nullptr;
    float sampleRate = 44100.0f;
    int bufferLength = 44100;               // samples of the lines in use
    float activeScale = 1.0f;               // 0.94 per voice switched on
    float feedbackScale = 1.0f;             // 0.94 per voice switched on with non-zero feedback
    std::array<float, kLfoCount> lfoRate{}; // rate in Hz of each LFO for this block
};

// The frame engine: the delay lines, voices, filters and LFOs with all their state, run frame by frame
// over a block. The effect core (EffectCore) owns one and calls it from the audio thread only. The shipped
// effect runs the fast engine; the straightforward reference engine, which the fast one must equal bit for
// bit, exists in the tests and benchmarks.
class AudioEngine {
public:
    virtual ~AudioEngine() = default;

    // Renders `frames` frames (at least 1) of the stereo input into the stereo output. The input is the
    // host's: samples that are not finite numbers count as silence.
    virtual void Render(const BlockContext& block, const float* inL, const float* inR, float* outL,
                        float* outR, int frames) noexcept = 0;
    // Restarts every LFO so that its next step reaches its offset (the transport changed).
    virtual void RestartLfos(const EngineSnapshot& values) noexcept = 0;
    // The start of every block, with frames or without: a fill request (panic, preset load) makes every
    // position of both lines read `value` from now on, except where the engine writes afterwards; the
    // lines themselves are rewritten over the blocks, at most `budget` stale samples of each per block.
    virtual void ServeFill(bool requested, float value, int budget) noexcept = 0;
    // Whether a fill is still being written into the lines.
    virtual bool FillInProgress() const noexcept = 0;
    // Whether every state the engine keeps from block to block is a finite number.
    virtual bool StatesFinite() const noexcept = 0;
    // Resets every state that is not a finite number, and fills the lines with 0 (they may hold what the
    // poisoned state wrote).
    virtual void ResetNonFiniteStates(const EngineSnapshot& values) noexcept = 0;
    // Output of LFO `lfo` after its last step, unipolar 0..1.
    virtual float LfoOutput(int lfo) const noexcept = 0;
};

} // namespace engine
