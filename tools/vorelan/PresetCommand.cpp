#include "presets/FxpFile.h"
#include "presets/PresetFolder.h"
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
       vorelan preset save F [--from P] [--set NAME=VALUE]... [--name NAME] [--force] [--plugin PATH]

list  prints the presets of the preset folders by name: the editor's preset folder first, then the
      library of a system-wide install.
show  prints a preset's name and every parameter: its value in the file, the text a host shows for it
      and its reading in units. P is a .fxp file, a preset's name as list prints it (any case) or the
      start of one, or the factory program's name, "8 Voices Chorus".
save  writes a preset file: the factory program, or the preset P, changed by the --set values.
      A plain name goes into your preset folder (created when missing), where the editor's menu, list
      and --preset find it; a path with a folder (./F, dir/F) is written there. ".fxp" (in any case)
      is added unless F ends with it. An existing file is replaced only with --force. The preset is
      named after the file unless --name says otherwise; names hold up to 28 characters of the
      Windows-1252 set the editor draws, and are cut there.
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
    const PresetChoice choice = FindPreset(arguments.positional()[1]);
    const std::optional<std::string> plugin = arguments.value("--plugin");
    PluginHost host(PluginPath(plugin ? &*plugin : nullptr));
    host.Start();
    presets::FxpProgram program;
    if (choice.factory()) {
        program.name = host.ProgramName();
        for (int i = 0; i < presets::kParameterCount; ++i)
            program.values[i] = host.GetParameter(i);
    } else {
        program = readPreset(choice.path);
        ApplyPresetFile(host, choice.path);
    }
    ParameterSet loaded{};
    for (int i = 0; i < presets::kParameterCount; ++i)
        loaded[i] = host.GetParameter(i);

    std::cout << "file       "
              << (choice.factory() ? "none: the factory program of the plug-in" : choice.path) << "\n"
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

// Where preset save writes: a plain name into the user's preset folder, a path with a folder as it is.
std::string saveTarget(const std::string& chosen) {
    const std::string file = HasPresetExtension(chosen) ? chosen : chosen + ".fxp";
    if (file.find('/') != std::string::npos) {
        const std::filesystem::path folder = std::filesystem::path(file).parent_path();
        std::error_code error;
        if (!folder.empty() && !std::filesystem::is_directory(folder, error))
            throw ToolError("cannot write the preset file \"" + file + "\": the folder \"" + folder.string() +
                            "\" does not exist");
        return file;
    }
    const std::string folder = presets::PresetFolder();
    if (folder.empty())
        throw ToolError("there is no preset folder (neither XDG_DATA_HOME nor HOME names a data folder); "
                        "give the preset file a folder, ./" +
                        file + " for instance");
    std::error_code error;
    if (!std::filesystem::create_directories(folder, error) && error)
        throw ToolError("cannot create the preset folder \"" + folder +
                        "\": " + FileErrorText(error.value()));
    return (std::filesystem::path(folder) / file).string();
}

int savePreset(const Arguments& arguments) {
    if (arguments.positional().size() != 2)
        throw UsageError("preset save needs one preset file to write (vorelan preset --help)");
    const std::string& chosen = arguments.positional()[1];
    const std::string stem =
        std::filesystem::path(HasPresetExtension(chosen) ? chosen : chosen + ".fxp").stem().string();
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
        if (const PresetChoice source = FindPreset(*from); !source.factory())
            ApplyPresetFile(host, source.path);
    ApplySettings(host, arguments.values("--set"));

    const std::string filePath = saveTarget(chosen);
    std::error_code error;
    if (std::filesystem::exists(filePath, error) && !arguments.flag("--force"))
        throw ToolError("the preset file \"" + filePath + "\" exists already; --force replaces it");
    presets::ParameterValues values{};
    for (int i = 0; i < presets::kParameterCount; ++i)
        values[i] = host.GetParameter(i);
    int failure = 0;
    if (!presets::WriteFxpFile(filePath, presets::WriteFxp(name, values), &failure))
        throw ToolError("cannot write the preset file \"" + filePath + "\": " + FileErrorText(failure));
    std::cout << "wrote " << filePath << " (preset \"" << CodePageToUtf8(name) << "\")\n";
    return kExitOk;
}

} // namespace

int RunPreset(const std::vector<std::string>& args) {
    const Arguments arguments(args, {"--plugin", "--from", "--set", "--name"}, {"--force"});
    if (arguments.help()) {
        std::cout << kPresetHelp;
        return kExitOk;
    }
    if (arguments.positional().empty())
        throw UsageError("preset needs list, show or save (vorelan preset --help)");
    const std::string& action = arguments.positional()[0];
    if (action == "list") {
        if (arguments.positional().size() != 1 || arguments.value("--from") || arguments.value("--name") ||
            !arguments.values("--set").empty() || arguments.flag("--force"))
            throw UsageError("preset list takes no file and no options");
        return listPresets();
    }
    if (action == "show") {
        if (arguments.value("--from") || !arguments.values("--set").empty() || arguments.value("--name") ||
            arguments.flag("--force"))
            throw UsageError("preset show takes only a preset and --plugin");
        return showPreset(arguments);
    }
    if (action == "save")
        return savePreset(arguments);
    throw UsageError("unknown preset command \"" + action + "\": use list, show or save");
}

} // namespace vorelan
