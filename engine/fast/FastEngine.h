#pragma once

#include "engine/AudioEngine.h"
#include "engine/EngineStates.h"
#include "engine/LineClearing.h"
#include "engine/TFastP2F.h"
#include "engine/TLp1.h"
#include "engine/TSVC3.h"
#include "engine/TmultiAll.h"
#include "engine/fast/FastFrames.h"
#include "engine/fast/Isa.h"

#include <array>
#include <memory>

namespace engine {

// The frame engine the effect ships with. It gives the reference engine's output bit for bit, with
// vectors: the eight LFOs step together, and the voices switched on run as vector lanes, left and right
// side by side; the delay lines are one interleaved stereo line with a guard so that a voice's four taps
// are one load. Each block starts with a plan (the voices in use, their constants, which modulations are
// active) and the coefficients that stay fixed over the block; the frames then run in the kernel of the
// instruction set chosen when the module was loaded.
//
// LFOs, smoothers and filters keep their state in the same block objects as the reference engine between
// blocks, so both engines share the check and reset of states that are not finite; the kernel works on
// vector copies of it during a block.
class FastEngine final : public AudioEngine {
public:
    explicit FastEngine(Isa isa);
    // The same with another kernel for the frames (tests of kernels no processor here runs).
    FastEngine(Isa isa, fast::FrameKernel kernel) : FastEngine(isa) { kernel_ = kernel; }

    void Render(const BlockContext& block, const float* inL, const float* inR, float* outL, float* outR,
                int frames) noexcept override;
    void RestartLfos(const EngineSnapshot& values) noexcept override;
    void ServeFill(bool requested, float value, int budget) noexcept override;
    bool FillInProgress() const noexcept override { return clearing_.Active(); }
    bool StatesFinite() const noexcept override;
    // The states the end-of-block check looks at, in the signal-processing blocks between blocks.
    EngineStates States() const noexcept;
    void ResetNonFiniteStates(const EngineSnapshot& values) noexcept override;
    float LfoOutput(int lfo) const noexcept override { return state_.out[lfo]; }

    Isa InstructionSet() const noexcept { return isa_; }

private:
    void Plan(const BlockContext& block);
    void StartBlock(const BlockContext& block);
    void EndBlock();

    Isa isa_;
    fast::FrameKernel kernel_;
    TFastP2F pitchToFreq_;
    std::array<TmultiAll, kLfoCount> lfos_{};
    std::array<TLp1, kLfoCount> smoothers_{};
    std::array<TSVC3, kVoiceCount> filtersL_{};
    std::array<TSVC3, kVoiceCount> filtersR_{};
    std::array<float, kVoiceCount> tapL_{}; // feedback taps and the last frame's outputs, by voice
    std::array<float, kVoiceCount> tapR_{};
    std::array<float, kVoiceCount> voiceOutL_{};
    std::array<float, kVoiceCount> voiceOutR_{};
    LineClearing clearing_{kDelayCapacity};
    fast::FramePlan plan_;
    fast::FrameState state_;
    alignas(64) std::array<float, 2 * (kDelayCapacity + fast::kGuard)> line_{};
};

// The frame engine the effect ships with, on the instruction set of ActiveIsa().
std::unique_ptr<AudioEngine> CreateFastEngine();
// The same on a given instruction set, if available (else on the fastest available one).
std::unique_ptr<FastEngine> CreateFastEngine(Isa isa);

} // namespace engine
