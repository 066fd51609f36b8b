#include "tools/validate/Lv2Host.h"

#include "lv2/Lv2Contract.h"

#include <dlfcn.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <sstream>

namespace validate {

namespace {

bool isFolder(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool isFile(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

// The folders LV2 hosts search: LV2_PATH, or their defaults on Linux.
std::vector<std::string> searchPath() {
    std::string path;
    if (const char* set = std::getenv("LV2_PATH"); set != nullptr && *set != '\0') {
        path = set;
    } else {
        const char* home = std::getenv("HOME");
        path = std::string(home != nullptr ? home : "") + "/.lv2:/usr/local/lib/lv2:/usr/lib/lv2";
    }
    std::vector<std::string> folders;
    std::stringstream parts(path);
    for (std::string folder; std::getline(parts, folder, ':');)
        if (!folder.empty())
            folders.push_back(folder);
    return folders;
}

} // namespace

std::unique_ptr<Lv2Binary> Lv2Binary::Load(const std::string& what, std::string& error) {
    std::string binary;
    if (isFolder(what)) {
        binary = what + "/" + lv2::kDspBinary;
    } else if (isFile(what)) {
        binary = what.find('/') == std::string::npos ? "./" + what : what;
    } else if (what == lv2::kPluginUri) {
        for (const std::string& folder : searchPath())
            if (const std::string candidate = folder + "/" + lv2::kBundleFolder + "/" + lv2::kDspBinary;
                isFile(candidate)) {
                binary = candidate;
                break;
            }
        if (binary.empty()) {
            error = "no bundle " + std::string(lv2::kBundleFolder) + " with " + lv2::kDspBinary +
                    " in the LV2 search path (LV2_PATH, or ~/.lv2, /usr/local/lib/lv2, /usr/lib/lv2)";
            return nullptr;
        }
    } else {
        error = "\"" + what +
                "\" is neither an LV2 bundle's folder, a processor binary nor the plug-in's URI " +
                lv2::kPluginUri;
        return nullptr;
    }

    std::unique_ptr<Lv2Binary> loaded(new Lv2Binary);
    loaded->path_ = binary;
    loaded->bundle_ = binary.substr(0, binary.rfind('/') + 1);
    loaded->handle_ = dlopen(binary.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (loaded->handle_ == nullptr) {
        const char* reason = dlerror();
        error = "cannot load " + binary + ": " + (reason != nullptr ? reason : "unknown error");
        return nullptr;
    }
    using DescriptorFunction = const LV2_Descriptor* (*)(std::uint32_t);
    const auto descriptorOf = reinterpret_cast<DescriptorFunction>(dlsym(loaded->handle_, "lv2_descriptor"));
    if (descriptorOf == nullptr) {
        error = binary + " exports no lv2_descriptor";
        return nullptr;
    }
    for (std::uint32_t i = 0; i < 1000; ++i) {
        const LV2_Descriptor* d = descriptorOf(i);
        if (d == nullptr)
            break;
        if (d->URI != nullptr && std::strcmp(d->URI, lv2::kPluginUri) == 0) {
            loaded->descriptor_ = d;
            break;
        }
    }
    if (loaded->descriptor_ == nullptr) {
        error = binary + " holds no plug-in " + lv2::kPluginUri +
                " (the validator drives the LV2 processor of this effect, whose ports it knows)";
        return nullptr;
    }
    const LV2_Descriptor& d = *loaded->descriptor_;
    if (d.instantiate == nullptr || d.connect_port == nullptr || d.run == nullptr || d.cleanup == nullptr) {
        error = binary + ": the descriptor of " + lv2::kPluginUri + " lacks a function every host calls";
        return nullptr;
    }
    return loaded;
}

Lv2Binary::~Lv2Binary() {
    if (handle_ != nullptr)
        dlclose(handle_);
}

AtomBuffer::AtomBuffer(std::uint32_t capacity)
    : storage_((capacity + kGuardBytes + 7) / 8, 0), capacity_(capacity) {
    ResetGuard();
}

void AtomBuffer::ResetGuard() noexcept {
    std::memset(Data() + capacity_, kSentinel, kGuardBytes);
}

bool AtomBuffer::GuardIntact() const noexcept {
    const std::uint8_t* guard = Data() + capacity_;
    return std::all_of(guard, guard + kGuardBytes, [](std::uint8_t b) { return b == kSentinel; });
}

} // namespace validate
