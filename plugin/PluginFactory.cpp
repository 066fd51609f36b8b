// The effect this plug-in binary makes: TPlugin with its editor in the system's own windows.
#include "host/PluginFactory.h"

#include "editor/TPluginEditorFormClass.h"
#include "platform/EditorWindow.h"
#include "plugin/TPlugin.h"

#include <memory>

namespace host {

// One effect object per call of the entry point. A failure answers null, which the entry point hands to
// the host as "no effect".
AudioEffect* CreateEffectInstance(vst2::audioMasterCallback audioMaster) {
    try {
        platform::WindowFactory* windows = platform::NativeWindowFactory();
        std::unique_ptr<host::EditorFormFactory> formClass;
        if (windows != nullptr)
            formClass = std::make_unique<editor::TPluginEditorFormClass>(*windows);
        return new plugin::TPlugin(audioMaster, std::move(formClass));
    } catch (...) {
        return nullptr;
    }
}

} // namespace host
