#include "platform/x11/X11PopupMenu.h"

#include "platform/x11/X11Visual.h"

#include <X11/Xatom.h>
#include <X11/keysym.h>
#include <algorithm>
#include <cstring>

namespace platform::x11 {

namespace {

// Idles to keep trying the grabs before giving up on the menu.
constexpr int kGrabAttempts = 10;

bool IsSeparator(const MenuItem& item) {
    return item.caption == "-";
}

} // namespace

X11PopupMenu::X11PopupMenu(Display* display, int screenNumber, std::vector<MenuItem> items, Point screen,
                           MenuDrawItem draw)
    : display_(display), items_(std::move(items)), draw_(std::move(draw)) {
    for (const MenuItem& item : items_) {
        width_ = std::max(width_, item.width);
        height_ += std::max(item.height, 0);
    }
    width_ = std::max(width_, 1);
    height_ = std::max(height_, 1);

    const int screenWidth = DisplayWidth(display_, screenNumber);
    const int screenHeight = DisplayHeight(display_, screenNumber);
    origin_ = screen;
    if (origin_.x + width_ > screenWidth)
        origin_.x = std::max(0, std::min(screen.x - width_, screenWidth - width_));
    if (origin_.y + height_ > screenHeight)
        origin_.y = std::max(0, std::min(screen.y - height_, screenHeight - height_));

    const Window root = RootWindow(display_, screenNumber);
    visual_ = DefaultVisual(display_, screenNumber);
    depth_ = DefaultDepth(display_, screenNumber);
    colormap_ = XCreateColormap(display_, root, visual_, AllocNone);
    XSetWindowAttributes attributes{};
    attributes.override_redirect = True;
    attributes.background_pixmap = None;
    attributes.border_pixel = 0;
    attributes.colormap = colormap_;
    attributes.save_under = True;
    attributes.event_mask = ExposureMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask |
                            KeyPressMask | LeaveWindowMask;
    window_ = XCreateWindow(display_, root, origin_.x, origin_.y, static_cast<unsigned>(width_),
                            static_cast<unsigned>(height_), 0, depth_, InputOutput, visual_,
                            CWOverrideRedirect | CWBackPixmap | CWBorderPixel | CWColormap | CWSaveUnder |
                                CWEventMask,
                            &attributes);
    const Atom type = XInternAtom(display_, "_NET_WM_WINDOW_TYPE", False);
    const Atom popup = XInternAtom(display_, "_NET_WM_WINDOW_TYPE_POPUP_MENU", False);
    XChangeProperty(display_, window_, type, XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&popup), 1);
    XGCValues values{};
    values.graphics_exposures = False;
    gc_ = XCreateGC(display_, window_, GCGraphicsExposures, &values);
    XMapRaised(display_, window_);
    Idle();
}

X11PopupMenu::~X11PopupMenu() {
    Ungrab();
    if (gc_ != nullptr)
        XFreeGC(display_, gc_);
    if (window_ != None)
        XDestroyWindow(display_, window_);
    if (colormap_ != None)
        XFreeColormap(display_, colormap_);
    XFlush(display_);
}

void X11PopupMenu::Ungrab() {
    if (!grabbed_)
        return;
    XUngrabPointer(display_, CurrentTime);
    XUngrabKeyboard(display_, CurrentTime);
    grabbed_ = false;
}

void X11PopupMenu::Idle() {
    if (finished_)
        return;
    if (!grabbed_) {
        const int pointer =
            XGrabPointer(display_, window_, True, ButtonPressMask | ButtonReleaseMask | PointerMotionMask,
                         GrabModeAsync, GrabModeAsync, None, None, CurrentTime);
        const int keyboard = pointer == GrabSuccess ? XGrabKeyboard(display_, window_, True, GrabModeAsync,
                                                                    GrabModeAsync, CurrentTime)
                                                    : GrabNotViewable;
        if (pointer == GrabSuccess && keyboard == GrabSuccess) {
            grabbed_ = true;
        } else {
            if (pointer == GrabSuccess)
                XUngrabPointer(display_, CurrentTime);
            if (++grabAttempts_ >= kGrabAttempts) {
                Finish(-1);
                return;
            }
        }
    }
    if (needsPaint_)
        Paint();
}

int X11PopupMenu::ItemAt(const std::vector<MenuItem>& items, int width, Point local) {
    if (local.x < 0 || local.x >= width || local.y < 0)
        return -1;
    int top = 0;
    for (std::size_t i = 0; i < items.size(); ++i) {
        const int bottom = top + std::max(items[i].height, 0);
        if (local.y < bottom)
            return IsSeparator(items[i]) ? -1 : static_cast<int>(i);
        top = bottom;
    }
    return -1;
}

void X11PopupMenu::Select(int index) {
    if (index == selected_)
        return;
    selected_ = index;
    needsPaint_ = true;
}

void X11PopupMenu::Finish(int choice) {
    if (finished_)
        return;
    finished_ = true;
    choice_ = choice;
    Ungrab();
    if (window_ != None)
        XUnmapWindow(display_, window_);
}

void X11PopupMenu::Dismiss() {
    Finish(-1);
}

void X11PopupMenu::HandleEvent(const XEvent& event) {
    if (finished_)
        return;
    switch (event.type) {
    case Expose:
        if (event.xexpose.window == window_)
            needsPaint_ = true;
        break;
    case MotionNotify: {
        const Point local{event.xmotion.x_root - origin_.x, event.xmotion.y_root - origin_.y};
        const int index = ItemAt(items_, width_, local);
        if (index >= 0)
            armed_ = true;
        Select(index);
        break;
    }
    case ButtonPress: {
        // Wheel turns neither choose nor close.
        if (event.xbutton.button >= 4 && event.xbutton.button <= 7)
            break;
        const Point local{event.xbutton.x_root - origin_.x, event.xbutton.y_root - origin_.y};
        if (!Rect::FromSize(0, 0, width_, height_).Contains(local)) {
            Finish(-1);
            break;
        }
        armed_ = true;
        Select(ItemAt(items_, width_, local));
        break;
    }
    case ButtonRelease: {
        if (event.xbutton.button >= 4 && event.xbutton.button <= 7)
            break;
        const Point local{event.xbutton.x_root - origin_.x, event.xbutton.y_root - origin_.y};
        const int index = ItemAt(items_, width_, local);
        // The release of the click that opened the menu chooses nothing until the pointer has been
        // over an item.
        if (armed_ && index >= 0)
            Finish(index);
        break;
    }
    case KeyPress: {
        const KeySym key = XLookupKeysym(const_cast<XKeyEvent*>(&event.xkey), 0);
        const int count = static_cast<int>(items_.size());
        auto step = [&](int direction) {
            int index = selected_;
            for (int n = 0; n < count; ++n) {
                index = index < 0 ? (direction > 0 ? 0 : count - 1) : (index + direction + count) % count;
                if (!IsSeparator(items_[index])) {
                    Select(index);
                    return;
                }
            }
        };
        if (key == XK_Escape)
            Finish(-1);
        else if (key == XK_Down)
            step(1);
        else if (key == XK_Up)
            step(-1);
        else if ((key == XK_Return || key == XK_KP_Enter || key == XK_space) && selected_ >= 0)
            Finish(selected_);
        break;
    }
    default:
        break;
    }
}

void X11PopupMenu::Paint() {
    needsPaint_ = false;
    const PixelLayout layout = LayoutOfVisual(display_, visual_, depth_);
    if (!layout.Supported())
        return;
    const int bytes = std::max(layout.BytesPerPixel(), 1);
    const int stride = (width_ * bytes + 3) & ~3;
    std::vector<std::uint8_t> data(static_cast<std::size_t>(stride) * height_);
    int top = 0;
    for (std::size_t i = 0; i < items_.size(); ++i) {
        const int h = std::max(items_[i].height, 0);
        if (h == 0)
            continue;
        // Each item is drawn into a bottom-up picture of its own, the size of its rectangle.
        std::vector<std::uint32_t> canvas(static_cast<std::size_t>(width_) * h, 0xFF000000u);
        const PixelPicture picture{canvas.data(), width_, h};
        if (draw_)
            draw_(static_cast<int>(i), picture, static_cast<int>(i) == selected_);
        for (int y = 0; y < h; ++y)
            ConvertRow(picture.Row(y), width_, layout,
                       data.data() + static_cast<std::size_t>(top + y) * stride);
        top += h;
    }
    XImage* image = XCreateImage(display_, visual_, static_cast<unsigned>(depth_), ZPixmap, 0,
                                 reinterpret_cast<char*>(data.data()), static_cast<unsigned>(width_),
                                 static_cast<unsigned>(height_), 32, stride);
    if (image == nullptr)
        return;
    image->byte_order = LSBFirst;
    if (image->bits_per_pixel == layout.bitsPerPixel)
        XPutImage(display_, window_, gc_, image, 0, 0, 0, 0, static_cast<unsigned>(width_),
                  static_cast<unsigned>(height_));
    image->data = nullptr;
    XDestroyImage(image);
}

} // namespace platform::x11
