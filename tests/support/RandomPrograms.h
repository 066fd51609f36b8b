#pragma once

// Seeded random programs for comparing the fast engine with the reference engine: every LFO shape,
// smoothing, host sync, hard-sync chains, all filter kinds with modulated cut-off, feedback up to the
// maximum, every buffer size, voices on and off. Values sit at the ends of their ranges often, where
// the engine's branches are.

#include <cstdint>
#include <utility>
#include <vector>

namespace testsupport {

// A fixed linear congruential generator: the same numbers with every compiler and C++ library.
struct Lcg {
    std::uint32_t state;
    std::uint32_t Next() {
        state = state * 1664525u + 1013904223u;
        return state;
    }
    float Unit() { return static_cast<float>(Next() >> 8) / 16777216.0f; } // 0 .. 1, 24 bits
    bool Chance(float p) { return Unit() < p; }
    // Either end of 0..1 or anywhere between.
    float Edgy() {
        const float u = Unit();
        return u < 0.15f ? 0.0f : u < 0.3f ? 1.0f : Unit();
    }
};

inline constexpr int kVoiceParameter(int voice, int kind) {
    return 5 + 16 * voice + kind;
}
inline constexpr int kLfoParameter(int lfo, int kind) {
    return 133 + 6 * lfo + kind;
}

// The parameter writes of program `seed`, index and 0..1 value, in the order to apply them. An extreme
// program then turns every voice into a filter at the highest resonance with its feedback at -0.99 or
// +0.99 and a modulated cut-off: where any difference from the reference would grow fastest.
inline std::vector<std::pair<int, float>> RandomProgram(std::uint32_t seed, bool extreme = false) {
    Lcg r{seed * 2654435761u + 12345u};
    std::vector<std::pair<int, float>> p;
    // Short lines often, so feedback and wrap-around happen within a short rendering.
    const float lineSize = r.Chance(0.6f) ? 0.05f * r.Unit() : r.Edgy();
    p.push_back({0, lineSize});
    p.push_back({1, r.Edgy()});               // Mix
    p.push_back({2, 0.3f + 0.7f * r.Unit()}); // OutGain
    p.push_back({3, r.Edgy()});               // InpGain
    p.push_back({4, r.Unit()});               // Quality
    for (int v = 0; v < 8; ++v) {
        auto set = [&](int kind, float value) { p.push_back({kVoiceParameter(v, kind), value}); };
        set(0, r.Chance(0.75f) ? 1.0f : 0.0f); // Pow
        // Delay: zero, the whole line, a few frames, or anywhere.
        const float u = r.Unit();
        set(1, u < 0.1f ? 0.0f : u < 0.2f ? 1.0f : u < 0.35f ? 0.002f * r.Unit() : r.Unit());
        for (int kind : {2, 5, 9, 13}) // modulation sources
            set(kind, r.Unit());
        for (int kind : {3, 6, 10, 14}) // modulation amounts, often none
            set(kind, r.Chance(0.35f) ? 0.0f : r.Edgy());
        set(4, r.Edgy());  // Pan
        set(7, r.Unit());  // FType: none, low-, band-, high-pass
        set(8, r.Edgy());  // Freq
        set(11, r.Edgy()); // Res
        set(12, r.Edgy()); // Amp
        // Feeds: none (0.5), the extremes, or anywhere.
        const float f = r.Unit();
        set(15, f < 0.3f ? 0.5f : f < 0.45f ? 0.0f : f < 0.6f ? 1.0f : r.Unit());
    }
    for (int l = 0; l < 8; ++l) {
        auto set = [&](int kind, float value) { p.push_back({kLfoParameter(l, kind), value}); };
        set(0, r.Unit());                             // Shape 0..6, "Random" included
        set(1, r.Chance(0.3f) ? 1.0f : 0.0f);         // HostSync
        set(2, r.Chance(0.1f) ? 1.0f : r.Edgy());     // LfoFreq; the top of a synced range
        set(3, r.Chance(0.5f) ? l / 7.0f : r.Unit()); // SyncIx: itself (no sync) or another
        set(4, r.Edgy());                             // SyncOf
        set(5, r.Chance(0.5f) ? 0.0f : r.Edgy());     // Smooth
    }
    for (int v = 0; extreme && v < 8; ++v) {
        auto set = [&](int kind, float value) { p.push_back({kVoiceParameter(v, kind), value}); };
        set(0, 1.0f);                          // Pow
        set(7, 0.2f + 0.8f * r.Unit());        // FType: low-, band- or high-pass
        set(10, 0.05f + 0.5f * r.Unit());      // ModFrqAmp
        set(11, 1.0f);                         // Res
        set(15, r.Chance(0.5f) ? 0.0f : 1.0f); // Feeds
    }
    return p;
}

} // namespace testsupport
