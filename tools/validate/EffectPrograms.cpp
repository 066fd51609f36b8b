#include "tools/validate/EffectPrograms.h"

#include "tools/validate/Random.h"

#include <cmath>

namespace validate {

namespace {

// The effect's parameter layout: globals, then 16 per voice, then 6 per LFO.
constexpr int kParameterCount = kEffectParameters;
constexpr int kMix = 1, kOutGain = 2, kInpGain = kEffectInputGain;
constexpr int kVoices = 8, kLfos = 8;
constexpr int voiceParameter(int voice, int kind) {
    return 5 + 16 * voice + kind;
}
constexpr int lfoParameter(int lfo, int kind) {
    return 133 + 6 * lfo + kind;
}
enum VoiceKind { kPow = 0, kDelay = 1, kPan = 4, kFType = 7, kFreq = 8, kRes = 11, kAmp = 12, kFeeds = 15 };
constexpr int kModulationSources[] = {2, 5, 9, 13};
constexpr int kModulationAmounts[] = {3, 6, 10, 14};
enum LfoKind { kShape = 0, kHostSync = 1, kLfoFreq = 2, kSyncIx = 3, kSyncOf = 4, kSmooth = 5 };
// Shape values from 11/12 up select "Random" (RoundEven(6 x) = 6), whose generator is seeded from a
// clock; programs keep below.
constexpr float kShapeBelowRandom = 0.9f;
static_assert(kShapeBelowRandom < 11.0f / 12.0f);

float edgy(Random& r) {
    const float u = r.Unit();
    return u < 0.15f ? 0.0f : u < 0.3f ? 1.0f : r.Unit();
}

} // namespace

bool IsKnownEffect(int numParams, const std::function<std::string(int)>& name) {
    return numParams == kParameterCount && name(kMix) == "Mix" && name(kOutGain) == "OutGain" &&
           name(kInpGain) == "InpGain" && name(voiceParameter(0, kPow)) == "Pow1" &&
           name(voiceParameter(7, kAmp)) == "Amp8" && name(voiceParameter(0, kFType)) == "FType1" &&
           name(lfoParameter(0, kShape)) == "Shape1";
}

std::vector<float> EffectProgram(std::uint64_t seed) {
    Random r(seed * 0x9E3779B97F4A7C15ull + 1);
    std::vector<float> p(kParameterCount, 0.0f);
    p[0] = r.Chance(600) ? 0.05f * r.Unit() : edgy(r); // BufferSize: short lines often
    p[kMix] = edgy(r);
    p[kOutGain] = 0.3f + 0.7f * r.Unit();
    p[kInpGain] = edgy(r);
    p[4] = r.Unit(); // Quality
    const bool filters = r.Chance(500);
    for (int v = 0; v < kVoices; ++v) {
        p[voiceParameter(v, kPow)] = r.Chance(750) ? 1.0f : 0.0f;
        const float u = r.Unit();
        p[voiceParameter(v, kDelay)] = u < 0.1f    ? 0.0f
                                       : u < 0.2f  ? 1.0f
                                       : u < 0.35f ? 0.002f * r.Unit()
                                                   : r.Unit();
        for (int kind : kModulationSources)
            p[voiceParameter(v, kind)] = r.Unit();
        for (int kind : kModulationAmounts)
            p[voiceParameter(v, kind)] = r.Chance(350) ? 0.0f : edgy(r);
        p[voiceParameter(v, kPan)] = edgy(r);
        p[voiceParameter(v, kFType)] = filters ? r.Unit() : 0.0f;
        p[voiceParameter(v, kFreq)] = edgy(r);
        p[voiceParameter(v, kRes)] = edgy(r);
        p[voiceParameter(v, kAmp)] = edgy(r);
        const float f = r.Unit();
        p[voiceParameter(v, kFeeds)] = f < 0.3f ? 0.5f : f < 0.45f ? 0.0f : f < 0.6f ? 1.0f : r.Unit();
    }
    for (int l = 0; l < kLfos; ++l) {
        p[lfoParameter(l, kShape)] = kShapeBelowRandom * r.Unit();
        p[lfoParameter(l, kHostSync)] = r.Chance(300) ? 1.0f : 0.0f;
        p[lfoParameter(l, kLfoFreq)] = r.Chance(100) ? 1.0f : edgy(r);
        p[lfoParameter(l, kSyncIx)] = r.Chance(500) ? static_cast<float>(l) / 7.0f : r.Unit();
        p[lfoParameter(l, kSyncOf)] = edgy(r);
        p[lfoParameter(l, kSmooth)] = r.Chance(500) ? 0.0f : edgy(r);
    }
    return p;
}
std::vector<double> ProgramBound(const std::vector<float>& program, double lineBound, double inputPeak) {
    if (program.size() != static_cast<std::size_t>(kParameterCount))
        return {};
    double gain[2] = {0.0, 0.0};
    int surelyOn = 0;
    for (int v = 0; v < kVoices; ++v) {
        const float power = program[voiceParameter(v, kPow)];
        if (power < 0.49f)
            continue;
        if (power > 0.51f)
            ++surelyOn;
        if (program[voiceParameter(v, kFType)] >= 0.16f)
            return {};
        const double amplitude = program[voiceParameter(v, kAmp)], pan = program[voiceParameter(v, kPan)];
        gain[0] += amplitude * (1.0 - pan);
        gain[1] += amplitude * pan;
    }
    const double mix = program[kMix];
    const double scale = 1.2 * program[kOutGain] * std::pow(0.94, surelyOn);
    std::vector<double> bound(2);
    for (int c = 0; c < 2; ++c)
        bound[static_cast<std::size_t>(c)] =
            scale * (mix * 1.25 * lineBound * gain[c] + (1.0 - mix) * inputPeak) * 1.001 + 1e-6;
    return bound;
}

} // namespace validate
