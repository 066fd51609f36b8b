#include "engine/TPlugin.h"

#include "engine/FastMath.h"
#include "engine/ParameterTable.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <initializer_list>
#include <limits>

namespace engine {

namespace {

host::TVstIdentity MakeIdentity() {
    host::TVstIdentity identity;
    identity.Capabilities = host::kCapSendVstEvents | host::kCapReceiveVstEvents |
                            host::kCapReceiveVstMidiEvent | host::kCapReceiveVstTimeInfo;
#if defined(_WIN32) && !defined(_WIN64)
    identity.Options = 0; // 32-bit Windows: accumulating process only, no chunks
#else
    // Linux and 64-bit Windows hosts follow VST 2.4, which requires replacing processing. No chunks.
    identity.Options = host::kOptionReplacing;
#endif
    identity.InputCount = 2;
    identity.OutputCount = 2;
    identity.UniqueID = "QR14";
    identity.VendorVersion = TPlugin::kVendorVersion;
    identity.EffectName = "VorelanEn2";
    identity.VendorName = "Qarno Audio";
    identity.InitialDelay = 0;
    return identity;
}

constexpr std::uint64_t kFillPending = std::uint64_t{1} << 32;

// Position of a tap in a line of `length` samples, for a position at most one length outside it.
inline int Wrap(int position, int length) {
    if (position < 0)
        return position + length;
    if (position >= length)
        return position - length;
    return position;
}

// Four-point cubic (Catmull-Rom) read between y0 (t = 0) and the older neighbour y1 (t = 1); ym1 is the
// newer neighbour and y2 the older one beyond y1.
inline float ReadCubic(double ym1, double y0, double y1, double y2, double t) {
    return RoundToFloat(y0 + 0.5 * t *
                                 ((y1 - ym1) + t * ((4.0 * y1 + 2.0 * ym1 - 5.0 * y0 - y2) +
                                                    t * (3.0 * (y0 - y1) - ym1 + y2))));
}

// 1 for an infinity or a not-a-number (all exponent bits set), else 0; a plain integer test, so a loop
// over a block's samples vectorises.
inline std::uint32_t NonFinite(float x) {
    return (std::bit_cast<std::uint32_t>(x) & 0x7f800000u) == 0x7f800000u ? 1u : 0u;
}

inline float FiniteOrSilence(float x) {
    return std::isfinite(x) ? x : 0.0f;
}

// Input samples beyond this magnitude (about 300 dB above full scale) are clipped to it. Any finite
// sample is then small enough that the input gain, the filters' resonance, the voice sum and the
// output gain cannot carry it past the largest float, where it would turn into an infinity that
// stays in the delay lines and the filter states for good. No real signal comes near it.
constexpr float kInputLimit = 1e15f;

// A host input sample as the engine takes it: not-a-number and infinities as silence, the rest
// within the input limit.
inline float EngineInput(float x) {
    return std::isfinite(x) ? std::clamp(x, -kInputLimit, kInputLimit) : 0.0f;
}

} // namespace

TPlugin::TPlugin(vst2::audioMasterCallback audioMaster, std::unique_ptr<host::EditorFormFactory> formClass)
    : host::TVstTemplate(audioMaster, MakeIdentity(), 1, kParameterCount, std::move(formClass)) {
    // The template's constructor runs before this object exists, so its declaration step reaches only
    // the template's own (empty) hook; the names and the factory program are stored here.
    DeclareParameters();
    ParameterChanged = host::Handler<vst2::VstInt32>::Of<&TPlugin::OnParameterChanged>(this);
    EditorIdle = host::Handler<host::EditorForm&>::Of<&TPlugin::OnEditorIdle>(this);
    // The factory program reached only the program store; convert it now, as a sample-rate change
    // would, so a freshly loaded effect sounds before any parameter is touched.
    for (int i = 0; i < kParameterCount; ++i)
        OnParameterChanged(i);
}

TPlugin::~TPlugin() = default;

void TPlugin::DeclareParameters() {
    for (int i = 0; i < kParameterCount; ++i)
        if (host::TVstParameterProperty* property = ParameterProperty(i))
            property->SetName(kParameters[static_cast<std::size_t>(i)].name());
    CurrentProgram().SetName(kFactoryProgramName);
    for (int i = 0; i < kParameterCount; ++i)
        setParameter(i, kParameters[static_cast<std::size_t>(i)].factory);
    CurrentProgram().SetName(kFactoryProgramName);
}

void TPlugin::OnParameterChanged(vst2::VstInt32 index) {
    if (index < 0 || index >= kParameterCount)
        return;
    ConvertParameter(Values, index, getParameter(index));
    // Marked after the store: should this thread's conversion land after a newer one from another
    // thread, the audio thread still converts the stored (newest) value again at its next block.
    changed_[static_cast<std::size_t>(index / 32)].fetch_or(1u << (index % 32), std::memory_order_release);
}

void TPlugin::OnEditorIdle(host::EditorForm& form) {
    if (auto* editor = dynamic_cast<EditorExchange*>(&form))
        ExchangeWithEditor(*editor);
}

void TPlugin::ExchangeWithEditor(EditorExchange& editor) {
    for (int k = 0; k < kLfoCount; ++k) {
        // The product is exact in double and rounded once, halves to even.
        const int level = RoundEvenDouble(PublishedLfoOut(k) * 255.0);
        editor.LfoLevels[static_cast<std::size_t>(k)] = static_cast<std::uint8_t>(level < 0     ? 0
                                                                                  : level > 255 ? 255
                                                                                                : level);
    }
    editor.SampleRate = HostSampleRate();
    editor.Tempo = HostTempo();
    if (editor.PresetLoadRequest) {
        editor.PresetLoadRequest = false;
        ServePresetLoad(editor);
    }
    if (editor.PanicRequest) {
        editor.PanicRequest = false;
        RequestDelayFill(0.0f);
    }
}

void TPlugin::RequestDelayFill(float value) {
    delayFillRequest_ = kFillPending | std::bit_cast<std::uint32_t>(FiniteOrSilence(value));
}

void TPlugin::ServeDelayFill() {
    const std::uint64_t request = delayFillRequest_.exchange(0);
    if (request != 0)
        clearing_.Start(std::bit_cast<float>(static_cast<std::uint32_t>(request)), WritePos);
    clearing_.Step(DelayLineL.data(), DelayLineR.data(), kFillPerBlock);
}

void TPlugin::ConvertMarkedParameters() {
    for (int w = 0; w < kChangedWords; ++w) {
        std::atomic<std::uint32_t>& word = changed_[static_cast<std::size_t>(w)];
        if (word.load(std::memory_order_relaxed) == 0)
            continue;
        for (std::uint32_t bits = word.exchange(0, std::memory_order_acquire); bits != 0; bits &= bits - 1) {
            const int index = 32 * w + std::countr_zero(bits);
            ConvertParameter(Values, index, getParameter(index));
        }
    }
}

// A sample rate that is not a number above 0 (or is infinite) leaves the previous one in effect; any
// other is kept within kMinSampleRate .. kMaxSampleRate.
void TPlugin::UseSampleRate(double rate) {
    if (!(rate > 0.0) || !std::isfinite(rate))
        return;
    sampleRate_ = static_cast<float>(std::clamp(rate, double{kMinSampleRate}, double{kMaxSampleRate}));
}

void TPlugin::ReadTimeInfo() {
    // Without time information the rate the host set with its sample-rate call is used, and the
    // previous tempo and transport flags stay in effect. A tempo that is not a number from 0 up leaves
    // the previous one; a higher one than kMaxTempo is taken as kMaxTempo.
    const vst2::VstTimeInfo* time = getTimeInfo(kTimeInfoFilter);
    if (time == nullptr) {
        UseSampleRate(getSampleRate());
        return;
    }
    TimeFlags = time->flags;
    UseSampleRate(time->sampleRate);
    const double tempo = time->tempo;
    if (tempo >= 0.0)
        tempo_ = tempo < kMaxTempo ? static_cast<float>(tempo) : kMaxTempo;
}

// Every float the engine keeps is rounded from a double through RoundToFloat, which the optimiser cannot
// skip or fuse, so the three builds give the same bits.
void TPlugin::ProcessAudio(float** inputs, float** outputs, vst2::VstInt32 sampleFrames) {
    // Requests from the user-interface thread that rewrite the lines land between blocks.
    ServeDelayFill();

    // Block steps: time information, values converted on other threads, tempo, voice scales, transport
    // reset, rates.
    ReadTimeInfo();
    const float sampleRate = sampleRate_;
    ConvertMarkedParameters();
    const float tempo = tempo_;
    TakeSnapshot(block_, Values);
    const EngineSnapshot& e = block_;
    BufferLength = BufferLengthFor(e.BufferSize, sampleRate);

    // Each voice switched on lowers the overall level by 0.94, rounded to float at every step.
    ActiveScale = 1.0f;
    FeedbackScale = 1.0f;
    for (int k = 0; k < kVoiceCount; ++k) {
        if (e.Pow[k] != 1)
            continue;
        ActiveScale = RoundToFloat(ActiveScale * 0.94);
        if (e.Feeds[k] != 0.0f)
            FeedbackScale = RoundToFloat(FeedbackScale * 0.94);
    }

    Playing = static_cast<std::uint8_t>(TimeFlags & vst2::kVstTransportPlaying);
    if (Playing != LastPlaying) {
        for (int k = 0; k < kLfoCount; ++k)
            Lfos[k].SetPhase(e.SyncOf[k]);
        LastPlaying = Playing;
    }

    // Tempo lock: a cycle of (100 - n) / 8 beats, n = round(100 x) for the stored LfoFreq x. At n = 100
    // the division gives an infinite rate, which wraps the phase to -0.5 at every step, also in the step
    // after a transport or sync restart (the oscillator restarts a phase that is not a number). A tempo
    // of 0 stands the LFO still at every n.
    for (int k = 0; k < kLfoCount; ++k) {
        float rate = e.LfoFreq[k];
        if (e.HostSync[k] == 1) {
            const int n = RoundEven(RoundToFloat(10.0 * e.LfoFreq[k]));
            rate = tempo == 0.0f ? 0.0f : RoundToFloat((static_cast<double>(tempo) / 7.5) / (100 - n));
        }
        LfoRate[k] = rate;
    }
    publishedSampleRate_ = sampleRate;
    publishedTempo_ = tempo;

    // While a fill is being written, every read checks whether its position is already valid; otherwise
    // the frames carry no such check.
    const int frames = sampleFrames > 0 ? sampleFrames : 0;
    if (clearing_.Active())
        RenderFrames<true>(inputs, outputs, frames);
    else
        RenderFrames<false>(inputs, outputs, frames);

    HealNonFiniteState(outputs, frames);
    PublishForEditor();
}

template <bool kFilling> void TPlugin::RenderFrames(float** inputs, float** outputs, int sampleFrames) {
    const EngineSnapshot& e = block_;
    const float sampleRate = sampleRate_;
    const int length = BufferLength; // kMinBufferLength .. kDelayCapacity
    const float* inL = inputs[0];
    const float* inR = inputs[1];
    float* outL = outputs[0];
    float* outR = outputs[1];
    const double mix = e.Mix;

    for (int j = 0; j < sampleFrames; ++j) {
        if (WritePos > length - 1) {
            WritePos = 0;
            if constexpr (kFilling)
                clearing_.WriterWrapped();
        }

        // A sample that is not a finite number would stay in the feedback loop for good: take it as
        // silence, and keep huge finite ones from overflowing further on.
        const float inputL = EngineInput(inL[j]);
        const float inputR = EngineInput(inR[j]);

        // The feedback sum of all eight voices, on or off, through a sine: a soft limiter that folds
        // back above pi/2.
        double feedbackL = 0.0;
        double feedbackR = 0.0;
        for (int k = 0; k < kVoiceCount; ++k) {
            feedbackL += static_cast<double>(FeedbackTapL[k]) * e.Feeds[k];
            feedbackR += static_cast<double>(FeedbackTapR[k]) * e.Feeds[k];
        }
        DelayLineL[WritePos] =
            RoundToFloat(PortableSin(feedbackL) * FeedbackScale + static_cast<double>(inputL) * e.InpGain);
        DelayLineR[WritePos] =
            RoundToFloat(PortableSin(feedbackR) * FeedbackScale + static_cast<double>(inputR) * e.InpGain);
        if constexpr (kFilling)
            clearing_.Wrote(WritePos);

        StepLfos(e, sampleRate);

        for (int k = 0; k < kVoiceCount; ++k) {
            if (e.Pow[k] == 0) {
                VoiceOutL[k] = 0.0f;
                VoiceOutR[k] = 0.0f;
                continue;
            }

            float gainL = RoundToFloat(1.0 - e.Pan[k]);
            float gainR = e.Pan[k];
            if (e.ModPanAmp[k] > 0.0f) {
                const double m = LfoOut[e.ModPanIx[k]];
                gainL = RoundToFloat((1.0 - m * e.ModPanAmp[k]) * gainL);
                gainR = RoundToFloat((1.0 - (1.0 - m) * e.ModPanAmp[k]) * gainR);
            }

            // Modulation only shortens the delay. The bound keeps every tap inside the line even if
            // an LFO value ever left 0..1.
            float delay = RoundToFloat((1.0 - static_cast<double>(LfoOut[e.ModDelIx[k]]) * e.ModDelAmp[k]) *
                                       (length - 1) * e.Delay[k]);
            if (!(delay >= 0.0f))
                delay = 0.0f;
            else if (delay > static_cast<float>(length - 1))
                delay = static_cast<float>(length - 1);
            const int whole = FastTrunc(delay);
            const float t = RoundToFloat(static_cast<double>(delay) - whole);

            const int r0 = Wrap(WritePos - whole, length);
            const int rm1 = Wrap(r0 + 1, length); // one frame newer; the oldest sample when whole = 0
            const int r1 = Wrap(r0 - 1, length);
            const int r2 = Wrap(r1 - 1, length);
            if constexpr (kFilling) {
                // A position not yet written or cleared since the fill request reads the fill value.
                const float fill = clearing_.Value();
                const bool vm1 = clearing_.Valid(rm1), v0 = clearing_.Valid(r0), v1 = clearing_.Valid(r1),
                           v2 = clearing_.Valid(r2);
                VoiceOutL[k] = ReadCubic(vm1 ? DelayLineL[rm1] : fill, v0 ? DelayLineL[r0] : fill,
                                         v1 ? DelayLineL[r1] : fill, v2 ? DelayLineL[r2] : fill, t);
                VoiceOutR[k] = ReadCubic(vm1 ? DelayLineR[rm1] : fill, v0 ? DelayLineR[r0] : fill,
                                         v1 ? DelayLineR[r1] : fill, v2 ? DelayLineR[r2] : fill, t);
            } else {
                VoiceOutL[k] = ReadCubic(DelayLineL[rm1], DelayLineL[r0], DelayLineL[r1], DelayLineL[r2], t);
                VoiceOutR[k] = ReadCubic(DelayLineR[rm1], DelayLineR[r0], DelayLineR[r1], DelayLineR[r2], t);
            }

            const int code = e.FType[k];
            if (code != 0) {
                const float pitch = RoundToFloat(
                    (1.0 - static_cast<double>(LfoOut[e.ModFrqIx[k]]) * e.ModFrqAmp[k]) * e.Freq[k]);
                const float frequency = PitchToFreq.Convert(pitch);
                FiltersL[k].Filter(VoiceOutL[k], frequency, e.Res[k], sampleRate);
                FiltersR[k].Filter(VoiceOutR[k], frequency, e.Res[k], sampleRate);
                VoiceOutL[k] = FilterMixOutput(FiltersL[k], code);
                VoiceOutR[k] = FilterMixOutput(FiltersR[k], code);
            }

            // Post-filter, before pan and amplitude; the 1e-8 keeps the loop out of denormal numbers.
            FeedbackTapL[k] = RoundToFloat(static_cast<double>(VoiceOutL[k]) + 1e-8);
            FeedbackTapR[k] = RoundToFloat(static_cast<double>(VoiceOutR[k]) + 1e-8);

            const float amplitude =
                RoundToFloat((1.0 - static_cast<double>(LfoOut[e.ModAmpIx[k]]) * e.ModAmpAmp[k]) * e.Amp[k]);
            VoiceOutL[k] = RoundToFloat(static_cast<double>(VoiceOutL[k]) * gainL * amplitude);
            VoiceOutR[k] = RoundToFloat(static_cast<double>(VoiceOutR[k]) * gainR * amplitude);
        }

        double wetL = 0.0;
        double wetR = 0.0;
        for (int k = 0; k < kVoiceCount; ++k) {
            wetL += VoiceOutL[k];
            wetR += VoiceOutR[k];
        }
        // The dry part bypasses the input gain but not the voice-count scale.
        outL[j] = RoundToFloat((wetL * mix + (1.0 - mix) * inputL) * e.OutGain * ActiveScale);
        outR[j] = RoundToFloat((wetR * mix + (1.0 - mix) * inputR) * e.OutGain * ActiveScale);

        ++WritePos;
    }
}

// Nothing in the engine should ever leave a state that is not a finite number. Should one appear anyway,
// it is found here once per block: its output samples become silence, every poisoned filter, feedback
// tap and LFO is reset, and the lines are filled with 0 (they may hold what the poisoned state wrote),
// so the next block plays normally.
void TPlugin::HealNonFiniteState(float** outputs, int sampleFrames) {
    const auto finite = [](std::initializer_list<float> values) {
        double sum = 0.0;
        for (float v : values)
            sum += v;
        return std::isfinite(sum);
    };
    const auto filterFinite = [&](const TSVC3& f) {
        return finite({f.lowOut, f.highOut, f.bandOut, f.lowState, f.highState, f.bandState});
    };
    const auto lfoFinite = [&](int k) {
        const TmultiAll& o = Lfos[k];
        const TLp1& s = LfoSmoothers[k];
        return finite({o.parabolic, o.triangle, o.risingSaw, o.fallingSaw, o.square, o.random, LfoOut[k],
                       SyncInput[k], s.output, s.previousInput, s.previousOutput});
    };

    std::uint32_t nonFinite = 0;
    for (int j = 0; j < sampleFrames; ++j)
        nonFinite |= NonFinite(outputs[0][j]) | NonFinite(outputs[1][j]);
    const bool outputsFinite = nonFinite == 0;
    bool statesFinite = true;
    for (int k = 0; k < kVoiceCount; ++k)
        statesFinite &= filterFinite(FiltersL[k]) && filterFinite(FiltersR[k]) && lfoFinite(k) &&
                        finite({FeedbackTapL[k], FeedbackTapR[k], VoiceOutL[k], VoiceOutR[k]});
    if (outputsFinite && statesFinite)
        return;

    for (int j = 0; j < sampleFrames; ++j) {
        outputs[0][j] = FiniteOrSilence(outputs[0][j]);
        outputs[1][j] = FiniteOrSilence(outputs[1][j]);
    }
    for (int k = 0; k < kVoiceCount; ++k) {
        if (!filterFinite(FiltersL[k]))
            FiltersL[k] = TSVC3{};
        if (!filterFinite(FiltersR[k]))
            FiltersR[k] = TSVC3{};
        if (!finite({FeedbackTapL[k], FeedbackTapR[k], VoiceOutL[k], VoiceOutR[k]}))
            FeedbackTapL[k] = FeedbackTapR[k] = VoiceOutL[k] = VoiceOutR[k] = 0.0f;
        if (!lfoFinite(k)) {
            Lfos[k] = TmultiAll{};
            Lfos[k].SetPhase(block_.SyncOf[k]);
            LfoSmoothers[k] = TLp1{};
            ShapeOutputs[k] = {};
            LfoOut[k] = 0.0f;
            SyncInput[k] = 0.0f;
        }
    }
    clearing_.Start(0.0f, WritePos);
}

void TPlugin::StepLfos(const EngineSnapshot& e, float sampleRate) {
    for (int k = 0; k < kLfoCount; ++k) {
        const int shape = e.Shape[k];
        if (shape == 0) // off: not advanced, holds its output
            continue;
        TmultiAll& lfo = Lfos[k];
        lfo.Advance(LfoRate[k], sampleRate);
        // Hard sync acts one frame late: the source's value was taken at the previous step, and this
        // frame's outputs still come from the phase before the restart.
        if (SyncInput[k] == 1.0f)
            lfo.SetPhase(e.SyncOf[k]);
        std::array<float, 8>& outputs = ShapeOutputs[k];
        outputs[0] = 0.0f;
        outputs[1] = lfo.parabolic;
        outputs[2] = lfo.triangle;
        outputs[3] = lfo.risingSaw;
        outputs[4] = lfo.fallingSaw;
        outputs[5] = lfo.square;
        outputs[6] = lfo.random;
        const float bipolar = outputs[static_cast<std::size_t>(shape)];
        // A lower-numbered source has already stepped in this frame (unsmoothed value); a higher-numbered
        // one still shows its final value of the previous frame.
        const int source = e.SyncIx[k];
        SyncInput[k] = source == k ? 0.0f : LfoOut[source];
        LfoOut[k] = RoundToFloat((static_cast<double>(bipolar) + 1.0) * 0.5);
    }
    for (int k = 0; k < kLfoCount; ++k) {
        if (e.SmoothFreq[k] > 0.0f && e.Shape[k] != 0) {
            LfoSmoothers[k].Filter(LfoOut[k], e.SmoothFreq[k], sampleRate);
            LfoOut[k] = LfoSmoothers[k].output;
        }
    }
}

void TPlugin::PublishForEditor() {
    for (int k = 0; k < kLfoCount; ++k)
        publishedLfoOut_[k] = LfoOut[k];
}

} // namespace engine
