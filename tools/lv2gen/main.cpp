// vorelan_lv2gen: writes the description of the LV2 bundle: manifest.ttl, the plug-in's and the
// interface's Turtle files and one preset file per preset (the factory program and the preset library).
//
//   vorelan_lv2gen TABLE BUNDLE
//
// TABLE is the preset library's source table; BUNDLE the bundle folder, which loses preset files no
// longer in the table. The binaries of the bundle are built elsewhere and only named here.
#include "engine/ParameterTable.h"
#include "lv2/Lv2Contract.h"
#include "platform/CodePage.h"
#include "tools/lv2gen/BundleText.h"
#include "tools/presetgen/PresetTable.h"

#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <stdexcept>
#include <vector>

namespace {

namespace fs = std::filesystem;

// The factory program first, then the library in table order. Two names with one slug would give two
// presets one URI.
std::vector<vorelan::BundlePreset> bundlePresets(const std::string& table) {
    std::vector<vorelan::BundlePreset> presets(1);
    presets[0].name = engine::kFactoryProgramName;
    for (int i = 0; i < engine::kParameterCount; ++i)
        presets[0].values[i] = engine::kParameters[i].factory;
    for (const vorelan::LibraryPreset& preset : vorelan::ReadPresetTable(table))
        presets.push_back({platform::Windows1252ToUtf8(preset.name), preset.values});
    std::map<std::string, std::string> named;
    for (const vorelan::BundlePreset& preset : presets) {
        const std::string slug = lv2::PresetSlug(preset.name);
        if (slug.empty())
            throw std::runtime_error("\"" + preset.name + "\" has no letter or digit for its preset URI");
        if (const auto [it, added] = named.emplace(slug, preset.name); !added)
            throw std::runtime_error("\"" + preset.name + "\" and \"" + it->second +
                                     "\" would share the URI " + lv2::PresetUri(preset.name));
    }
    return presets;
}

void write(const fs::path& file, const std::string& text) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << text;
    out.close();
    if (!out)
        throw std::runtime_error(file.string() + ": cannot be written");
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: vorelan_lv2gen TABLE BUNDLE\n";
        return 2;
    }
    try {
        const std::vector<vorelan::BundlePreset> presets = bundlePresets(argv[1]);
        const fs::path bundle = argv[2];
        const fs::path presetFolder = bundle / lv2::kPresetFolder;
        fs::create_directories(presetFolder);
        for (const fs::directory_entry& old : fs::directory_iterator(presetFolder))
            if (old.path().extension() == ".ttl")
                fs::remove(old.path());
        write(bundle / lv2::kManifestFile, vorelan::ManifestTurtle(presets));
        write(bundle / lv2::kPluginFile, vorelan::PluginTurtle());
        write(bundle / lv2::kUiFile, vorelan::UiTurtle());
        for (const vorelan::BundlePreset& preset : presets)
            write(bundle / vorelan::PresetFileName(preset.name), vorelan::PresetTurtle(preset));
        std::cout << "LV2 bundle: " << presets.size() << " presets in " << bundle.string() << "\n";
        return 0;
    } catch (const std::exception& error) {
        std::cerr << "vorelan_lv2gen: " << error.what() << "\n";
        return 1;
    }
}
