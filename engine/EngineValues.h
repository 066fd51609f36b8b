#pragma once

#include <array>
#include <cstdint>

namespace engine {

inline constexpr int kVoiceCount = 8;
inline constexpr int kLfoCount = 8;

// Samples per delay line: 2 seconds at 348,000 Hz, the highest rate at which the longest BufferSize fits.
inline constexpr int kDelayCapacity = 696001;
// The shortest line the engine runs with, so the four-point read always finds four distinct samples.
inline constexpr int kMinBufferLength = 4;

// The converted value of every parameter, as the block that uses it reads it. The effect core keeps one
// copy on the audio thread: at the start of each block it converts every parameter stored since the last
// block into it, and hands it to the frame engine (BlockContext).
struct EngineSnapshot {
    template <typename T> using PerVoice = std::array<T, kVoiceCount>;
    template <typename T> using PerLfo = std::array<T, kLfoCount>;

    // Global values. The delay-line length in samples depends on the sample rate as well: the audio
    // thread derives it from BufferSize in every block (BufferLengthFor).
    float BufferSize{};     // stored BufferSize 0..1
    float Mix{};            // wet share 0..1
    float OutGain{};        // output gain factor 0..1.2
    float InpGain{};        // input gain factor 0..1.4
    std::uint8_t Quality{}; // stored and converted, read by nothing

    // Per voice.
    PerVoice<std::uint8_t> Pow{};      // 0 off, 1 on
    PerVoice<float> Delay{};           // fraction 0..1 of BufferLength - 1
    PerVoice<std::uint8_t> ModDelIx{}; // LFO number 0..7
    PerVoice<float> ModDelAmp{};       // 0..1
    PerVoice<float> Pan{};             // 0 left .. 1 right
    PerVoice<std::uint8_t> ModPanIx{}; // LFO number 0..7
    PerVoice<float> ModPanAmp{};       // 0..1
    PerVoice<std::uint8_t> FType{};    // filter code 0, 3, 6 or 9
    PerVoice<float> Freq{};            // cut-off pitch 15..130 semitones
    PerVoice<std::uint8_t> ModFrqIx{}; // LFO number 0..7
    PerVoice<float> ModFrqAmp{};       // 0..1
    PerVoice<float> Res{};             // resonance 0..0.97
    PerVoice<float> Amp{};             // linear gain 0..1
    PerVoice<std::uint8_t> ModAmpIx{}; // LFO number 0..7
    PerVoice<float> ModAmpAmp{};       // 0..1
    PerVoice<float> Feeds{};           // feedback factor -0.99..+0.99

    // Per LFO.
    PerLfo<std::uint8_t> Shape{};    // 0 off, 1..6 waveform
    PerLfo<std::uint8_t> HostSync{}; // 0 free, 1 locked to the host tempo
    PerLfo<float> LfoFreq{};         // free rate 0..10 Hz
    PerLfo<std::uint8_t> SyncIx{};   // LFO number of the sync source; its own number means none
    PerLfo<float> SyncOf{};          // restart phase -0.5..+0.5
    PerLfo<float> SmoothFreq{};      // smoothing cut-off in Hz, 0 = none
};

} // namespace engine
