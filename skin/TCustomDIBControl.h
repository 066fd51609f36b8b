#pragma once

#include "platform/Cursor.h"
#include "platform/Geometry.h"
#include "platform/Input.h"
#include "skin/TComponent.h"
#include "skin/TWinDIB.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace skin {

class TCustomDIBContainer;
class TDIBImageList;
class TDIBImageLink;

using TNotifyEvent = std::function<void(TComponent* sender)>;
using TMouseEvent = std::function<void(TComponent* sender, platform::MouseButton button,
                                       platform::ShiftState shift, int x, int y)>;
using TMouseMoveEvent = std::function<void(TComponent* sender, platform::ShiftState shift, int x, int y)>;
// The handler may set key to 0 to keep the control from acting on it.
using TKeyEvent = std::function<void(TComponent* sender, platform::KeyCode& key, platform::ShiftState shift)>;

enum class TAlign { alNone, alClient };

// The base of the kit's windowless controls. A control lives on a container (its parent), paints
// into the container's off-screen picture and receives the mouse and key input the container
// routes to it. Coordinates of the control are relative to its container; mouse events carry
// coordinates relative to the control.
//
// Creation: the owner is either a container, which becomes the parent, or a component that owns at
// least one container, the first of which becomes the parent. A new control is 32 x 32 pixels at
// the container's top-left corner.
class TCustomDIBControl : public TComponent {
public:
    // Throws EDIBError "Owner cannot be nil" without an owner and "Parent must be a TDIBContainer"
    // when the owner neither is nor owns a container.
    explicit TCustomDIBControl(TComponent* owner);
    ~TCustomDIBControl() override;

    TCustomDIBContainer* Parent() const { return parent_; }
    // Moves the control to another container (or none); an interrupted mouse action ends first.
    void SetParent(TCustomDIBContainer* parent);

    // --- geometry and visibility ---
    int Left() const { return bounds_.left; }
    int Top() const { return bounds_.top; }
    int Width() const { return bounds_.Width(); }
    int Height() const { return bounds_.Height(); }
    const platform::Rect& BoundsRect() const { return bounds_; }
    // Negative sizes count as 0.
    void SetBounds(int left, int top, int width, int height);
    void SetLeft(int v) { SetBounds(v, Top(), Width(), Height()); }
    void SetTop(int v) { SetBounds(Left(), v, Width(), Height()); }
    void SetWidth(int v) { SetBounds(Left(), Top(), v, Height()); }
    void SetHeight(int v) { SetBounds(Left(), Top(), Width(), v); }
    TAlign Align() const { return align_; }
    void SetAlign(TAlign align);
    bool Visible() const { return visible_; }
    void SetVisible(bool visible);
    bool Enabled() const { return enabled_; }
    virtual void SetEnabled(bool enabled);

    // Weight of the control's picture over what lies beneath it; a change repaints.
    std::uint8_t Opacity() const { return opacity_; }
    void SetOpacity(std::uint8_t opacity);

    // The image list the control's image links refer to.
    TDIBImageList* DIBImageList() const { return imageList_; }
    void SetDIBImageList(TDIBImageList* list);

    // The kit's own keyboard focus order; -1 means the control never takes the kit's focus.
    int DIBTabOrder() const { return tabOrder_; }
    void SetDIBTabOrder(int order);

    std::string Hint;
    platform::CursorShape Cursor = platform::CursorShape::Default;

    // --- state the container maintains ---
    bool MouseOver() const { return mouseOver_; }
    bool Focused() const;
    bool LeftButtonHeld() const { return held_.left; }
    bool RightButtonHeld() const { return held_.right; }
    bool MiddleButtonHeld() const { return held_.middle; }

    // Marks the control's area for repainting at the container's next update.
    void Invalidate();
    // Repaints the control's area now.
    void Repaint();

    // Loaded form state: the control brings derived state (such as a button's look) up to date.
    virtual void Loaded() {}

    // A click as the completed left press and release produce it; raises OnClick.
    virtual void Click();

    // --- events ---
    TNotifyEvent OnClick;
    TNotifyEvent OnDblClick;
    TMouseEvent OnMouseDown;
    TMouseEvent OnMouseUp;
    TMouseMoveEvent OnMouseMove;
    TNotifyEvent OnMouseEnter;
    TNotifyEvent OnMouseLeave;
    TKeyEvent OnKeyDown;
    TKeyEvent OnKeyUp;
    TNotifyEvent OnPaintStart;
    TNotifyEvent OnPaintEnd;

protected:
    // Draws the control's content onto its work picture, which holds what lies beneath the control
    // when this runs. The work picture is Width() x Height().
    virtual void Paint(TWinDIB&) {}

    // Input handlers; the base versions raise the matching events. Overrides call them first.
    virtual void MouseDown(platform::MouseButton button, platform::ShiftState shift, int x, int y);
    virtual void MouseMove(platform::ShiftState shift, int x, int y);
    virtual void MouseUp(platform::MouseButton button, platform::ShiftState shift, int x, int y);
    virtual void MouseEnter();
    virtual void MouseLeave();
    virtual void KeyDown(platform::KeyCode& key, platform::ShiftState shift);
    virtual void KeyUp(platform::KeyCode& key, platform::ShiftState shift);
    virtual void DblClick();
    virtual void FocusChanged() {}
    // A mouse action in progress is cut short: capture taken away, focus lost, the control hidden,
    // disabled, moved to another container or its container destroyed. Controls that hold state
    // across a press (a drag) must end it here; nothing else follows.
    virtual void CancelMode() {}
    // The size changed (from SetBounds or alignment).
    virtual void Resized() {}
    // The image list changed (SetDIBImageList); links are already re-pointed.
    virtual void ImageListChanged() {}

    // Links the control's image list is applied to.
    void RegisterImageLink(TDIBImageLink& link);

    // Whether the second press of a double click is a double click (true) or an ordinary press.
    bool acceptsDoubleClicks_ = true;

private:
    friend class TCustomDIBContainer;
    void PaintTo(TWinDIB& picture);
    void SetMouseOver(bool over);

    TCustomDIBContainer* parent_ = nullptr;
    platform::Rect bounds_{0, 0, 32, 32};
    TAlign align_ = TAlign::alNone;
    bool visible_ = true;
    bool enabled_ = true;
    std::uint8_t opacity_ = 255;
    TDIBImageList* imageList_ = nullptr;
    int tabOrder_ = -1;
    bool mouseOver_ = false;
    platform::ShiftState held_;
    std::vector<TDIBImageLink*> imageLinks_;
    TWinDIB work_;
};

} // namespace skin
