#pragma once

#include "host/EditorFormFactory.h"

#include <memory>

namespace editor {

// The editor's form class for the plug-in frame: makes forms in windows of the current window factory
// (platform::CurrentWindowFactory), or in memory when the build has no window system of its own.
class TPluginEditorFormClass : public host::EditorFormFactory {
public:
    std::unique_ptr<host::EditorForm> CreateForm(void* parentWindow) override;
};

} // namespace editor
