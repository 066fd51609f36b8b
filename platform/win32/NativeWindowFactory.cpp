#include "platform/EditorWindow.h"
#include "platform/win32/Win32EditorWindow.h"

namespace platform {

namespace {

class Win32WindowFactory final : public WindowFactory {
public:
    std::unique_ptr<EditorWindow> CreateEditorWindow(void* parent, int width, int height,
                                                     WindowEvents& events) override {
        return win32::Win32EditorWindow::Create(static_cast<HWND>(parent), width, height, events);
    }
};

} // namespace

WindowFactory* NativeWindowFactory() noexcept {
    static Win32WindowFactory factory;
    return &factory;
}

} // namespace platform
