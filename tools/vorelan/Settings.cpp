#include "presets/FxpFile.h"
#include "tools/vorelan/Arguments.h"
#include "tools/vorelan/Commands.h"
#include "tools/vorelan/PluginHost.h"
#include "tools/vorelan/ToolError.h"

#include <algorithm>
#include <cctype>

namespace vorelan {

namespace {

bool sameIgnoringCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(),
                      [](unsigned char x, unsigned char y) { return std::tolower(x) == std::tolower(y); });
}

} // namespace

int ResolveParameter(PluginHost& host, const std::string& nameOrIndex) {
    const int count = host.ParameterCount();
    if (!nameOrIndex.empty() && std::all_of(nameOrIndex.begin(), nameOrIndex.end(),
                                            [](unsigned char c) { return std::isdigit(c) != 0; })) {
        if (nameOrIndex.size() > 6 || std::stoi(nameOrIndex) >= count)
            throw UsageError("parameter index " + nameOrIndex + " is out of range: the effect has " +
                             std::to_string(count) + " parameters, 0 to " + std::to_string(count - 1));
        return std::stoi(nameOrIndex);
    }
    for (int i = 0; i < count; ++i)
        if (host.ParameterName(i) == nameOrIndex)
            return i;
    for (int i = 0; i < count; ++i)
        if (sameIgnoringCase(host.ParameterName(i), nameOrIndex))
            return i;
    throw UsageError("unknown parameter name \"" + nameOrIndex + "\" (vorelan info lists them)");
}

void ApplySettings(PluginHost& host, const std::vector<std::string>& settings) {
    for (const std::string& setting : settings) {
        const std::string::size_type equals = setting.find('=');
        if (equals == std::string::npos || equals == 0)
            throw UsageError("bad setting \"" + setting + "\": write NAME=VALUE, for example Delay3=0.25");
        const int index = ResolveParameter(host, setting.substr(0, equals));
        const float value = static_cast<float>(
            ParseNumber(setting.substr(equals + 1), "parameter " + host.ParameterName(index), 0.0, 1.0));
        host.SetParameter(index, value);
    }
}

void ApplyPresetFile(PluginHost& host, const std::string& path) {
    const presets::FxpReadResult preset = presets::ReadFxpFile(path);
    if (!preset.ok()) {
        std::string message = presets::FxpStatusMessage(preset, path);
        if (preset.status == presets::FxpStatus::ForeignEffect)
            message = "\"" + path + "\": " + message;
        throw ToolError(message);
    }
    host.SetProgramName(preset.program.name);
    for (int i = 0; i < presets::kParameterCount && i < host.ParameterCount(); ++i)
        host.SetParameter(i, preset.program.values[i]);
}

} // namespace vorelan
