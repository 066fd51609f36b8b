#include "tools/validate/EditorParent.h"

#include <X11/Xlib.h>

#include <cstdint>
#include <cstdlib>

namespace validate {

namespace {

class X11Parent : public EditorParent {
public:
    X11Parent(Display* display, Window window) : display_(display), window_(window) {}
    ~X11Parent() override {
        XDestroyWindow(display_, window_);
        XCloseDisplay(display_);
    }
    void* Handle() const override { return reinterpret_cast<void*>(static_cast<std::uintptr_t>(window_)); }
    void Pump() override {
        // The host's own connection only needs its queue drained; the editor reads its own.
        while (XPending(display_) > 0) {
            XEvent event;
            XNextEvent(display_, &event);
        }
    }

private:
    Display* display_;
    Window window_;
};

} // namespace

std::unique_ptr<EditorParent> EditorParent::Create(std::string& whyNot) {
    const char* name = std::getenv("DISPLAY");
    if (name == nullptr || *name == '\0') {
        whyNot = "no X display (DISPLAY is not set)";
        return nullptr;
    }
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        whyNot = std::string("the X display ") + name + " cannot be opened";
        return nullptr;
    }
    const int screen = DefaultScreen(display);
    XSetWindowAttributes attributes{};
    attributes.background_pixel = BlackPixel(display, screen);
    const Window window =
        XCreateWindow(display, RootWindow(display, screen), 0, 0, 800, 320, 0, CopyFromParent, InputOutput,
                      CopyFromParent, CWBackPixel, &attributes);
    XMapWindow(display, window);
    XSync(display, False);
    return std::make_unique<X11Parent>(display, window);
}

} // namespace validate
