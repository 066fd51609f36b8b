#include "presets/FxpFile.h"
#include "tools/vorelan/Arguments.h"
#include "tools/vorelan/CodePage.h"
#include "tools/vorelan/Commands.h"
#include "tools/vorelan/ParameterText.h"
#include "tools/vorelan/PluginHost.h"
#include "tools/vorelan/PresetLibrary.h"
#include "tools/vorelan/ToolError.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <iostream>

namespace vorelan {

namespace {

constexpr const char* kPresetHelp = R"(usage: vorelan preset list
       vorelan preset show P [--plugin PATH]
       vorelan preset save F [--from P] [--set NAME=VALUE]... [--name NAME] [--plugin PATH]

list  prints the presets of the preset folders by name: the editor's preset folder first, then the
      library of a system-wide install.
show  prints a preset's name and every parameter: its value in the file, the text a host shows for it
      and its reading in units. P is a .fxp file or a preset's name as list prints it (any case).
save  writes a preset file: the factory program, or the preset P, changed by the --set values.
      ".fxp" (in any case) is added to F unless it ends with it. The preset is named after the file
      unless --name says otherwise; names hold up to 28 characters of the Windows-1252 set the editor
      draws, and are cut there.
)";

int listPresets() {
    int count = 0;
    const std::vector<std::string> folders = PresetSearchFolders();
    for (const std::string& folder : folders) {
        const std::vector<PresetEntry> entries = ListPresetFolder(folder);
        if (entries.empty())
            continue;
        std::cout << folder << "\n";
        for (const PresetEntry& entry : entries)
            std::cout << "  " << entry.name << "\n";
        count += static_cast<int>(entries.size());
    }
    if (count == 0) {
        std::cout << "no presets; looked in:\n";
        for (const std::string& folder : folders)
            std::cout << "  " << folder << "\n";
    }
    return kExitOk;
}

presets::FxpProgram readPreset(const std::string& path) {
    const presets::FxpReadResult preset = presets::ReadFxpFile(path);
    if (!preset.ok()) {
        const std::string message = presets::FxpStatusMessage(preset, path);
        throw ToolError(preset.status == presets::FxpStatus::ForeignEffect ? "\"" + path + "\": " + message
                                                                           : message);
    }
    return preset.program;
}

int showPreset(const Arguments& arguments) {
    if (arguments.positional().size() != 2)
        throw UsageError("preset show needs one preset (vorelan preset --help)");
    const std::string path = FindPreset(arguments.positional()[1]);
    const presets::FxpProgram program = readPreset(path);
    const std::optional<std::string> plugin = arguments.value("--plugin");
    PluginHost host(PluginPath(plugin ? &*plugin : nullptr));
    host.Start();
    ApplyPresetFile(host, path);
    ParameterSet loaded{};
    for (int i = 0; i < presets::kParameterCount; ++i)
        loaded[i] = host.GetParameter(i);

    std::cout << "file       " << path << "\n"
              << "name       \"" << CodePageToUtf8(program.name) << "\"\n"
              << "effect ID  QR14\n"
              << "parameters (index, name, value in the file, host display, reading)\n";
    for (int i = 0; i < presets::kParameterCount; ++i) {
        const float value = program.values[i];
        char text[64];
        std::snprintf(text, sizeof text, "%.6f", value);
        std::string note;
        if (!(value >= 0.0f && value <= 1.0f)) {
            char clamped[32];
            std::snprintf(clamped, sizeof clamped, "%.6f", loaded[i]);
            note = std::string(" (loads as ") + clamped + ")";
        }
        const std::string label = host.ParameterLabel(i);
        std::cout << "  " << i << "\t" << host.ParameterName(i) << "\t" << text << note << "\t"
                  << host.ParameterDisplay(i) << (label.empty() ? "" : " " + label) << "\t"
                  << ReadableValue(loaded, i) << "\n";
    }
    return kExitOk;
}

int savePreset(const Arguments& arguments) {
    if (arguments.positional().size() != 2)
        throw UsageError("preset save needs one preset file to write (vorelan preset --help)");
    const std::string& chosen = arguments.positional()[1];
    const std::string filePath = HasPresetExtension(chosen) ? chosen : chosen + ".fxp";
    const std::string stem = std::filesystem::path(filePath).stem().string();
    const std::optional<std::string> givenName = arguments.value("--name");
    const std::string name =
        NameToCodePage(givenName ? *givenName : stem, presets::kNameSize,
                       givenName ? "the preset name"
                                 : "the preset name taken from the file name (choose one "
                                   "with --name)");

    const std::optional<std::string> plugin = arguments.value("--plugin");
    PluginHost host(PluginPath(plugin ? &*plugin : nullptr));
    host.Start();
    if (const std::optional<std::string> from = arguments.value("--from"))
        ApplyPresetFile(host, FindPreset(*from));
    ApplySettings(host, arguments.values("--set"));

    presets::ParameterValues values{};
    for (int i = 0; i < presets::kParameterCount; ++i)
        values[i] = host.GetParameter(i);
    if (!presets::WriteFxpFile(filePath, presets::WriteFxp(name, values)))
        throw ToolError("cannot write the preset file \"" + filePath + "\"");
    std::cout << "wrote " << filePath << " (preset \"" << CodePageToUtf8(name) << "\")\n";
    return kExitOk;
}

} // namespace

int RunPreset(const std::vector<std::string>& args) {
    const Arguments arguments(args, {"--plugin", "--from", "--set", "--name"}, {});
    if (arguments.help()) {
        std::cout << kPresetHelp;
        return kExitOk;
    }
    if (arguments.positional().empty())
        throw UsageError("preset needs list, show or save (vorelan preset --help)");
    const std::string& action = arguments.positional()[0];
    if (action == "list") {
        if (arguments.positional().size() != 1 || arguments.value("--from") || arguments.value("--name") ||
            !arguments.values("--set").empty())
            throw UsageError("preset list takes no file and no options");
        return listPresets();
    }
    if (action == "show") {
        if (arguments.value("--from") || !arguments.values("--set").empty() || arguments.value("--name"))
            throw UsageError("preset show takes only a preset and --plugin");
        return showPreset(arguments);
    }
    if (action == "save")
        return savePreset(arguments);
    throw UsageError("unknown preset command \"" + action + "\": use list, show or save");
}

} // namespace vorelan
