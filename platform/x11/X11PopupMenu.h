#pragma once

#include "platform/EditorWindow.h"
#include "platform/x11/Xlib.h"

#include <cstdint>
#include <vector>

namespace platform::x11 {

// An owner-drawn popup menu: an override-redirect window on the root of the editor's display that
// holds the pointer and keyboard grabs while it is open. It never runs a loop of its own: the editor
// window feeds it the events of its display on each idle call and collects the result. Items are
// drawn by the owner's callback at the menu's full width, the way Windows stretches owner-drawn items;
// an item whose caption is "-" is a separator and cannot be chosen.
class X11PopupMenu {
public:
    // The menu's top-left corner goes to screen, moved left or up when the menu would leave the screen.
    // The menu opens on the screen of the editor (screenNumber).
    X11PopupMenu(Display* display, int screenNumber, std::vector<MenuItem> items, Point screen,
                 MenuDrawItem draw);
    ~X11PopupMenu();
    X11PopupMenu(const X11PopupMenu&) = delete;
    X11PopupMenu& operator=(const X11PopupMenu&) = delete;

    Window Handle() const { return window_; }
    bool Finished() const { return finished_; }
    // The chosen index once finished; -1 when it was dismissed.
    int Choice() const { return choice_; }
    int Selected() const { return selected_; }
    Rect ScreenBounds() const { return Rect::FromSize(origin_.x, origin_.y, width_, height_); }

    // Takes the grabs once the window is viewable; after a few idles without them the menu gives up
    // (another program holds the pointer) and is dismissed. Repaints when needed.
    void Idle();
    // Any pointer or key event of the display while the menu is open, and the menu's own Exposes.
    void HandleEvent(const XEvent& event);
    // Closes the menu without a choice.
    void Dismiss();

    // The item under a point relative to the menu's top-left corner; -1 for none or a separator.
    static int ItemAt(const std::vector<MenuItem>& items, int width, Point local);

private:
    void Paint();
    void Select(int index);
    void Finish(int choice);
    void Ungrab();

    Display* display_;
    std::vector<MenuItem> items_;
    MenuDrawItem draw_;
    Window window_ = None;
    Colormap colormap_ = None;
    GC gc_ = nullptr;
    Visual* visual_ = nullptr;
    int depth_ = 0;
    Point origin_;
    int width_ = 0;
    int height_ = 0;
    int selected_ = -1;
    int choice_ = -1;
    bool finished_ = false;
    bool grabbed_ = false;
    bool armed_ = false;
    bool needsPaint_ = true;
    int grabAttempts_ = 0;
};

} // namespace platform::x11
