#pragma once

#include <string>
#include <vector>

namespace platform {

#if defined(_WIN32)
inline constexpr char kPathSeparator = '\\';
#else
inline constexpr char kPathSeparator = '/';
#endif

// Where the folders come from. The system's own lookup is used unless a provider is installed
// (tests point the folders at temporary directories).
class FolderProvider {
public:
    virtual ~FolderProvider() = default;
    // The application-data folder shared by all users, without a trailing separator; empty if the
    // system cannot tell.
    virtual std::string SharedDataFolder() = 0;
    // The folder holding the plug-in module file, with its trailing separator; empty if unknown.
    virtual std::string ModuleFolder() = 0;
};

// Windows: the shell folder CSIDL_COMMON_APPDATA. Linux: the per-user data folder
// ($XDG_DATA_HOME when it is an absolute path, else ~/.local/share).
std::string SharedDataFolder();
std::string ModuleFolder();

// Installs provider for every later lookup; nullptr restores the system's own. Not owned.
void SetFolderProvider(FolderProvider* provider) noexcept;

// The system's lookups themselves.
std::string SystemSharedDataFolder();
std::string SystemModuleFolder();

bool FolderExists(const std::string& path);
// Names of the entries in folder (files and folders, hidden ones too), in the order the file system
// returns them. Empty when the folder does not exist or cannot be read.
std::vector<std::string> ListFolder(const std::string& folder);

} // namespace platform
