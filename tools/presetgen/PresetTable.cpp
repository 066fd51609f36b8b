#include "tools/presetgen/PresetTable.h"

#include "engine/ParameterTable.h"
#include "presets/PresetName.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <map>
#include <sstream>
#include <stdexcept>

namespace vorelan {

namespace {

std::string lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

std::string trim(const std::string& text) {
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

std::vector<std::string> words(const std::string& text) {
    std::istringstream in(text);
    std::vector<std::string> result;
    for (std::string word; in >> word;)
        result.push_back(word);
    return result;
}

// The stored value a word stands for, for a parameter of kind `kind` belonging to voice or LFO
// `number` (0..7).
float parseValue(const std::string& word, const std::string& kind, int number) {
    static const std::map<std::string, float> kNames = {
        {"off", 0.0f},
        {"on", 1.0f},
        {"lowpass", 1.0f / 3},
        {"bandpass", 2.0f / 3},
        {"highpass", 1.0f},
        {"parabolic", 1.0f / 6},
        {"triangular", 2.0f / 6},
        {"sawdown", 3.0f / 6},
        {"sawup", 4.0f / 6},
        {"square", 5.0f / 6},
        {"random", 1.0f},
    };
    const std::string name = lower(word);
    if (name == "none")
        return kind == "SyncIx" ? number / 7.0f : 0.0f;
    if (name.size() == 4 && name.compare(0, 3, "lfo") == 0 && name[3] >= '1' && name[3] <= '8')
        return (name[3] - '1') / 7.0f;
    if (const auto it = kNames.find(name); it != kNames.end())
        return it->second;
    std::size_t used = 0;
    double value = 0;
    try {
        const std::size_t slash = word.find('/');
        if (slash == std::string::npos) {
            value = std::stod(word, &used);
        } else {
            value = std::stod(word.substr(0, slash), &used) / std::stod(word.substr(slash + 1));
            used = word.size();
        }
    } catch (const std::exception&) {
        used = 0;
    }
    if (used != word.size() || !(value >= 0.0 && value <= 1.0))
        throw std::runtime_error("\"" + word + "\" is not a value from 0 to 1 or a known name");
    return static_cast<float>(value);
}

int parameterIndex(const std::string& name) {
    for (int i = 0; i < engine::kParameterCount; ++i)
        if (engine::kParameters[i].name() == name)
            return i;
    return -1;
}

void applyLine(LibraryPreset& preset, const std::string& line) {
    const std::string::size_type equals = line.find('=');
    if (equals == std::string::npos)
        throw std::runtime_error("expected NAME = VALUE");
    const std::string target = trim(line.substr(0, equals));
    const std::vector<std::string> values = words(line.substr(equals + 1));
    if (values.empty())
        throw std::runtime_error("no value after =");
    if (!target.empty() && target.back() == '*') {
        const std::string kind = target.substr(0, target.size() - 1);
        if (values.size() != 1 && values.size() != 8)
            throw std::runtime_error(target + " takes one value or eight");
        for (int n = 0; n < 8; ++n) {
            const int index = parameterIndex(kind + static_cast<char>('1' + n));
            if (index < 0)
                throw std::runtime_error("no voice or LFO parameter is called " + kind);
            preset.values[index] = parseValue(values[values.size() == 1 ? 0 : n], kind, n);
        }
        return;
    }
    const int index = parameterIndex(target);
    if (index < 0)
        throw std::runtime_error("no parameter is called \"" + target + "\"");
    if (values.size() != 1)
        throw std::runtime_error(target + " takes one value");
    const engine::ParameterInfo& info = engine::kParameters[index];
    preset.values[index] =
        parseValue(values[0], std::string(info.name().substr(0, info.name().size() - (index >= 5 ? 1 : 0))),
                   info.number);
}

// Names become file names on every system the presets ship to.
void checkName(const std::string& name) {
    if (name.empty() || name.size() > presets::kNameSize)
        throw std::runtime_error("a preset name has 1 to 28 characters");
    if (name.find_first_of("/\\:*?\"<>|") != std::string::npos || name.back() == ' ' || name.back() == '.' ||
        name.front() == ' ' || name.front() == '.')
        throw std::runtime_error("\"" + name + "\" cannot be a file name on every system");
}

} // namespace

std::vector<LibraryPreset> ReadPresetTable(const std::string& path) {
    std::ifstream in(path);
    if (!in)
        throw std::runtime_error(path + ": cannot be read");
    std::vector<LibraryPreset> library;
    std::string text;
    for (int number = 1; std::getline(in, text); ++number) {
        try {
            const std::string line = trim(text.substr(0, text.find('#')));
            if (line.empty())
                continue;
            if (line.front() == '[') {
                if (line.back() != ']')
                    throw std::runtime_error("a preset name is written [Name]");
                const std::string utf8 = trim(line.substr(1, line.size() - 2));
                LibraryPreset preset;
                presets::CodePageName name = presets::NameToCodePage(
                    utf8, presets::kNameSize + 1, "the preset name", presets::ForeignBytes::Refuse);
                if (!name.ok())
                    throw std::runtime_error(name.problem);
                preset.name = std::move(name.bytes);
                checkName(preset.name);
                for (const LibraryPreset& other : library)
                    if (lower(other.name) == lower(preset.name))
                        throw std::runtime_error("\"" + utf8 + "\" is already in the table (line " +
                                                 std::to_string(other.line) + ")");
                for (int i = 0; i < engine::kParameterCount; ++i)
                    preset.values[i] = engine::kParameters[i].factory;
                preset.line = number;
                library.push_back(preset);
                continue;
            }
            if (library.empty())
                throw std::runtime_error("a setting before the first [Name]");
            applyLine(library.back(), line);
        } catch (const std::exception& error) {
            throw std::runtime_error(path + ":" + std::to_string(number) + ": " + error.what());
        }
    }
    if (library.empty())
        throw std::runtime_error(path + ": no presets");
    return library;
}

} // namespace vorelan
