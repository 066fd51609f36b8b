#include "tools/vorelan/PluginSearch.h"

#include "tools/vorelan/Commands.h"
#include "tools/vorelan/ToolError.h"

#include <cstdlib>
#include <filesystem>
#include <pwd.h>
#include <unistd.h>

namespace vorelan {

namespace fs = std::filesystem;

namespace {

std::string homeFolder() {
    if (const char* home = std::getenv("HOME"); home && home[0] == '/')
        return home;
    if (const passwd* entry = getpwuid(getuid()); entry && entry->pw_dir)
        return entry->pw_dir;
    return {};
}

void addFolder(std::vector<std::string>& candidates, const std::string& folder) {
    if (folder.empty())
        return;
    const std::string path = (fs::path(folder) / kPluginFileName).lexically_normal().string();
    for (const std::string& known : candidates)
        if (known == path)
            return;
    candidates.push_back(path);
}

} // namespace

std::string ExecutableFolder() {
    std::error_code error;
    const fs::path self = fs::read_symlink("/proc/self/exe", error);
    return error ? std::string() : self.parent_path().string();
}

bool RunningFromBuildFolder() {
#if defined(VORELAN_BUILD_TOOL_FOLDER)
    std::error_code error;
    const std::string tool = ExecutableFolder();
    return !tool.empty() && fs::equivalent(tool, VORELAN_BUILD_TOOL_FOLDER, error);
#else
    return false;
#endif
}

std::vector<std::string> PluginCandidates() {
    std::vector<std::string> candidates;
    const std::string tool = ExecutableFolder();
    if (!tool.empty()) {
        addFolder(candidates, tool);
        addFolder(candidates, tool + "/../lib/vst");
#if defined(VORELAN_BUILD_PLUGIN_FOLDER)
        // The tool of a build tree hosts the plug-in built beside it; a copy elsewhere does not.
        if (RunningFromBuildFolder())
            addFolder(candidates, VORELAN_BUILD_PLUGIN_FOLDER);
#endif
    }
    if (const char* vstPath = std::getenv("VST_PATH")) {
        const std::string list = vstPath;
        for (std::size_t start = 0; start <= list.size();) {
            const std::size_t end = std::min(list.find(':', start), list.size());
            addFolder(candidates, list.substr(start, end - start));
            start = end + 1;
        }
    }
    const std::string home = homeFolder();
    if (!home.empty()) {
        addFolder(candidates, home + "/.vst");
        addFolder(candidates, home + "/.lxvst");
    }
    addFolder(candidates, "/usr/local/lib/vst");
    addFolder(candidates, "/usr/lib/vst");
    return candidates;
}

std::string PluginPath(const std::string* chosen) {
    if (chosen)
        return *chosen;
    const std::vector<std::string> candidates = PluginCandidates();
    for (const std::string& candidate : candidates) {
        std::error_code error;
        if (fs::is_regular_file(candidate, error))
            return candidate;
    }
    std::string message = std::string("cannot find the plug-in ") + kPluginFileName + "; looked for:";
    for (const std::string& candidate : candidates)
        message += "\n  " + candidate;
    message +=
        "\n(install it with make install, add its folder to VST_PATH, or choose it with --plugin PATH)";
    throw ToolError(message);
}

} // namespace vorelan
