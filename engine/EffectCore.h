#pragma once

#include "engine/AudioEngine.h"
#include "engine/EngineValues.h"
#include "engine/ParameterTable.h"
#include "host/RelaxedAtomic.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>

namespace engine {

// What the host tells the effect about time, for one block. A plug-in format fills in what its host
// gives; what it leaves out keeps its previous value (before any: tempo 0, transport stopped).
struct HostTime {
    double sampleRate = 44100.0; // Hz; a value that is not a finite number above 0 keeps the previous one
    std::optional<double> tempo; // beats per minute; a value that is not a number of 0 or more is ignored
    std::optional<bool> playing; // whether the transport runs
};

// The effect, an eight-voice modulated delay, without any plug-in format: the 181 parameter values
// (0..1), the program name, the conversions, the block steps and the frame engine, the requests to fill
// the delay lines, and the values published for an editor. A plug-in format is a thin adapter over it
// (the VST 2 plug-in's TPlugin; an LV2 processor): it stores the host's parameter values, hands each
// block over with the host's time information, and answers its host from what the core keeps.
//
// A parameter travels in one form: SetParameter clamps the value and stores it (a relaxed atomic) and
// marks it; the audio thread converts every marked parameter once, at the start of its next block, into
// the block's engine values (BlockValues), which the frame engine reads. A change lands at a block
// boundary. The store is the only copy of the values the host and the editor see.
//
// Threads: SetParameter, Parameter, RequestDelayFill and the published values are safe on any thread;
// the program name belongs to the host's user-interface threads; Process and everything under "audio
// thread state" belong to the audio thread alone. The core allocates nothing after construction and takes
// no lock. Processing calls run inside the format's floating-point guard (exceptions masked, denormals
// flushed), which every format sets and restores around each call from its host.
//
// Bounds: the sample rate stays within kMinSampleRate .. kMaxSampleRate and the tempo within
// 0 .. kMaxTempo whatever the host reports; every state stays finite, and a state that is found not
// finite anyway is cleared at the end of its block (with the delay lines) so the next block plays.
class EffectCore {
public:
    static constexpr float kMinSampleRate = 8000.0f;
    static constexpr float kMaxSampleRate = 384000.0f;
    static constexpr float kMaxTempo = 1000.0f;
    // Samples of each delay line that one block rewrites at most for a fill request.
    static constexpr int kFillPerBlock = 4096;
    // What the lines hold after a preset load (the float nearest 1e-4) and after a panic.
    static constexpr float kPresetFillValue = 0.0001f;
    static constexpr float kPanicFillValue = 0.0f;
    // Characters a program name keeps; a longer one is cut.
    static constexpr std::size_t kProgramNameLength = 48;
    // A block whose output shares memory with its input runs in pieces of at most this many frames,
    // each through a copy of its input.
    static constexpr int kPieceFrames = 1024;

    // frames: the frame engine, null for the fast engine the effect ships with. The parameters hold the
    // factory program "8 Voices Chorus", converted, so the effect sounds before any value is set.
    explicit EffectCore(std::unique_ptr<AudioEngine> frames = nullptr);
    ~EffectCore();
    EffectCore(const EffectCore&) = delete;
    EffectCore& operator=(const EffectCore&) = delete;

    // ---- parameters (any thread) ----
    // Stores ClampParameter(value) as parameter index; an index outside 0..180 changes nothing.
    void SetParameter(int index, float value) noexcept;
    // The stored value of parameter index; 0 for an index outside 0..180.
    float Parameter(int index) const noexcept;
    // Converts every parameter again at the next block (a host that applies its program once more).
    void ReapplyParameters() noexcept;

    // ---- program name (the host's user-interface threads) ----
    const char* ProgramName() const noexcept { return programName_.data(); }
    // Keeps the first kProgramNameLength characters, up to a NUL.
    void SetProgramName(std::string_view name) noexcept;

    // ---- requests (any thread) ----
    // Asks the audio thread to fill both delay lines with value (a panic: kPanicFillValue; a preset load:
    // kPresetFillValue): from its next block on, every voice reads value except where new input or
    // feedback has been written. The lines themselves are rewritten over the following blocks, at most
    // kFillPerBlock samples of each per block. A later request replaces an earlier one not yet served; a
    // value that is not finite fills with 0.
    void RequestDelayFill(float value) noexcept;

    // ---- processing (audio thread) ----
    // Renders frames stereo frames (none for frames <= 0; the block steps still run: time information,
    // conversions, the transport restart). The four channels must be given for frames > 0; an output may be
    // the same memory as an input. Input samples that are not finite count as silence.
    void Process(const float* inL, const float* inR, float* outL, float* outR, int frames,
                 const HostTime& time) noexcept;

    // ---- published for an editor at the end of each block (any thread) ----
    float PublishedLfoOut(int lfo) const noexcept;
    float HostSampleRate() const noexcept { return publishedSampleRate_; }
    float HostTempo() const noexcept { return publishedTempo_; }

    // ---- audio thread state ----
    // The engine values the last block ran on (the next block starts from them).
    const EngineSnapshot& BlockValues() const noexcept { return block_; }
    // The frame engine: delay lines, voices, filters and LFOs.
    AudioEngine& Frames() noexcept { return *frames_; }
    // Whether a fill is still being written into the lines.
    bool DelayFillInProgress() const noexcept { return frames_->FillInProgress(); }

    std::array<float, kLfoCount> LfoRate{}; // rate in Hz for the current block
    float ActiveScale = 1;                  // 0.94 per voice switched on
    float FeedbackScale = 1;                // 0.94 per voice switched on with non-zero feedback
    std::uint8_t LastPlaying = 3;           // no transport state seen yet: the first block resets the LFOs
    std::uint8_t Playing = 0;               // 1 while the transport runs
    std::int32_t BufferLength = 44100;      // delay-line length in use, derived in every block

private:
    static constexpr int kChangedWords = (kParameterCount + 31) / 32;

    void RunBlock(const float* inL, const float* inR, float* outL, float* outR, int frames,
                  const HostTime& time) noexcept;
    void TakeTime(const HostTime& time) noexcept;
    void ServeDelayFill() noexcept;
    void ConvertMarkedParameters() noexcept;
    void HealNonFiniteState(float* outL, float* outR, int frames) noexcept;

    std::unique_ptr<AudioEngine> frames_;
    // The stored values, and a bit per parameter (bit i % 32 of word i / 32) set after each store and
    // taken by the audio thread when it converts the value.
    std::array<host::RelaxedAtomic<float>, kParameterCount> parameters_{};
    std::array<std::atomic<std::uint32_t>, kChangedWords> changed_{};
    std::array<char, kProgramNameLength + 1> programName_{};
    // 0: nothing to do; otherwise bit 32 set and the fill value's bits in the low word.
    host::RelaxedAtomic<std::uint64_t> delayFillRequest_{0};

    host::RelaxedAtomic<float> publishedSampleRate_{44100.0f};
    std::array<host::RelaxedAtomic<float>, kLfoCount> publishedLfoOut_{};
    host::RelaxedAtomic<float> publishedTempo_{0.0f};

    // Audio thread.
    EngineSnapshot block_;
    float sampleRate_ = 44100; // Hz
    float tempo_ = 0;          // beats per minute
    std::uint8_t playing_ = 0;
    // Input copies of a block processed in place.
    std::array<float, kPieceFrames> pieceL_{};
    std::array<float, kPieceFrames> pieceR_{};
};

} // namespace engine
