#pragma once

#include <functional>
#include <string>
#include <vector>

namespace validate {

// How the program that hosts the command is called, so that it can print commands that replay a
// finding and start itself again to try shortened step lists in a separate process.
struct CommandSetup {
    std::string name;              // as printed: "vorelan validate"
    std::vector<std::string> self; // what runs it: the program's path, then "validate" if needed
    std::string defaultPlugin;     // without --plugin, as the help describes it
    // Finds the plug-in without --plugin: only asked then, as finding it may fail (throws ToolError).
    std::function<std::string()> findPlugin;
};

// `validate [--plugin P] [--seed S] [--steps N] [--seeds K] [--minutes M] [--threads] [--replay FILE]
// [--shrink] [--save FILE] [--bound C] [--reference PATH] [--ignore KINDS] [--no-editor]`. Exit status 0
// without a finding, 1 with one, 2 for a wrong command line, 3 when the plug-in crashed the process, 4 when a
// call did not return. Throws vorelan::UsageError for a wrong command line.
int RunValidateCommand(const std::vector<std::string>& args, const CommandSetup& setup);

} // namespace validate
