#pragma once

#include <string>
#include <vector>

namespace vorelan {

class PluginHost;

// Each command takes its arguments after the command word and answers the exit status.
int RunRender(const std::vector<std::string>& args);
int RunInfo(const std::vector<std::string>& args);
int RunPreset(const std::vector<std::string>& args);
int RunScreenshot(const std::vector<std::string>& args);

// The plug-in binary to host: --plugin's value, else the first plug-in found where PluginCandidates
// looks. Throws ToolError listing those places when there is none.
std::string PluginPath(const std::string* chosen);

// The parameter a --set names, by exact name, by name in any case, or by index. Usage error otherwise.
int ResolveParameter(PluginHost& host, const std::string& nameOrIndex);

// Applies every NAME=VALUE; values must lie in 0..1.
void ApplySettings(PluginHost& host, const std::vector<std::string>& settings);

// Loads a preset file into the effect through setParameter, as the effect's own reader does, and
// renames its program. Throws ToolError with the reader's message for a file it rejects.
void ApplyPresetFile(PluginHost& host, const std::string& path);

} // namespace vorelan
