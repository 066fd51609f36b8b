#include "host/PluginFactory.h"

#include "engine/EditorFormClass.h"
#include "engine/TPlugin.h"

#include <new>

namespace host {

// One effect object per call of the entry point, with the editor's form class. A failed allocation
// answers null, which the entry point hands to the host as "no effect".
AudioEffect* CreateEffectInstance(vst2::audioMasterCallback audioMaster) {
    try {
        return new engine::TPlugin(audioMaster, engine::CreatePluginEditorFormClass());
    } catch (...) {
        return nullptr;
    }
}

} // namespace host
