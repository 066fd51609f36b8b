#include "skin/TCustomDIBContainer.h"

#include "skin/TextDrawer.h"

#include <algorithm>

namespace skin {

using platform::MouseButton;
using platform::Rect;
using platform::ShiftState;

namespace {

void SetHeld(ShiftState& held, MouseButton button, bool down) {
    switch (button) {
    case MouseButton::Left:
        held.left = down;
        break;
    case MouseButton::Right:
        held.right = down;
        break;
    case MouseButton::Middle:
        held.middle = down;
        break;
    }
}

bool AnyHeld(const ShiftState& s) {
    return s.left || s.right || s.middle;
}

} // namespace

TCustomDIBContainer::TCustomDIBContainer(TComponent* owner) : TComponent(owner) {}

TCustomDIBContainer::~TCustomDIBContainer() {
    // A drag in progress ends (and shows the cursor) while the cursor service is still reachable.
    CancelMouse();
    for (TCustomDIBControl* c : controls_) {
        c->parent_ = nullptr;
        c->mouseOver_ = false;
        c->held_ = {};
    }
}

void TCustomDIBContainer::SetBounds(int left, int top, int width, int height) {
    width = std::max(width, 0);
    height = std::max(height, 0);
    const Rect r = Rect::FromSize(left, top, width, height);
    if (r == bounds_)
        return;
    const bool resized = r.Width() != bounds_.Width() || r.Height() != bounds_.Height();
    bounds_ = r;
    if (resized) {
        picture_.SetSize(width, height);
        for (TCustomDIBControl* c : controls_)
            Realign(*c);
    }
    Invalidate();
}

void TCustomDIBContainer::SetVisible(bool visible) {
    if (visible == visible_)
        return;
    if (!visible)
        CancelMouse();
    visible_ = visible;
    Invalidate();
}

void TCustomDIBContainer::SetColor(TColor color) {
    color &= 0xFFFFFF;
    if (color == color_)
        return;
    color_ = color;
    Invalidate();
}

TextDrawer* TCustomDIBContainer::GetTextDrawer() const {
    return textDrawer_ ? textDrawer_ : DefaultTextDrawer();
}

// ---------------------------------------------------------------- controls

void TCustomDIBContainer::AddControl(TCustomDIBControl* control) {
    controls_.push_back(control);
}

void TCustomDIBContainer::RemoveControl(TCustomDIBControl* control) {
    RemoveControlInput(control);
    if (control->visible_)
        InvalidateRect(control->bounds_);
    std::erase(controls_, control);
}

void TCustomDIBContainer::RemoveControlInput(TCustomDIBControl* control) {
    if (capture_ == control) {
        CancelMouse();
    } else {
        control->held_ = {};
    }
    if (hover_ == control) {
        hover_ = nullptr;
        control->mouseOver_ = false;
    }
    // A control that takes no input cannot keep the kit's focus either.
    if (focused_ == control) {
        focused_ = nullptr;
        control->FocusChanged();
    }
}

void TCustomDIBContainer::Realign(TCustomDIBControl& control) {
    if (control.align_ == TAlign::alClient)
        control.SetBounds(0, 0, Width(), Height());
}

void TCustomDIBContainer::BringToFront(TCustomDIBControl& control) {
    auto it = std::find(controls_.begin(), controls_.end(), &control);
    if (it == controls_.end())
        return;
    controls_.erase(it);
    controls_.push_back(&control);
    control.Invalidate();
}

void TCustomDIBContainer::SendToBack(TCustomDIBControl& control) {
    auto it = std::find(controls_.begin(), controls_.end(), &control);
    if (it == controls_.end())
        return;
    controls_.erase(it);
    controls_.insert(controls_.begin(), &control);
    control.Invalidate();
}

TCustomDIBControl* TCustomDIBContainer::ControlAt(int x, int y) const {
    for (auto it = controls_.rbegin(); it != controls_.rend(); ++it) {
        TCustomDIBControl* c = *it;
        if (c->visible_ && c->enabled_ && c->bounds_.Contains({x, y}))
            return c;
    }
    return nullptr;
}

void TCustomDIBContainer::SetFocusedControl(TCustomDIBControl* control) {
    if (control && (control->parent_ != this || control->tabOrder_ < 0))
        return;
    if (control == focused_)
        return;
    TCustomDIBControl* old = focused_;
    focused_ = control;
    if (old)
        old->FocusChanged();
    if (focused_ == control && control)
        control->FocusChanged();
}

bool TCustomDIBContainer::Contains(const TCustomDIBControl* control) const {
    return control && std::find(controls_.begin(), controls_.end(), control) != controls_.end();
}

// ---------------------------------------------------------------- painting

void TCustomDIBContainer::Invalidate() {
    InvalidateRect(Rect::FromSize(0, 0, Width(), Height()));
}

void TCustomDIBContainer::InvalidateRect(const Rect& area) {
    const Rect r = area.Intersect(Rect::FromSize(0, 0, Width(), Height()));
    if (r.Empty())
        return;
    const bool wasClean = dirty_.Empty();
    dirty_ = dirty_.Union(r);
    if (wasClean && OnInvalidate)
        OnInvalidate(*this);
}

void TCustomDIBContainer::PaintBackground(TWinDIB& picture, const Rect& area) {
    picture.FillRect(area.left, area.top, area.Width(), area.Height(), ColorToPixel(color_));
}

void TCustomDIBContainer::Update() {
    if (painting_ || dirty_.Empty())
        return;
    const Rect area = dirty_.Intersect(Rect::FromSize(0, 0, picture_.Width(), picture_.Height()));
    dirty_ = {};
    if (area.Empty())
        return;
    painting_ = true;
    picture_.SetClipRect({area.left, area.top, area.right - 1, area.bottom - 1});
    PaintBackground(picture_, area);
    // A paint handler may hide or move controls; paint from a snapshot of the ones still present.
    const auto controls = controls_;
    for (TCustomDIBControl* c : controls)
        if (Contains(c) && c->visible_ && !c->bounds_.Intersect(area).Empty())
            c->PaintTo(picture_);
    picture_.ResetClipRect();
    painting_ = false;
    if (OnPainted)
        OnPainted(*this, area);
}

// ---------------------------------------------------------------- input

void TCustomDIBContainer::UpdateHover(int x, int y) {
    TCustomDIBControl* hit = ControlAt(x, y);
    if (hit == hover_)
        return;
    TCustomDIBControl* old = hover_;
    hover_ = hit;
    if (old)
        old->SetMouseOver(false);
    if (hover_ == hit && hit)
        hit->SetMouseOver(true);
    if (cursor_)
        cursor_->SetShape(hover_ ? hover_->Cursor : platform::CursorShape::Default);
}

void TCustomDIBContainer::MouseDown(MouseButton button, ShiftState shift, int x, int y) {
    UpdateHover(x, y);
    TCustomDIBControl* target = capture_ ? capture_ : ControlAt(x, y);
    if (!target) {
        if (button == MouseButton::Left)
            ownPress_ = true;
        if (OnMouseDown)
            OnMouseDown(this, button, shift, x, y);
        return;
    }
    capture_ = target;
    SetHeld(target->held_, button, true);
    if (button == MouseButton::Left && target->tabOrder_ >= 0)
        SetFocusedControl(target);
    if (!Contains(target))
        return;
    const bool isDouble = shift.doubleClick && target->acceptsDoubleClicks_;
    if (!isDouble)
        shift.doubleClick = false;
    if (button == MouseButton::Left)
        clickPending_ = !isDouble;
    target->MouseDown(button, shift, x - target->Left(), y - target->Top());
    if (isDouble && button == MouseButton::Left && Contains(target))
        target->DblClick();
}

void TCustomDIBContainer::MouseMove(ShiftState shift, int x, int y) {
    UpdateHover(x, y);
    TCustomDIBControl* target = capture_ ? capture_ : ControlAt(x, y);
    if (target)
        target->MouseMove(shift, x - target->Left(), y - target->Top());
    else if (OnMouseMove)
        OnMouseMove(this, shift, x, y);
}

void TCustomDIBContainer::MouseUp(MouseButton button, ShiftState shift, int x, int y) {
    TCustomDIBControl* target = capture_;
    if (!target) {
        const bool click = ownPress_ && button == MouseButton::Left;
        if (button == MouseButton::Left)
            ownPress_ = false;
        if (OnMouseUp)
            OnMouseUp(this, button, shift, x, y);
        if (click && OnClick && ControlAt(x, y) == nullptr &&
            Rect::FromSize(0, 0, Width(), Height()).Contains({x, y}))
            OnClick(this);
        UpdateHover(x, y);
        return;
    }
    SetHeld(target->held_, button, false);
    if (!AnyHeld(target->held_))
        capture_ = nullptr;
    const bool click = button == MouseButton::Left && clickPending_ && target->bounds_.Contains({x, y});
    if (button == MouseButton::Left)
        clickPending_ = false;
    // As windowed controls do: the click first, then the release event.
    if (click)
        target->Click();
    if (Contains(target))
        target->MouseUp(button, shift, x - target->Left(), y - target->Top());
    UpdateHover(x, y);
}

void TCustomDIBContainer::MouseLeave() {
    if (hover_) {
        TCustomDIBControl* old = hover_;
        hover_ = nullptr;
        old->SetMouseOver(false);
    }
    if (cursor_)
        cursor_->SetShape(platform::CursorShape::Default);
}

void TCustomDIBContainer::CancelMouse() {
    ownPress_ = false;
    clickPending_ = false;
    TCustomDIBControl* c = capture_;
    capture_ = nullptr;
    if (c) {
        c->held_ = {};
        c->CancelMode();
    }
}

void TCustomDIBContainer::CaptureLost() {
    CancelMouse();
}

void TCustomDIBContainer::FocusLost() {
    CancelMouse();
}

bool TCustomDIBContainer::KeyDown(platform::KeyCode key, ShiftState shift) {
    if (!focused_)
        return false;
    focused_->KeyDown(key, shift);
    return true;
}

bool TCustomDIBContainer::KeyUp(platform::KeyCode key, ShiftState shift) {
    if (!focused_)
        return false;
    focused_->KeyUp(key, shift);
    return true;
}

} // namespace skin
