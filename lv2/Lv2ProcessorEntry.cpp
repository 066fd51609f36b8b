// The exported entry point of VorelanEn2_dsp.so, lv2_descriptor, and the C functions of its descriptor.
// Every call runs inside the floating-point guard of the VST 2 entry points (run and activate in its
// processing mode, the others in its control mode), and none lets an exception reach the host.
#include "lv2/Lv2Processor.h"
#include "vst2/FloatingPointGuard.h"

#include <lv2/state/state.h>

#include <cstring>
#include <new>

namespace {

using Guard = vst2::FloatingPointGuard;

lv2::Lv2Processor& processor(LV2_Handle instance) {
    return *static_cast<lv2::Lv2Processor*>(instance);
}

LV2_Handle instantiate(const LV2_Descriptor*, double sampleRate, const char*,
                       const LV2_Feature* const* features) noexcept {
    // Construction computes too: it runs in the same floating-point state as every later call.
    const Guard guard(Guard::Mode::Control);
    try {
        return new lv2::Lv2Processor(sampleRate, features);
    } catch (...) {
        return nullptr;
    }
}

void connectPort(LV2_Handle instance, std::uint32_t port, void* data) noexcept {
    processor(instance).ConnectPort(port, data);
}

void activate(LV2_Handle instance) noexcept {
    const Guard guard(Guard::Mode::Processing);
    processor(instance).Activate();
}

void run(LV2_Handle instance, std::uint32_t frames) noexcept {
    const Guard guard(Guard::Mode::Processing);
    processor(instance).Run(frames);
}

void deactivate(LV2_Handle instance) noexcept {
    processor(instance).Deactivate();
}

void cleanup(LV2_Handle instance) noexcept {
    const Guard guard(Guard::Mode::Control);
    delete &processor(instance);
}

LV2_State_Status save(LV2_Handle instance, LV2_State_Store_Function store, LV2_State_Handle handle,
                      std::uint32_t, const LV2_Feature* const*) noexcept {
    const Guard guard(Guard::Mode::Control);
    return processor(instance).Save(store, handle);
}

LV2_State_Status restore(LV2_Handle instance, LV2_State_Retrieve_Function retrieve, LV2_State_Handle handle,
                         std::uint32_t, const LV2_Feature* const*) noexcept {
    const Guard guard(Guard::Mode::Control);
    return processor(instance).Restore(retrieve, handle);
}

const LV2_State_Interface kStateInterface{save, restore};

const void* extensionData(const char* uri) noexcept {
    if (uri != nullptr && std::strcmp(uri, LV2_STATE__interface) == 0)
        return &kStateInterface;
    return nullptr;
}

const LV2_Descriptor kDescriptor{lv2::kPluginUri, instantiate, connectPort,  activate, run,
                                 deactivate,      cleanup,     extensionData};

} // namespace

extern "C" __attribute__((visibility("default"))) const LV2_Descriptor* lv2_descriptor(std::uint32_t index) {
    return index == 0 ? &kDescriptor : nullptr;
}
