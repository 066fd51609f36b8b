#pragma once

#include "engine/AudioEngine.h"
#include "engine/EngineStates.h"
#include "engine/EngineValues.h"
#include "engine/LineClearing.h"
#include "engine/TFastP2F.h"
#include "engine/TLp1.h"
#include "engine/TSVC3.h"
#include "engine/TmultiAll.h"

#include <array>
#include <cstdint>

namespace engine {

// The frame engine written as the behaviour is defined: frame by frame, voice by voice, LFO by LFO, every
// float rounded where the definition stores one and every expression evaluated in double. It is the
// measure of the fast engine, which must give the same bits; the shipped effect does not contain it.
//
// The object holds both delay lines (about 5.6 MB): create it on the heap.
class ReferenceEngine final : public AudioEngine {
public:
    void Render(const BlockContext& block, const float* inL, const float* inR, float* outL, float* outR,
                int frames) noexcept override;
    void RestartLfos(const EngineSnapshot& values) noexcept override;
    void ServeFill(bool requested, float value, int budget) noexcept override;
    bool FillInProgress() const noexcept override { return clearing_.Active(); }
    bool StatesFinite() const noexcept override;
    // The states the end-of-block check looks at, in the signal-processing blocks between blocks.
    EngineStates States() const noexcept;
    void ResetNonFiniteStates(const EngineSnapshot& values) noexcept override;
    float LfoOutput(int lfo) const noexcept override { return LfoOut[static_cast<std::size_t>(lfo)]; }

    TFastP2F PitchToFreq;
    std::array<float, kDelayCapacity> DelayLineL{};
    std::array<float, kDelayCapacity> DelayLineR{};
    std::array<TmultiAll, kLfoCount> Lfos{};
    std::array<TSVC3, kVoiceCount> FiltersL{};
    std::array<TSVC3, kVoiceCount> FiltersR{};
    std::array<TLp1, kLfoCount> LfoSmoothers{};

    std::array<float, kLfoCount> SyncInput{}; // sync source's output as seen at the LFO's last step
    std::array<float, kLfoCount> LfoOut{};    // unipolar 0..1 after smoothing
    std::array<std::array<float, 8>, kLfoCount> ShapeOutputs{}; // 0, then the six waveforms
    std::array<float, kVoiceCount> VoiceOutL{};
    std::array<float, kVoiceCount> VoiceOutR{};
    std::array<float, kVoiceCount> FeedbackTapL{}; // post-filter output of the last active frame + 1e-8
    std::array<float, kVoiceCount> FeedbackTapR{};
    std::int32_t WritePos = 0;

private:
    template <bool kFilling>
    void RenderFrames(const BlockContext& block, const float* inL, const float* inR, float* outL, float* outR,
                      int frames);
    void StepLfos(const BlockContext& block);

    LineClearing clearing_{kDelayCapacity};
};

} // namespace engine
