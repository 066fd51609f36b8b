#pragma once

#include "engine/AudioEngine.h"
#include "engine/EditorExchange.h"
#include "engine/EngineValues.h"
#include "host/RelaxedAtomic.h"
#include "host/TVstTemplate.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>

namespace engine {

// The effect: an eight-voice modulated delay. The stereo input, plus a soft-limited sum of the voices'
// feedback, is written into one pair of delay lines; eight voices read them at their own delays, which
// eight LFOs modulate together with pan, filter cut-off and amplitude.
//
// ProcessAudio runs the block steps (host time information, sample-rate refresh, voice-count scales,
// transport restart, LFO rates) and hands the frames to its frame engine, which holds the delay lines,
// voices, filters and LFOs.
//
// Threads: ParameterChanged stores converted values (`Values`) on whatever thread sets a parameter;
// ProcessAudio copies them once per block and runs the block from that copy. Everything below "audio
// thread state" belongs to the audio thread alone. The editor reads the published LFO outputs, sample
// rate and tempo, and hands its delay-line requests to the audio thread through an atomic word.
class TPlugin : public host::TVstTemplate {
public:
    static constexpr vst2::VstInt32 kVendorVersion = 2003;
    // Host time information requested once per block: tempo valid and musical position valid.
    static constexpr vst2::VstInt32 kTimeInfoFilter = 0x600;

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

    // Asks the audio thread to set every sample of both delay lines to value at the start of its next
    // block (panic: 0; the preset reader: 0.0001). Any thread; a later request replaces an earlier one
    // not yet served. A value that is not finite fills with 0.
    void RequestDelayFill(float value);

    // Applies a preset the editor has read (TPluginPresetLoad.cpp): the program name, the request to
    // fill both delay lines with 0.0001, then the 181 values through setParameter (user-interface thread).
    void LoadPresetFile(const PresetValues& preset);

    // Values published by the audio thread at the end of each block.
    float PublishedLfoOut(int lfo) const { return publishedLfoOut_[static_cast<std::size_t>(lfo)]; }
    float HostSampleRate() const { return Values.HostSampleRate; }
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
    std::int32_t TimeFlags = 0;
    float LastSampleRate = 44100; // rate at which all engine values were last converted

private:
    void ServePresetLoad(EditorExchange& editor);
    void ReadTimeInfo();
    void ServeDelayFill();
    void PublishForEditor();

    std::unique_ptr<AudioEngine> frames_;
    EngineSnapshot block_; // this block's copy of Values
    float tempo_ = 0;      // host tempo in bpm, audio thread
    std::array<host::RelaxedAtomic<float>, kLfoCount> publishedLfoOut_{};
    host::RelaxedAtomic<float> publishedTempo_{0.0f};
    // 0: nothing to do; otherwise bit 32 set and the fill value's bits in the low word.
    host::RelaxedAtomic<std::uint64_t> delayFillRequest_{0};
};

} // namespace engine
