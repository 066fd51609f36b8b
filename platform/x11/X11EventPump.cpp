// The Linux editor's event pump: everything happens in the host's idle calls. Each one reads the events
// that are there without waiting, delivers them and the posted messages, fires the timer when its
// deadline has passed, runs the menu and the dialog, and shows what changed.
#include "platform/x11/X11EditorWindow.h"

#include "platform/x11/KeyTranslation.h"
#include "platform/x11/X11ErrorTrap.h"
#include "platform/x11/X11PopupMenu.h"

#include <X11/keysym.h>

namespace platform::x11 {

namespace {

// The most events one idle call reads, so a flood of input cannot hold the host's thread.
constexpr std::size_t kMaxEventsPerIdle = 4096;

unsigned ButtonBit(unsigned button) {
    return 1u << button;
}

bool MouseButtonOf(unsigned button, MouseButton& out) {
    switch (button) {
    case Button1:
        out = MouseButton::Left;
        return true;
    case Button2:
        out = MouseButton::Middle;
        return true;
    case Button3:
        out = MouseButton::Right;
        return true;
    default:
        // 4..7 are wheel turns, 8 and 9 the side buttons: none of them reaches the controls.
        return false;
    }
}

void SetHeld(ShiftState& shift, MouseButton button, bool down) {
    switch (button) {
    case MouseButton::Left:
        shift.left = down;
        break;
    case MouseButton::Right:
        shift.right = down;
        break;
    case MouseButton::Middle:
        shift.middle = down;
        break;
    }
}

} // namespace

void X11EditorWindow::NoteWindowGone() {
    if (windowGone_)
        return;
    // The host destroyed its window with ours inside: nothing is left to draw on or release, and no
    // request names the window again.
    windowGone_ = true;
    const bool hadCapture = captured_ || grabActive_ || heldButtons_ != 0;
    grabActive_ = false;
    captured_ = false;
    heldButtons_ = 0;
    dirty_ = {};
    if (menu_)
        menu_->Dismiss();
    // The cursor is shown again if a drag hid it, and forgets the display.
    if (cursor_)
        cursor_->Release();
    // A drag in progress ends.
    if (hadCapture)
        events_.CaptureLost();
}

ShiftState X11EditorWindow::ShiftFrom(unsigned state) const {
    ShiftState shift;
    shift.shift = (state & ShiftMask) != 0;
    shift.ctrl = (state & ControlMask) != 0;
    shift.alt = (state & Mod1Mask) != 0;
    shift.left = (state & Button1Mask) != 0;
    shift.middle = (state & Button2Mask) != 0;
    shift.right = (state & Button3Mask) != 0;
    return shift;
}

bool X11EditorWindow::Modal() const {
    return !overlays_.empty() || dialogActive_;
}

void X11EditorWindow::Idle() {
    // A host that calls idle again from inside one of our callbacks gets nothing done twice.
    if (inIdle_ || display_ == nullptr)
        return;
    inIdle_ = true;
    // Cleared however the call ends, so a handler that throws does not leave the editor dead.
    struct IdleGuard {
        bool& flag;
        ~IdleGuard() { flag = false; }
    } guard{inIdle_};
    MessageRouter::Instance().MarkIdle(this);
    {
        X11ErrorTrap trap(display_, false);
        DrainEvents();
        // An error about our window, read with the events, tells as much as its DestroyNotify: the
        // host destroyed it (the picture sent by an earlier idle call arrived after that).
        if (trap.Lost(window_))
            NoteWindowGone();
        for (const PostedMessage& message : posted_.TakeAll())
            events_.PostedMessage(message.id, message.wParam, message.lParam);
        // At most one tick per idle call, however late the call comes.
        if (!timers_.Due(Now()).empty())
            events_.TimerTick();
        RunMenu();
        RunDialog();
        std::deque<std::function<void()>> deferred;
        deferred.swap(deferred_);
        for (auto& call : deferred)
            call();
        ShowQueuedMessages();
        PaintDirty();
        XFlush(display_);
    }
}

void X11EditorWindow::DrainEvents() {
    std::vector<XEvent> batch;
    while (batch.size() < kMaxEventsPerIdle && XPending(display_) > 0) {
        XEvent event;
        XNextEvent(display_, &event);
        batch.push_back(event);
    }
    for (std::size_t i = 0; i < batch.size(); ++i) {
        // Of a run of motions only the last reaches the controls; each one still moves the tracked
        // pointer, so no motion is lost.
        const bool lastOfRun =
            !(batch[i].type == MotionNotify && i + 1 < batch.size() && batch[i + 1].type == MotionNotify &&
              batch[i + 1].xmotion.window == batch[i].xmotion.window);
        Dispatch(batch[i], lastOfRun);
    }
}

void X11EditorWindow::Dispatch(XEvent& event, bool deliverMotion) {
    const bool pointerOrKey = event.type == ButtonPress || event.type == ButtonRelease ||
                              event.type == MotionNotify || event.type == KeyPress ||
                              event.type == KeyRelease;
    if (menu_ && !menu_->Finished() &&
        (pointerOrKey || (event.type == Expose && event.xexpose.window == menu_->Handle()))) {
        if (event.type == MotionNotify)
            cursor_->Tracker().Observe({event.xmotion.x_root, event.xmotion.y_root});
        menu_->HandleEvent(event);
        return;
    }

    switch (event.type) {
    case Expose:
        if (event.xexpose.window == window_)
            dirty_ = dirty_.Union(
                Rect::FromSize(event.xexpose.x, event.xexpose.y, event.xexpose.width, event.xexpose.height)
                    .Intersect({0, 0, width_, height_}));
        break;
    case DestroyNotify:
        if (event.xdestroywindow.window == window_)
            NoteWindowGone();
        break;
    case MappingNotify:
        XRefreshKeyboardMapping(&event.xmapping);
        break;
    case ButtonPress:
    case ButtonRelease: {
        const XButtonEvent& b = event.xbutton;
        if (b.window != window_)
            break;
        lastTime_ = b.time;
        NoteOrigin(b.x, b.y, b.x_root, b.y_root);
        cursor_->Tracker().Observe({b.x_root, b.y_root});
        MouseButton button{};
        if (!MouseButtonOf(b.button, button))
            break;
        const bool down = event.type == ButtonPress;
        const unsigned bit = ButtonBit(b.button);
        if (Modal()) {
            // The controls get the release of a press they saw; everything else goes to the panel.
            if (!down && (heldButtons_ & bit) != 0) {
                heldButtons_ &= ~bit;
                ShiftState shift = ShiftFrom(b.state);
                SetHeld(shift, button, false);
                events_.MouseUp(button, shift, {b.x, b.y});
                UpdateGrab(CurrentTime);
            } else if (down) {
                DispatchToOverlay(event);
            }
            break;
        }
        ShiftState shift = ShiftFrom(b.state);
        SetHeld(shift, button, down);
        if (down) {
            heldButtons_ |= bit;
            if (doubleClick_.Press(static_cast<int>(b.button), {b.x_root, b.y_root}, b.time)) {
                shift.doubleClick = true;
                events_.DoubleClick(button, shift, {b.x, b.y});
            } else {
                events_.MouseDown(button, shift, {b.x, b.y});
            }
        } else {
            heldButtons_ &= ~bit;
            events_.MouseUp(button, shift, {b.x, b.y});
            UpdateGrab(CurrentTime);
        }
        break;
    }
    case MotionNotify: {
        const XMotionEvent& m = event.xmotion;
        if (m.window != window_)
            break;
        lastTime_ = m.time;
        NoteOrigin(m.x, m.y, m.x_root, m.y_root);
        const bool user = cursor_->Tracker().Observe({m.x_root, m.y_root});
        if (!user || !deliverMotion)
            break;
        if (Modal() && heldButtons_ == 0)
            break;
        events_.MouseMove(ShiftFrom(m.state), {m.x, m.y});
        break;
    }
    case EnterNotify:
        if (event.xcrossing.window == window_) {
            NoteOrigin(event.xcrossing.x, event.xcrossing.y, event.xcrossing.x_root, event.xcrossing.y_root);
            cursor_->Tracker().Observe({event.xcrossing.x_root, event.xcrossing.y_root});
        }
        break;
    case LeaveNotify: {
        const XCrossingEvent& c = event.xcrossing;
        if (c.window != window_)
            break;
        if (c.mode == NotifyGrab) {
            // Another grab took the pointer (another program, or our own menu): a drag in progress
            // ends here, as a lost capture does on Windows.
            if (grabActive_ || heldButtons_ != 0 || captured_)
                EndCapture(true);
        } else if (c.mode == NotifyNormal && !captured_ && !grabActive_ && heldButtons_ == 0 &&
                   c.detail != NotifyInferior) {
            events_.MouseLeave();
        }
        break;
    }
    case FocusOut:
        if (event.xfocus.window == window_ && event.xfocus.mode != NotifyGrab &&
            event.xfocus.detail != NotifyInferior && event.xfocus.detail != NotifyPointer) {
            haveFocus_ = false;
            events_.FocusLost();
        }
        break;
    case KeyPress:
    case KeyRelease: {
        if (event.xkey.window != window_)
            break;
        lastTime_ = event.xkey.time;
        char typed[32];
        KeySym keysym = NoSymbol;
        const int length = XLookupString(&event.xkey, typed, sizeof typed, &keysym, nullptr);
        if (Modal()) {
            if (event.type == KeyPress)
                DispatchToOverlay(event);
            break;
        }
        const KeyCode key = VirtualKeyOf(keysym);
        (void)length;
        if (key == 0)
            break;
        if (event.type == KeyPress)
            events_.KeyDown(key, ShiftFrom(event.xkey.state));
        else
            events_.KeyUp(key, ShiftFrom(event.xkey.state));
        break;
    }
    default:
        break;
    }
}

} // namespace platform::x11
