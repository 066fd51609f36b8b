#include "tools/vorelan/PresetLibrary.h"

#include "engine/ParameterTable.h"
#include "presets/PresetFolder.h"
#include "tools/vorelan/PluginSearch.h"
#include "tools/vorelan/ToolError.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>

namespace vorelan {

namespace fs = std::filesystem;

namespace {

std::string lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

void addFolder(std::vector<std::string>& folders, const fs::path& folder) {
    const std::string path = folder.lexically_normal().string();
    if (!path.empty() && std::find(folders.begin(), folders.end(), path) == folders.end())
        folders.push_back(path);
}

} // namespace

bool HasPresetExtension(const std::string& path) {
    return path.size() >= 4 && lower(path.substr(path.size() - 4)) == ".fxp";
}

std::vector<std::string> PresetSearchFolders() {
    std::vector<std::string> folders;
    addFolder(folders, presets::PresetFolder());
    const fs::path library = fs::path("QarnoAudio") / "VorelanEn2";
    if (const std::string tool = ExecutableFolder(); !tool.empty()) {
        addFolder(folders, fs::path(tool) / ".." / "share" / library);
        addFolder(folders, fs::path(tool) / "presets"); // an unpacked release archive
    }
#if defined(VORELAN_BUILD_PRESET_FOLDER)
    if (RunningFromBuildFolder())
        addFolder(folders, VORELAN_BUILD_PRESET_FOLDER);
#endif
    const char* dataDirs = std::getenv("XDG_DATA_DIRS");
    const std::string list = dataDirs && *dataDirs ? dataDirs : "/usr/local/share:/usr/share";
    for (std::size_t start = 0; start <= list.size();) {
        const std::size_t end = std::min(list.find(':', start), list.size());
        if (list[start] == '/')
            addFolder(folders, fs::path(list.substr(start, end - start)) / library);
        start = end + 1;
    }
    return folders;
}

std::vector<PresetEntry> ListPresetFolder(const std::string& folder) {
    std::vector<PresetEntry> entries;
    std::error_code error;
    fs::directory_iterator it(folder, error);
    for (const fs::directory_iterator end; !error && it != end; it.increment(error)) {
        const std::string file = it->path().filename().string();
        if (file.size() > 4 && HasPresetExtension(file) && it->is_regular_file(error))
            entries.push_back({file.substr(0, file.size() - 4), it->path().string()});
    }
    std::sort(entries.begin(), entries.end(), [](const PresetEntry& a, const PresetEntry& b) {
        const std::string x = lower(a.name), y = lower(b.name);
        return x != y ? x < y : a.name < b.name;
    });
    return entries;
}

namespace {

// Edits (insertions, deletions, substitutions, swaps of neighbours) that turn a into b.
std::size_t editDistance(const std::string& a, const std::string& b) {
    std::vector<std::vector<std::size_t>> d(a.size() + 1, std::vector<std::size_t>(b.size() + 1));
    for (std::size_t i = 0; i <= a.size(); ++i)
        for (std::size_t j = 0; j <= b.size(); ++j) {
            if (i == 0 || j == 0) {
                d[i][j] = i + j;
                continue;
            }
            d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + (a[i - 1] != b[j - 1])});
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
                d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
        }
    return d[a.size()][b.size()];
}

// The names closest to a text that matches none: those that hold it, then those a few typing errors
// away from it or from their own start, best first, at most three.
std::vector<std::string> closestNames(const std::vector<std::string>& names, const std::string& wanted) {
    std::vector<std::pair<std::size_t, std::string>> ranked;
    const std::size_t allowed = std::max<std::size_t>(2, wanted.size() / 3);
    for (const std::string& name : names) {
        const std::string low = lower(name);
        const std::size_t distance =
            low.find(wanted) != std::string::npos
                ? 0
                : std::min(editDistance(wanted, low), editDistance(wanted, low.substr(0, wanted.size())) + 1);
        if (distance <= allowed)
            ranked.emplace_back(distance, name);
    }
    std::stable_sort(ranked.begin(), ranked.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<std::string> closest;
    for (std::size_t i = 0; i < ranked.size() && i < 3; ++i)
        closest.push_back(ranked[i].second);
    return closest;
}

std::string quotedList(const std::vector<std::string>& names, const std::string& lastJoin) {
    std::string text;
    for (std::size_t i = 0; i < names.size(); ++i)
        text += (i == 0 ? "" : i + 1 == names.size() ? lastJoin : ", ") + ("\"" + names[i] + "\"");
    return text;
}

} // namespace

PresetChoice FindPreset(const std::string& nameOrPath) {
    std::error_code error;
    if (fs::is_regular_file(nameOrPath, error) || nameOrPath.find('/') != std::string::npos)
        return {nameOrPath}; // a file, or a path the preset reader will report on
    const std::string wanted =
        lower(HasPresetExtension(nameOrPath) ? nameOrPath.substr(0, nameOrPath.size() - 4) : nameOrPath);
    const std::string factory(engine::kFactoryProgramName);

    // Every preset once, from the first folder that has it.
    const std::vector<std::string> folders = PresetSearchFolders();
    std::vector<PresetEntry> presets;
    for (const std::string& folder : folders)
        for (PresetEntry& entry : ListPresetFolder(folder))
            if (std::none_of(presets.begin(), presets.end(), [&](const PresetEntry& known) {
                    return lower(known.name) == lower(entry.name);
                }))
                presets.push_back(std::move(entry));
    for (const PresetEntry& preset : presets)
        if (lower(preset.name) == wanted)
            return {preset.path};
    if (lower(factory) == wanted)
        return {};

    std::vector<PresetChoice> starting;
    std::vector<std::string> names, startingNames;
    for (const PresetEntry& preset : presets) {
        names.push_back(preset.name);
        if (lower(preset.name).rfind(wanted, 0) == 0) {
            starting.push_back({preset.path});
            startingNames.push_back(preset.name);
        }
    }
    names.push_back(factory);
    if (lower(factory).rfind(wanted, 0) == 0) {
        starting.push_back({});
        startingNames.push_back(factory);
    }
    if (starting.size() == 1)
        return starting.front();
    if (starting.size() > 1)
        throw ToolError("\"" + nameOrPath + "\" is the start of several preset names: " +
                        quotedList(startingNames, " and ") + "; type more of the one you mean");

    std::string message = "no preset named \"" + nameOrPath + "\"";
    if (const std::vector<std::string> closest = closestNames(names, wanted); !closest.empty())
        throw ToolError(message + "; did you mean " + quotedList(closest, " or ") +
                        "? (vorelan preset list shows them all)");
    message += "; looked in:";
    for (const std::string& folder : folders)
        message += "\n  " + folder;
    throw ToolError(message + "\n(vorelan preset list shows the presets there)");
}

} // namespace vorelan
