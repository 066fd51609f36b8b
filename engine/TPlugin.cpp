#include "engine/TPlugin.h"

#include "engine/FastMath.h"
#include "engine/ParameterTable.h"
#include "engine/fast/FastEngine.h"

#include <algorithm>
#include <bit>
#include <cmath>
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

// 1 for an infinity or a not-a-number (all exponent bits set), else 0; a plain integer test, so a loop
// over a block's samples vectorises.
inline std::uint32_t NonFinite(float x) {
    return (std::bit_cast<std::uint32_t>(x) & 0x7f800000u) == 0x7f800000u ? 1u : 0u;
}

inline float FiniteOrSilence(float x) {
    return std::isfinite(x) ? x : 0.0f;
}

} // namespace

TPlugin::TPlugin(vst2::audioMasterCallback audioMaster, std::unique_ptr<host::EditorFormFactory> formClass,
                 std::unique_ptr<AudioEngine> frames)
    : host::TVstTemplate(audioMaster, MakeIdentity(), 1, kParameterCount, std::move(formClass)),
      frames_(frames ? std::move(frames) : CreateFastEngine()) {
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
    frames_->ServeFill(request != 0, std::bit_cast<float>(static_cast<std::uint32_t>(request)),
                       kFillPerBlock);
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

// The block steps; the frames are the frame engine's.
void TPlugin::ProcessAudio(float** inputs, float** outputs, vst2::VstInt32 sampleFrames) {
    // Requests from the user-interface thread that rewrite the lines land between blocks.
    ServeDelayFill();

    // Block steps: time information, values converted on other threads, tempo, line length, voice
    // scales, transport reset, rates.
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
        ActiveScale = static_cast<float>(ActiveScale * 0.94);
        if (e.Feeds[k] != 0.0f)
            FeedbackScale = static_cast<float>(FeedbackScale * 0.94);
    }

    Playing = static_cast<std::uint8_t>(TimeFlags & vst2::kVstTransportPlaying);
    if (Playing != LastPlaying) {
        frames_->RestartLfos(e);
        LastPlaying = Playing;
    }

    // Tempo lock: a cycle of (100 - n) / 8 beats, n = round(100 x) for the stored LfoFreq x. At n = 100
    // the division gives an infinite rate, which wraps the phase to -0.5 at every step, also in the step
    // after a transport or sync restart (the oscillator restarts a phase that is not a number). A tempo
    // of 0 stands the LFO still at every n.
    for (int k = 0; k < kLfoCount; ++k) {
        float rate = e.LfoFreq[k];
        if (e.HostSync[k] == 1) {
            const int n = RoundEven(static_cast<float>(10.0 * e.LfoFreq[k]));
            rate = tempo == 0.0f ? 0.0f : static_cast<float>((static_cast<double>(tempo) / 7.5) / (100 - n));
        }
        LfoRate[k] = rate;
    }
    publishedSampleRate_ = sampleRate;
    publishedTempo_ = tempo;

    const int frames = sampleFrames > 0 ? sampleFrames : 0;
    if (frames > 0) {
        BlockContext block;
        block.values = &e;
        block.sampleRate = sampleRate;
        block.bufferLength = BufferLength;
        block.activeScale = ActiveScale;
        block.feedbackScale = FeedbackScale;
        block.lfoRate = LfoRate;
        frames_->Render(block, inputs[0], inputs[1], outputs[0], outputs[1], frames);
    }

    HealNonFiniteState(outputs, frames);
    PublishForEditor();
}

// Nothing in the engine should ever leave a state that is not a finite number. Should one appear anyway,
// it is found here once per block: its output samples become silence, and the frame engine resets every
// poisoned state and fills the lines with 0 (they may hold what the poisoned state wrote), so the next
// block plays normally.
void TPlugin::HealNonFiniteState(float** outputs, int sampleFrames) {
    std::uint32_t nonFinite = 0;
    for (int j = 0; j < sampleFrames; ++j)
        nonFinite |= NonFinite(outputs[0][j]) | NonFinite(outputs[1][j]);
    if (nonFinite == 0 && frames_->StatesFinite())
        return;
    for (int j = 0; j < sampleFrames; ++j) {
        outputs[0][j] = FiniteOrSilence(outputs[0][j]);
        outputs[1][j] = FiniteOrSilence(outputs[1][j]);
    }
    frames_->ResetNonFiniteStates(block_);
}

void TPlugin::PublishForEditor() {
    for (int k = 0; k < kLfoCount; ++k)
        publishedLfoOut_[k] = frames_->LfoOutput(k);
}

} // namespace engine
