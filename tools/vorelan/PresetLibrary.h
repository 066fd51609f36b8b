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

// What a preset argument (--preset, --from, preset show) chooses: a preset file, or the factory program
// the plug-in starts with.
struct PresetChoice {
    std::string path; // empty for the factory program
    bool factory() const { return path.empty(); }
};

// The preset that `nameOrPath` means, in this order: an existing file (or any path with a folder) as
// it stands; a preset of that name, with or without .fxp, in any case, from the first search folder
// that has one; the factory program by its name ("8 Voices Chorus"); the one preset (or the factory
// program) whose name starts with it. Throws ToolError when several names start with it (naming them)
// or none does (naming the closest ones, or the folders searched when nothing comes close).
PresetChoice FindPreset(const std::string& nameOrPath);

// True when path ends in ".fxp" in any case.
bool HasPresetExtension(const std::string& path);

} // namespace vorelan
