// The Linux editor window: creation as a child of the host's window, teardown, and painting.
#include "platform/x11/X11EditorWindow.h"

#include "platform/x11/SaveDialogRunner.h"
#include "platform/x11/X11ErrorTrap.h"
#include "platform/x11/X11PopupMenu.h"
#include "platform/x11/X11Visual.h"

#include <X11/XKBlib.h>
#include <algorithm>

namespace platform::x11 {

namespace {
constexpr unsigned kTimerId = 1;
} // namespace

std::unique_ptr<X11EditorWindow> X11EditorWindow::Create(void* parent, int width, int height,
                                                         WindowEvents& events, const IdleClock* clock) {
    std::unique_ptr<X11EditorWindow> window(new X11EditorWindow(events, width, height, clock));
    if (!window->Open(static_cast<Window>(reinterpret_cast<std::uintptr_t>(parent))))
        return nullptr;
    return window;
}

X11EditorWindow::X11EditorWindow(WindowEvents& events, int width, int height, const IdleClock* clock)
    : events_(events), width_(width), height_(height), clock_(clock != nullptr ? clock : &ownClock_) {}

std::int64_t X11EditorWindow::Now() const {
    return clock_->NowMs();
}

bool X11EditorWindow::Open(Window parent) {
    if (parent == None || width_ <= 0 || height_ <= 0)
        return false;
    // A connection of our own: the host's is not ours to read events from, and may be used by
    // another thread.
    display_ = XOpenDisplay(nullptr);
    if (display_ == nullptr)
        return false;
    X11ErrorTrap trap(display_);

    XWindowAttributes parentAttributes{};
    if (XGetWindowAttributes(display_, parent, &parentAttributes) == 0 || trap.Failed() ||
        parentAttributes.c_class != InputOutput)
        return false;
    parent_ = parent;
    root_ = parentAttributes.root;
    screenNumber_ = XScreenNumberOfScreen(parentAttributes.screen);
    // The parent's visual and depth: a default-visual child of a depth-32 parent is refused (BadMatch).
    visual_ = parentAttributes.visual;
    depth_ = parentAttributes.depth;
    colormap_ = XCreateColormap(display_, parent_, visual_, AllocNone);

    XSetWindowAttributes attributes{};
    attributes.background_pixmap = None;
    attributes.border_pixel = 0;
    attributes.colormap = colormap_;
    attributes.bit_gravity = NorthWestGravity;
    attributes.event_mask = ExposureMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask |
                            KeyPressMask | KeyReleaseMask | StructureNotifyMask | EnterWindowMask |
                            LeaveWindowMask | FocusChangeMask;
    window_ =
        XCreateWindow(display_, parent_, 0, 0, static_cast<unsigned>(width_), static_cast<unsigned>(height_),
                      0, depth_, InputOutput, visual_,
                      CWBackPixmap | CWBorderPixel | CWColormap | CWBitGravity | CWEventMask, &attributes);
    if (trap.Failed()) {
        window_ = None;
        return false;
    }

    // A fixed size: hosts that size their window after the child read these.
    if (XSizeHints* hints = XAllocSizeHints()) {
        hints->flags = PSize | PMinSize | PMaxSize;
        hints->width = hints->min_width = hints->max_width = width_;
        hints->height = hints->min_height = hints->max_height = height_;
        XSetWMNormalHints(display_, window_, hints);
        XFree(hints);
    }

    XGCValues values{};
    values.graphics_exposures = False;
    gc_ = XCreateGC(display_, window_, GCGraphicsExposures, &values);

    layout_ = LayoutOfVisual(display_, visual_, depth_);
    const int bytes = std::max(1, (layout_.bitsPerPixel + 7) / 8);
    imageStride_ = (width_ * bytes + 3) & ~3;
    imageData_.assign(static_cast<std::size_t>(imageStride_) * height_, 0);
    image_ = XCreateImage(display_, visual_, static_cast<unsigned>(depth_), ZPixmap, 0,
                          reinterpret_cast<char*>(imageData_.data()), static_cast<unsigned>(width_),
                          static_cast<unsigned>(height_), 32, imageStride_);
    if (image_ != nullptr) {
        // Our bytes are least significant first; Xlib swaps them for a server of the other order.
        image_->byte_order = LSBFirst;
    }
    shown_.assign(static_cast<std::size_t>(width_) * height_, 0xFF000000u);

    // Held keys repeat as presses alone, as they do on Windows, instead of release-press pairs. The
    // setting belongs to this connection only.
    Bool detectable = False;
    XkbSetDetectableAutoRepeat(display_, True, &detectable);

    cursor_ = std::make_unique<X11Cursor>(display_, window_, root_);
    cursor_->OnHiddenChanged = [this] { UpdateGrab(CurrentTime); };

    XMapWindow(display_, window_);
    Window child = None;
    int x = 0;
    int y = 0;
    if (XTranslateCoordinates(display_, window_, root_, 0, 0, &x, &y, &child))
        origin_ = {x, y};
    // Mapped and known to the server before the host goes on (hosts look for the child at once).
    if (trap.Failed())
        return false;
    dirty_ = {0, 0, width_, height_};
    MessageRouter::Instance().Register(this);
    return true;
}

X11EditorWindow::~X11EditorWindow() {
    // First: a message being handed over from another thread is queued before the window goes.
    MessageRouter::Instance().Unregister(this);
    if (display_ == nullptr)
        return;
    {
        X11ErrorTrap trap(display_);
        // Whatever is queued may tell that the host destroyed our window already.
        while (XPending(display_) > 0) {
            XEvent event;
            XNextEvent(display_, &event);
            if (event.type == DestroyNotify && event.xdestroywindow.window == window_)
                windowGone_ = true;
        }
        if (trap.Lost(window_))
            windowGone_ = true;
        menu_.reset();
        dialog_.reset();
        if (grabActive_)
            XUngrabPointer(display_, CurrentTime);
        grabActive_ = false;
        GiveFocusBack();
        if (cursor_)
            cursor_->Release();
        if (gc_ != nullptr)
            XFreeGC(display_, gc_);
        if (window_ != None && !windowGone_)
            XDestroyWindow(display_, window_);
        if (colormap_ != None)
            XFreeColormap(display_, colormap_);
        if (image_ != nullptr) {
            image_->data = nullptr; // the pixels are ours
            XDestroyImage(image_);
        }
        trap.ReleaseDisplay();
        XCloseDisplay(display_);
    }
    display_ = nullptr;
}

void* X11EditorWindow::NativeHandle() const {
    return reinterpret_cast<void*>(static_cast<std::uintptr_t>(window_));
}

Window X11EditorWindow::MenuWindow() const {
    return menu_ ? menu_->Handle() : None;
}

void X11EditorWindow::SetPicture(const PixelPicture& picture) {
    picture_ = picture;
    dirty_ = {0, 0, width_, height_};
}

void X11EditorWindow::Invalidate(const Rect& area) {
    dirty_ = dirty_.Union(area.Intersect({0, 0, width_, height_}));
}

void X11EditorWindow::PostWindowMessage(unsigned id, std::uintptr_t wParam, std::intptr_t lParam) {
    posted_.Post({id, wParam, lParam});
}

void X11EditorWindow::StartTimer(unsigned intervalMs) {
    timers_.Start(kTimerId, static_cast<int>(std::min(intervalMs, 0x7FFFFFFFu)), Now());
}

void X11EditorWindow::StopTimer() {
    timers_.Stop(kTimerId);
}

void X11EditorWindow::PaintDirty() {
    if (dirty_.Empty())
        return;
    Rect area = dirty_.Intersect({0, 0, width_, height_});
    dirty_ = {};
    if (windowGone_ || image_ == nullptr || area.Empty())
        return;
    if (picture_.bits != nullptr)
        events_.Paint(area);
    // The panel dims the whole editor, so it is drawn over a complete picture.
    if (!overlays_.empty())
        area = {0, 0, width_, height_};
    Present(area);
}

void X11EditorWindow::Present(const Rect& area) {
    const int pictureWidth = picture_.bits != nullptr ? std::min(width_, picture_.width) : 0;
    const int pictureHeight = picture_.bits != nullptr ? std::min(height_, picture_.height) : 0;
    for (int y = area.top; y < area.bottom; ++y) {
        std::uint32_t* row = shown_.data() + static_cast<std::size_t>(y) * width_;
        for (int x = area.left; x < area.right; ++x)
            row[x] = (y < pictureHeight && x < pictureWidth) ? picture_.Row(y)[x] : 0xFF000000u;
    }
    if (!overlays_.empty())
        overlays_.front().overlay.Draw(shown_.data(), width_, height_);

    if (layout_.Supported() && image_->bits_per_pixel == layout_.bitsPerPixel) {
        const int bytes = layout_.BytesPerPixel();
        for (int y = area.top; y < area.bottom; ++y)
            ConvertRow(shown_.data() + static_cast<std::size_t>(y) * width_ + area.left, area.Width(),
                       layout_,
                       imageData_.data() + static_cast<std::size_t>(y) * imageStride_ +
                           static_cast<std::size_t>(area.left) * bytes);
    } else {
        // Any other visual: one pixel at a time through Xlib.
        for (int y = area.top; y < area.bottom; ++y)
            for (int x = area.left; x < area.right; ++x)
                XPutPixel(image_, x, y,
                          PixelValue(shown_[static_cast<std::size_t>(y) * width_ + x], layout_));
    }
    XPutImage(display_, window_, gc_, image_, area.left, area.top, area.left, area.top,
              static_cast<unsigned>(area.Width()), static_cast<unsigned>(area.Height()));
}

} // namespace platform::x11
