#pragma once

#include "platform/Cursor.h"
#include "platform/Geometry.h"
#include "platform/Input.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace platform {

// A 32-bit picture as the control kit keeps it: one little-endian word per pixel with the bytes blue,
// green, red, alpha, rows stored bottom-up with no gap (the last stored row is the top of the
// picture). The platform only copies such pictures to the screen; it never draws.
struct PixelPicture {
    std::uint32_t* bits = nullptr;
    int width = 0;
    int height = 0;

    // Row y counted from the top.
    std::uint32_t* Row(int y) const { return bits + static_cast<std::ptrdiff_t>(height - 1 - y) * width; }
};

// One entry of a popup menu. Every entry is drawn by the owner through the menu's draw callback; the
// caption is for systems that need a text (accessibility, keyboard selection). A caption of "-" is a
// separator, which cannot be chosen. The owner gives the item's size so the menu looks the same on
// every system.
struct MenuItem {
    std::string caption;
    int width = 0;
    int height = 0;
};

// Draws item index into canvas (the item's whole rectangle, canvas.width x canvas.height, top-left at
// (0, 0)); selected is true while the pointer is over it.
using MenuDrawItem = std::function<void(int index, const PixelPicture& canvas, bool selected)>;
// The menu was closed: the chosen item's index, or -1 when it was dismissed.
using MenuChosen = std::function<void(int index)>;

struct SaveDialogOptions {
    std::string initialFolder;    // where the dialog starts; empty lets the system choose
    std::string fileName;         // name offered in the name field
    std::string filter;           // "description|pattern" pairs separated by '|', e.g. "fxp|*.fxp"
    std::string defaultExtension; // empty: the dialog appends nothing to a typed name
    bool overwritePrompt = true;  // ask before replacing an existing file
    bool hideReadOnly = true;     // no "open read-only" box
    bool resizable = true;
    bool addToRecent = false; // whether the chosen file joins the system's recent-documents list
};

// The dialog was closed: the full path chosen, or nothing when it was cancelled.
using SaveDialogDone = std::function<void(std::optional<std::string> path)>;

// What happens to a window, delivered on the thread that created it (the host's user-interface thread).
// Mouse coordinates are client coordinates. A handler must not destroy the window that calls it.
class WindowEvents {
public:
    virtual ~WindowEvents() = default;
    virtual void MouseDown(MouseButton button, ShiftState shift, Point client) = 0;
    virtual void MouseMove(ShiftState shift, Point client) = 0;
    virtual void MouseUp(MouseButton button, ShiftState shift, Point client) = 0;
    // The second press of a double click, delivered instead of its MouseDown (shift.doubleClick set).
    virtual void DoubleClick(MouseButton button, ShiftState shift, Point client) = 0;
    // The pointer left the client area (not sent while the window holds the capture).
    virtual void MouseLeave() = 0;
    virtual void KeyDown(KeyCode key, ShiftState shift) = 0;
    virtual void KeyUp(KeyCode key, ShiftState shift) = 0;
    // The window lost a mouse capture it held to another window, or lost the keyboard focus.
    virtual void CaptureLost() = 0;
    virtual void FocusLost() = 0;
    // A message posted with EditorWindow::PostWindowMessage, delivered later by the event loop.
    virtual void PostedMessage(unsigned id, std::uintptr_t wParam, std::intptr_t lParam) = 0;
    // The periodic timer fired.
    virtual void TimerTick() = 0;
    // The window is about to show area of its picture: bring the picture up to date there.
    virtual void Paint(const Rect& area) = 0;
};

// The window an editor form lives in: a borderless child of the host's window at (0, 0), visible from
// creation on. Destroying it destroys the native window, stops its timer, drops messages not yet
// delivered, releases the capture, shows the cursor again if the program hid it, and closes an open
// menu or dialog without calling back.
//
// Nothing here blocks in an event loop of its own except ShowMessageBox (platform/MessageBox.h): a menu
// or dialog answers through its callback, which a system may call before the Show call returns
// (Win32's modal menu loop) or later from the event loop (systems driven by the host's idle calls).
// Callers must cope with both.
class EditorWindow {
public:
    virtual ~EditorWindow() = default;
    EditorWindow() = default;
    EditorWindow(const EditorWindow&) = delete;
    EditorWindow& operator=(const EditorWindow&) = delete;

    // The native window (HWND, X11 Window id); null for the headless window.
    virtual void* NativeHandle() const = 0;
    virtual int ClientWidth() const = 0;
    virtual int ClientHeight() const = 0;

    // The picture shown in the client area, from its top-left corner. It stays owned by the caller and
    // must stay valid until it is replaced or the window is destroyed.
    virtual void SetPicture(const PixelPicture& picture) = 0;
    // Area of the picture changed; the window asks for a Paint of it and then shows it, later.
    virtual void Invalidate(const Rect& area) = 0;

    // (Not PostMessage: the Windows headers make that name a macro.) Delivers WindowEvents::PostedMessage
    // later from the event loop, in posting order.
    virtual void PostWindowMessage(unsigned id, std::uintptr_t wParam, std::intptr_t lParam) = 0;

    // Starts (or restarts) the periodic timer; StopTimer stops it. One timer per window.
    virtual void StartTimer(unsigned intervalMs) = 0;
    virtual void StopTimer() = 0;

    // Mouse capture: every mouse event goes to this window until ReleaseMouse.
    virtual void CaptureMouse() = 0;
    virtual void ReleaseMouse() = 0;

    // The system cursor (position, hide and show, shape over this window). Lives as long as the window.
    virtual Cursor& SystemCursor() = 0;
    virtual Point ClientToScreen(Point client) const = 0;
    virtual Point ScreenToClient(Point screen) const = 0;

    // Shows a popup menu with its top-left corner at a screen point. draw paints each item; onChosen
    // runs exactly once when the menu closes (not when the window is destroyed first).
    virtual void ShowPopupMenu(const std::vector<MenuItem>& items, Point screen, MenuDrawItem draw,
                               MenuChosen onChosen) = 0;

    // Shows the save-file dialog owned by this window; onDone runs exactly once when it closes (not
    // when the window is destroyed first).
    virtual void ShowSaveDialog(const SaveDialogOptions& options, SaveDialogDone onDone) = 0;

    // Called on every editor idle of the host. Systems whose events are driven by the host's idle
    // calls (no event loop of their own) read and deliver their events here.
    virtual void Idle() {}
};

// Creates editor windows on one windowing system.
class WindowFactory {
public:
    virtual ~WindowFactory() = default;
    // A visible child window of parent (HWND, X11 Window id) at (0, 0) with the given client size,
    // reporting to events, which must outlive the window. Null when it cannot be created.
    virtual std::unique_ptr<EditorWindow> CreateEditorWindow(void* parent, int width, int height,
                                                             WindowEvents& events) = 0;
};

// The system's own windows: Win32 on Windows, X11 on Linux. Each native layer defines it in its
// NativeWindowFactory.cpp. The plug-in gives it to its editor's form class; the tests and the screenshot
// command give theirs (the headless factory) instead.
WindowFactory* NativeWindowFactory() noexcept;

// A monotonic high-resolution clock in milliseconds (fractional), for double clicks and timers.
double MonotonicMilliseconds() noexcept;

} // namespace platform
