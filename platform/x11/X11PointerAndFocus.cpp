// The Linux editor's pointer grabs (mouse capture and knob drags with a hidden cursor) and keyboard focus
// (taken only while a name is typed into the editor, and given back to the host's window).
#include "platform/x11/X11EditorWindow.h"

#include "platform/x11/X11ErrorTrap.h"

namespace platform::x11 {

namespace {
constexpr long kPointerGrabMask =
    ButtonPressMask | ButtonReleaseMask | PointerMotionMask | EnterWindowMask | LeaveWindowMask;
} // namespace

void X11EditorWindow::CaptureMouse() {
    captured_ = true;
    X11ErrorTrap trap(display_);
    UpdateGrab(CurrentTime);
}

void X11EditorWindow::ReleaseMouse() {
    captured_ = false;
    X11ErrorTrap trap(display_);
    UpdateGrab(CurrentTime);
}

// The pointer is grabbed while the form holds the capture or a drag has hidden the cursor; the grab
// carries the invisible cursor while hidden. Grabbing during the implicit grab of a press succeeds.
void X11EditorWindow::UpdateGrab(unsigned long time) {
    if (display_ == nullptr || windowGone_ || window_ == None)
        return;
    const bool want = captured_ || (cursor_ && cursor_->Hidden());
    const ::Cursor shape = cursor_ ? cursor_->GrabCursor() : None;
    if (want && !grabActive_ && !menu_) {
        grabActive_ = XGrabPointer(display_, window_, False, kPointerGrabMask, GrabModeAsync, GrabModeAsync,
                                   None, shape, time) == GrabSuccess;
        grabCursor_ = shape;
    } else if (want && grabActive_ && shape != grabCursor_) {
        XChangeActivePointerGrab(display_, kPointerGrabMask, shape, time);
        grabCursor_ = shape;
    } else if (!want && grabActive_) {
        XUngrabPointer(display_, time);
        grabActive_ = false;
    }
}

void X11EditorWindow::EndCapture(bool notify) {
    const bool had = captured_ || grabActive_ || heldButtons_ != 0;
    captured_ = false;
    heldButtons_ = 0;
    if (grabActive_ && display_ != nullptr && !windowGone_)
        XUngrabPointer(display_, CurrentTime);
    grabActive_ = false;
    if (notify && had)
        events_.CaptureLost();
}

Point X11EditorWindow::ClientToScreen(Point client) const {
    return {client.x + origin_.x, client.y + origin_.y};
}

Point X11EditorWindow::ScreenToClient(Point screen) const {
    return {screen.x - origin_.x, screen.y - origin_.y};
}

void X11EditorWindow::NoteOrigin(int clientX, int clientY, int rootX, int rootY) {
    origin_ = {rootX - clientX, rootY - clientY};
}

void X11EditorWindow::TakeFocus(unsigned long time) {
    if (haveFocus_ || windowGone_ || display_ == nullptr)
        return;
    int revert = 0;
    Window focus = None;
    XGetInputFocus(display_, &focus, &revert);
    previousFocus_ = focus;
    XSetInputFocus(display_, window_, RevertToParent, time);
    haveFocus_ = true;
}

void X11EditorWindow::GiveFocusBack() {
    if (!haveFocus_ || display_ == nullptr)
        return;
    haveFocus_ = false;
    // Back to the host's window, so its keys (transport, shortcuts) work again.
    const Window target = previousFocus_ != None && previousFocus_ != PointerRoot ? previousFocus_ : parent_;
    XSetInputFocus(display_, target, RevertToParent, CurrentTime);
    previousFocus_ = None;
}

} // namespace platform::x11
