#pragma once

#include "engine/EngineValues.h"
#include "engine/TLp1.h"
#include "engine/TSVC3.h"
#include "engine/TmultiAll.h"

#include <array>
#include <cstdint>

namespace engine {

// The states a frame engine carries from block to block in its signal-processing blocks and per voice
// and LFO: what the end-of-block check for states that are not finite numbers looks at. Both frame
// engines keep them in this form between blocks, so one check and one reset serve both.
struct EngineStates {
    std::array<TSVC3, kVoiceCount>& filtersL;
    std::array<TSVC3, kVoiceCount>& filtersR;
    std::array<TmultiAll, kLfoCount>& lfos;
    std::array<TLp1, kLfoCount>& smoothers;
    float* lfoOut;    // per LFO, unipolar after smoothing
    float* syncInput; // per LFO
    float* tapL;      // per voice: feedback taps and the last frame's voice outputs
    float* tapR;
    float* voiceOutL;
    float* voiceOutR;
};

// Whether every state is a finite number.
bool StatesFinite(const EngineStates& states) noexcept;

// Resets every filter, voice (taps and outputs) and LFO (oscillator, smoother, output, sync input) with
// a state that is not a finite number; an LFO restarts at its offset. Answers a bit per LFO reset.
std::uint32_t ResetNonFiniteStates(const EngineStates& states, const EngineSnapshot& values) noexcept;

} // namespace engine
