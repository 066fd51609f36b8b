// The exported entry point of a plug-in binary. Compiled into each binary (not into the host
// library) so that the linker keeps it and the load-time floating-point setting below.

#include "host/AudioEffect.h"
#include "host/PluginFactory.h"
#include "vst2/FloatingPointGuard.h"

namespace {

#if defined(_WIN32) && (defined(__i386__) || defined(__x86_64__))
// On load, the x87 control word becomes 0x133F: every floating-point exception masked, 64-bit
// mantissa precision, rounding to nearest. Nothing changes it later.
struct X87ControlWordSetting {
    X87ControlWordSetting() noexcept {
        const unsigned short controlWord = 0x133F;
        __asm__ volatile("fldcw %0" : : "m"(controlWord));
    }
};
const X87ControlWordSetting x87ControlWordSetting;
#endif

vst2::AEffect* createEffect(vst2::audioMasterCallback audioMaster) noexcept {
    if (audioMaster == nullptr)
        return nullptr;
    // Construction computes too: it runs in the same floating-point state as every later call.
    const vst2::FloatingPointGuard guard(vst2::FloatingPointGuard::Mode::Control);
    try {
        if (audioMaster(nullptr, vst2::audioMasterVersion, 0, 0, nullptr, 0.0f) == 0)
            return nullptr;
        host::AudioEffect* effect = host::CreateEffectInstance(audioMaster);
        return effect != nullptr ? effect->getAeffect() : nullptr;
    } catch (...) {
        return nullptr;
    }
}

} // namespace

// Hosts look for VSTPluginMain first, then main. On Windows the module-definition file exports
// this function under the name main; on Linux both names are exported.
extern "C" __attribute__((visibility("default"))) vst2::AEffect*
VSTPluginMain(vst2::audioMasterCallback audioMaster) noexcept {
    return createEffect(audioMaster);
}

#ifndef _WIN32
// C++ reserves the name main for the program's own; the assembler label gives the symbol anyway.
extern "C" __attribute__((visibility("default"))) vst2::AEffect*
vorelanMainEntry(vst2::audioMasterCallback audioMaster) noexcept __asm__("main");

vst2::AEffect* vorelanMainEntry(vst2::audioMasterCallback audioMaster) noexcept {
    return createEffect(audioMaster);
}
#endif
