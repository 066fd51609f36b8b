#include "platform/EditorWindow.h"
#include "platform/x11/X11EditorWindow.h"

namespace platform {

namespace {

// Editor windows inside the X11 windows that Linux hosts hand over (the parent is the window id).
class X11WindowFactory : public WindowFactory {
public:
    std::unique_ptr<EditorWindow> CreateEditorWindow(void* parent, int width, int height,
                                                     WindowEvents& events) override {
        return x11::X11EditorWindow::Create(parent, width, height, events);
    }
};

} // namespace

WindowFactory* NativeWindowFactory() noexcept {
    static X11WindowFactory factory;
    return &factory;
}

} // namespace platform
