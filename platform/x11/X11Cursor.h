#pragma once

#include "platform/Cursor.h"
#include "platform/x11/PointerTracker.h"

#include "platform/x11/Xlib.h"
#include <functional>

namespace platform::x11 {

// The mouse cursor of one editor window. The position is the tracker's (events feed it, so reading it
// costs no round trip); setting it warps the pointer. Hiding follows the Win32 display counter: the
// first Hide hides the pointer on the screen with XFixes and makes the window's grab use an invisible
// cursor, the matching Show undoes both. Destroying the cursor shows it again if the program left it
// hidden.
class X11Cursor : public Cursor {
public:
    // root is the root window of the editor's screen, where the pointer is warped and hidden.
    X11Cursor(Display* display, Window window, Window root);
    ~X11Cursor() override;

    Point Position() const override { return tracker_.Position(); }
    void SetPosition(Point screen) override;
    void Hide() override;
    void Show() override;
    void SetShape(CursorShape shape) override;

    bool Hidden() const { return displayCount_ < 0; }
    // The cursor to put on a pointer grab: invisible while hidden, None (the window's) otherwise.
    ::Cursor GrabCursor() const { return Hidden() ? invisible_ : None; }
    PointerTracker& Tracker() { return tracker_; }
    // Called when the hidden state flips, so the window can change its grab's cursor.
    std::function<void()> OnHiddenChanged;
    // Shows the cursor again if it is hidden and forgets the display (the window is going away).
    void Release();

private:
    void SetScreenHidden(bool hidden);

    Display* display_;
    Window window_;
    Window root_;
    ::Cursor invisible_ = None;
    ::Cursor shapeCursor_ = None;
    CursorShape shape_ = CursorShape::Default;
    bool haveXFixes_ = false;
    bool screenHidden_ = false;
    int displayCount_ = 0;
    PointerTracker tracker_;
};

} // namespace platform::x11
