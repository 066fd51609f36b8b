#include "presets/PresetFolder.h"

#include "platform/Folders.h"

namespace presets {

namespace {

constexpr char kSeparator = platform::kPathSeparator;

bool endsWith(std::string_view text, std::string_view tail) {
    return text.size() >= tail.size() && text.substr(text.size() - tail.size()) == tail;
}

// The text after the last path separator (either kind on Windows, where dialogs accept both).
std::string_view fileNamePart(std::string_view path) {
#if defined(_WIN32)
    const std::string_view::size_type cut = path.find_last_of("\\/");
#else
    const std::string_view::size_type cut = path.rfind('/');
#endif
    return cut == std::string_view::npos ? path : path.substr(cut + 1);
}

} // namespace

std::string PresetFolder() {
    const std::string shared = platform::SharedDataFolder();
    if (shared.empty())
        return {};
    return shared + kSeparator + "QarnoAudio" + kSeparator + "VorelanEn2";
}

std::string PresetFilePath(std::string_view presetName) {
    std::string path = PresetFolder();
    if (path.empty())
        return {}; // no data folder, so no preset can be found
    path += kSeparator;
    path += presetName;
    path += kFileExtension;
    return path;
}

NamedPreset ReadNamedPreset(std::string_view presetName) {
    NamedPreset preset;
    const std::string path = PresetFilePath(presetName);
    preset.read = ReadFxpFile(path);
    if (!preset.ok()) {
        // Without a data folder there is no path; the message names the file alone.
        const std::string shown = path.empty() ? std::string(presetName) + std::string(kFileExtension) : path;
        preset.message = FxpStatusMessage(preset.read, shown);
    }
    return preset;
}

std::string OldPresetFolder() {
    const std::string module = platform::ModuleFolder();
    if (module.empty())
        return {};
    return module + "Data" + kSeparator + "VorelanEn2";
}

std::string OldFolderNotice(std::string_view presetFolder, std::string_view moduleFolder) {
    std::string text = "To improve the compatibility of the software with Windows 6 and 7, the directories "
                       "where were the software datas have been to change to: ";
    text += presetFolder;
    text += ". To skip this message, you will have to move to this folder the presets ";
    text += "which are still standing at ";
    text += moduleFolder;
    text += "Data";
    text += kSeparator;
    text += "VorelanEn2.";
    return text;
}

std::string PendingOldFolderNotice() {
    const std::string old = OldPresetFolder();
    if (!platform::FolderExists(old))
        return {};
    return OldFolderNotice(PresetFolder(), platform::ModuleFolder());
}

SaveAsTarget PlanSaveAs(std::string_view chosenFileName) {
    std::string_view name = chosenFileName;
    if (endsWith(name, kFileExtension))
        name.remove_suffix(kFileExtension.size());
    SaveAsTarget target;
    target.fieldName = std::string(fileNamePart(name));
    if (endsWith(name, kFileExtension)) {
        // The extension was typed twice: the file keeps one, the program name loses it.
        target.filePath = std::string(name);
        target.programName = target.fieldName.substr(0, target.fieldName.size() - kFileExtension.size());
    } else {
        target.filePath = std::string(name) + std::string(kFileExtension);
        target.programName = target.fieldName;
    }
    return target;
}

std::vector<std::string> ListPresetNames(const std::string& folder) {
    std::vector<std::string> names;
    std::vector<std::string> entries;
    try {
        entries = platform::ListFolder(folder);
    } catch (...) {
        // A name the system cannot hand over in 8-bit characters (on Windows) ends the listing; the
        // editor then shows no presets rather than failing inside the host's window.
        return names;
    }
    for (const std::string& entry : entries) {
        const std::string::size_type dot = entry.rfind('.');
        if (dot != std::string::npos && std::string_view(entry).substr(dot) == kFileExtension)
            names.push_back(entry.substr(0, entry.size() - 4));
    }
    return names;
}

} // namespace presets
