// The exported entry point of VorelanEn2_ui.so, lv2ui_descriptor, and the C functions of its descriptor.
// Every call runs in the floating-point state of the VST 2 editor's calls (the guard's control mode), so
// what the editor computes does not depend on the host; none lets an exception reach the host.
#include "lv2/Lv2Contract.h"
#include "lv2/Lv2Ui.h"
#include "platform/EditorWindow.h"
#include "vst2/FloatingPointGuard.h"

#include <cstring>

namespace {

using Guard = vst2::FloatingPointGuard;

lv2::Lv2Ui& ui(LV2UI_Handle handle) {
    return *static_cast<lv2::Lv2Ui*>(handle);
}

LV2UI_Handle instantiate(const LV2UI_Descriptor*, const char* pluginUri, const char*,
                         LV2UI_Write_Function write, LV2UI_Controller controller, LV2UI_Widget* widget,
                         const LV2_Feature* const* features) noexcept {
    const Guard guard(Guard::Mode::Control);
    if (pluginUri == nullptr || std::strcmp(pluginUri, lv2::kPluginUri) != 0 || widget == nullptr)
        return nullptr;
    platform::WindowFactory* windows = platform::NativeWindowFactory();
    if (windows == nullptr)
        return nullptr;
    try {
        std::unique_ptr<lv2::Lv2Ui> created = lv2::Lv2Ui::Create(write, controller, features, *windows);
        if (!created)
            return nullptr;
        *widget = created->Widget();
        return created.release();
    } catch (...) {
        return nullptr;
    }
}

void cleanup(LV2UI_Handle handle) noexcept {
    const Guard guard(Guard::Mode::Control);
    delete &ui(handle);
}

void portEvent(LV2UI_Handle handle, std::uint32_t port, std::uint32_t size, std::uint32_t format,
               const void* buffer) noexcept {
    const Guard guard(Guard::Mode::Control);
    ui(handle).PortEvent(port, size, format, buffer);
}

int idle(LV2UI_Handle handle) noexcept {
    const Guard guard(Guard::Mode::Control);
    return ui(handle).Idle();
}

const LV2UI_Idle_Interface kIdleInterface{idle};

const void* extensionData(const char* uri) noexcept {
    if (uri != nullptr && std::strcmp(uri, LV2_UI__idleInterface) == 0)
        return &kIdleInterface;
    return nullptr;
}

const LV2UI_Descriptor kDescriptor{lv2::kUiUri, instantiate, cleanup, portEvent, extensionData};

} // namespace

extern "C" __attribute__((visibility("default"))) const LV2UI_Descriptor*
lv2ui_descriptor(std::uint32_t index) {
    return index == 0 ? &kDescriptor : nullptr;
}
