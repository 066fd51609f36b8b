#pragma once

#include "engine/EngineValues.h"

#include <array>
#include <cstdint>
#include <string_view>

namespace engine {

// The 181 parameters: index layout, names, the factory program "8 Voices Chorus" and the conversion of
// each stored 0..1 value into its engine value. Per-voice and per-LFO rows are generated from the kind
// tables below, so every name, factory value and conversion is written down exactly once.
//
//   0..4      global parameters
//   5..132    voice v (0..7), kind k (0..15) at 5 + 16 v + k
//   133..180  LFO l (0..7), kind k (0..5) at 133 + 6 l + k

enum class GlobalKind : std::uint8_t { BufferSize, Mix, OutGain, InpGain, Quality };

enum class VoiceKind : std::uint8_t {
    Pow,
    Delay,
    ModDelIx,
    ModDelAmp,
    Pan,
    ModPanIx,
    ModPanAmp,
    FType,
    Freq,
    ModFrqIx,
    ModFrqAmp,
    Res,
    Amp,
    ModAmpIx,
    ModAmpAmp,
    Feeds,
};

enum class LfoKind : std::uint8_t { Shape, HostSync, LfoFreq, SyncIx, SyncOf, Smooth };

inline constexpr int kGlobalKindCount = 5;
inline constexpr int kVoiceKindCount = 16;
inline constexpr int kLfoKindCount = 6;
inline constexpr int kFirstVoiceIndex = kGlobalKindCount;
inline constexpr int kFirstLfoIndex = kFirstVoiceIndex + kVoiceKindCount * kVoiceCount;
inline constexpr int kParameterCount = kFirstLfoIndex + kLfoKindCount * kLfoCount;

constexpr int GlobalParameterIndex(GlobalKind kind) {
    return static_cast<int>(kind);
}
constexpr int VoiceParameterIndex(int voice, VoiceKind kind) {
    return kFirstVoiceIndex + kVoiceKindCount * voice + static_cast<int>(kind);
}
constexpr int LfoParameterIndex(int lfo, LfoKind kind) {
    return kFirstLfoIndex + kLfoKindCount * lfo + static_cast<int>(kind);
}

// Stores the engine value of stored value x (0..1) for voice or LFO `number` (0 for globals).
using ConvertFn = void (*)(EngineSnapshot& e, int number, float x);

namespace conversion {
void BufferSize(EngineSnapshot& e, int, float x);
void Mix(EngineSnapshot& e, int, float x);
void OutGain(EngineSnapshot& e, int, float x);
void InpGain(EngineSnapshot& e, int, float x);
void Quality(EngineSnapshot& e, int, float x);

void Pow(EngineSnapshot& e, int v, float x);
void Delay(EngineSnapshot& e, int v, float x);
void ModDelIx(EngineSnapshot& e, int v, float x);
void ModDelAmp(EngineSnapshot& e, int v, float x);
void Pan(EngineSnapshot& e, int v, float x);
void ModPanIx(EngineSnapshot& e, int v, float x);
void ModPanAmp(EngineSnapshot& e, int v, float x);
void FType(EngineSnapshot& e, int v, float x);
void Freq(EngineSnapshot& e, int v, float x);
void ModFrqIx(EngineSnapshot& e, int v, float x);
void ModFrqAmp(EngineSnapshot& e, int v, float x);
void Res(EngineSnapshot& e, int v, float x);
void Amp(EngineSnapshot& e, int v, float x);
void ModAmpIx(EngineSnapshot& e, int v, float x);
void ModAmpAmp(EngineSnapshot& e, int v, float x);
void Feeds(EngineSnapshot& e, int v, float x);

void Shape(EngineSnapshot& e, int l, float x);
void HostSync(EngineSnapshot& e, int l, float x);
void LfoFreq(EngineSnapshot& e, int l, float x);
void SyncIx(EngineSnapshot& e, int l, float x);
void SyncOf(EngineSnapshot& e, int l, float x);
void Smooth(EngineSnapshot& e, int l, float x);
} // namespace conversion

struct GlobalRow {
    std::string_view name;
    float factory;
    ConvertFn convert;
};

// A per-voice or per-LFO kind: its name (the parameter names append the number 1..8) and the factory
// value of each of the eight voices or LFOs. Every factory value is the float nearest to the decimal.
struct KindRow {
    std::string_view name;
    std::array<float, 8> factory;
    ConvertFn convert;
};

inline constexpr std::array<GlobalRow, kGlobalKindCount> kGlobalRows{{
    {"BufferSize", 0.07f, conversion::BufferSize},
    {"Mix", 0.8f, conversion::Mix},
    {"OutGain", 0.66f, conversion::OutGain},
    {"InpGain", 1.0f, conversion::InpGain},
    {"Quality", 0.0f, conversion::Quality},
}};

// One row per per-voice kind, in index order (index = 5 + 16 * voice + kind).
inline constexpr std::array<KindRow, kVoiceKindCount> kVoiceRows{{
    {"Pow", {1, 1, 1, 1, 1, 1, 1, 1}, conversion::Pow},
    {"Delay", {0.08f, 0.22f, 0.04f, 0.32f, 0.5f, 0.04f, 0.24f, 0.23f}, conversion::Delay},
    {"ModDelIx", {0.07f, 0.18f, 0.33f, 0.44f, 0.61f, 0.75f, 0.89f, 1}, conversion::ModDelIx},
    {"ModDelAmp", {0.32f, 0.83f, 0.83f, 0.46f, 0.47f, 0.83f, 0.83f, 0.19f}, conversion::ModDelAmp},
    {"Pan", {0, 0.21f, 0.35f, 0.45f, 0.53f, 0.64f, 0.79f, 1}, conversion::Pan},
    {"ModPanIx", {0, 0, 0, 0, 0, 0, 0.86f, 0}, conversion::ModPanIx},
    {"ModPanAmp", {0, 0, 0, 0, 0, 0, 0, 0}, conversion::ModPanAmp},
    {"FType", {0, 0, 0, 0, 0, 0, 0, 0}, conversion::FType},
    {"Freq", {1, 1, 1, 1, 1, 1, 1, 0}, conversion::Freq},
    {"ModFrqIx", {0, 0, 0, 0, 0, 0, 0, 0}, conversion::ModFrqIx},
    {"ModFrqAmp", {0, 0, 0, 0, 0, 0, 0, 0}, conversion::ModFrqAmp},
    {"Res", {0, 0, 0, 0, 0, 0, 0, 0}, conversion::Res},
    {"Amp", {1, 1, 1, 1, 1, 1, 1, 1}, conversion::Amp},
    {"ModAmpIx", {0, 0, 0, 0, 0, 0, 0, 0}, conversion::ModAmpIx},
    {"ModAmpAmp", {1, 0, 0, 0, 0, 0, 0, 0}, conversion::ModAmpAmp},
    {"Feeds", {0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.51f}, conversion::Feeds},
}};

// One row per per-LFO kind, in index order (index = 133 + 6 * lfo + kind). Every LFO is its own sync
// source in the factory program: SyncIx of LFO l is l / 7.
inline constexpr std::array<KindRow, kLfoKindCount> kLfoRows{{
    {"Shape", {0.18f, 0.18f, 0.18f, 0.18f, 0.18f, 0.18f, 0.18f, 0.18f}, conversion::Shape},
    {"HostSync", {0, 0, 0, 0, 0, 0, 0, 0}, conversion::HostSync},
    {"LfoFreq", {0.11f, 0.11f, 0.11f, 0.11f, 0.11f, 0.11f, 0.11f, 0.11f}, conversion::LfoFreq},
    {"SyncIx", {0.0f, 1.0f / 7, 2.0f / 7, 3.0f / 7, 4.0f / 7, 5.0f / 7, 6.0f / 7, 1.0f}, conversion::SyncIx},
    {"SyncOf", {0.25f, 0.15f, 0.3f, 0.53f, 0.62f, 0.76f, 0.82f, 0.91f}, conversion::SyncOf},
    {"Smooth", {0, 0, 0, 0, 0, 0, 0, 0}, conversion::Smooth},
}};

inline constexpr std::string_view kFactoryProgramName = "8 Voices Chorus";

// One entry of the flat table: the parameter's full name ("Delay3"), factory value and conversion.
struct ParameterInfo {
    std::array<char, 16> nameBuffer{}; // NUL-terminated
    float factory = 0;
    ConvertFn convert = nullptr;
    int number = 0; // voice or LFO 0..7; 0 for globals

    constexpr std::string_view name() const { return std::string_view(nameBuffer.data()); }
};

namespace detail {
constexpr ParameterInfo MakeInfo(std::string_view kindName, int number, bool numbered, float factory,
                                 ConvertFn convert) {
    ParameterInfo info;
    std::size_t n = 0;
    for (char c : kindName)
        info.nameBuffer[n++] = c;
    if (numbered)
        info.nameBuffer[n++] = static_cast<char>('1' + number);
    info.nameBuffer[n] = '\0';
    info.factory = factory;
    info.convert = convert;
    info.number = numbered ? number : 0;
    return info;
}

constexpr std::array<ParameterInfo, kParameterCount> BuildParameterTable() {
    std::array<ParameterInfo, kParameterCount> table{};
    for (int g = 0; g < kGlobalKindCount; ++g) {
        const GlobalRow& row = kGlobalRows[g];
        table[g] = MakeInfo(row.name, 0, false, row.factory, row.convert);
    }
    for (int v = 0; v < kVoiceCount; ++v)
        for (int k = 0; k < kVoiceKindCount; ++k) {
            const KindRow& row = kVoiceRows[k];
            table[VoiceParameterIndex(v, VoiceKind(k))] =
                MakeInfo(row.name, v, true, row.factory[v], row.convert);
        }
    for (int l = 0; l < kLfoCount; ++l)
        for (int k = 0; k < kLfoKindCount; ++k) {
            const KindRow& row = kLfoRows[k];
            table[LfoParameterIndex(l, LfoKind(k))] =
                MakeInfo(row.name, l, true, row.factory[l], row.convert);
        }
    return table;
}
} // namespace detail

inline constexpr std::array<ParameterInfo, kParameterCount> kParameters = detail::BuildParameterTable();

static_assert(kParameterCount == 181, "the effect has 181 parameters");
static_assert(kFirstLfoIndex == 133 && kParameterCount - kFirstLfoIndex == 48);
static_assert(kParameters[0].name() == "BufferSize" && kParameters[4].name() == "Quality");
static_assert(kParameters[5].name() == "Pow1" && kParameters[20].name() == "Feeds1");
static_assert(VoiceParameterIndex(2, VoiceKind::Delay) == 38 && kParameters[38].name() == "Delay3");
static_assert(kParameters[132].name() == "Feeds8" && kParameters[133].name() == "Shape1");
static_assert(kParameters[180].name() == "Smooth8" && kParameters[180].number == 7);
static_assert(kParameters[LfoParameterIndex(3, LfoKind::SyncOf)].factory == 0.53f);
static_assert(kParameters[VoiceParameterIndex(7, VoiceKind::Feeds)].factory == 0.51f);
consteval bool AllNamesFit() {
    for (const ParameterInfo& p : kParameters)
        if (p.name().empty() || p.name().size() > 10)
            return false;
    return true;
}
static_assert(AllNamesFit(), "every name is 1..10 characters, well inside the 30 a record holds");

// A parameter value as it is stored, whoever sets it (host, editor, preset file): above 1 becomes 1; below
// 0, or not a number, becomes 0. Every other value, -0.0 included, is kept bit for bit.
constexpr float ClampParameter(float x) noexcept {
    return x > 1.0f ? 1.0f : x >= 0.0f ? x : 0.0f;
}

// Stores the engine value of parameter `index` for the stored value x; an index outside 0..180 changes
// nothing.
void ConvertParameter(EngineSnapshot& e, int index, float x);

// The delay-line length in samples for the stored BufferSize x at sampleRate: round((0.99 x + 0.01) *
// sampleRate * 2), 0.02 s .. 2 s, formed in double and rounded once, kept within kMinBufferLength ..
// kDelayCapacity.
std::int32_t BufferLengthFor(float bufferSize, float sampleRate);

} // namespace engine
