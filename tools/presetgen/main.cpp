// vorelan_presetgen: turns the preset library's source table into .fxp files with our own writer.
//
//   vorelan_presetgen TABLE FOLDER
//
// The table's format is described in PresetTable.h. Any mistake stops the build with the line it is
// on. FOLDER receives one NAME.fxp per preset and loses .fxp files no longer in the table.
#include "presets/FxpFile.h"
#include "tools/presetgen/PresetTable.h"
#include "tools/vorelan/CodePage.h"
#include "tools/vorelan/PresetLibrary.h"

#include <filesystem>
#include <iostream>
#include <stdexcept>
#include <vector>

int main(int argc, char** argv) {
    namespace fs = std::filesystem;
    if (argc != 3) {
        std::cerr << "usage: vorelan_presetgen TABLE FOLDER\n";
        return 2;
    }
    try {
        const std::vector<vorelan::LibraryPreset> library = vorelan::ReadPresetTable(argv[1]);
        const fs::path folder = argv[2];
        fs::create_directories(folder);
        for (const vorelan::PresetEntry& old : vorelan::ListPresetFolder(folder.string()))
            fs::remove(old.path);
        for (const vorelan::LibraryPreset& preset : library) {
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
