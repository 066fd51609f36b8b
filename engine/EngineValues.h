#pragma once

#include "host/RelaxedAtomic.h"

#include <array>
#include <cstdint>

namespace engine {

inline constexpr int kVoiceCount = 8;
inline constexpr int kLfoCount = 8;

// Samples per delay line: 2 seconds at 348,000 Hz, the highest rate at which the longest BufferSize fits.
inline constexpr int kDelayCapacity = 696001;
// The shortest line the engine runs with, so the four-point read always finds four distinct samples.
inline constexpr int kMinBufferLength = 4;

template <typename T> using Plain = T;

// The converted value of every parameter, as ParameterChanged stores it. `Cell` is the storage of one
// value: host::RelaxedAtomic for the shared copy that any thread may write, Plain for the audio thread's
// per-block snapshot.
template <template <typename> class Cell> struct EngineFields {
    template <typename T> using PerVoice = std::array<Cell<T>, kVoiceCount>;
    template <typename T> using PerLfo = std::array<Cell<T>, kLfoCount>;

    // Global values. The delay-line length in samples depends on the sample rate as well: the audio
    // thread derives it from BufferSize in every block (BufferLengthFor).
    Cell<float> BufferSize{};     // stored BufferSize 0..1
    Cell<float> Mix{};            // wet share 0..1
    Cell<float> OutGain{};        // output gain factor 0..1.2
    Cell<float> InpGain{};        // input gain factor 0..1.4
    Cell<std::uint8_t> Quality{}; // stored and converted, read by nothing

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

    // Calls f(destination, source) for every field, so one list serves every copy between the shared
    // values and a snapshot.
    template <typename Other, typename F> void CopyFrom(const Other& o, F&& f) {
        f(BufferSize, o.BufferSize);
        f(Mix, o.Mix);
        f(OutGain, o.OutGain);
        f(InpGain, o.InpGain);
        f(Quality, o.Quality);
        for (int v = 0; v < kVoiceCount; ++v) {
            f(Pow[v], o.Pow[v]);
            f(Delay[v], o.Delay[v]);
            f(ModDelIx[v], o.ModDelIx[v]);
            f(ModDelAmp[v], o.ModDelAmp[v]);
            f(Pan[v], o.Pan[v]);
            f(ModPanIx[v], o.ModPanIx[v]);
            f(ModPanAmp[v], o.ModPanAmp[v]);
            f(FType[v], o.FType[v]);
            f(Freq[v], o.Freq[v]);
            f(ModFrqIx[v], o.ModFrqIx[v]);
            f(ModFrqAmp[v], o.ModFrqAmp[v]);
            f(Res[v], o.Res[v]);
            f(Amp[v], o.Amp[v]);
            f(ModAmpIx[v], o.ModAmpIx[v]);
            f(ModAmpAmp[v], o.ModAmpAmp[v]);
            f(Feeds[v], o.Feeds[v]);
        }
        for (int l = 0; l < kLfoCount; ++l) {
            f(Shape[l], o.Shape[l]);
            f(HostSync[l], o.HostSync[l]);
            f(LfoFreq[l], o.LfoFreq[l]);
            f(SyncIx[l], o.SyncIx[l]);
            f(SyncOf[l], o.SyncOf[l]);
            f(SmoothFreq[l], o.SmoothFreq[l]);
        }
    }
};

// Written by ParameterChanged on whatever thread stores a parameter.
using EngineValues = EngineFields<host::RelaxedAtomic>;
// The audio thread's copy, taken once at the start of each block.
using EngineSnapshot = EngineFields<Plain>;

inline void TakeSnapshot(EngineSnapshot& to, const EngineValues& from) {
    to.CopyFrom(from, [](auto& dst, const auto& src) { dst = src.load(); });
}

} // namespace engine
