// vorelan_presetgen: turns the preset library's source table into .fxp files with our own writer.
//
//   vorelan_presetgen TABLE FOLDER
//
// The table is plain text. "[Name]" starts a preset, which begins as the factory program; each line
// after it sets parameters by name:
//
//   Mix = 0.4                      one parameter
//   Delay* = 0.1                   the same value for all eight voices (or LFOs)
//   Pan* = 0 1 0.2 0.8 0 1 0.4 0.6 one value each, voice (or LFO) 1 first
//
// A value is a number from 0 to 1, a fraction (3/7), or a name: on/off for switches, none, lowpass,
// bandpass or highpass for FType, Off, Parabolic, Triangular, SawDown, SawUp, Square or Random for
// Shape, Lfo1..Lfo8 for the modulation sources and SyncIx (which also takes none). "#" starts a
// comment. Any mistake stops the build with the line it is on. FOLDER receives one NAME.fxp per preset
// and loses .fxp files no longer in the table.
#include "engine/ParameterTable.h"
#include "presets/FxpFile.h"
#include "tools/vorelan/CodePage.h"
#include "tools/vorelan/PresetLibrary.h"
#include "tools/vorelan/ToolError.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <vector>

namespace {

namespace fs = std::filesystem;

struct Preset {
    std::string name; // Windows-1252, as stored
    presets::ParameterValues values{};
    int line = 0;
};

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

void applyLine(Preset& preset, const std::string& line) {
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

std::vector<Preset> readTable(const std::string& path) {
    std::ifstream in(path);
    if (!in)
        throw std::runtime_error(path + ": cannot be read");
    std::vector<Preset> library;
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
                Preset preset;
                preset.name = vorelan::NameToCodePage(utf8, presets::kNameSize + 1, "the preset name");
                checkName(preset.name);
                for (const Preset& other : library)
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

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: vorelan_presetgen TABLE FOLDER\n";
        return 2;
    }
    try {
        const std::vector<Preset> library = readTable(argv[1]);
        const fs::path folder = argv[2];
        fs::create_directories(folder);
        for (const vorelan::PresetEntry& old : vorelan::ListPresetFolder(folder.string()))
            fs::remove(old.path);
        for (const Preset& preset : library) {
            const fs::path file = folder / (vorelan::CodePageToUtf8(preset.name) + ".fxp");
            if (!presets::WriteFxpFile(file.string(), presets::WriteFxp(preset.name, preset.values)))
                throw std::runtime_error(file.string() + ": cannot be written");
        }
        std::cout << "preset library: " << library.size() << " presets in " << folder.string() << "\n";
        return 0;
    } catch (const std::exception& error) {
        std::cerr << "vorelan_presetgen: " << error.what() << "\n";
        return 1;
    }
}
