#pragma once

#include "vst2/Vst2.h"

#include <memory>
#include <string>

namespace testhost {

using EntryPoint = vst2::AEffect* (*)(vst2::audioMasterCallback);

// A plug-in binary loaded into this process: dlopen on Linux, LoadLibrary on Windows. The entry
// point is VSTPluginMain when exported, otherwise main, as hosts look them up.
class PluginLibrary {
public:
    // Null with a message in error when the binary cannot be loaded or exports no entry point.
    static std::unique_ptr<PluginLibrary> Load(const std::string& path, std::string& error);
    ~PluginLibrary();
    PluginLibrary(const PluginLibrary&) = delete;
    PluginLibrary& operator=(const PluginLibrary&) = delete;

    EntryPoint Entry() const noexcept { return entry_; }
    // The address of an exported symbol, or null.
    void* Symbol(const char* name) const noexcept;
    const std::string& Path() const noexcept { return path_; }

private:
    PluginLibrary() = default;
    void* handle_ = nullptr;
    EntryPoint entry_ = nullptr;
    std::string path_;
};

} // namespace testhost
