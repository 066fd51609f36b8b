#pragma once

#include <string>
#include <vector>

namespace vorelan {

// Presets by name. The editor's preset folder comes first (the user's own presets and the installed
// library); then the library of a system-wide install: share/QarnoAudio/VorelanEn2 in the prefix the
// tool is installed in, the presets folder beside the tool (an unpacked release archive), and
// share/QarnoAudio/VorelanEn2 in each folder of XDG_DATA_DIRS (/usr/local/share and /usr/share by default).

std::vector<std::string> PresetSearchFolders();

struct PresetEntry {
    std::string name; // the file name without its .fxp extension
    std::string path;
};

// Every preset file in one folder, by name in any case of ".fxp", sorted by name regardless of case.
std::vector<PresetEntry> ListPresetFolder(const std::string& folder);

// The preset file that `nameOrPath` means: an existing file as it stands, else a preset of that name
// (with or without .fxp, in any case) in the first search folder that has one. Throws ToolError naming
// the folders searched when there is none.
std::string FindPreset(const std::string& nameOrPath);

// True when path ends in ".fxp" in any case.
bool HasPresetExtension(const std::string& path);

} // namespace vorelan
