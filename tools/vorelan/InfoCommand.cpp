#include "host/Capabilities.h"
#include "tools/vorelan/Arguments.h"
#include "tools/vorelan/CodePage.h"
#include "tools/vorelan/Commands.h"
#include "tools/vorelan/ParameterText.h"
#include "tools/vorelan/PluginHost.h"
#include "tools/vorelan/ToolError.h"

#include <cstdio>
#include <iostream>

namespace vorelan {

namespace {

constexpr const char* kInfoHelp = R"(usage: vorelan info [--rate HZ] [--plugin PATH]

Shows what a host sees of the effect: identity, pins, capabilities and every parameter with its
name, value, the display text and label the plug-in gives a host, and its reading in units (times at
44.1 kHz; docs/parameters.md explains each parameter).
)";

std::string fourCharacters(int id) {
    std::string text;
    for (int shift = 24; shift >= 0; shift -= 8) {
        const char c = static_cast<char>((static_cast<unsigned>(id) >> shift) & 0xFF);
        text += (c >= 32 && c < 127) ? c : '?';
    }
    return text;
}

std::string flagNames(int flags) {
    static const std::pair<int, const char*> names[] = {
        {1, "HasEditor"},     {2, "HasClip"},         {4, "HasVu"},     {8, "CanMono"},
        {16, "CanReplacing"}, {32, "ProgramChunks"},  {256, "IsSynth"}, {512, "NoSoundInStop"},
        {1024, "ExtIsAsync"}, {2048, "ExtHasBuffer"},
    };
    std::string text;
    for (const auto& [bit, name] : names)
        if (flags & bit) {
            if (!text.empty())
                text += ' ';
            text += name;
        }
    return text.empty() ? "none" : text;
}

} // namespace

int RunInfo(const std::vector<std::string>& args) {
    const Arguments arguments(args, {"--plugin", "--rate"}, {});
    if (arguments.help()) {
        std::cout << kInfoHelp;
        return kExitOk;
    }
    if (!arguments.positional().empty())
        throw UsageError("info takes no file (vorelan info --help)");
    const std::optional<std::string> plugin = arguments.value("--plugin");
    const std::string path = PluginPath(plugin ? &*plugin : nullptr);
    PluginHost host(path);
    if (const std::optional<std::string> rate = arguments.value("--rate"))
        host.SetSampleRate(ParseNumber(*rate, "--rate", 8000, 384000));
    host.Start();

    const PluginHost::Identity id = host.GetIdentity();
    std::cout << "plug-in file     " << path << "\n"
              << "effect name      " << id.effectName << "\n"
              << "product          " << id.productString << "\n"
              << "vendor           " << id.vendorString << ", version " << id.vendorVersion << "\n"
              << "unique ID        " << fourCharacters(id.uniqueId) << " (" << id.uniqueId << ")\n"
              << "VST version      " << id.vstVersion << "\n"
              << "category         " << id.category << "\n"
              << "flags            " << flagNames(id.flags) << "\n"
              << "initial delay    " << id.initialDelay << " samples\n"
              << "programs         " << id.numPrograms << ", current \"" << CodePageToUtf8(host.ProgramName())
              << "\"\n"
              << "parameters       " << id.numParams << "\n"
              << "inputs/outputs   " << id.numInputs << " / " << id.numOutputs << "\n";
    for (int input = 1; input >= 0; --input) {
        const int count = input ? id.numInputs : id.numOutputs;
        for (int i = 0; i < count; ++i) {
            int flags = 0;
            const std::string label = host.PinLabel(input != 0, i, &flags);
            std::cout << (input ? "  input " : "  output ") << i << "  \"" << label << "\" flags " << flags
                      << "\n";
        }
    }
    std::cout << "capabilities (1 yes, 0 don't know, -1 no)\n";
    for (const char* capability : host::kCapabilityNames)
        std::cout << "  " << capability << " " << host.CanDo(capability) << "\n";
    std::cout << "parameters (index, name, value, host display, reading)\n";
    ParameterSet values{};
    for (int i = 0; i < host.ParameterCount() && i < static_cast<int>(values.size()); ++i)
        values[i] = host.GetParameter(i);
    for (int i = 0; i < host.ParameterCount(); ++i) {
        char value[32];
        std::snprintf(value, sizeof value, "%.6f", host.GetParameter(i));
        std::string label = host.ParameterLabel(i);
        std::cout << "  " << i << "\t" << host.ParameterName(i) << "\t" << value << "\t"
                  << host.ParameterDisplay(i) << (label.empty() ? "" : " " + label) << "\t"
                  << ReadableValue(values, i) << "\n";
    }
    return kExitOk;
}

} // namespace vorelan
