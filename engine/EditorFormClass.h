#pragma once

#include "host/EditorFormFactory.h"

#include <memory>

namespace engine {

// The form class of the effect's editor (the editor form). Defined by the editor layer, which depends on
// the engine and not the other way round; only the plug-in binary, which links both, calls it.
std::unique_ptr<host::EditorFormFactory> CreatePluginEditorFormClass();

} // namespace engine
