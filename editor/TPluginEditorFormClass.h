#pragma once

#include "editor/EffectLink.h"
#include "host/EditorFormFactory.h"

#include <memory>

namespace platform {
class WindowFactory;
}

namespace editor {

// The editor's form class for the plug-in frame: makes forms in windows of the factory it was given, each
// linked to the effect that took the class over (LinkEffect). The plug-in gives the system's own windows
// (platform::NativeWindowFactory); the tests and the screenshot command give the in-memory ones.
class TPluginEditorFormClass : public host::EditorFormFactory, public LinkedFormClass {
public:
    explicit TPluginEditorFormClass(platform::WindowFactory& windows) : windows_(windows) {}

    std::unique_ptr<host::EditorForm> CreateForm(void* parentWindow) override;
    void LinkEffect(EffectLink* effect) override { effect_ = effect; }

private:
    platform::WindowFactory& windows_;
    EffectLink* effect_ = nullptr;
};

} // namespace editor
