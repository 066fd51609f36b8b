#pragma once

#include "engine/AudioEngine.h"
#include "engine/LineClearing.h"
#include "engine/TFastP2F.h"
#include "engine/fast/FastFrames.h"
#include "engine/fast/Isa.h"

#include <array>
#include <memory>

namespace engine {

// The frame engine the effect ships with. The delay lines, feedback loop and every state it keeps give
// the reference engine's values bit for bit; what only reaches the output (voices that neither feed back
// nor are filtered, pan, amplitude, the voice sums and the mix) is float arithmetic, a few units in the
// last place from the reference's (FrameKernel.h says which is which, and why).
//
// Each block starts with a plan (the voices in use, their constants, which modulations are active) and the
// coefficients that stay fixed over the block; the frames then run in the kernel of the instruction set
// chosen when the module was loaded, in sub-blocks: the delays and line reads of many frames at once, the
// LFOs and filters frame by frame with the voices as lanes. The kernel's state (FrameState) is the only
// copy of the LFOs, smoothers, filters and feedback taps; the lines are planar with mirrored ends.
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
    void ResetNonFiniteStates(const EngineSnapshot& values) noexcept override;
    float LfoOutput(int lfo) const noexcept override { return state_.out[lfo]; }

    Isa InstructionSet() const noexcept { return isa_; }
    // The engine's state between blocks (tests look into it and poison it).
    fast::FrameState& State() noexcept { return state_; }

private:
    void Plan(const BlockContext& block, bool lfosFinite);
    // Whether the plan was made for these values (then it stands as it is).
    bool Planned(const BlockContext& block, bool lfosFinite) const noexcept;
    void StartBlock(const BlockContext& block);
    void ResetFilter(int channel, int voice) noexcept;
    void ResetLfo(int lfo, float offset) noexcept;
    bool LfoFinite(int lfo) const noexcept;

    Isa isa_;
    fast::FrameKernel kernel_;
    TFastP2F pitchToFreq_;
    LineClearing clearing_{kDelayCapacity};
    fast::FramePlan plan_;
    // What the plan was made from: the values' bytes and the block's numbers it reads.
    struct PlannedFor {
        bool valid = false;
        bool lfosFinite = true;
        int bufferLength = 0;
        float sampleRate = 0, activeScale = 0, feedbackScale = 0;
        alignas(8) unsigned char values[sizeof(EngineSnapshot)] = {};
    } planned_;
    fast::FrameState state_;
    // Both lines, each with its mirror before and room for a vector's spill after.
    static constexpr int kLineStride = kDelayCapacity + 2 * fast::kGuard;
    alignas(64) std::array<float, 2 * kLineStride> line_{};
};

// The frame engine the effect ships with, on the instruction set of ActiveIsa().
std::unique_ptr<AudioEngine> CreateFastEngine();
// The same on a given instruction set, if available (else on the fastest available one).
std::unique_ptr<FastEngine> CreateFastEngine(Isa isa);

} // namespace engine
