#include "tests/host/lib/PluginLibrary.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace testhost {

std::unique_ptr<PluginLibrary> PluginLibrary::Load(const std::string& path, std::string& error) {
    std::unique_ptr<PluginLibrary> library(new PluginLibrary);
    library->path_ = path;
#ifdef _WIN32
    library->handle_ = reinterpret_cast<void*>(LoadLibraryA(path.c_str()));
    if (library->handle_ == nullptr) {
        error = "cannot load " + path + " (error " + std::to_string(GetLastError()) + ")";
        return nullptr;
    }
#else
    library->handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (library->handle_ == nullptr) {
        const char* reason = dlerror();
        error = "cannot load " + path + ": " + (reason ? reason : "unknown error");
        return nullptr;
    }
#endif
    void* entry = library->Symbol("VSTPluginMain");
    if (entry == nullptr)
        entry = library->Symbol("main");
    if (entry == nullptr) {
        error = path + " exports neither VSTPluginMain nor main";
        return nullptr;
    }
    library->entry_ = reinterpret_cast<EntryPoint>(entry);
    return library;
}

PluginLibrary::~PluginLibrary() {
    if (handle_ == nullptr)
        return;
#ifdef _WIN32
    FreeLibrary(reinterpret_cast<HMODULE>(handle_));
#else
    dlclose(handle_);
#endif
}

void* PluginLibrary::Symbol(const char* name) const noexcept {
    if (handle_ == nullptr)
        return nullptr;
#ifdef _WIN32
    return reinterpret_cast<void*>(GetProcAddress(reinterpret_cast<HMODULE>(handle_), name));
#else
    return dlsym(handle_, name);
#endif
}

} // namespace testhost
