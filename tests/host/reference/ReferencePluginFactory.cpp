// The entry point's factory of the reference plug-in binary: the shipped effect with the reference frame
// engine in place of the fast one, and no editor. Built for the tests only.
#include "engine/reference/ReferenceEngine.h"
#include "host/PluginFactory.h"
#include "plugin/TPlugin.h"

#include <memory>
#include <new>

namespace host {

AudioEffect* CreateEffectInstance(vst2::audioMasterCallback audioMaster) {
    try {
        return new plugin::TPlugin(audioMaster, nullptr, std::make_unique<engine::ReferenceEngine>());
    } catch (...) {
        return nullptr;
    }
}

} // namespace host
