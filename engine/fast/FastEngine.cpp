#include "engine/fast/FastEngine.h"

#include "engine/FastMath.h"

#include <initializer_list>

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

void FastEngine::ServeFill(bool requested, float value, int budget) noexcept {
    if (requested)
        clearing_.Start(value, state_.writePos);
    clearing_.Step(budget, [this](int first, int last) {
        const float fill = clearing_.Value();
        for (int p = first; p < last; ++p) {
            line_[static_cast<std::size_t>(2 * (p + fast::kGuard))] = fill;
            line_[static_cast<std::size_t>(2 * (p + fast::kGuard) + 1)] = fill;
        }
    });
}

EngineStates FastEngine::States() const noexcept {
    auto& self = const_cast<FastEngine&>(*this);
    return {self.filtersL_,         self.filtersR_,        self.lfos_,        self.smoothers_,
            self.state_.out,        self.state_.syncInput, self.tapL_.data(), self.tapR_.data(),
            self.voiceOutL_.data(), self.voiceOutR_.data()};
}

bool FastEngine::StatesFinite() const noexcept {
    return engine::StatesFinite(States());
}

void FastEngine::ResetNonFiniteStates(const EngineSnapshot& values) noexcept {
    engine::ResetNonFiniteStates(States(), values);
    clearing_.Start(0.0f, state_.writePos);
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
        p.delay[s] = e.Delay[k];
        p.modDelAmp[s] = e.ModDelAmp[k];
        p.delIx[s] = e.ModDelIx[k];
        p.gainL[s] = static_cast<float>(1.0 - e.Pan[k]);
        p.gainR[s] = e.Pan[k];
        p.modPanAmp[s] = e.ModPanAmp[k];
        p.panIx[s] = e.ModPanIx[k];
        p.amp[s] = e.Amp[k];
        p.modAmpAmp[s] = e.ModAmpAmp[k];
        p.ampIx[s] = e.ModAmpIx[k];
        p.filtered[s] = code != 0 ? kTrue64 : 0;
        p.filteredF[s] = code != 0 ? kTrue32 : 0;
        if (code != 0) {
            const auto& row = FilterMix[static_cast<std::size_t>(code / 3 - 1)];
            p.mixLow[s] = row[0];
            p.mixBand[s] = row[1];
            p.mixHigh[s] = row[2];
        }
        p.freq[s] = e.Freq[k];
        p.modFrqAmp[s] = e.ModFrqAmp[k];
        p.frqIx[s] = e.ModFrqIx[k];
        p.resonance[s] = e.Res[k];
        p.damping[s] = TSVC3::Damping(e.Res[k]);
        p.maxCoefficient[s] = TSVC3::MaxFrequencyCoefficient(p.damping[s]);
        p.delayModulated = p.delayModulated || e.ModDelAmp[k] != 0.0f;
        p.panModulated = p.panModulated || e.ModPanAmp[k] > 0.0f;
        p.ampModulated = p.ampModulated || e.ModAmpAmp[k] != 0.0f;
        p.anyFilter = p.anyFilter || code != 0;
        p.cutoffModulated = p.cutoffModulated || (code != 0 && e.ModFrqAmp[k] != 0.0f);
    }
    // Slots beyond the voices in use read the line where the first slot does, so they neither widen the
    // range of delays nor leave the line, and add zeros to the voice sum.
    for (int s = p.slots; s < fast::kSlots; ++s) {
        const int first = p.slots > 0 ? 0 : s;
        p.delay[s] = p.slots > 0 ? p.delay[first] : 0.5;
        p.modDelAmp[s] = p.slots > 0 ? p.modDelAmp[first] : 0.0;
        p.delIx[s] = p.slots > 0 ? p.delIx[first] : 0;
        p.modPanAmp[s] = p.modAmpAmp[s] = p.modFrqAmp[s] = 0.0;
        p.gainL[s] = p.gainR[s] = p.amp[s] = 0.0;
        p.panIx[s] = p.ampIx[s] = p.frqIx[s] = 0;
        p.filtered[s] = 0;
        p.filteredF[s] = 0;
    }

    // Every voice's feedback tap in voice order: this block's lane for a voice switched on, the kept tap
    // for one switched off.
    p.all.count = p.feeding.count = 0;
    for (int k = 0; k < kVoiceCount; ++k) {
        const int index = slotOf[k] >= 0 ? 2 * slotOf[k] : 2 * (fast::kSlots + k);
        for (fast::FramePlan::FeedList* list : {&p.all, &p.feeding}) {
            if (list == &p.feeding && e.Feeds[k] == 0.0f)
                continue;
            list->index[list->count] = index;
            list->feeds[list->count][0] = list->feeds[list->count][1] = e.Feeds[k];
            ++list->count;
        }
    }

    p.length = block.bufferLength;
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
    p.stateLimitGain = TSVC3::kStateLimitGain;
    p.stateLimitFloor = TSVC3::kStateLimitFloor;
    p.pitchTable = pitchToFreq_.table.data();

    p.anySmoothing = p.anySync = false;
    p.commonShape = -1;
    for (int k = 0; k < kLfoCount; ++k) {
        const int shape = e.Shape[k];
        const bool stepping = shape != 0;
        if (stepping)
            p.commonShape = p.commonShape == -1 || p.commonShape == shape ? shape : 0;
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
    if (p.commonShape < 0)
        p.commonShape = 0;
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
        state_.coefficient[s] = filtersL_[k].frequencyCoefficient;
        state_.damping[s] = filtersL_[k].damping;
        state_.lastFrequency[s] = filtersL_[k].lastFrequency;
        state_.lastResonance[s] = filtersL_[k].lastResonance;
        for (int c = 0; c < 2; ++c) {
            const TSVC3& filter = c == 0 ? filtersL_[k] : filtersR_[k];
            state_.low[c][s] = filter.lowState;
            state_.high[c][s] = filter.highState;
            state_.band[c][s] = filter.bandState;
            state_.lowOut[c][s] = filter.lowOut;
            state_.highOut[c][s] = filter.highOut;
            state_.bandOut[c][s] = filter.bandOut;
            state_.inputPeak[c][s] = filter.inputPeak;
            state_.stateLimit[c][s] = filter.stateLimit;
            state_.tap[2 * s + c] = c == 0 ? tapL_[k] : tapR_[k];
        }
    }
    // Every voice's kept tap after the slots' taps: those of the voices switched off stay as they are.
    for (int k = 0; k < kVoiceCount; ++k) {
        state_.tap[2 * (fast::kSlots + k)] = tapL_[k];
        state_.tap[2 * (fast::kSlots + k) + 1] = tapR_[k];
    }
    state_.filling = clearing_.Active();
    state_.fillValue = clearing_.Value();
    state_.fill = clearing_.Window();
    // The guard mirrors the last three samples of the line in use, whatever its length was before.
    const int length = plan_.length;
    for (int i = 0; i < 2 * fast::kGuard; ++i)
        line_[static_cast<std::size_t>(i)] = line_[static_cast<std::size_t>(2 * length + i)];
}

void FastEngine::EndBlock() {
    // A voice switched off outputs silence in every frame.
    voiceOutL_.fill(0.0f);
    voiceOutR_.fill(0.0f);
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
            // Both channels' filters always see the same cut-off and resonance.
            TSVC3& filter = c == 0 ? filtersL_[k] : filtersR_[k];
            filter.lowState = static_cast<float>(state_.low[c][s]);
            filter.highState = static_cast<float>(state_.high[c][s]);
            filter.bandState = static_cast<float>(state_.band[c][s]);
            filter.lowOut = state_.lowOut[c][s];
            filter.highOut = state_.highOut[c][s];
            filter.bandOut = state_.bandOut[c][s];
            filter.inputPeak = state_.inputPeak[c][s];
            filter.stateLimit = state_.stateLimit[c][s];
            filter.frequencyCoefficient = state_.coefficient[s];
            filter.damping = state_.damping[s];
            filter.lastFrequency = state_.lastFrequency[s];
            filter.lastResonance = state_.lastResonance[s];
            (c == 0 ? tapL_ : tapR_)[k] = state_.tap[2 * s + c];
            (c == 0 ? voiceOutL_ : voiceOutR_)[k] = state_.lastVoiceOut[2 * s + c];
        }
    }
    if (state_.filling)
        clearing_.SetWindow(state_.fill);
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
