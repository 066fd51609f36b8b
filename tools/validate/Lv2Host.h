#pragma once

// What the validator needs to host the LV2 processor itself, without a host library: the binary found
// and loaded, the host's URID map, and the buffers of the atom ports. Linux only.

#include "tools/validate/HostBuffers.h"
#include "tools/validate/Lv2UridMap.h"

#include <lv2/core/lv2.h>
#include <lv2/urid/urid.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace validate {

// The LV2 processor of this effect, loaded into the process: found from its bundle's folder, the path of
// its binary, or its URI (looked up in LV2_PATH, or the folders hosts search by default). Its ports are
// the ones lv2/Lv2Contract.h lists; a binary without a plug-in of the contract's URI is refused.
class Lv2Binary {
public:
    // Null with a message in error when nothing usable was found.
    static std::unique_ptr<Lv2Binary> Load(const std::string& bundleBinaryOrUri, std::string& error);
    ~Lv2Binary();
    Lv2Binary(const Lv2Binary&) = delete;
    Lv2Binary& operator=(const Lv2Binary&) = delete;

    const LV2_Descriptor& Descriptor() const noexcept { return *descriptor_; }
    const std::string& Path() const noexcept { return path_; }
    const std::string& BundlePath() const noexcept { return bundle_; } // with its trailing "/"

private:
    Lv2Binary() = default;
    void* handle_ = nullptr;
    const LV2_Descriptor* descriptor_ = nullptr;
    std::string path_;
    std::string bundle_;
};

// The buffer of an atom port: capacity bytes the plug-in may use, then a guard of sentinel bytes. It is
// allocated once, so the pointer connected to the port stays valid.
class AtomBuffer {
public:
    explicit AtomBuffer(std::uint32_t capacity);
    std::uint8_t* Data() noexcept { return reinterpret_cast<std::uint8_t*>(storage_.data()); }
    const std::uint8_t* Data() const noexcept {
        return reinterpret_cast<const std::uint8_t*>(storage_.data());
    }
    std::uint32_t Capacity() const noexcept { return capacity_; }
    void ResetGuard() noexcept;
    bool GuardIntact() const noexcept;

private:
    std::vector<std::uint64_t> storage_;
    std::uint32_t capacity_;
};

} // namespace validate
