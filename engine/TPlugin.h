#pragma once

#include "engine/AudioEngine.h"
#include "engine/EditorExchange.h"
#include "engine/EngineValues.h"
#include "engine/ParameterTable.h"
#include "host/RelaxedAtomic.h"
#include "host/TVstTemplate.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

namespace engine {

// The effect: an eight-voice modulated delay. The stereo input, plus a soft-limited sum of the voices'
// feedback, is written into one pair of delay lines; eight voices read them at their own delays, which
// eight LFOs modulate together with pan, filter cut-off and amplitude.
//
// ProcessAudio runs the block steps (host time information, marked conversions, line length, voice-count
// scales, transport restart, LFO rates, the check for states that are not finite) and hands the frames to
// its frame engine, which holds the delay lines, voices, filters and LFOs.
//
// Threads: ParameterChanged stores converted values (`Values`) on whatever thread sets a parameter and
// marks the parameter; ProcessAudio converts every marked parameter again from its stored value, copies
// the values once per block and runs the block from that copy, so the engine agrees with the stored
// values once writes stop, whatever the interleaving. Values that depend on the sample rate are derived
// on the audio thread. Everything below "audio thread state" belongs to the audio thread alone. The
// editor reads the published LFO outputs, sample rate and tempo, and hands its delay-line requests to
// the audio thread through an atomic word.
//
// Bounds: the engine's sample rate stays within 8 kHz .. 384 kHz and the tempo within 0 .. 1000 beats
// per minute whatever the host reports; every state stays finite, and a state that is found not finite
// anyway is cleared at the end of its block (with the delay lines) so the next block plays.
class TPlugin : public host::TVstTemplate {
public:
    static constexpr vst2::VstInt32 kVendorVersion = 2003;
    // Host time information requested once per block: tempo valid and musical position valid.
    static constexpr vst2::VstInt32 kTimeInfoFilter = 0x600;
    // The engine's sample rate and tempo stay within these, whatever the host reports.
    static constexpr float kMinSampleRate = 8000.0f;
    static constexpr float kMaxSampleRate = 384000.0f;
    static constexpr float kMaxTempo = 1000.0f;
    // Samples of each delay line that one block rewrites at most for a fill request.
    static constexpr int kFillPerBlock = 4096;

    // formClass: the editor's form class, or null for an effect without an editor. frames: the frame
    // engine, null for the fast engine the effect ships with.
    explicit TPlugin(vst2::audioMasterCallback audioMaster,
                     std::unique_ptr<host::EditorFormFactory> formClass = nullptr,
                     std::unique_ptr<AudioEngine> frames = nullptr);
    ~TPlugin() override;

    // Names the parameters and stores the factory program "8 Voices Chorus".
    void DeclareParameters() override;
    // Renders one block of sampleFrames stereo frames (none for sampleFrames <= 0).
    void ProcessAudio(float** inputs, float** outputs, vst2::VstInt32 sampleFrames) override;

    // The parameter-change handler: converts the stored value of index into its engine value.
    void OnParameterChanged(vst2::VstInt32 index);
    // The editor-idle handler; serves a form that carries the exchange fields.
    void OnEditorIdle(host::EditorForm& form);
    // Pushes LFO levels, sample rate and tempo to the editor and serves its preset-load and panic requests.
    void ExchangeWithEditor(EditorExchange& editor);

    // Asks the audio thread to fill both delay lines with value (panic: 0; the preset reader: 0.0001):
    // from its next block on, every voice reads value except where new input or feedback has been
    // written. The lines themselves are rewritten over the following blocks, at most kFillPerBlock
    // samples of each per block. Any thread; a later request replaces an earlier one. A value that is
    // not finite fills with 0.
    void RequestDelayFill(float value);
    // Whether a fill is still being written into the lines (audio thread).
    bool DelayFillInProgress() const { return frames_->FillInProgress(); }

    // Applies a preset the editor has read (TPluginPresetLoad.cpp): the program name, the request to
    // fill both delay lines with 0.0001, then the 181 values through setParameter (user-interface thread).
    void LoadPresetFile(const PresetValues& preset);

    // Values published by the audio thread at the end of each block.
    float PublishedLfoOut(int lfo) const { return publishedLfoOut_[static_cast<std::size_t>(lfo)]; }
    float HostSampleRate() const { return publishedSampleRate_; }
    float HostTempo() const { return publishedTempo_; }

    // Converted parameter values, written by OnParameterChanged.
    EngineValues Values;
    // File name of the preset to load (user-interface thread).
    std::string PresetName;
    // 1 only while the editor reads a preset for a load (and shows its rejection message); a load
    // requested meanwhile is dropped.
    std::uint8_t PresetLoadBusy = 0;

    // ---- audio thread state ----
    // The frame engine: delay lines, voices, filters and LFOs.
    AudioEngine& Frames() noexcept { return *frames_; }

    std::array<float, kLfoCount> LfoRate{}; // rate in Hz for the current block
    float ActiveScale = 1;                  // 0.94 per voice switched on
    float FeedbackScale = 1;                // 0.94 per voice switched on with non-zero feedback
    std::uint8_t LastPlaying = 3;           // no transport state seen yet: the first block resets the LFOs
    std::uint8_t Playing = 0;
    std::int32_t BufferLength = 44100; // delay-line length in use, derived in every block
    std::int32_t TimeFlags = 0;

private:
    static constexpr int kChangedWords = (kParameterCount + 31) / 32;

    void ServePresetLoad(EditorExchange& editor);
    void ReadTimeInfo();
    void UseSampleRate(double rate);
    void ServeDelayFill();
    void ConvertMarkedParameters();
    void HealNonFiniteState(float** outputs, int sampleFrames);
    void PublishForEditor();

    std::unique_ptr<AudioEngine> frames_;
    EngineSnapshot block_;     // this block's copy of Values
    float sampleRate_ = 44100; // engine sample rate in Hz, audio thread
    float tempo_ = 0;          // host tempo in bpm, audio thread
    // Bit i % 32 of word i / 32: parameter i was converted on some thread since the audio thread last
    // converted it.
    std::array<std::atomic<std::uint32_t>, kChangedWords> changed_{};
    host::RelaxedAtomic<float> publishedSampleRate_{44100.0f};
    std::array<host::RelaxedAtomic<float>, kLfoCount> publishedLfoOut_{};
    host::RelaxedAtomic<float> publishedTempo_{0.0f};
    // 0: nothing to do; otherwise bit 32 set and the fill value's bits in the low word.
    host::RelaxedAtomic<std::uint64_t> delayFillRequest_{0};
};

} // namespace engine
