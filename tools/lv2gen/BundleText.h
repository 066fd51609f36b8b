#pragma once

#include "presets/FxpFile.h"

#include <string>
#include <string_view>
#include <vector>

namespace vorelan {

// The Turtle files of the LV2 bundle, as text: the plug-in's description (ports, groups, features),
// the interface's, one file per preset and the manifest that lists them all. Everything comes from the
// contract in lv2/Lv2Contract.h and the parameter table.

struct BundlePreset {
    std::string name; // UTF-8
    presets::ParameterValues values{};
};

std::string PluginTurtle();
std::string UiTurtle();
std::string PresetTurtle(const BundlePreset& preset);
std::string ManifestTurtle(const std::vector<BundlePreset>& presets);

// The file of a preset within the bundle: "presets/<slug>.ttl".
std::string PresetFileName(std::string_view name);

// A Turtle number that reads back as exactly this float (shortest such text, always with a point).
std::string TurtleNumber(float value);

} // namespace vorelan
