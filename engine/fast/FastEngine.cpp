#include "engine/fast/FastEngine.h"

#include "engine/FastMath.h"

namespace engine {

namespace fast {

float DrawRandom() noexcept {
    return TmultiAll::DrawRandom();
}

double LimiterSine(double x) noexcept {
    return PortableSin(x);
}

} // namespace fast

namespace {

fast::FrameKernel KernelFor(Isa isa) {
#if VORELAN_FAST_AVX
    if (isa == Isa::Avx512)
        return fast::FrameKernelAvx512();
    if (isa == Isa::Avx2)
        return fast::FrameKernelAvx2();
#endif
    (void)isa;
    return fast::FrameKernelSse2();
}

constexpr std::int32_t kTrue32 = -1;
constexpr std::int64_t kTrue64 = -1;

} // namespace

FastEngine::FastEngine(Isa isa) : isa_(isa), kernel_(KernelFor(isa)) {
    plan_ = fast::FramePlan{};
    state_ = fast::FrameState{};
    state_.line = line_.data();
}

void FastEngine::RestartLfos(const EngineSnapshot& values) noexcept {
    for (int k = 0; k < kLfoCount; ++k)
        lfos_[k].SetPhase(values.SyncOf[k]);
}

void FastEngine::FillLines(float value) noexcept {
    line_.fill(value);
}

// The block's plan: the voices switched on in slots, their constants per lane, the LFOs' shapes, sync
// sources and smoothing.
void FastEngine::Plan(const BlockContext& block) {
    const EngineSnapshot& e = *block.values;
    fast::FramePlan& p = plan_;
    p.slots = 0;
    p.delayModulated = p.panModulated = p.ampModulated = p.anyFilter = p.cutoffModulated = false;
    std::array<int, kVoiceCount> slotOf{};
    for (int k = 0; k < kVoiceCount; ++k) {
        slotOf[k] = -1;
        if (e.Pow[k] == 0)
            continue;
        const int s = p.slots++;
        slotOf[k] = s;
        p.slotVoice[s] = k;
        const int code = e.FType[k];
        for (int c = 0; c < 2; ++c) {
            const int lane = 2 * s + c;
            p.delay[lane] = e.Delay[k];
            p.modDelAmp[lane] = e.ModDelAmp[k];
            p.delIx[lane] = e.ModDelIx[k];
            p.gain[lane] = c == 0 ? static_cast<float>(1.0 - e.Pan[k]) : e.Pan[k];
            p.modPanAmp[lane] = e.ModPanAmp[k];
            p.panIx[lane] = e.ModPanIx[k];
            p.rightLane[lane] = c == 1 ? kTrue64 : 0;
            p.amp[lane] = e.Amp[k];
            p.modAmpAmp[lane] = e.ModAmpAmp[k];
            p.ampIx[lane] = e.ModAmpIx[k];
            p.filtered[lane] = code != 0 ? kTrue64 : 0;
            p.filteredF[lane] = code != 0 ? kTrue32 : 0;
            if (code != 0) {
                const auto& row = FilterMix[static_cast<std::size_t>(code / 3 - 1)];
                p.mixLow[lane] = row[0];
                p.mixBand[lane] = row[1];
                p.mixHigh[lane] = row[2];
            }
            p.freq[lane] = e.Freq[k];
            p.modFrqAmp[lane] = e.ModFrqAmp[k];
            p.frqIx[lane] = e.ModFrqIx[k];
            p.resonance[lane] = e.Res[k];
            p.damping[lane] = TSVC3::Damping(e.Res[k]);
            p.maxCoefficient[lane] = TSVC3::MaxFrequencyCoefficient(p.damping[lane]);
        }
        p.delayModulated = p.delayModulated || e.ModDelAmp[k] != 0.0f;
        p.panModulated = p.panModulated || e.ModPanAmp[k] > 0.0f;
        p.ampModulated = p.ampModulated || e.ModAmpAmp[k] != 0.0f;
        p.anyFilter = p.anyFilter || code != 0;
        p.cutoffModulated = p.cutoffModulated || (code != 0 && e.ModFrqAmp[k] != 0.0f);
    }
    // Lanes beyond the voices in use read the line harmlessly and are never summed.
    for (int lane = 2 * p.slots; lane < fast::kLanes; ++lane) {
        p.delay[lane] = p.modDelAmp[lane] = p.modPanAmp[lane] = p.modAmpAmp[lane] = p.modFrqAmp[lane] = 0.0;
        p.delIx[lane] = p.panIx[lane] = p.ampIx[lane] = p.frqIx[lane] = 0;
        p.filtered[lane] = 0;
        p.filteredF[lane] = 0;
    }

    // Every voice's feedback tap in voice order: this block's lane for a voice switched on, the kept tap
    // for one switched off.
    p.feedCount = kVoiceCount;
    for (int k = 0; k < kVoiceCount; ++k) {
        p.feedTap[k] = slotOf[k] >= 0 ? &state_.tap[2 * slotOf[k]] : &taps_[2 * static_cast<std::size_t>(k)];
        p.feeds[k] = e.Feeds[k];
    }

    p.length = e.BufferLength;
    p.lengthMinus1 = p.length - 1;
    p.lengthMinus1f = static_cast<float>(p.length - 1);
    p.inpGain = e.InpGain;
    p.feedbackScale = block.feedbackScale;
    p.mix = e.Mix;
    p.dryGain = 1.0 - p.mix;
    p.outGain = e.OutGain;
    p.activeScale = block.activeScale;
    p.sampleRate = block.sampleRate;
    p.inputLimit = kInputLimit;
    p.pitchTable = pitchToFreq_.table.data();

    p.anySmoothing = p.anySync = false;
    for (int k = 0; k < kLfoCount; ++k) {
        const int shape = e.Shape[k];
        const bool stepping = shape != 0;
        p.stepping[k] = stepping ? kTrue32 : 0;
        for (int i = 0; i < 6; ++i)
            p.shape[i][k] = shape == i + 1 ? kTrue32 : 0;
        const bool smoothing = stepping && e.SmoothFreq[k] > 0.0f;
        p.smoothing[k] = smoothing ? kTrue32 : 0;
        p.smoothing64[k] = smoothing ? kTrue64 : 0;
        p.anySmoothing = p.anySmoothing || smoothing;
        p.syncOffset[k] = e.SyncOf[k];
        const int source = e.SyncIx[k];
        p.syncSource[k] = static_cast<std::int8_t>(source);
        p.syncKind[k] = source == k ? 0 : (source < k && e.Shape[source] != 0) ? 1 : 2;
        p.anySync = p.anySync || (stepping && source != k);
    }
}

// Coefficients that stay fixed over the block, and the state copied into lanes.
void FastEngine::StartBlock(const BlockContext& block) {
    const EngineSnapshot& e = *block.values;
    const float sampleRate = block.sampleRate;
    for (int k = 0; k < kLfoCount; ++k) {
        TmultiAll& lfo = lfos_[k];
        if (plan_.stepping[k] != 0)
            lfo.SetRate(block.lfoRate[k], sampleRate);
        state_.phase[k] = lfo.phase;
        state_.increment[k] = lfo.increment;
        state_.random[k] = lfo.random;
        TLp1& smoother = smoothers_[k];
        if (plan_.smoothing[k] != 0)
            smoother.SetCutoff(e.SmoothFreq[k], sampleRate);
        state_.smoothA0[k] = smoother.a0;
        state_.smoothB1[k] = smoother.b1;
        state_.smoothX1[k] = smoother.previousInput;
        state_.smoothY1[k] = smoother.previousOutput;
    }
    for (int s = 0; s < plan_.slots; ++s) {
        const int k = plan_.slotVoice[s];
        // An unmodulated cut-off is the same in every frame: its coefficients are settled here.
        if (e.FType[k] != 0 && e.ModFrqAmp[k] == 0.0f) {
            const float frequency = pitchToFreq_.Convert(e.Freq[k]);
            filtersL_[k].SetCoefficients(frequency, e.Res[k], sampleRate);
            filtersR_[k].SetCoefficients(frequency, e.Res[k], sampleRate);
        }
        for (int c = 0; c < 2; ++c) {
            const TSVC3& filter = c == 0 ? filtersL_[k] : filtersR_[k];
            const int lane = 2 * s + c;
            state_.low[lane] = filter.lowState;
            state_.high[lane] = filter.highState;
            state_.band[lane] = filter.bandState;
            state_.coefficient[lane] = filter.frequencyCoefficient;
            state_.damping[lane] = filter.damping;
            state_.lastFrequency[lane] = filter.lastFrequency;
            state_.lastResonance[lane] = filter.lastResonance;
            state_.tap[lane] = taps_[2 * static_cast<std::size_t>(k) + c];
        }
    }
    // The guard mirrors the last three samples of the line in use, whatever its length was before.
    const int length = plan_.length;
    for (int i = 0; i < 2 * fast::kGuard; ++i)
        line_[static_cast<std::size_t>(i)] = line_[static_cast<std::size_t>(2 * length + i)];
}

void FastEngine::EndBlock() {
    for (int k = 0; k < kLfoCount; ++k) {
        lfos_[k].phase = state_.phase[k];
        lfos_[k].random = state_.random[k];
        TLp1& smoother = smoothers_[k];
        smoother.previousInput = static_cast<float>(state_.smoothX1[k]);
        smoother.previousOutput = static_cast<float>(state_.smoothY1[k]);
        smoother.output = smoother.previousOutput;
    }
    for (int s = 0; s < plan_.slots; ++s) {
        const int k = plan_.slotVoice[s];
        for (int c = 0; c < 2; ++c) {
            TSVC3& filter = c == 0 ? filtersL_[k] : filtersR_[k];
            const int lane = 2 * s + c;
            filter.lowState = static_cast<float>(state_.low[lane]);
            filter.highState = static_cast<float>(state_.high[lane]);
            filter.bandState = static_cast<float>(state_.band[lane]);
            filter.frequencyCoefficient = state_.coefficient[lane];
            filter.damping = state_.damping[lane];
            filter.lastFrequency = state_.lastFrequency[lane];
            filter.lastResonance = state_.lastResonance[lane];
            taps_[2 * static_cast<std::size_t>(k) + c] = state_.tap[lane];
        }
    }
}

void FastEngine::Render(const BlockContext& block, const float* inL, const float* inR, float* outL,
                        float* outR, int frames) noexcept {
    Plan(block);
    StartBlock(block);
    kernel_(plan_, state_, inL, inR, outL, outR, frames);
    EndBlock();
}

std::unique_ptr<AudioEngine> CreateFastEngine() {
    return std::make_unique<FastEngine>(ActiveIsa());
}

std::unique_ptr<FastEngine> CreateFastEngine(Isa isa) {
    return std::make_unique<FastEngine>(ChooseIsa(IsaName(isa)));
}

} // namespace engine
