#include "platform/x11/X11Cursor.h"

#include "platform/x11/X11ErrorTrap.h"

#include <X11/cursorfont.h>
#include <X11/extensions/Xfixes.h>

namespace platform::x11 {

X11Cursor::X11Cursor(Display* display, Window window, Window root)
    : display_(display), window_(window), root_(root) {
    int eventBase = 0;
    int errorBase = 0;
    haveXFixes_ = XFixesQueryExtension(display_, &eventBase, &errorBase) != 0;
    if (haveXFixes_) {
        int major = 4;
        int minor = 0;
        XFixesQueryVersion(display_, &major, &minor);
        haveXFixes_ = major >= 4;
    }
    // A 1 x 1 cursor whose only pixel is masked out.
    static const char empty[1] = {0};
    const Pixmap blank = XCreateBitmapFromData(display_, window_, empty, 1, 1);
    if (blank != None) {
        XColor black{};
        invisible_ = XCreatePixmapCursor(display_, blank, blank, &black, &black, 0, 0);
        XFreePixmap(display_, blank);
    }
}

X11Cursor::~X11Cursor() {
    Release();
}

void X11Cursor::Release() {
    if (display_ == nullptr)
        return;
    SetScreenHidden(false);
    if (invisible_ != None)
        XFreeCursor(display_, invisible_);
    if (shapeCursor_ != None)
        XFreeCursor(display_, shapeCursor_);
    invisible_ = None;
    shapeCursor_ = None;
    display_ = nullptr;
}

void X11Cursor::SetPosition(Point screen) {
    tracker_.Warped(screen);
    if (display_ == nullptr)
        return;
    // Controls call the cursor from their event handlers, normally inside the window's idle trap; a
    // light trap of its own covers any other caller.
    X11ErrorTrap trap(display_, false);
    XWarpPointer(display_, None, root_, 0, 0, 0, 0, screen.x, screen.y);
}

void X11Cursor::SetScreenHidden(bool hidden) {
    if (display_ == nullptr || !haveXFixes_ || hidden == screenHidden_)
        return;
    // The hide is counted per client by the server; an unmatched show is an error, so the two calls
    // strictly alternate.
    X11ErrorTrap trap(display_, false);
    if (hidden)
        XFixesHideCursor(display_, root_);
    else
        XFixesShowCursor(display_, root_);
    screenHidden_ = hidden;
}

void X11Cursor::Hide() {
    if (--displayCount_ != -1)
        return;
    tracker_.SetRelative(true);
    SetScreenHidden(true);
    if (OnHiddenChanged)
        OnHiddenChanged();
}

void X11Cursor::Show() {
    if (++displayCount_ != 0)
        return;
    tracker_.SetRelative(false);
    SetScreenHidden(false);
    if (OnHiddenChanged)
        OnHiddenChanged();
}

void X11Cursor::SetShape(CursorShape shape) {
    // Controls ask on every motion; only a change reaches the server.
    if (display_ == nullptr || shape == shape_)
        return;
    shape_ = shape;
    unsigned glyph = 0;
    switch (shape) {
    case CursorShape::SizeNS:
        glyph = XC_sb_v_double_arrow;
        break;
    case CursorShape::SizeWE:
        glyph = XC_sb_h_double_arrow;
        break;
    case CursorShape::HandPoint:
        glyph = XC_hand2;
        break;
    case CursorShape::IBeam:
        glyph = XC_xterm;
        break;
    case CursorShape::Arrow:
        glyph = XC_left_ptr;
        break;
    case CursorShape::Default:
        break;
    }
    X11ErrorTrap trap(display_, false);
    const ::Cursor next = glyph != 0 ? XCreateFontCursor(display_, glyph) : None;
    XDefineCursor(display_, window_, next);
    if (shapeCursor_ != None)
        XFreeCursor(display_, shapeCursor_);
    shapeCursor_ = next;
}

} // namespace platform::x11
