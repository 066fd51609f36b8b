#include "engine/EngineStates.h"

#include <cmath>
#include <initializer_list>

namespace engine {

namespace {

bool Finite(std::initializer_list<float> values) {
    double sum = 0.0;
    for (float v : values)
        sum += v;
    return std::isfinite(sum);
}

bool FilterFinite(const TSVC3& f) {
    return Finite({f.lowOut, f.highOut, f.bandOut, f.lowState, f.highState, f.bandState});
}

bool LfoFinite(const EngineStates& s, int k) {
    const TmultiAll& o = s.lfos[k];
    const TLp1& m = s.smoothers[k];
    return Finite({o.parabolic, o.triangle, o.risingSaw, o.fallingSaw, o.square, o.random, s.lfoOut[k],
                   s.syncInput[k], m.output, m.previousInput, m.previousOutput});
}

bool VoiceFinite(const EngineStates& s, int k) {
    return Finite({s.tapL[k], s.tapR[k], s.voiceOutL[k], s.voiceOutR[k]});
}

} // namespace

bool StatesFinite(const EngineStates& s) noexcept {
    bool finite = true;
    for (int k = 0; k < kVoiceCount; ++k)
        finite &= FilterFinite(s.filtersL[k]) && FilterFinite(s.filtersR[k]) && LfoFinite(s, k) &&
                  VoiceFinite(s, k);
    return finite;
}

std::uint32_t ResetNonFiniteStates(const EngineStates& s, const EngineSnapshot& values) noexcept {
    std::uint32_t lfosReset = 0;
    for (int k = 0; k < kVoiceCount; ++k) {
        if (!FilterFinite(s.filtersL[k]))
            s.filtersL[k] = TSVC3{};
        if (!FilterFinite(s.filtersR[k]))
            s.filtersR[k] = TSVC3{};
        if (!VoiceFinite(s, k))
            s.tapL[k] = s.tapR[k] = s.voiceOutL[k] = s.voiceOutR[k] = 0.0f;
        if (!LfoFinite(s, k)) {
            s.lfos[k] = TmultiAll{};
            s.lfos[k].SetPhase(values.SyncOf[k]);
            s.smoothers[k] = TLp1{};
            s.lfoOut[k] = 0.0f;
            s.syncInput[k] = 0.0f;
            lfosReset |= 1u << k;
        }
    }
    return lfosReset;
}

} // namespace engine
