// vorelan: hosts the VorelanEn2 plug-in binary from the command line.
#include "tools/vorelan/Commands.h"
#include "tools/vorelan/ToolError.h"

#include <exception>
#include <iostream>
#include <string>
#include <vector>

namespace {

constexpr const char* kHelp = R"(usage: vorelan COMMAND [options]

commands:
  render [IN] OUT   run an audio file (or the built-in demo) through the effect
  info              what a host sees: identity, pins, capabilities, parameters
  preset list       the presets in the preset folders
  preset show P     a preset's name and parameters
  preset save NAME  save a preset into your preset folder (or a file)
  screenshot OUT    the editor's picture as PNG
  validate          drive the plug-in as a hostile host and check it after every call

"vorelan COMMAND --help" describes each command; "vorelan --version" tells the version.
)";

} // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> all(argv + 1, argv + argc);
    if (all.empty() || all[0] == "--help" || all[0] == "-h" || all[0] == "help") {
        std::cout << kHelp;
        return all.empty() ? vorelan::kExitUsage : vorelan::kExitOk;
    }
    if (all[0] == "--version") {
        std::cout << "vorelan " << VORELAN_VERSION << ", host for the VorelanEn2 plug-in by Qarno Audio\n";
        return vorelan::kExitOk;
    }
    const std::string command = all[0];
    const std::vector<std::string> args(all.begin() + 1, all.end());
    try {
        if (command == "render")
            return vorelan::RunRender(args);
        if (command == "info")
            return vorelan::RunInfo(args);
        if (command == "preset")
            return vorelan::RunPreset(args);
        if (command == "screenshot")
            return vorelan::RunScreenshot(args);
        if (command == "validate")
            return vorelan::RunValidate(args);
        throw vorelan::UsageError("unknown command \"" + command + "\" (vorelan --help lists them)");
    } catch (const vorelan::ToolError& error) {
        std::cerr << "vorelan: " << error.what() << "\n";
        return error.status();
    } catch (const std::exception& error) {
        std::cerr << "vorelan: " << error.what() << "\n";
        return vorelan::kExitFailure;
    }
}
