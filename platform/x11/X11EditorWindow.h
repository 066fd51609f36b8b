#pragma once

#include "platform/EditorWindow.h"
#include "platform/x11/IdleClock.h"
#include "platform/x11/IdleTimers.h"
#include "platform/x11/MessageRouter.h"
#include "platform/x11/PixelLayout.h"
#include "platform/x11/PointerTracker.h"
#include "platform/x11/X11Cursor.h"
#include "platform/x11/X11Overlay.h"
#include "platform/x11/Xlib.h"

#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace platform::x11 {

class X11PopupMenu;
class SaveDialogRunner;

// The Linux editor window: a child of the host's window on a display connection of its own, with the
// parent's visual and depth and a fixed size. It has no thread and no event loop: each host idle call
// (Idle) reads the events that are there without waiting, delivers posted messages, fires the timer
// when its deadline has passed, runs the menu and dialog, and shows what changed with XPutImage. All of
// that happens on the thread that created the window. Protocol errors of its connection (a parent the
// host destroyed first, for instance) are trapped and never reach the host.
//
// Its member functions are spread over files by responsibility: X11EditorWindow.cpp (creation, teardown,
// painting), X11EventPump.cpp (the idle call and event delivery), X11PointerAndFocus.cpp (pointer grabs
// and keyboard focus) and X11MenuAndDialog.cpp (popup menu, save dialog and the modal panels).
class X11EditorWindow final : public EditorWindow, private MessageTarget {
public:
    // Null when the display cannot be opened, the parent is not a window, or the child cannot be
    // created. clock may be null (the system's monotonic clock); it must outlive the window.
    static std::unique_ptr<X11EditorWindow> Create(void* parent, int width, int height, WindowEvents& events,
                                                   const IdleClock* clock = nullptr);
    ~X11EditorWindow() override;

    // --- EditorWindow ---
    void* NativeHandle() const override;
    int ClientWidth() const override { return width_; }
    int ClientHeight() const override { return height_; }
    void SetPicture(const PixelPicture& picture) override;
    void Invalidate(const Rect& area) override;
    void PostWindowMessage(unsigned id, std::uintptr_t wParam, std::intptr_t lParam) override;
    void StartTimer(unsigned intervalMs) override;
    void StopTimer() override;
    void CaptureMouse() override;
    void ReleaseMouse() override;
    Cursor& SystemCursor() override { return *cursor_; }
    Point ClientToScreen(Point client) const override;
    Point ScreenToClient(Point screen) const override;
    void ShowPopupMenu(const std::vector<MenuItem>& items, Point screen, MenuDrawItem draw,
                       MenuChosen onChosen) override;
    void ShowSaveDialog(const SaveDialogOptions& options, SaveDialogDone onDone) override;
    void Idle() override;

    // A modal message panel over the editor; returns at once (the panel waits for its OK on later
    // idle calls). Several wait their turn. On the window's own thread; a message box asked for on any
    // thread reaches it through the message router at the next idle.
    void ShowMessage(const std::string& caption, const std::string& text);

    // --- for tests ---
    Display* XDisplay() const { return display_; }
    Window XWindow() const { return window_; }
    bool WindowGone() const { return windowGone_; }
    bool MenuOpen() const { return menu_ != nullptr; }
    Window MenuWindow() const;
    bool DialogRunning() const { return dialog_ != nullptr; }
    const X11Overlay* ActiveOverlay() const {
        return overlays_.empty() ? nullptr : &overlays_.front().overlay;
    }
    const PixelLayout& Layout() const { return layout_; }

private:
    X11EditorWindow(WindowEvents& events, int width, int height, const IdleClock* clock);
    bool Open(Window parent);
    std::int64_t Now() const;

    // --- MessageTarget ---
    void QueueMessage(const std::string& caption, const std::string& text) override;
    void ShowQueuedMessages();

    void DrainEvents();
    // The host destroyed our window (DestroyNotify, or an error naming it): stop drawing and grabbing.
    void NoteWindowGone();
    void Dispatch(XEvent& event, bool deliverMotion);
    void DispatchToOverlay(const XEvent& event);
    bool Modal() const;
    ShiftState ShiftFrom(unsigned state) const;
    void NoteOrigin(int clientX, int clientY, int rootX, int rootY);
    void UpdateGrab(unsigned long time);
    void EndCapture(bool notify);

    void RunMenu();
    void RunDialog();
    void FinishDialog(std::optional<std::string> path);
    void PaintDirty();
    void Present(const Rect& area);

    struct OverlayEntry {
        X11Overlay overlay;
        std::function<void(X11Overlay::Action, const X11Overlay&)> onClose;
    };
    void PushOverlay(OverlayEntry entry, bool front);
    void CloseOverlay(X11Overlay::Action action);
    void TakeFocus(unsigned long time);
    void GiveFocusBack();

    WindowEvents& events_;
    int width_;
    int height_;
    MonotonicClock ownClock_;
    const IdleClock* clock_;

    Display* display_ = nullptr;
    Window parent_ = None;
    Window window_ = None;
    Window root_ = None;
    int screenNumber_ = 0;
    Visual* visual_ = nullptr;
    int depth_ = 0;
    Colormap colormap_ = None;
    GC gc_ = nullptr;
    XImage* image_ = nullptr;
    std::vector<std::uint8_t> imageData_;
    int imageStride_ = 0;
    PixelLayout layout_;
    bool windowGone_ = false;
    bool inIdle_ = false;

    PixelPicture picture_;
    std::vector<std::uint32_t> shown_; // top-down composite of picture and overlay
    Rect dirty_;

    IdleTimers timers_;
    PostedQueue posted_;
    std::deque<std::function<void()>> deferred_;

    std::unique_ptr<X11Cursor> cursor_;
    DoubleClickDetector doubleClick_;
    Point origin_; // the client area's top-left corner on the screen
    unsigned heldButtons_ = 0;
    bool captured_ = false;
    bool grabActive_ = false;
    ::Cursor grabCursor_ = None;
    unsigned long lastTime_ = CurrentTime;

    std::unique_ptr<X11PopupMenu> menu_;
    MenuChosen menuChosen_;

    std::unique_ptr<SaveDialogRunner> dialog_;
    SaveDialogOptions dialogOptions_;
    SaveDialogDone dialogDone_;
    bool dialogActive_ = false;

    std::deque<OverlayEntry> overlays_;
    struct QueuedMessage {
        std::string caption;
        std::string text;
    };
    std::mutex queuedMutex_; // the router queues from any thread
    std::vector<QueuedMessage> queued_;
    Window previousFocus_ = None;
    bool haveFocus_ = false;
};

} // namespace platform::x11
