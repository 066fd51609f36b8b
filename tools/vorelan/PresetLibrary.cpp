#include "tools/vorelan/PresetLibrary.h"

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

std::string FindPreset(const std::string& nameOrPath) {
    std::error_code error;
    if (fs::is_regular_file(nameOrPath, error) || nameOrPath.find('/') != std::string::npos)
        return nameOrPath; // a file, or a path the preset reader will report on
    const std::string wanted =
        lower(HasPresetExtension(nameOrPath) ? nameOrPath.substr(0, nameOrPath.size() - 4) : nameOrPath);
    const std::vector<std::string> folders = PresetSearchFolders();
    for (const std::string& folder : folders)
        for (const PresetEntry& entry : ListPresetFolder(folder))
            if (lower(entry.name) == wanted)
                return entry.path;
    std::string message = "no preset named \"" + nameOrPath + "\"; looked in:";
    for (const std::string& folder : folders)
        message += "\n  " + folder;
    message += "\n(vorelan preset list shows the presets there)";
    throw ToolError(message);
}

} // namespace vorelan
