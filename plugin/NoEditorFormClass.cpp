#include "engine/EditorFormClass.h"

namespace engine {

// Built only while the editor layer is absent from the build: the effect then has no editor.
std::unique_ptr<host::EditorFormFactory> CreatePluginEditorFormClass() {
    return nullptr;
}

} // namespace engine
