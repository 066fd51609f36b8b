// vorelan-validate: the validator as a Windows program, for the Windows plug-in binaries (run under
// wine on the build machines). It takes the options of `vorelan validate`.

#include "tools/validate/Platform.h"
#include "tools/validate/ValidateCommand.h"
#include "tools/vorelan/ToolError.h"

#include <cstdio>
#include <exception>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    const validate::CommandSetup setup{
        "vorelan-validate", {validate::ExecutablePath()}, "VorelanEn2.dll", nullptr};
    try {
        return validate::RunValidateCommand(args, setup);
    } catch (const vorelan::ToolError& error) {
        std::fprintf(stderr, "vorelan-validate: %s\n", error.what());
        return error.status();
    } catch (const std::exception& error) {
        std::fprintf(stderr, "vorelan-validate: %s\n", error.what());
        return vorelan::kExitFailure;
    }
}
