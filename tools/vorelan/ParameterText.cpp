#include "tools/vorelan/ParameterText.h"

#include "editor/Readouts.h"
#include "engine/ParameterTable.h"

#include <charconv>
#include <cmath>
#include <sstream>

namespace vorelan {

namespace {

using engine::GlobalKind;
using engine::LfoKind;
using engine::VoiceKind;

constexpr double kReadingRate = 44100.0;

// A number rounded to `decimals` places without trailing zeros: "1.1", "32", "158.59"; never "-0".
std::string number(double value, int decimals = 2) {
    char text[64];
    const auto end = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals).ptr;
    std::string digits(text, end);
    if (digits.find('.') != std::string::npos) {
        while (digits.back() == '0')
            digits.pop_back();
        if (digits.back() == '.')
            digits.pop_back();
    }
    if (digits == "-0")
        digits = "0";
    return digits;
}

std::string signedNumber(double value, int decimals = 2) {
    const std::string digits = number(value, decimals);
    return digits == "0" || digits[0] == '-' ? digits : "+" + digits;
}

std::string decibels(double gain) {
    if (!(gain > 0))
        return "silent";
    return signedNumber(20.0 * std::log10(gain)) + " dB";
}

std::string percent(double share) {
    return number(100.0 * share) + " %";
}

// The engine values of the parameters a reading needs, converted by the effect's own table, and the
// delay-line length the engine derives from BufferSize at the reading rate.
struct Converted {
    engine::EngineSnapshot e;
    std::int32_t bufferLength = 0;
    Converted(const ParameterSet& values, std::initializer_list<int> indices) {
        for (int index : indices)
            engine::ConvertParameter(e, index, values[index]);
        bufferLength = engine::BufferLengthFor(e.BufferSize, static_cast<float>(kReadingRate));
    }
};

std::string globalReading(const ParameterSet& values, GlobalKind kind) {
    const int index = engine::GlobalParameterIndex(kind);
    const Converted c(values, {index});
    switch (kind) {
    case GlobalKind::BufferSize:
        return number(c.bufferLength / kReadingRate * 1000.0) + " ms";
    case GlobalKind::Mix:
        return percent(c.e.Mix) + " wet";
    case GlobalKind::OutGain:
        return decibels(c.e.OutGain);
    case GlobalKind::InpGain:
        return decibels(c.e.InpGain);
    case GlobalKind::Quality:
        return "no effect";
    }
    return {};
}

std::string voiceReading(const ParameterSet& values, int voice, VoiceKind kind) {
    const int index = engine::VoiceParameterIndex(voice, kind);
    const Converted c(values, {engine::GlobalParameterIndex(GlobalKind::BufferSize), index});
    const auto& e = c.e;
    switch (kind) {
    case VoiceKind::Pow:
        return e.Pow[voice] ? "on" : "off";
    case VoiceKind::Delay:
        // The voice reads (BufferLength - 1) x Delay samples back.
        return number((c.bufferLength - 1) * static_cast<double>(e.Delay[voice]) / kReadingRate * 1000.0) +
               " ms";
    case VoiceKind::ModDelIx:
        return std::string(editor::SourceNames[e.ModDelIx[voice]]);
    case VoiceKind::ModPanIx:
        return std::string(editor::SourceNames[e.ModPanIx[voice]]);
    case VoiceKind::ModFrqIx:
        return std::string(editor::SourceNames[e.ModFrqIx[voice]]);
    case VoiceKind::ModAmpIx:
        return std::string(editor::SourceNames[e.ModAmpIx[voice]]);
    case VoiceKind::ModDelAmp:
        return percent(e.ModDelAmp[voice]);
    case VoiceKind::ModPanAmp:
        return percent(e.ModPanAmp[voice]);
    case VoiceKind::ModFrqAmp:
        return percent(e.ModFrqAmp[voice]);
    case VoiceKind::ModAmpAmp:
        return percent(e.ModAmpAmp[voice]);
    case VoiceKind::Pan: {
        const double pan = e.Pan[voice];
        if (pan == 0.5)
            return "center";
        return percent(std::fabs(pan - 0.5) * 2.0) + (pan < 0.5 ? " left" : " right");
    }
    case VoiceKind::FType: {
        static constexpr const char* kFilters[] = {"none", "low-pass", "band-pass", "high-pass"};
        return kFilters[e.FType[voice] / 3];
    }
    case VoiceKind::Freq: {
        // The cut-off pitch in semitones, in hertz as the editor's read-out computes it.
        // Cut toward zero as the editor's read-out does: 14914 Hz at the top.
        const double hz = 8.17742 * std::pow(1.05946, static_cast<double>(e.Freq[voice]));
        return hz < 100 ? number(std::trunc(hz * 10) / 10, 1) + " Hz" : number(std::trunc(hz), 0) + " Hz";
    }
    case VoiceKind::Res:
        return percent(values[index]);
    case VoiceKind::Amp:
        return decibels(e.Amp[voice]);
    case VoiceKind::Feeds:
        return e.Feeds[voice] == 0 ? "none" : signedNumber(100.0 * e.Feeds[voice]) + " %";
    }
    return {};
}

std::string lfoReading(const ParameterSet& values, int lfo, LfoKind kind) {
    const int index = engine::LfoParameterIndex(lfo, kind);
    const Converted c(values, {engine::LfoParameterIndex(lfo, LfoKind::HostSync), index});
    const auto& e = c.e;
    switch (kind) {
    case LfoKind::Shape:
        return std::string(editor::ShapeNames[e.Shape[lfo]]);
    case LfoKind::HostSync:
        return e.HostSync[lfo] ? "on" : "off";
    case LfoKind::LfoFreq:
        if (e.HostSync[lfo]) {
            // A cycle of (100 - n) / 8 beats with n = 10 x the rate in hertz, rounded halves to even.
            const int n = static_cast<int>(std::nearbyint(static_cast<float>(10.0 * e.LfoFreq[lfo])));
            return n >= 100 ? "0 beats (held at its start)" : number((100 - n) / 8.0, 3) + " beats";
        }
        return number(e.LfoFreq[lfo]) + " Hz";
    case LfoKind::SyncIx:
        return e.SyncIx[lfo] == lfo ? "none" : std::string(editor::SourceNames[e.SyncIx[lfo]]);
    case LfoKind::SyncOf:
        return signedNumber(360.0 * e.SyncOf[lfo], 1) + " deg";
    case LfoKind::Smooth:
        return e.SmoothFreq[lfo] > 0 ? number(e.SmoothFreq[lfo]) + " Hz" : "off";
    }
    return {};
}

struct KindText {
    const char* name;
    const char* meaning;
};

constexpr KindText kGlobalTexts[] = {
    {"BufferSize", "Length of the recording buffer all voices read from, 20 ms to 2 s. Every voice's Delay "
                   "is a share of it, so this scales all delays at once."},
    {"Mix", "Wet share: 0 passes the dry input only, 1 the voices only."},
    {"OutGain", "Output level, a gain of 0 to 1.2. Each voice that is on also lowers the output by the "
                "factor 0.94, so eight voices sum at about -4.3 dB."},
    {"InpGain", "Level at which the input is written into the buffer, a gain of 0 to 1.4; the voices' "
                "feedback is added to it."},
    {"Quality", "Stored and saved with presets; it does not change the sound."},
};

constexpr KindText kVoiceTexts[] = {
    {"Pow", "Switches the voice on or off."},
    {"Delay", "How far back the voice reads, as a share of the buffer (BufferSize)."},
    {"ModDelIx", "The LFO that modulates the delay."},
    {"ModDelAmp", "Delay modulation depth: the LFO shortens the delay by up to this share. A moving "
                  "delay bends the pitch, so more depth or a faster LFO means more detune."},
    {"Pan", "Stereo position, from left (0) through center (0.5) to right (1)."},
    {"ModPanIx", "The LFO that moves the pan."},
    {"ModPanAmp", "Pan modulation depth: as the LFO rises it lowers the left gain by up to this share, "
                  "as it falls the right gain."},
    {"FType", "The voice's filter: none, low-pass, band-pass or high-pass (0, 1/3, 2/3, 1)."},
    {"Freq", "Filter cut-off, 19 Hz to 14.9 kHz on a semitone scale."},
    {"ModFrqIx", "The LFO that sweeps the cut-off."},
    {"ModFrqAmp", "Cut-off modulation depth: the LFO lowers the cut-off pitch by up to this share."},
    {"Res", "Filter resonance."},
    {"Amp", "Voice level, a linear gain of 0 to 1."},
    {"ModAmpIx", "The LFO that modulates the level."},
    {"ModAmpAmp", "Level modulation depth: the LFO lowers the level by up to this share (tremolo)."},
    {"Feeds", "Feedback of the voice's filtered output into the buffer, -99 % to +99 %; 0.5 is none. The "
              "sum of all feedback is soft-limited."},
};

constexpr KindText kLfoTexts[] = {
    {"Shape", "Waveform: Off (the LFO holds where it is), Parabolic, Triangular, Saw down, Saw up, Square, "
              "Random."},
    {"HostSync", "Locks the rate to the host's tempo."},
    {"LfoFreq", "Rate: 0 to 10 Hz when free; with HostSync a cycle of 12.5 beats (at 0) down to 1/8 beat, "
                "in steps of 1/8 beat."},
    {"SyncIx", "The LFO whose peak restarts this one (hard sync); the LFO's own number means no sync."},
    {"SyncOf", "Phase at which the LFO restarts (when the transport starts or stops, and at a sync "
               "restart), -180 to +180 degrees."},
    {"Smooth", "Low-pass on the LFO's output: off at 0, then 10 Hz down to 0.1 Hz as the value rises; 1 "
               "is off again."},
};

std::string withValue(ParameterSet values, int index, float x) {
    values[index] = x;
    return ReadableValue(values, index);
}

std::string valueText(float x) {
    return number(x, 6);
}

} // namespace

ParameterSet FactoryValues() {
    ParameterSet values{};
    for (int i = 0; i < engine::kParameterCount; ++i)
        values[i] = engine::kParameters[i].factory;
    return values;
}

std::string ReadableValue(const ParameterSet& values, int index) {
    if (index < 0 || index >= engine::kParameterCount)
        return {};
    if (index < engine::kFirstVoiceIndex)
        return globalReading(values, GlobalKind(index));
    if (index < engine::kFirstLfoIndex) {
        const int offset = index - engine::kFirstVoiceIndex;
        return voiceReading(values, offset / engine::kVoiceKindCount,
                            VoiceKind(offset % engine::kVoiceKindCount));
    }
    const int offset = index - engine::kFirstLfoIndex;
    return lfoReading(values, offset / engine::kLfoKindCount, LfoKind(offset % engine::kLfoKindCount));
}

std::string ParameterReference() {
    const ParameterSet factory = FactoryValues();
    std::ostringstream out;
    out << "# VorelanEn2 parameters\n\n"
           "<!-- Generated from the parameter table by `make docs`; a test keeps it in step. -->\n\n"
           "The effect has 181 parameters. Hosts store and automate each one as a value from 0 to 1 and "
           "show it as that number (\"0.50\"); `vorelan info` and `vorelan preset show` add the reading "
           "in units listed here. Times are given at 44.1 kHz. Voice parameters end in the voice "
           "number 1 to 8, LFO parameters in the LFO number 1 to 8. Every modulation lowers its "
           "destination from the set value: an LFO at its top with depth 100 % takes a delay, cut-off or "
           "level all the way down.\n\n";

    out << "## Global\n\n| Parameter | Index | At 0 | At 1 | Factory | Meaning "
           "|\n|---|---|---|---|---|---|\n";
    for (int g = 0; g < engine::kGlobalKindCount; ++g)
        out << "| " << kGlobalTexts[g].name << " | " << g << " | " << withValue(factory, g, 0) << " | "
            << withValue(factory, g, 1) << " | " << valueText(factory[g]) << " (" << ReadableValue(factory, g)
            << ") | " << kGlobalTexts[g].meaning << " |\n";

    out << "\n## Voices 1 to 8\n\nVoice v (1..8) has index 5 + 16 (v - 1) + the offset below. The "
           "readings at 0 and 1 are those of voice 1 in the factory program.\n\n"
           "| Parameter | Offset | At 0 | At 1 | Meaning |\n|---|---|---|---|---|\n";
    for (int k = 0; k < engine::kVoiceKindCount; ++k) {
        const int index = engine::VoiceParameterIndex(0, VoiceKind(k));
        out << "| " << kVoiceTexts[k].name << "1 .. " << kVoiceTexts[k].name << "8 | " << k << " | "
            << withValue(factory, index, 0) << " | " << withValue(factory, index, 1) << " | "
            << kVoiceTexts[k].meaning << " |\n";
    }

    out << "\n## LFOs 1 to 8\n\nLFO l (1..8) has index 133 + 6 (l - 1) + the offset below. The readings "
           "at 0 and 1 are those of LFO 1 in the factory program (LfoFreq: free-running, and in "
           "brackets with HostSync on).\n\n"
           "| Parameter | Offset | At 0 | At 1 | Meaning |\n|---|---|---|---|---|\n";
    ParameterSet synced = factory;
    synced[engine::LfoParameterIndex(0, LfoKind::HostSync)] = 1;
    for (int k = 0; k < engine::kLfoKindCount; ++k) {
        const int index = engine::LfoParameterIndex(0, LfoKind(k));
        std::string low = withValue(factory, index, 0), high = withValue(factory, index, 1);
        if (LfoKind(k) == LfoKind::LfoFreq) {
            low += " (" + withValue(synced, index, 0) + ")";
            high += " (" + withValue(synced, index, 1) + ")";
        }
        out << "| " << kLfoTexts[k].name << "1 .. " << kLfoTexts[k].name << "8 | " << k << " | " << low
            << " | " << high << " | " << kLfoTexts[k].meaning << " |\n";
    }

    out << "\n## Every parameter and its factory value\n\nThe factory program is \""
        << engine::kFactoryProgramName
        << "\".\n\n| Index | Parameter | Factory | Reading |\n|---|---|---|---|\n";
    for (int i = 0; i < engine::kParameterCount; ++i)
        out << "| " << i << " | " << engine::kParameters[i].name() << " | " << valueText(factory[i]) << " | "
            << ReadableValue(factory, i) << " |\n";
    return out.str();
}

} // namespace vorelan
