#include "platform/EditorWindow.h"

namespace platform {

// Builds without a native window layer have no windows of their own; the editor then runs on an
// installed factory only.
WindowFactory* NativeWindowFactory() noexcept {
    return nullptr;
}

} // namespace platform
