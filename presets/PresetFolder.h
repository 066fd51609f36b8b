#pragma once

#include "presets/FxpFile.h"

#include <string>
#include <string_view>
#include <vector>

namespace presets {

// The preset folder: the shared application-data folder followed by QarnoAudio and VorelanEn2,
// without a trailing separator. Empty when the system names no data folder. Never created here.
std::string PresetFolder();

// The file the reader opens for a preset name: the preset folder, the name, ".fxp". Empty when there is
// no preset folder.
std::string PresetFilePath(std::string_view presetName);

// A preset of the preset folder read by its name for a load: the file's contents, or the message that
// tells the user why it cannot be used (a file of another effect, or one that is missing, unreadable or
// too short, named with its path).
struct NamedPreset {
    FxpReadResult read;
    std::string message; // empty when read.ok()

    bool ok() const { return read.ok(); }
};
NamedPreset ReadNamedPreset(std::string_view presetName);

// The folder where earlier versions kept their presets: Data/VorelanEn2 beside the plug-in module.
std::string OldPresetFolder();

// The notice shown when the editor opens while the old folder still exists. moduleFolder carries its
// trailing separator.
std::string OldFolderNotice(std::string_view presetFolder, std::string_view moduleFolder);

// The notice for this system, or empty when there is no old folder to tell about.
std::string PendingOldFolderNotice();

// Where "Save as" puts a preset for the file name chosen in the save dialog, and what the program is
// renamed to. Only an exact ".fxp" ending is taken off; a name typed with it twice keeps one.
struct SaveAsTarget {
    std::string filePath;    // the file to write
    std::string fieldName;   // the file's 28-byte name field, before padding or cutting
    std::string programName; // the program's new name (not cut to 28)
};
SaveAsTarget PlanSaveAs(std::string_view chosenFileName);

// The preset names in folder: every entry whose text from its last "." is exactly ".fxp", without
// that extension, in the order the file system lists them.
std::vector<std::string> ListPresetNames(const std::string& folder);

} // namespace presets
