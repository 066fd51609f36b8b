// MessageBox.h comes before Xlib, whose None macro would clash with its MessageIcon::None.
#include "platform/MessageBox.h"

#include "platform/x11/KeyTranslation.h"
#include "platform/x11/SaveDialogRunner.h"
#include "platform/x11/X11EditorWindow.h"
#include "platform/x11/X11ErrorTrap.h"
#include "platform/x11/X11PopupMenu.h"
#include "platform/x11/X11Visual.h"

#include <X11/XKBlib.h>
#include <X11/keysym.h>
#include <algorithm>
#include <cstdlib>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

extern char** environ;

namespace platform::x11 {

namespace {

// The most events one idle call reads, so a flood of input cannot hold the host's thread.
constexpr std::size_t kMaxEventsPerIdle = 4096;
constexpr unsigned kTimerId = 1;
constexpr long kPointerGrabMask =
    ButtonPressMask | ButtonReleaseMask | PointerMotionMask | EnterWindowMask | LeaveWindowMask;

// Message boxes shown while an editor is open appear as panels inside it: inside the editor whose
// idle ran last, which is the one whose form (or whose effect's idle handler) is asking. Without an
// editor the system's message box is used. The router is installed only while no other handler is.
class MessageRouter : public MessageBoxHandler {
public:
    void Show(const std::string& caption, const std::string& text, MessageIcon icon) override {
        X11EditorWindow* target = nullptr;
        {
            std::lock_guard lock(mutex_);
            target = active_ != nullptr ? active_ : (live_.empty() ? nullptr : live_.back());
        }
        if (target != nullptr && !target->WindowGone())
            target->ShowMessage(caption, text);
        else
            ShowSystemMessageBox(caption, text, icon);
    }

    void Register(X11EditorWindow* window) {
        std::lock_guard lock(mutex_);
        live_.push_back(window);
        if (!installed_ && CurrentMessageBoxHandler() == nullptr) {
            SetMessageBoxHandler(this);
            installed_ = true;
        }
    }

    void Unregister(X11EditorWindow* window) {
        std::lock_guard lock(mutex_);
        std::erase(live_, window);
        if (active_ == window)
            active_ = nullptr;
        if (live_.empty() && installed_) {
            if (CurrentMessageBoxHandler() == this)
                SetMessageBoxHandler(nullptr);
            installed_ = false;
        }
    }

    void MarkActive(X11EditorWindow* window) {
        std::lock_guard lock(mutex_);
        active_ = window;
    }

private:
    std::mutex mutex_;
    std::vector<X11EditorWindow*> live_;
    X11EditorWindow* active_ = nullptr;
    bool installed_ = false;
};

MessageRouter& Router() {
    static MessageRouter router;
    return router;
}

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

std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool FileExists(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0;
}

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
    Router().Register(this);
    return true;
}

X11EditorWindow::~X11EditorWindow() {
    Router().Unregister(this);
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

// ------------------------------------------------------------------ idle

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
    Router().MarkActive(this);
    {
        X11ErrorTrap trap(display_, false);
        DrainEvents();
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
        if (event.xdestroywindow.window == window_) {
            // The host destroyed its window with ours inside: nothing is left to draw on or release.
            windowGone_ = true;
            const bool hadCapture = captured_ || grabActive_ || heldButtons_ != 0;
            grabActive_ = false;
            captured_ = false;
            heldButtons_ = 0;
            if (menu_)
                menu_->Dismiss();
            // A drag in progress ends, so the cursor is shown again.
            if (hadCapture)
                events_.CaptureLost();
        }
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

// ------------------------------------------------------------------ overlays

void X11EditorWindow::ShowMessage(const std::string& caption, const std::string& text) {
    PushOverlay({X11Overlay::Message(caption, text), nullptr}, false);
}

void X11EditorWindow::PushOverlay(OverlayEntry entry, bool front) {
    entry.overlay.Layout(width_, height_);
    const bool wantsKeys = entry.overlay.GetKind() == X11Overlay::Kind::FileName;
    if (front)
        overlays_.push_front(std::move(entry));
    else
        overlays_.push_back(std::move(entry));
    dirty_ = {0, 0, width_, height_};
    // A panel for typing a name takes the keyboard; the host gets it back when the panel closes.
    if (wantsKeys && overlays_.front().overlay.GetKind() == X11Overlay::Kind::FileName)
        TakeFocus(CurrentTime);
}

void X11EditorWindow::CloseOverlay(X11Overlay::Action action) {
    if (overlays_.empty())
        return;
    OverlayEntry entry = std::move(overlays_.front());
    overlays_.pop_front();
    dirty_ = {0, 0, width_, height_};
    const bool typing = std::any_of(overlays_.begin(), overlays_.end(), [](const OverlayEntry& e) {
        return e.overlay.GetKind() == X11Overlay::Kind::FileName;
    });
    if (!typing)
        GiveFocusBack();
    if (entry.onClose)
        entry.onClose(action, entry.overlay);
}

void X11EditorWindow::DispatchToOverlay(const XEvent& event) {
    if (overlays_.empty())
        return; // a dialog program is open: the editor takes no input meanwhile
    X11Overlay& overlay = overlays_.front().overlay;
    X11Overlay::Action action = X11Overlay::Action::Ignored;
    if (event.type == ButtonPress && event.xbutton.button == Button1) {
        const Point client{event.xbutton.x, event.xbutton.y};
        if (overlay.InEntryField(client))
            TakeFocus(event.xbutton.time);
        action = overlay.MouseDown(client);
    } else if (event.type == KeyPress) {
        char typed[32];
        KeySym keysym = NoSymbol;
        XKeyEvent key = event.xkey;
        const int length = XLookupString(&key, typed, sizeof typed, &keysym, nullptr);
        action = overlay.Key(keysym, std::string(typed, static_cast<std::size_t>(std::max(length, 0))));
    }
    if (action == X11Overlay::Action::Redraw)
        dirty_ = {0, 0, width_, height_};
    else if (action == X11Overlay::Action::Accept || action == X11Overlay::Action::Cancel)
        CloseOverlay(action);
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

// ------------------------------------------------------------------ menu and dialog

void X11EditorWindow::ShowPopupMenu(const std::vector<MenuItem>& items, Point screen, MenuDrawItem draw,
                                    MenuChosen onChosen) {
    X11ErrorTrap trap(display_);
    if (menu_) {
        menu_.reset();
        if (MenuChosen previous = std::move(menuChosen_))
            deferred_.push_back([previous] { previous(-1); });
    }
    if (windowGone_ || items.empty()) {
        deferred_.push_back([onChosen] {
            if (onChosen)
                onChosen(-1);
        });
        return;
    }
    // The menu takes the pointer: a capture or press in progress ends, as it does on Windows.
    const bool hadCapture = captured_ || grabActive_ || heldButtons_ != 0;
    if (grabActive_)
        XUngrabPointer(display_, CurrentTime);
    grabActive_ = false;
    captured_ = false;
    heldButtons_ = 0;
    if (hadCapture)
        deferred_.push_front([this] { events_.CaptureLost(); });
    menu_ = std::make_unique<X11PopupMenu>(display_, screenNumber_, items, screen, std::move(draw));
    menuChosen_ = std::move(onChosen);
}

void X11EditorWindow::RunMenu() {
    if (!menu_)
        return;
    menu_->Idle();
    if (!menu_->Finished())
        return;
    const int choice = menu_->Choice();
    menu_.reset();
    MenuChosen chosen = std::move(menuChosen_);
    menuChosen_ = nullptr;
    if (chosen)
        chosen(choice);
}

void X11EditorWindow::ShowSaveDialog(const SaveDialogOptions& options, SaveDialogDone onDone) {
    if (dialogActive_ || windowGone_) {
        deferred_.push_back([onDone] {
            if (onDone)
                onDone(std::nullopt);
        });
        return;
    }
    dialogActive_ = true;
    dialogOptions_ = options;
    dialogDone_ = std::move(onDone);

    SaveDialogRequest request;
    request.title = "Save As";
    request.initialFolder = options.initialFolder;
    request.fileName = options.fileName;
    request.confirmOverwrite = options.overwritePrompt;
    // The first "description|patterns" pair of the filter; patterns are separated by ';'.
    const std::size_t bar = options.filter.find('|');
    if (bar != std::string::npos) {
        request.filterName = options.filter.substr(0, bar);
        std::string patterns = options.filter.substr(bar + 1);
        patterns = patterns.substr(0, patterns.find('|'));
        std::size_t start = 0;
        while (start < patterns.size()) {
            std::size_t end = patterns.find(';', start);
            if (end == std::string::npos)
                end = patterns.size();
            if (end > start)
                request.patterns.push_back(patterns.substr(start, end - start));
            start = end + 1;
        }
    }
    const char* path = std::getenv("PATH");
    dialog_ =
        std::make_unique<SaveDialogRunner>(request, path != nullptr ? path : "/usr/local/bin:/usr/bin:/bin",
                                           DialogEnvironment(environ, window_));
}

void X11EditorWindow::RunDialog() {
    if (!dialog_)
        return;
    switch (dialog_->Poll()) {
    case SaveDialogRunner::Outcome::Running:
        return;
    case SaveDialogRunner::Outcome::Chosen:
        FinishDialog(dialog_->Path());
        return;
    case SaveDialogRunner::Outcome::Cancelled:
        FinishDialog(std::nullopt);
        return;
    case SaveDialogRunner::Outcome::NoProgram:
        break;
    }
    dialog_.reset();
    // No dialog program: the name is typed into a panel inside the editor.
    struct Asker {
        X11EditorWindow* window;
        void Ask(const std::string& name) const {
            X11Overlay panel = X11Overlay::FileName("Save As", name);
            const Asker self = *this;
            window->PushOverlay(
                {std::move(panel), [self](X11Overlay::Action action,
                                          const X11Overlay& closed) { self.Answer(action, closed.Entry()); }},
                false);
        }
        void Answer(X11Overlay::Action action, const std::string& typed) const {
            if (action != X11Overlay::Action::Accept || typed.empty()) {
                window->FinishDialog(std::nullopt);
                return;
            }
            const SaveDialogOptions& options = window->dialogOptions_;
            std::string folder = FolderOf(options.fileName);
            if (folder.empty())
                folder = options.initialFolder;
            const std::string path = folder.empty() ? typed : folder + "/" + typed;
            if (!options.overwritePrompt || !FileExists(path)) {
                window->FinishDialog(path);
                return;
            }
            const Asker self = *this;
            window->PushOverlay(
                {X11Overlay::Question("Save As", path + " already exists.\nDo you want to replace it?"),
                 [self, path, typed](X11Overlay::Action answer, const X11Overlay&) {
                     if (answer == X11Overlay::Action::Accept)
                         self.window->FinishDialog(path);
                     else
                         self.Ask(typed);
                 }},
                true);
        }
    };
    Asker{this}.Ask(NameOf(dialogOptions_.fileName));
}

void X11EditorWindow::FinishDialog(std::optional<std::string> path) {
    dialog_.reset();
    dialogActive_ = false;
    SaveDialogDone done = std::move(dialogDone_);
    dialogDone_ = nullptr;
    if (done)
        done(std::move(path));
}

// ------------------------------------------------------------------ painting

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
