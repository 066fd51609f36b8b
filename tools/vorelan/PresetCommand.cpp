#include "presets/FxpFile.h"
#include "presets/PresetFolder.h"
#include "tools/vorelan/Arguments.h"
#include "tools/vorelan/Commands.h"
#include "tools/vorelan/PluginHost.h"
#include "tools/vorelan/ToolError.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <iostream>

namespace vorelan {

namespace {

constexpr const char* kPresetHelp = R"(usage: vorelan preset show F.fxp [--plugin PATH]
       vorelan preset save F.fxp [--from G.fxp] [--set NAME=VALUE]... [--name NAME] [--plugin PATH]

show  prints a preset file's name, effect ID and every parameter by name.
save  writes a preset file: the factory program, or the preset G.fxp, changed by the --set values.
      The preset is named after the file (its first 28 characters), unless --name says otherwise;
      ".fxp" is added to F unless it already ends with it.
)";

int showPreset(const Arguments& arguments) {
    if (arguments.positional().size() != 2)
        throw UsageError("preset show needs one preset file (vorelan preset --help)");
    const std::string& path = arguments.positional()[1];
    const presets::FxpReadResult preset = presets::ReadFxpFile(path);
    if (!preset.ok()) {
        const std::string message = presets::FxpStatusMessage(preset, path);
        throw ToolError(preset.status == presets::FxpStatus::ForeignEffect ? "\"" + path + "\": " + message
                                                                           : message);
    }
    const std::optional<std::string> plugin = arguments.value("--plugin");
    PluginHost host(PluginPath(plugin ? &*plugin : nullptr));
    std::cout << "file       " << path << "\n"
              << "name       \"" << preset.program.name << "\"\n"
              << "effect ID  QR14\n"
              << "parameters (index, name, value in the file)\n";
    for (int i = 0; i < presets::kParameterCount; ++i) {
        const float value = preset.program.values[i];
        char text[64];
        std::snprintf(text, sizeof text, "%.6f", value);
        std::string note;
        if (!(value >= 0.0f && value <= 1.0f)) {
            const float clamped = value > 1.0f ? 1.0f : (value >= 0.0f ? value : 0.0f);
            char loaded[32];
            std::snprintf(loaded, sizeof loaded, "%.6f", clamped);
            note = std::string("  (loads as ") + loaded + ")";
        }
        std::cout << "  " << i << "\t" << (i < host.ParameterCount() ? host.ParameterName(i) : "?") << "\t"
                  << text << note << "\n";
    }
    return kExitOk;
}

int savePreset(const Arguments& arguments) {
    if (arguments.positional().size() != 2)
        throw UsageError("preset save needs one preset file to write (vorelan preset --help)");
    const presets::SaveAsTarget target = presets::PlanSaveAs(arguments.positional()[1]);
    const std::optional<std::string> plugin = arguments.value("--plugin");
    PluginHost host(PluginPath(plugin ? &*plugin : nullptr));
    host.Start();
    if (const std::optional<std::string> from = arguments.value("--from"))
        ApplyPresetFile(host, *from);
    ApplySettings(host, arguments.values("--set"));

    const std::string name = arguments.value("--name").value_or(target.fieldName);
    presets::ParameterValues values{};
    for (int i = 0; i < presets::kParameterCount; ++i)
        values[i] = host.GetParameter(i);
    if (!presets::WriteFxpFile(target.filePath, presets::WriteFxp(name, values)))
        throw ToolError("cannot write the preset file \"" + target.filePath + "\"");
    std::cout << "wrote " << target.filePath << " (preset \"" << name.substr(0, presets::kNameSize)
              << "\")\n";
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
        throw UsageError("preset needs show or save (vorelan preset --help)");
    const std::string& action = arguments.positional()[0];
    if (action == "show") {
        if (arguments.value("--from") || !arguments.values("--set").empty() || arguments.value("--name"))
            throw UsageError("preset show takes only a file and --plugin");
        return showPreset(arguments);
    }
    if (action == "save")
        return savePreset(arguments);
    throw UsageError("unknown preset command \"" + action + "\": use show or save");
}

} // namespace vorelan
