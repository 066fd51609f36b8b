#include "editor/TPluginEditorFormClass.h"

#include "editor/TPluginEditorwindow.h"
#include "engine/EditorFormClass.h"
#include "platform/headless/HeadlessWindowFactory.h"

namespace editor {

std::unique_ptr<host::EditorForm> TPluginEditorFormClass::CreateForm(void* parentWindow) {
    platform::WindowFactory* factory = platform::CurrentWindowFactory();
    if (factory == nullptr) {
        // No window system of our own: the form lives in memory, so the host still gets an editor of
        // the right size and every opcode behaves as with a real window.
        static platform::headless::HeadlessWindowFactory inMemory(false);
        factory = &inMemory;
    }
    try {
        auto form = std::make_unique<TPluginEditorwindow>(parentWindow, *factory);
        if (form->Window() == nullptr)
            return nullptr;
        return form;
    } catch (...) {
        return nullptr;
    }
}

} // namespace editor

namespace engine {

std::unique_ptr<host::EditorFormFactory> CreatePluginEditorFormClass() {
    return std::make_unique<editor::TPluginEditorFormClass>();
}

} // namespace engine
