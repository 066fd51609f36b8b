#include "tools/validate/EditorParent.h"

#include <X11/Xlib.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <mutex>
#include <thread>
#include <vector>

namespace validate {

namespace {

// The host's X error handler, installed while any host window exists. Errors of the host's own
// connections are the host's business (requests about windows that are gone); an error of any other
// connection is one of the editor's that escaped its own handling, which would end a host whose handler
// is Xlib's default.
std::mutex handlerMutex;
// Guarded by handlerMutex.
std::vector<Display*> hostDisplays;
std::string escaped;
XErrorHandler handlerBefore = nullptr;

int hostErrorHandler(Display* display, XErrorEvent* error) {
    const std::lock_guard<std::mutex> lock(handlerMutex);
    if (std::find(hostDisplays.begin(), hostDisplays.end(), display) == hostDisplays.end() && escaped.empty())
        escaped = "an X error of the editor's own requests (error " + std::to_string(error->error_code) +
                  ", request " + std::to_string(error->request_code) + ", resource " +
                  std::to_string(error->resourceid) + ") reached the host's error handler";
    return 0;
}

class X11Parent : public EditorParent {
public:
    explicit X11Parent(Display* display) : display_(display) {
        const std::lock_guard<std::mutex> lock(handlerMutex);
        if (hostDisplays.empty())
            handlerBefore = XSetErrorHandler(hostErrorHandler);
        hostDisplays.push_back(display_);
    }
    ~X11Parent() override {
        release();
        if (holder_ != nullptr)
            XCloseDisplay(holder_);
        for (Window w : {window_, inputOnly_})
            if (w != None)
                XDestroyWindow(display_, w);
        if (pixmap_ != None)
            XFreePixmap(display_, pixmap_);
        XCloseDisplay(display_);
        const std::lock_guard<std::mutex> lock(handlerMutex);
        hostDisplays.erase(std::find(hostDisplays.begin(), hostDisplays.end(), display_));
        if (hostDisplays.empty())
            XSetErrorHandler(handlerBefore);
    }

    void* Handle() override {
        release();
        if (window_ == None) {
            window_ = makeWindow(800, 320, InputOutput);
            XMapWindow(display_, window_);
            XSync(display_, False);
        }
        return asHandle(window_);
    }

    void Pump() override {
        // The host's own connection only needs its queue drained; the editor reads its own.
        while (XPending(display_) > 0) {
            XEvent event;
            XNextEvent(display_, &event);
        }
    }

    // The window is destroyed while a second connection of the host holds the server for a few
    // milliseconds, so that whatever an editor sends meanwhile (its next picture) is carried out after
    // the window is gone, and the errors about it arrive after the editor's calls: the worst timing a
    // host that only flushes its request can meet.
    void Destroy() override {
        if (window_ == None)
            return;
        release();
        if (holder_ == nullptr && (holder_ = XOpenDisplay(nullptr)) == nullptr) {
            XDestroyWindow(display_, window_);
            XFlush(display_);
        } else {
            XGrabServer(holder_);
            XSync(holder_, False);
            releaser_ = std::thread([holder = holder_, window = window_] {
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
                XDestroyWindow(holder, window);
                XUngrabServer(holder);
                XFlush(holder);
            });
        }
        window_ = None;
    }

    void* Bogus(std::uint32_t seed) override {
        switch (seed % 4) {
        case 0: // an id of a client that does not exist
            return asHandle(0x7FE00000u | (seed >> 2 & 0xFFFFu));
        case 1:
            if (pixmap_ == None)
                pixmap_ =
                    XCreatePixmap(display_, DefaultRootWindow(display_), 16, 16,
                                  static_cast<unsigned>(DefaultDepth(display_, DefaultScreen(display_))));
            XSync(display_, False);
            return asHandle(pixmap_);
        case 2:
            if (inputOnly_ == None)
                inputOnly_ = makeWindow(16, 16, InputOnly);
            XSync(display_, False);
            return asHandle(inputOnly_);
        default:
            if (destroyed_ == None) {
                destroyed_ = makeWindow(16, 16, InputOutput);
                XDestroyWindow(display_, destroyed_);
            }
            XSync(display_, False);
            return asHandle(destroyed_);
        }
    }

    std::string Problem() override {
        std::string problem;
        {
            const std::lock_guard<std::mutex> lock(handlerMutex);
            problem.swap(escaped);
        }
        // Putting the host's handler back tells which one was in place.
        if (XSetErrorHandler(hostErrorHandler) != hostErrorHandler && problem.empty())
            problem = "an X error handler of the plug-in was left installed in place of the host's";
        return problem;
    }

private:
    // Waits until a held server is let go.
    void release() {
        if (releaser_.joinable())
            releaser_.join();
    }

    static void* asHandle(unsigned long id) {
        return reinterpret_cast<void*>(static_cast<std::uintptr_t>(id));
    }

    Window makeWindow(unsigned width, unsigned height, unsigned windowClass) {
        const int screen = DefaultScreen(display_);
        XSetWindowAttributes attributes{};
        attributes.background_pixel = BlackPixel(display_, screen);
        return XCreateWindow(display_, RootWindow(display_, screen), 0, 0, width, height, 0, CopyFromParent,
                             windowClass, CopyFromParent, windowClass == InputOnly ? 0 : CWBackPixel,
                             &attributes);
    }

    Display* display_;
    Display* holder_ = nullptr; // the connection that holds the server while a window is destroyed
    std::thread releaser_;
    Window window_ = None;
    Pixmap pixmap_ = None;
    Window inputOnly_ = None;
    Window destroyed_ = None;
};

} // namespace

std::unique_ptr<EditorParent> EditorParent::Create(std::string& whyNot) {
    const char* name = std::getenv("DISPLAY");
    if (name == nullptr || *name == '\0') {
        whyNot = "no X display (DISPLAY is not set)";
        return nullptr;
    }
    // The host lets go of a held server from a thread of its own (see Destroy), so Xlib must be ready
    // for threads; this is the process's first Xlib call (the plug-in makes none before its editor opens).
    XInitThreads();
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        whyNot = std::string("the X display ") + name + " cannot be opened";
        return nullptr;
    }
    auto parent = std::make_unique<X11Parent>(display);
    parent->Handle();
    return parent;
}

} // namespace validate
