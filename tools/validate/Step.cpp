#include "tools/validate/Step.h"

#include "tools/validate/Opcodes.h"

#include <bit>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <sstream>
#include <type_traits>

namespace validate {

namespace {

template <typename E> struct Names {
    E value;
    const char* name;
};

constexpr Names<Pointer> kPointers[] = {
    {Pointer::Null, "null"}, {Pointer::Bogus, "bogus"}, {Pointer::Poison, "poison"}, {Pointer::Valid, "arg"}};
constexpr Names<ProcessCall> kCalls[] = {{ProcessCall::Accumulating, "accumulating"},
                                         {ProcessCall::Replacing, "replacing"}};
constexpr Names<Signal> kSignals[] = {
    {Signal::Silence, "silence"}, {Signal::Noise, "noise"},          {Signal::Tone, "tone"},
    {Signal::Loud, "loud"},       {Signal::Denormal, "denormal"},    {Signal::Dc, "dc"},
    {Signal::Impulse, "impulse"}, {Signal::NonFinite, "non-finite"}, {Signal::Huge, "huge"}};
constexpr Names<TimeMode> kTimeModes[] = {
    {TimeMode::Absent, "absent"}, {TimeMode::Sane, "sane"}, {TimeMode::Hostile, "hostile"}};
constexpr Names<FloatMode> kFloatModes[] = {{FloatMode::Default, "default"},
                                            {FloatMode::Unmasked, "unmasked"},
                                            {FloatMode::RoundDown, "round-down"},
                                            {FloatMode::RoundZero, "round-zero"},
                                            {FloatMode::FlushToZero, "flush-to-zero"}};

constexpr Names<Lv2Message> kMessages[] = {{Lv2Message::Panic, "panic"},
                                           {Lv2Message::PresetLoaded, "preset-loaded"},
                                           {Lv2Message::ProgramName, "program-name"},
                                           {Lv2Message::PresetLoadedUnnamed, "preset-loaded-unnamed"},
                                           {Lv2Message::NameNotText, "name-not-text"},
                                           {Lv2Message::UnknownObject, "unknown-object"},
                                           {Lv2Message::NotAnObject, "not-an-object"}};
constexpr Names<Lv2State> kStates[] = {
    {Lv2State::RoundTrip, "round-trip"}, {Lv2State::Empty, "empty"}, {Lv2State::Hostile, "hostile"}};

template <typename E, std::size_t N> const char* nameOf(const Names<E> (&names)[N], E value) {
    for (const auto& entry : names)
        if (entry.value == value)
            return entry.name;
    return "?";
}

template <typename E, std::size_t N>
bool valueOf(const Names<E> (&names)[N], const std::string& text, E& value) {
    for (const auto& entry : names)
        if (text == entry.name) {
            value = entry.value;
            return true;
        }
    return false;
}

// Numbers are written so that reading them back gives the same value: nine significant digits for
// a float, seventeen for a double, and words for the values that are not finite.
std::string formatNumber(double value, int digits) {
    if (std::isnan(value))
        return std::signbit(value) ? "-nan" : "nan";
    if (std::isinf(value))
        return value < 0 ? "-inf" : "inf";
    char text[40];
    std::snprintf(text, sizeof text, "%.*g", digits, value);
    return text;
}

bool parseNumber(const std::string& text, double& value) {
    if (text == "nan" || text == "-nan") {
        value = text[0] == '-' ? -std::nan("") : std::nan("");
        return true;
    }
    if (text == "inf" || text == "-inf") {
        value = text[0] == '-' ? -HUGE_VAL : HUGE_VAL;
        return true;
    }
    if (text.empty())
        return false;
    char* end = nullptr;
    errno = 0;
    value = std::strtod(text.c_str(), &end);
    return end == text.c_str() + text.size();
}

bool parseInteger(const std::string& text, std::int64_t& value) {
    if (text.empty())
        return false;
    char* end = nullptr;
    errno = 0;
    value = std::strtoll(text.c_str(), &end, 0);
    return errno == 0 && end == text.c_str() + text.size();
}

std::string opcodeName(vst2::VstInt32 opcode) {
    if (const OpcodeInfo* info = FindOpcode(opcode))
        return info->name;
    return "op" + std::to_string(opcode);
}

bool parseOpcode(const std::string& text, vst2::VstInt32& opcode) {
    for (vst2::VstInt32 op = 0; op <= kLastKnownOpcode; ++op)
        if (text == FindOpcode(op)->name) {
            opcode = op;
            return true;
        }
    std::int64_t number = 0;
    if (text.rfind("op", 0) != 0 || !parseInteger(text.substr(2), number) || number < INT32_MIN ||
        number > INT32_MAX)
        return false;
    opcode = static_cast<vst2::VstInt32>(number);
    return true;
}

// The words of a line after its kind: plain words in order, and key=value pairs.
struct Fields {
    std::vector<std::string> words;
    std::map<std::string, std::string> pairs;
};

} // namespace

std::string ToText(const Step& s) {
    std::ostringstream out;
    switch (s.kind) {
    case StepKind::Dispatch:
        out << "dispatch " << opcodeName(s.opcode) << " index=" << s.index << " value=" << s.value
            << " opt=" << formatNumber(s.opt, 9) << " ptr=" << nameOf(kPointers, s.pointer)
            << " seed=" << s.seed;
        break;
    case StepKind::SetParameter:
        out << "set " << s.index << " " << formatNumber(s.opt, 9);
        break;
    case StepKind::GetParameter:
        out << "get " << s.index;
        break;
    case StepKind::Process:
        out << "process " << nameOf(kCalls, s.call) << " frames=" << s.frames
            << " signal=" << nameOf(kSignals, s.signal) << " seed=" << s.seed
            << (s.inPlace ? " in-place" : "");
        break;
    case StepKind::Time:
        out << "time " << nameOf(kTimeModes, s.time);
        if (s.time != TimeMode::Absent) {
            char flags[16];
            std::snprintf(flags, sizeof flags, "0x%x", static_cast<unsigned>(s.timeFlags));
            out << " rate=" << formatNumber(s.sampleRate, 17) << " tempo=" << formatNumber(s.tempo, 17)
                << " ppq=" << formatNumber(s.ppqPos, 17) << " flags=" << flags << " seed=" << s.seed;
        }
        break;
    case StepKind::FloatMode:
        out << "fpu " << nameOf(kFloatModes, s.floatMode);
        break;
    case StepKind::Reopen:
        out << "reopen version=" << s.value;
        break;
    case StepKind::Sound:
        out << "sound frames=" << s.frames << " program=" << s.value << " writes=" << s.index
            << " signal=" << nameOf(kSignals, s.signal) << " seed=" << s.seed;
        break;
    case StepKind::Window:
        out << "window destroy";
        break;
    case StepKind::Instantiate:
        out << "instantiate rate=" << formatNumber(s.sampleRate, 17) << " max=" << s.frames
            << " nominal=" << s.index << " map=" << ((s.value & kInstantiateNoMap) != 0 ? "no" : "yes")
            << " atoms=" << ((s.value & kInstantiateAtomsUnconnected) != 0 ? "none" : "connected")
            << " notify=" << s.seed;
        break;
    case StepKind::Activate:
        out << (s.value != 0 ? "activate" : "deactivate");
        break;
    case StepKind::Connect:
        out << "connect port=" << s.index << " ptr=" << nameOf(kPointers, s.pointer);
        if (s.pointer == Pointer::Valid && std::bit_cast<std::uint32_t>(s.opt) != 0)
            out << " value=" << formatNumber(s.opt, 9); // a control port's; atom ports hold none
        break;
    case StepKind::Message:
        out << "message " << nameOf(kMessages, s.message) << " seed=" << s.seed;
        break;
    case StepKind::State:
        out << "state " << nameOf(kStates, s.state) << " seed=" << s.seed;
        break;
    }
    return out.str();
}

bool ParseStep(const std::string& line, Step& step, std::string& error) {
    std::istringstream in(line);
    std::string kind;
    in >> kind;
    Fields fields;
    for (std::string word; in >> word;) {
        const auto equals = word.find('=');
        if (equals == std::string::npos)
            fields.words.push_back(word);
        else
            fields.pairs[word.substr(0, equals)] = word.substr(equals + 1);
    }
    Step s;
    bool ok = true;
    // Each key=value the kind knows; an unknown or malformed one makes the line wrong.
    auto integer = [&](const char* key, auto& target) {
        const auto it = fields.pairs.find(key);
        if (it == fields.pairs.end())
            return;
        std::int64_t v = 0;
        ok = ok && parseInteger(it->second, v);
        target = static_cast<std::remove_reference_t<decltype(target)>>(v);
        fields.pairs.erase(it);
    };
    auto number = [&](const char* key, auto& target) {
        const auto it = fields.pairs.find(key);
        if (it == fields.pairs.end())
            return;
        double v = 0;
        ok = ok && parseNumber(it->second, v);
        target = static_cast<std::remove_reference_t<decltype(target)>>(v);
        fields.pairs.erase(it);
    };
    auto word = [&](std::size_t i) { return i < fields.words.size() ? fields.words[i] : std::string(); };
    std::size_t wordsUsed = 0;

    if (kind == "dispatch") {
        s.kind = StepKind::Dispatch;
        ok = parseOpcode(word(0), s.opcode);
        wordsUsed = 1;
        integer("index", s.index);
        integer("value", s.value);
        number("opt", s.opt);
        integer("seed", s.seed);
        if (const auto it = fields.pairs.find("ptr"); it != fields.pairs.end()) {
            ok = ok && valueOf(kPointers, it->second, s.pointer);
            fields.pairs.erase(it);
        }
    } else if (kind == "set" || kind == "get") {
        s.kind = kind == "set" ? StepKind::SetParameter : StepKind::GetParameter;
        std::int64_t index = 0;
        double value = 0;
        ok = parseInteger(word(0), index) && index >= INT32_MIN && index <= INT32_MAX;
        s.index = static_cast<vst2::VstInt32>(index);
        if (s.kind == StepKind::SetParameter) {
            ok = ok && parseNumber(word(1), value);
            s.opt = static_cast<float>(value);
        }
        wordsUsed = s.kind == StepKind::SetParameter ? 2 : 1;
    } else if (kind == "process" || kind == "sound") {
        s.kind = kind == "process" ? StepKind::Process : StepKind::Sound;
        if (s.kind == StepKind::Process) {
            ok = valueOf(kCalls, word(0), s.call);
            wordsUsed = 1;
            if (word(1) == "in-place") {
                s.inPlace = true;
                wordsUsed = 2;
            }
        } else {
            integer("program", s.value);
            integer("writes", s.index);
        }
        integer("frames", s.frames);
        integer("seed", s.seed);
        if (const auto it = fields.pairs.find("signal"); it != fields.pairs.end()) {
            ok = ok && valueOf(kSignals, it->second, s.signal);
            fields.pairs.erase(it);
        }
    } else if (kind == "time") {
        s.kind = StepKind::Time;
        ok = valueOf(kTimeModes, word(0), s.time);
        wordsUsed = 1;
        number("rate", s.sampleRate);
        number("tempo", s.tempo);
        number("ppq", s.ppqPos);
        std::int64_t flags = 0;
        integer("flags", flags);
        s.timeFlags = static_cast<vst2::VstInt32>(static_cast<std::uint32_t>(flags));
        integer("seed", s.seed);
    } else if (kind == "fpu") {
        s.kind = StepKind::FloatMode;
        ok = valueOf(kFloatModes, word(0), s.floatMode);
        wordsUsed = 1;
    } else if (kind == "reopen") {
        s.kind = StepKind::Reopen;
        integer("version", s.value);
    } else if (kind == "instantiate") {
        s.kind = StepKind::Instantiate;
        number("rate", s.sampleRate);
        integer("max", s.frames);
        integer("nominal", s.index);
        const auto flag = [&](const char* key, const char* on, const char* off, std::int64_t bit) {
            const auto it = fields.pairs.find(key);
            if (it == fields.pairs.end())
                return;
            ok = ok && (it->second == on || it->second == off);
            if (it->second == off)
                s.value |= bit;
            fields.pairs.erase(it);
        };
        flag("map", "yes", "no", kInstantiateNoMap);
        flag("atoms", "connected", "none", kInstantiateAtomsUnconnected);
        integer("notify", s.seed);
    } else if (kind == "activate" || kind == "deactivate") {
        s.kind = StepKind::Activate;
        s.value = kind == "activate" ? 1 : 0;
    } else if (kind == "connect") {
        s.kind = StepKind::Connect;
        integer("port", s.index);
        number("value", s.opt);
        if (const auto it = fields.pairs.find("ptr"); it != fields.pairs.end()) {
            ok = ok && valueOf(kPointers, it->second, s.pointer);
            fields.pairs.erase(it);
        }
    } else if (kind == "message" || kind == "state") {
        s.kind = kind == "message" ? StepKind::Message : StepKind::State;
        ok = kind == "message" ? valueOf(kMessages, word(0), s.message) : valueOf(kStates, word(0), s.state);
        wordsUsed = 1;
        integer("seed", s.seed);
    } else if (kind == "window") {
        s.kind = StepKind::Window;
        ok = word(0) == "destroy";
        wordsUsed = 1;
    } else {
        error = "unknown step \"" + kind + "\"";
        return false;
    }
    if (!ok || fields.words.size() != wordsUsed || !fields.pairs.empty()) {
        error = "cannot read the step \"" + line + "\"";
        return false;
    }
    step = s;
    return true;
}

std::string ToText(const std::vector<Step>& steps) {
    std::string text;
    for (const Step& step : steps)
        text += ToText(step) + "\n";
    return text;
}

bool ParseSteps(const std::string& text, std::vector<Step>& steps, std::string& error) {
    std::istringstream in(text);
    std::vector<Step> read;
    int number = 0;
    for (std::string line; std::getline(in, line);) {
        ++number;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        const auto first = line.find_first_not_of(" \t");
        if (first == std::string::npos || line[first] == '#')
            continue;
        Step step;
        if (!ParseStep(line.substr(first), step, error)) {
            error = "line " + std::to_string(number) + ": " + error;
            return false;
        }
        read.push_back(step);
    }
    steps = std::move(read);
    return true;
}

} // namespace validate
