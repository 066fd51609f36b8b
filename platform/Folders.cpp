#include "platform/Folders.h"

#include <atomic>
#include <filesystem>
#include <system_error>

#if !defined(_WIN32)
#include <cstdlib>
#include <dlfcn.h>
#include <pwd.h>
#include <unistd.h>
#endif

namespace platform {

namespace {
std::atomic<FolderProvider*> installedProvider{nullptr};
} // namespace

std::string SharedDataFolder() {
    if (FolderProvider* provider = installedProvider.load(std::memory_order_acquire))
        return provider->SharedDataFolder();
    return SystemSharedDataFolder();
}

std::string ModuleFolder() {
    if (FolderProvider* provider = installedProvider.load(std::memory_order_acquire))
        return provider->ModuleFolder();
    return SystemModuleFolder();
}

void SetFolderProvider(FolderProvider* provider) noexcept {
    installedProvider.store(provider, std::memory_order_release);
}

bool FolderExists(const std::string& path) {
    if (path.empty())
        return false;
    std::error_code error;
    return std::filesystem::is_directory(std::filesystem::path(path), error);
}

std::vector<std::string> ListFolder(const std::string& folder) {
    std::vector<std::string> names;
    if (folder.empty())
        return names;
    std::error_code error;
    std::filesystem::directory_iterator it(std::filesystem::path(folder), error);
    if (error)
        return names;
    for (const std::filesystem::directory_iterator end; it != end; it.increment(error)) {
        if (error)
            break;
        names.push_back(it->path().filename().string());
    }
    return names;
}

#if !defined(_WIN32)
std::string SystemSharedDataFolder() {
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && xdg[0] == '/') {
        std::string folder = xdg;
        while (folder.size() > 1 && folder.back() == '/')
            folder.pop_back();
        return folder;
    }
    std::string home;
    if (const char* env = std::getenv("HOME"); env && env[0] == '/')
        home = env;
    else if (const passwd* entry = getpwuid(getuid()); entry && entry->pw_dir)
        home = entry->pw_dir;
    if (home.empty())
        return {};
    while (home.size() > 1 && home.back() == '/')
        home.pop_back();
    return home + "/.local/share";
}

std::string SystemModuleFolder() {
    // The shared object that contains this very function is the plug-in module (or the program
    // when the platform layer is linked statically into a tool).
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&SystemModuleFolder), &info) == 0 || !info.dli_fname)
        return {};
    std::error_code error;
    std::filesystem::path file = std::filesystem::absolute(info.dli_fname, error);
    if (error)
        return {};
    std::string path = file.string();
    const std::string::size_type cut = path.rfind('/');
    return cut == std::string::npos ? std::string{} : path.substr(0, cut + 1);
}
#endif

} // namespace platform
