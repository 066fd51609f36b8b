#include "editor/TPluginEditorFormClass.h"

#include "editor/TPluginEditorwindow.h"

namespace editor {

std::unique_ptr<host::EditorForm> TPluginEditorFormClass::CreateForm(void* parentWindow) {
    try {
        auto form = std::make_unique<TPluginEditorwindow>(parentWindow, windows_, effect_);
        if (form->Window() == nullptr)
            return nullptr;
        return form;
    } catch (...) {
        return nullptr;
    }
}

} // namespace editor
