#pragma once

#include <string>
#include <vector>

namespace vorelan {

inline constexpr const char* kPluginFileName = "VorelanEn2.so";

// The folder of the running executable, without a trailing separator; empty if the system cannot tell.
std::string ExecutableFolder();

// True when the running executable is the tool in its own build folder.
bool RunningFromBuildFolder();

// The places where the tool looks for the plug-in, in order: beside the tool itself (and in lib/vst of
// the prefix it is installed in), the freshly built plug-in when the tool runs from its build folder,
// each folder of VST_PATH, ~/.vst, ~/.lxvst, /usr/local/lib/vst and /usr/lib/vst.
std::vector<std::string> PluginCandidates();

} // namespace vorelan
