#include "X11TestHost.h"

#include <X11/Xatom.h>
#include <X11/extensions/XTest.h>
#include <chrono>
#include <thread>

namespace x11test {

EditorHost::EditorHost(const testhost::PluginLibrary& library, int depth) : library_(library), depth_(depth) {
    display_ = XOpenDisplay(nullptr);
    if (display_ == nullptr || !CreateParent())
        return;
    testhost::Host::SetStarting(&host_);
    plugin_ = testhost::PluginInstance::Create(library_, host_);
    testhost::Host::SetStarting(nullptr);
    if (plugin_)
        plugin_->Dispatch(vst2::effOpen);
}

bool EditorHost::CreateParent() {
    const int screen = DefaultScreen(display_);
    const Window root = RootWindow(display_, screen);
    XVisualInfo info{};
    Visual* visual = DefaultVisual(display_, screen);
    if (depth_ != DefaultDepth(display_, screen)) {
        if (!XMatchVisualInfo(display_, screen, depth_, TrueColor, &info))
            return false;
        visual = info.visual;
    }
    if (colormap_ == 0)
        colormap_ = XCreateColormap(display_, root, visual, AllocNone);
    XSetWindowAttributes attributes{};
    attributes.colormap = colormap_;
    attributes.border_pixel = 0;
    attributes.background_pixel = 0xFF102030u; // a colour the editor never shows
    attributes.override_redirect = False;
    parent_ = XCreateWindow(display_, root, originX_, originY_, 800, 320, 0, depth_, InputOutput, visual,
                            CWColormap | CWBorderPixel | CWBackPixel, &attributes);
    XMapWindow(display_, parent_);
    XSync(display_, False);
    return true;
}

EditorHost::~EditorHost() {
    plugin_.reset();
    if (display_ != nullptr) {
        if (parent_ != 0)
            XDestroyWindow(display_, parent_);
        if (colormap_ != 0)
            XFreeColormap(display_, colormap_);
        XCloseDisplay(display_);
    }
}

vst2::VstIntPtr EditorHost::OpenEditor() {
    XSync(display_, False);
    return plugin_->Dispatch(vst2::effEditOpen, 0, 0,
                             reinterpret_cast<void*>(static_cast<std::uintptr_t>(parent_)));
}

void EditorHost::CloseEditor() {
    plugin_->Dispatch(vst2::effEditClose);
}

void EditorHost::Idle() {
    if (plugin_)
        plugin_->Dispatch(vst2::effEditIdle);
}

void EditorHost::ClosePlugin() {
    if (plugin_)
        plugin_->Close();
    plugin_.reset();
}

void EditorHost::DestroyParent(Delivery delivery) {
    XDestroyWindow(display_, parent_);
    if (delivery == Delivery::Synchronised)
        XSync(display_, False);
    else if (delivery == Delivery::Flushed)
        XFlush(display_);
    parent_ = 0;
}

void EditorHost::Pump(int milliseconds, int hz) {
    PumpUntil([] { return false; }, milliseconds, hz);
}

bool EditorHost::PumpUntil(const std::function<bool()>& done, int milliseconds, int hz) {
    using clock = std::chrono::steady_clock;
    const auto end = clock::now() + std::chrono::milliseconds(milliseconds);
    const auto period = std::chrono::microseconds(1000000 / hz);
    for (;;) {
        // Calls start at least one period apart, as a host's timer-driven idle calls do; a late call is
        // not followed by a burst of catch-up calls.
        const auto start = clock::now();
        XSync(display_, False);
        Idle();
        if (done())
            return true;
        if (clock::now() >= end)
            return false;
        std::this_thread::sleep_until(start + period);
    }
}

std::vector<Window> EditorHost::Children() const {
    Window root = 0;
    Window parent = 0;
    Window* children = nullptr;
    unsigned count = 0;
    std::vector<Window> result;
    if (parent_ != 0 && XQueryTree(display_, parent_, &root, &parent, &children, &count)) {
        result.assign(children, children + count);
        if (children != nullptr)
            XFree(children);
    }
    return result;
}

void EditorHost::MoveTo(int clientX, int clientY) {
    XTestFakeMotionEvent(display_, DefaultScreen(display_), originX_ + clientX, originY_ + clientY,
                         CurrentTime);
    XSync(display_, False);
}

void EditorHost::MoveBy(int dx, int dy) {
    XTestFakeRelativeMotionEvent(display_, dx, dy, CurrentTime);
    XSync(display_, False);
}

void EditorHost::Button(unsigned button, bool down) {
    XTestFakeButtonEvent(display_, button, down ? True : False, CurrentTime);
    XSync(display_, False);
}

void EditorHost::Click(unsigned button) {
    Button(button, true);
    Button(button, false);
}

void EditorHost::Key(const char* keysymName) {
    const KeyCode code = XKeysymToKeycode(display_, XStringToKeysym(keysymName));
    XTestFakeKeyEvent(display_, code, True, CurrentTime);
    XTestFakeKeyEvent(display_, code, False, CurrentTime);
    XSync(display_, False);
}

void EditorHost::Type(const std::string& text) {
    for (char c : text) {
        const std::string name(1, c);
        if (c == ' ')
            Key("space");
        else if (c == '.')
            Key("period");
        else
            Key(name.c_str());
    }
}

void EditorHost::PointerPosition(int& x, int& y) const {
    Window root = 0;
    Window child = 0;
    int wx = 0;
    int wy = 0;
    unsigned mask = 0;
    XQueryPointer(display_, DefaultRootWindow(display_), &root, &child, &x, &y, &wx, &wy, &mask);
}

Screenshot EditorHost::Capture(int width, int height) const {
    Screenshot shot;
    XImage* image = XGetImage(display_, parent_, 0, 0, static_cast<unsigned>(width),
                              static_cast<unsigned>(height), AllPlanes, ZPixmap);
    if (image == nullptr)
        return shot;
    shot.width = width;
    shot.height = height;
    shot.pixels.resize(static_cast<std::size_t>(width) * height);
    const unsigned long rm = image->red_mask;
    const unsigned long gm = image->green_mask;
    const unsigned long bm = image->blue_mask;
    auto channel = [](unsigned long pixel, unsigned long mask) {
        if (mask == 0)
            return 0u;
        int shift = 0;
        while (((mask >> shift) & 1u) == 0)
            ++shift;
        return static_cast<unsigned>((pixel & mask) >> shift) & 0xFFu;
    };
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const unsigned long p = XGetPixel(image, x, y);
            shot.pixels[static_cast<std::size_t>(y) * width + x] =
                (channel(p, rm) << 16) | (channel(p, gm) << 8) | channel(p, bm);
        }
    XDestroyImage(image);
    return shot;
}

Window EditorHost::FindPopupMenu() const {
    Window root = 0;
    Window parent = 0;
    Window* children = nullptr;
    unsigned count = 0;
    Window found = 0;
    const Atom type = XInternAtom(display_, "_NET_WM_WINDOW_TYPE", False);
    const Atom popup = XInternAtom(display_, "_NET_WM_WINDOW_TYPE_POPUP_MENU", False);
    if (!XQueryTree(display_, DefaultRootWindow(display_), &root, &parent, &children, &count))
        return 0;
    for (unsigned i = 0; i < count && found == 0; ++i) {
        XWindowAttributes attributes{};
        if (!XGetWindowAttributes(display_, children[i], &attributes) || attributes.map_state != IsViewable ||
            !attributes.override_redirect)
            continue;
        Atom actual = 0;
        int format = 0;
        unsigned long items = 0;
        unsigned long after = 0;
        unsigned char* data = nullptr;
        if (XGetWindowProperty(display_, children[i], type, 0, 1, False, XA_ATOM, &actual, &format, &items,
                               &after, &data) == Success &&
            data != nullptr) {
            if (items == 1 && *reinterpret_cast<Atom*>(data) == popup)
                found = children[i];
            XFree(data);
        }
    }
    if (children != nullptr)
        XFree(children);
    return found;
}

} // namespace x11test
