// The LV2 processor with one fault planted between host and effect, for the validator's mutation test
// only: it loads the shipped processor (VORELAN_LV2_PROCESSOR, set by the build) and wraps its
// descriptor, the fault chosen when the descriptor is first asked for by VORELAN_MUTANT:
//
//   last-frame-zero the last frame of every run written as 0
//   ulp             every output sample one unit in the last place off (the same in every partition, so
//                   only the comparison with the VST 2 plug-in can tell)
//
// Unknown or no value: no fault.
#include <lv2/core/lv2.h>

#include <dlfcn.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

enum class Fault { None, LastFrameZero, Ulp };

Fault chosenFault() {
    const char* name = std::getenv("VORELAN_MUTANT");
    if (name == nullptr)
        return Fault::None;
    if (std::strcmp(name, "last-frame-zero") == 0)
        return Fault::LastFrameZero;
    if (std::strcmp(name, "ulp") == 0)
        return Fault::Ulp;
    return Fault::None;
}

// Each instance's outputs, without allocating (a host has few instances at once).
struct Slot {
    LV2_Handle handle = nullptr;
    float* out[2] = {nullptr, nullptr};
};
std::array<Slot, 64> slots;

Slot* slotOf(LV2_Handle handle) {
    for (Slot& slot : slots)
        if (slot.handle == handle)
            return &slot;
    for (Slot& slot : slots)
        if (slot.handle == nullptr) {
            slot.handle = handle;
            return &slot;
        }
    return nullptr;
}

Fault fault = Fault::None;
const LV2_Descriptor* original = nullptr;
LV2_Descriptor mutant{};

void connectPort(LV2_Handle instance, std::uint32_t port, void* data) {
    if (port == 2 || port == 3)
        if (Slot* slot = slotOf(instance))
            slot->out[port - 2] = static_cast<float*>(data);
    original->connect_port(instance, port, data);
}

void run(LV2_Handle instance, std::uint32_t frames) {
    original->run(instance, frames);
    Slot* slot = slotOf(instance);
    if (slot == nullptr)
        return;
    for (float* out : slot->out) {
        if (out == nullptr || frames == 0)
            continue;
        if (fault == Fault::LastFrameZero)
            out[frames - 1] = 0.0f;
        if (fault == Fault::Ulp)
            for (std::uint32_t i = 0; i < frames; ++i)
                if (out[i] != 0.0f)
                    out[i] = std::nextafter(out[i], 2.0f * out[i]);
    }
}

void cleanup(LV2_Handle instance) {
    if (Slot* slot = slotOf(instance))
        *slot = Slot{};
    original->cleanup(instance);
}

} // namespace

extern "C" __attribute__((visibility("default"))) const LV2_Descriptor* lv2_descriptor(std::uint32_t index) {
    if (original == nullptr) {
        void* processor = dlopen(VORELAN_LV2_PROCESSOR, RTLD_NOW | RTLD_LOCAL);
        const auto descriptorOf = processor != nullptr
                                      ? reinterpret_cast<const LV2_Descriptor* (*)(std::uint32_t)>(
                                            dlsym(processor, "lv2_descriptor"))
                                      : nullptr;
        original = descriptorOf != nullptr ? descriptorOf(0) : nullptr;
        if (original == nullptr)
            return nullptr;
        fault = chosenFault();
        mutant = *original;
        mutant.connect_port = connectPort;
        mutant.run = run;
        mutant.cleanup = cleanup;
    }
    return index == 0 ? &mutant : nullptr;
}
