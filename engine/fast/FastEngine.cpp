#include "engine/fast/FastEngine.h"

#include "engine/DspConstants.h"
#include "engine/FastMath.h"
#include "engine/ParameterTable.h"
#include "engine/TLp1.h"
#include "engine/TSVC3.h"
#include "engine/TmultiAll.h"

#include <bit>
#include <cmath>
#include <cstring>
#include <initializer_list>
#include <type_traits>

namespace engine {

// The kernel's lanes and lists are sized by the parameter table's voices and LFOs.
static_assert(fast::kVoices == kVoiceCount && fast::kLfos == kLfoCount);
static_assert(kFirstLfoIndex - kFirstVoiceIndex == fast::kVoices * kVoiceKindCount,
              "one row of voice parameters per voice lane");
static_assert(kParameterCount - kFirstLfoIndex == fast::kLfos * kLfoKindCount, "one LFO lane per LFO");
static_assert(sizeof(fast::FramePlan::shape) / sizeof(fast::FramePlan::shape[0]) == 6,
              "one mask per LFO shape 1..6 (Shape 0 stops the LFO)");
static_assert(FilterMix.size() == 3, "filter codes 3, 6 and 9");
static_assert(TFastP2F::kOrigin == dspconst::kPitchOrigin && TFastP2F::kSize == dspconst::kPitchTableSize);

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

bool Finite(std::initializer_list<float> values) {
    double sum = 0.0;
    for (float v : values)
        sum += v;
    return std::isfinite(sum);
}

// Whether any of `count` values is not a finite number (all its exponent bits set).
template <typename T> bool AnyNonFinite(const T* values, int count) {
    using Bits = std::conditional_t<sizeof(T) == 4, std::uint32_t, std::uint64_t>;
    constexpr Bits kExponent =
        sizeof(T) == 4 ? static_cast<Bits>(0x7f800000u) : static_cast<Bits>(0x7ff0000000000000u);
    bool any = false;
    for (int i = 0; i < count; ++i)
        any |= (std::bit_cast<Bits>(values[i]) & kExponent) == kExponent;
    return any;
}

} // namespace

FastEngine::FastEngine(Isa isa) : isa_(isa), kernel_(KernelFor(isa)) {
    for (int c = 0; c < 2; ++c) {
        state_.line[c] = line_.data() + c * kLineStride + fast::kGuard;
        for (int v = 0; v < kVoiceCount; ++v)
            ResetFilter(c, v);
    }
    for (int k = 0; k < kLfoCount; ++k)
        ResetLfo(k, 0.0f);
}

// A filter as created: states at 1e-18, no coefficients yet.
void FastEngine::ResetFilter(int c, int v) noexcept {
    const TSVC3 fresh;
    fast::FrameState& s = state_;
    s.low[c][v] = fresh.lowState;
    s.high[c][v] = fresh.highState;
    s.band[c][v] = fresh.bandState;
    s.lowOut[c][v] = fresh.lowOut;
    s.highOut[c][v] = fresh.highOut;
    s.bandOut[c][v] = fresh.bandOut;
    s.inputPeak[c][v] = fresh.inputPeak;
    s.stateLimit[c][v] = fresh.stateLimit;
    s.coefficient[v] = fresh.frequencyCoefficient;
    s.damping[v] = fresh.damping;
    s.lastFrequency[v] = fresh.lastFrequency;
    s.lastResonance[v] = fresh.lastResonance;
}

// An LFO and its smoother as created, with the phase placed so that the next step reaches `offset`.
void FastEngine::ResetLfo(int k, float offset) noexcept {
    TmultiAll oscillator;
    oscillator.SetPhase(offset);
    const TLp1 smoother;
    fast::FrameState& s = state_;
    s.phase[k] = oscillator.phase;
    s.increment[k] = oscillator.increment;
    s.lastRate[k] = oscillator.lastRate;
    s.random[k] = oscillator.random;
    s.smoothA0[k] = smoother.a0;
    s.smoothB1[k] = smoother.b1;
    s.smoothCutoff[k] = smoother.lastCutoff;
    s.smoothX1[k] = smoother.previousInput;
    s.smoothY1[k] = smoother.previousOutput;
    s.out[k] = 0.0f;
    s.syncInput[k] = 0.0f;
}

void FastEngine::RestartLfos(const EngineSnapshot& values) noexcept {
    for (int k = 0; k < kLfoCount; ++k)
        state_.phase[k] = values.SyncOf[k] - state_.increment[k];
}

void FastEngine::ServeFill(bool requested, float value, int budget) noexcept {
    if (requested)
        clearing_.Start(value, state_.writePos);
    clearing_.Step(state_.line[0], state_.line[1], budget);
}

// An LFO's phase is not looked at: a restart with an infinite increment leaves it at minus infinity,
// and the next step starts it again at -0.5 (the waveforms, computed from the phase a step leaves, are
// always finite).
bool FastEngine::LfoFinite(int k) const noexcept {
    const fast::FrameState& s = state_;
    return Finite({s.random[k], s.out[k], s.syncInput[k], s.smoothX1[k], s.smoothY1[k]});
}

bool FastEngine::StatesFinite() const noexcept {
    const fast::FrameState& s = state_;
    bool nonFinite = false;
    for (const float* lfo : {s.random, s.out, s.syncInput, s.smoothX1, s.smoothY1})
        nonFinite |= AnyNonFinite(lfo, kLfoCount);
    // The filter states are doubles that each hold a float.
    for (const double* filter : {&s.low[0][0], &s.high[0][0], &s.band[0][0]})
        nonFinite |= AnyNonFinite(filter, 2 * kVoiceCount);
    for (const float* voice :
         {&s.lowOut[0][0], &s.highOut[0][0], &s.bandOut[0][0], &s.tap[0][0], &s.voiceOut[0][0]})
        nonFinite |= AnyNonFinite(voice, 2 * kVoiceCount);
    return !nonFinite;
}

// As the reference does: every filter, voice (taps and outputs) and LFO (oscillator, smoother, output,
// sync input) with a state that is not a finite number starts afresh, an LFO at its offset; then both
// lines are filled with 0, since they may hold what the poisoned state wrote.
void FastEngine::ResetNonFiniteStates(const EngineSnapshot& values) noexcept {
    fast::FrameState& s = state_;
    for (int v = 0; v < kVoiceCount; ++v) {
        for (int c = 0; c < 2; ++c)
            if (!Finite({static_cast<float>(s.low[c][v]), static_cast<float>(s.high[c][v]),
                         static_cast<float>(s.band[c][v]), s.lowOut[c][v], s.highOut[c][v], s.bandOut[c][v]}))
                ResetFilter(c, v);
        if (!Finite({s.tap[0][v], s.tap[1][v], s.voiceOut[0][v], s.voiceOut[1][v]}))
            s.tap[0][v] = s.tap[1][v] = s.voiceOut[0][v] = s.voiceOut[1][v] = 0.0f;
    }
    for (int k = 0; k < kLfoCount; ++k)
        if (!LfoFinite(k))
            ResetLfo(k, values.SyncOf[k]);
    clearing_.Start(0.0f, s.writePos);
}

// The block's plan: the voices switched on with their constants, the feedback lists, the LFOs' shapes,
// sync sources and smoothing.
void FastEngine::Plan(const BlockContext& block, bool lfosFinite) {
    const EngineSnapshot& e = *block.values;
    fast::FramePlan& p = plan_;
    planned_.valid = true;
    planned_.lfosFinite = lfosFinite;
    planned_.bufferLength = block.bufferLength;
    planned_.sampleRate = block.sampleRate;
    planned_.activeScale = block.activeScale;
    planned_.feedbackScale = block.feedbackScale;
    std::memcpy(planned_.values, &e, sizeof e);
    p.length = block.bufferLength;
    p.lengthMinus1 = p.length - 1;
    p.lengthMinus1f = static_cast<float>(p.length - 1);

    p.activeCount = 0;
    p.exactRead = p.floatRead = p.filterBits = p.feedBits = p.delayBits = p.panBits = p.ampBits = 0;
    p.cutoffBits = 0;
    // A modulation amount of 0 leaves its destination as it is only while the LFO's output is a number
    // (m * 0 is not a number otherwise); after a fault left one that is not, every destination is
    // modulated until the end of the block, when the state is reset.
    for (int v = 0; v < kVoiceCount; ++v) {
        const std::uint32_t bit = 1u << v;
        if (e.Feeds[v] != 0.0f)
            p.feedBits |= bit;
        const int code = e.Pow[v] != 0 ? e.FType[v] : 0;
        p.frqIx[v] = e.ModFrqIx[v];
        p.freq[v] = e.Freq[v];
        p.modFrqAmp[v] = e.ModFrqAmp[v];
        p.resonance[v] = e.Res[v];
        p.damping[v] = TSVC3::Damping(e.Res[v]);
        p.maxCoefficient[v] = TSVC3::MaxFrequencyCoefficient(p.damping[v]);
        const auto& row = FilterMix[static_cast<std::size_t>(code != 0 ? code / 3 - 1 : 0)];
        p.mixLow[v] = row[0];
        p.mixBand[v] = row[1];
        p.mixHigh[v] = row[2];
        if (e.Pow[v] == 0)
            continue;
        p.active[p.activeCount++] = v;
        if (code != 0) {
            p.filterBits |= bit;
            if (e.ModFrqAmp[v] != 0.0f || !lfosFinite)
                p.cutoffBits |= bit;
        }
        if (code != 0 || e.Feeds[v] != 0.0f)
            p.exactRead |= bit;
        else
            p.floatRead |= bit;

        p.delay[v] = e.Delay[v];
        p.modDelAmp[v] = e.ModDelAmp[v];
        p.delIx[v] = e.ModDelIx[v];
        if (e.ModDelAmp[v] != 0.0f || !lfosFinite) {
            p.delayBits |= bit;
        } else {
            // Without modulation the delay is the same in every frame.
            float delay = static_cast<float>(p.lengthMinus1 * e.Delay[v]);
            if (!(delay >= 0.0f))
                delay = 0.0f;
            else if (delay > p.lengthMinus1f)
                delay = p.lengthMinus1f;
            p.fixedWhole[v] = FastTrunc(delay);
            p.fixedT[v] = delay - static_cast<float>(p.fixedWhole[v]);
        }
        p.gainL[v] = 1.0f - e.Pan[v];
        p.gainR[v] = e.Pan[v];
        p.modPanAmp[v] = e.ModPanAmp[v];
        p.panIx[v] = e.ModPanIx[v];
        if (e.ModPanAmp[v] > 0.0f)
            p.panBits |= bit;
        p.amp[v] = e.Amp[v];
        p.modAmpAmp[v] = e.ModAmpAmp[v];
        p.ampIx[v] = e.ModAmpIx[v];
        if (e.ModAmpAmp[v] != 0.0f || !lfosFinite)
            p.ampBits |= bit;
    }

    p.cutoffModulated = p.cutoffBits != 0;

    // Long sub-blocks while every voice switched on that feeds back stays more than one of them behind the
    // writer, for LFO outputs up to 1 (otherwise it would be read frame by frame; see kSubBlock).
    bool farBehind = lfosFinite;
    for (int i = 0; i < p.activeCount; ++i) {
        const int v = p.active[i];
        const double nearest =
            (p.delayBits >> v & 1) ? (1.0 - e.ModDelAmp[v]) * p.lengthMinus1 * e.Delay[v] : p.fixedWhole[v];
        farBehind = farBehind && ((p.feedBits >> v & 1) == 0 || nearest >= fast::kSubBlock + 2);
    }
    p.subBlock = farBehind ? fast::kSubBlock : fast::kShortSubBlock;

    // The feedback sum runs over every voice in voice order; voices without feedback add zeros, and
    // voices switched off keep their (finite) taps.
    p.feeding.count = p.all.count = 0;
    for (int v = 0; v < kVoiceCount; ++v) {
        const bool feeds = e.Feeds[v] != 0.0f;
        for (fast::FramePlan::FeedList* list : {&p.feeding, &p.all}) {
            if (!feeds && (list == &p.feeding || e.Pow[v] == 0))
                continue;
            list->voice[list->count] = v;
            list->feeds[list->count] = e.Feeds[v];
            ++list->count;
        }
    }

    p.inpGain = e.InpGain;
    p.feedbackScale = block.feedbackScale;
    p.mix = e.Mix;
    p.dryGain = 1.0f - e.Mix;
    p.outGain = e.OutGain;
    p.activeScale = block.activeScale;
    p.sampleRate = block.sampleRate;
    p.inputLimit = kInputLimit;
    p.stateLimitGain = TSVC3::kStateLimitGain;
    p.stateLimitFloor = TSVC3::kStateLimitFloor;
    p.pitchTable = pitchToFreq_.table.data();

    p.anySmoothing = p.anySync = p.anyRandom = false;
    p.commonShape = -1;
    for (int k = 0; k < kLfoCount; ++k) {
        const int shape = e.Shape[k];
        const bool stepping = shape != 0;
        if (stepping)
            p.commonShape = p.commonShape == -1 || p.commonShape == shape ? shape : 0;
        p.stepping[k] = stepping ? kTrue32 : 0;
        p.shapeOf[k] = static_cast<std::int8_t>(shape);
        p.anyRandom = p.anyRandom || shape == 6;
        for (int i = 0; i < 6; ++i)
            p.shape[i][k] = shape == i + 1 ? kTrue32 : 0;
        const bool smoothing = stepping && e.SmoothFreq[k] > 0.0f;
        p.smoothing[k] = smoothing ? kTrue64 : 0;
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

// Coefficients that stay fixed over the block, recomputed where their control value changed (the blocks'
// own rules), the fill window, and the line's mirrors.
void FastEngine::StartBlock(const BlockContext& block) {
    const EngineSnapshot& e = *block.values;
    const float sampleRate = block.sampleRate;
    fast::FrameState& s = state_;
    for (int k = 0; k < kLfoCount; ++k) {
        if (plan_.stepping[k] != 0 && block.lfoRate[k] != s.lastRate[k]) {
            s.increment[k] = TmultiAll::Increment(block.lfoRate[k], sampleRate);
            s.lastRate[k] = block.lfoRate[k];
        }
        if (plan_.smoothing[k] != 0 && e.SmoothFreq[k] != s.smoothCutoff[k]) {
            const TLp1::Coefficients c = TLp1::CoefficientsFor(e.SmoothFreq[k], sampleRate);
            s.smoothA0[k] = c.a0;
            s.smoothB1[k] = c.b1;
            s.smoothCutoff[k] = e.SmoothFreq[k];
        }
    }
    for (int v = 0; v < kVoiceCount; ++v) {
        if (e.Pow[v] == 0) {
            s.voiceOut[0][v] = s.voiceOut[1][v] = 0.0f; // a voice switched off outputs silence
            continue;
        }
        // An unmodulated cut-off is the same in every frame: its coefficients are settled here.
        if (e.FType[v] == 0 || e.ModFrqAmp[v] != 0.0f)
            continue;
        const float frequency = pitchToFreq_.Convert(e.Freq[v]);
        if (s.lastFrequency[v] != frequency || s.lastResonance[v] != e.Res[v]) {
            s.damping[v] = TSVC3::Damping(e.Res[v]);
            s.coefficient[v] = TSVC3::FrequencyCoefficient(frequency, sampleRate, s.damping[v]);
            s.lastFrequency[v] = frequency;
            s.lastResonance[v] = e.Res[v];
        }
    }
    s.filling = clearing_.Active();
    s.fillValue = clearing_.Value();
    s.fill = clearing_.Window();
    // The mirror copies the end of the line in use, whatever its length was before.
    const int length = plan_.length;
    if (length >= fast::kMinVectorLength)
        for (float* line : s.line)
            for (int i = 0; i < fast::kGuard; ++i)
                line[i - fast::kGuard] = line[length - fast::kGuard + i];
}

bool FastEngine::Planned(const BlockContext& block, bool lfosFinite) const noexcept {
    return planned_.valid && planned_.lfosFinite == lfosFinite &&
           planned_.bufferLength == block.bufferLength && planned_.sampleRate == block.sampleRate &&
           planned_.activeScale == block.activeScale && planned_.feedbackScale == block.feedbackScale &&
           std::memcmp(planned_.values, block.values, sizeof planned_.values) == 0;
}

void FastEngine::Render(const BlockContext& block, const float* inL, const float* inR, float* outL,
                        float* outR, int frames) noexcept {
    // The plan depends on nothing else; most blocks find it made.
    bool lfosFinite = true;
    for (float out : state_.out)
        lfosFinite = lfosFinite && std::isfinite(out);
    if (!Planned(block, lfosFinite))
        Plan(block, lfosFinite);
    StartBlock(block);
    kernel_(plan_, state_, inL, inR, outL, outR, frames);
    if (state_.filling)
        clearing_.SetWindow(state_.fill);
}

std::unique_ptr<AudioEngine> CreateFastEngine() {
    return std::make_unique<FastEngine>(ActiveIsa());
}

std::unique_ptr<FastEngine> CreateFastEngine(Isa isa) {
    return std::make_unique<FastEngine>(ChooseIsa(IsaName(isa)));
}

} // namespace engine
