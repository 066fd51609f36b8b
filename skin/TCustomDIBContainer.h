#pragma once

#include "platform/Cursor.h"
#include "platform/Geometry.h"
#include "platform/Input.h"
#include "skin/TColor.h"
#include "skin/TComponent.h"
#include "skin/TCustomDIBControl.h"
#include "skin/TWinDIB.h"

#include <functional>
#include <vector>

namespace skin {

class TextDrawer;

// The base of the kit's containers: a panel that owns an off-screen picture of its own size. Its
// controls paint into that picture (lowest first, in z-order) and the platform window shows it.
// The container is fed the window's input in its own coordinates and routes it to the controls:
// the press target keeps the mouse until release, the pointer's control gets enter and leave
// events, and the control holding the kit's focus gets the keys.
//
// Painting is deferred: changes mark areas dirty (OnInvalidate tells the window), Update() paints
// them and reports the painted area through OnPainted.
class TCustomDIBContainer : public TComponent {
public:
    explicit TCustomDIBContainer(TComponent* owner = nullptr);
    ~TCustomDIBContainer() override;

    // --- geometry ---
    int Left() const { return bounds_.left; }
    int Top() const { return bounds_.top; }
    int Width() const { return bounds_.Width(); }
    int Height() const { return bounds_.Height(); }
    void SetBounds(int left, int top, int width, int height);
    bool Visible() const { return visible_; }
    void SetVisible(bool visible);
    TColor Color() const { return color_; }
    void SetColor(TColor color);

    TWinDIB& Picture() { return picture_; }
    const TWinDIB& Picture() const { return picture_; }

    // --- services ---
    // The system cursor the controls use for dragging; not owned, may be null. It must outlive the
    // container and its controls: a drag cut short by their destruction shows the cursor again.
    platform::Cursor* CursorService() const { return cursor_; }
    void SetCursorService(platform::Cursor* cursor) { cursor_ = cursor; }
    // The caption renderer; falls back to the kit's default. Not owned.
    TextDrawer* GetTextDrawer() const;
    void SetTextDrawer(TextDrawer* drawer) { textDrawer_ = drawer; }

    // --- controls ---
    const std::vector<TCustomDIBControl*>& Controls() const { return controls_; }
    void BringToFront(TCustomDIBControl& control);
    void SendToBack(TCustomDIBControl& control);
    // The topmost visible, enabled control at a point, or null.
    TCustomDIBControl* ControlAt(int x, int y) const;
    TCustomDIBControl* FocusedControl() const { return focused_; }
    // Gives the kit's focus to a control of this container (null clears it).
    void SetFocusedControl(TCustomDIBControl* control);
    TCustomDIBControl* HoverControl() const { return hover_; }
    TCustomDIBControl* CaptureControl() const { return capture_; }

    // --- painting ---
    void Invalidate();
    void InvalidateRect(const platform::Rect& area);
    bool NeedsPaint() const { return !dirty_.Empty(); }
    const platform::Rect& DirtyRect() const { return dirty_; }
    // Paints the dirty area now.
    void Update();
    std::function<void(TCustomDIBContainer&)> OnInvalidate;
    std::function<void(TCustomDIBContainer&, const platform::Rect&)> OnPainted;

    // --- input from the window, in container coordinates ---
    void MouseDown(platform::MouseButton button, platform::ShiftState shift, int x, int y);
    void MouseMove(platform::ShiftState shift, int x, int y);
    void MouseUp(platform::MouseButton button, platform::ShiftState shift, int x, int y);
    // The pointer left the window.
    void MouseLeave();
    // The window lost the mouse capture to another window.
    void CaptureLost();
    // The window lost the keyboard focus or was deactivated.
    void FocusLost();
    // Keys go to the control holding the kit's focus; answers whether there was one.
    bool KeyDown(platform::KeyCode key, platform::ShiftState shift);
    bool KeyUp(platform::KeyCode key, platform::ShiftState shift);

    // Events for input that hits no control.
    TNotifyEvent OnClick;
    TMouseEvent OnMouseDown;
    TMouseEvent OnMouseUp;
    TMouseMoveEvent OnMouseMove;

protected:
    // Paints the container's own background into area (the picture's clip rectangle is set to it).
    virtual void PaintBackground(TWinDIB& picture, const platform::Rect& area);

private:
    friend class TCustomDIBControl;
    void AddControl(TCustomDIBControl* control);
    void RemoveControl(TCustomDIBControl* control);
    // Drops capture and hover of a control that stops taking input (hidden, disabled, removed).
    void RemoveControlInput(TCustomDIBControl* control);
    bool Contains(const TCustomDIBControl* control) const;
    void UpdateHover(int x, int y);
    void CancelMouse();
    void Realign(TCustomDIBControl& control);

    platform::Rect bounds_{0, 0, 0, 0};
    bool visible_ = true;
    TColor color_ = 0xF0F0F0;
    TWinDIB picture_;
    platform::Cursor* cursor_ = nullptr;
    TextDrawer* textDrawer_ = nullptr;
    std::vector<TCustomDIBControl*> controls_;
    TCustomDIBControl* hover_ = nullptr;
    TCustomDIBControl* capture_ = nullptr;
    TCustomDIBControl* focused_ = nullptr;
    platform::Rect dirty_;
    bool painting_ = false;
    bool ownPress_ = false;     // a left press that hit no control (a click on the container)
    bool clickPending_ = false; // the capture control's left press may still become a click
};

} // namespace skin
