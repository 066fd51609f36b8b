#include "skin/TCustomDIBControl.h"

#include "skin/EDIBError.h"
#include "skin/TCustomDIBContainer.h"
#include "skin/TDIBImageLink.h"

#include <algorithm>

namespace skin {

namespace {

TCustomDIBContainer* FindParent(TComponent* owner) {
    if (auto* container = dynamic_cast<TCustomDIBContainer*>(owner))
        return container;
    for (TComponent* c : owner->Components())
        if (auto* container = dynamic_cast<TCustomDIBContainer*>(c))
            return container;
    return nullptr;
}

} // namespace

TCustomDIBControl::TCustomDIBControl(TComponent* owner) : TComponent(owner) {
    if (!owner)
        throw EDIBError("Owner cannot be nil");
    TCustomDIBContainer* parent = FindParent(owner);
    if (!parent)
        throw EDIBError("Parent must be a TDIBContainer");
    SetParent(parent);
}

TCustomDIBControl::~TCustomDIBControl() {
    if (parent_)
        parent_->RemoveControl(this);
}

void TCustomDIBControl::SetParent(TCustomDIBContainer* parent) {
    if (parent == parent_)
        return;
    if (parent_) {
        parent_->RemoveControl(this);
        CancelMode();
    }
    parent_ = parent;
    mouseOver_ = false;
    held_ = {};
    if (parent_) {
        parent_->AddControl(this);
        parent_->Realign(*this);
        Invalidate();
    }
}

void TCustomDIBControl::SetBounds(int left, int top, int width, int height) {
    const platform::Rect r = platform::Rect::FromSize(left, top, std::max(width, 0), std::max(height, 0));
    if (r == bounds_)
        return;
    const bool resized = r.Width() != bounds_.Width() || r.Height() != bounds_.Height();
    Invalidate();
    bounds_ = r;
    Invalidate();
    if (resized)
        Resized();
}

void TCustomDIBControl::SetAlign(TAlign align) {
    if (align == align_)
        return;
    align_ = align;
    if (parent_)
        parent_->Realign(*this);
}

void TCustomDIBControl::SetVisible(bool visible) {
    if (visible == visible_)
        return;
    if (!visible && parent_)
        parent_->RemoveControlInput(this);
    visible_ = visible;
    if (parent_)
        parent_->InvalidateRect(bounds_);
}

void TCustomDIBControl::SetEnabled(bool enabled) {
    if (enabled == enabled_)
        return;
    if (!enabled && parent_)
        parent_->RemoveControlInput(this);
    enabled_ = enabled;
    Invalidate();
}

void TCustomDIBControl::SetOpacity(std::uint8_t opacity) {
    if (opacity == opacity_)
        return;
    opacity_ = opacity;
    Invalidate();
}

void TCustomDIBControl::SetDIBImageList(TDIBImageList* list) {
    if (list == imageList_)
        return;
    imageList_ = list;
    for (TDIBImageLink* link : imageLinks_)
        link->SetDIBImageList(list);
    ImageListChanged();
    Invalidate();
}

void TCustomDIBControl::SetDIBTabOrder(int order) {
    tabOrder_ = std::max(order, -1);
    if (tabOrder_ < 0 && Focused())
        parent_->SetFocusedControl(nullptr);
}

bool TCustomDIBControl::Focused() const {
    return parent_ && parent_->FocusedControl() == this;
}

void TCustomDIBControl::Invalidate() {
    if (parent_ && visible_)
        parent_->InvalidateRect(bounds_);
}

void TCustomDIBControl::Repaint() {
    Invalidate();
    if (parent_)
        parent_->Update();
}

void TCustomDIBControl::RegisterImageLink(TDIBImageLink& link) {
    imageLinks_.push_back(&link);
    if (imageList_)
        link.SetDIBImageList(imageList_);
}

void TCustomDIBControl::Click() {
    if (OnClick)
        OnClick(this);
}

void TCustomDIBControl::DblClick() {
    if (OnDblClick)
        OnDblClick(this);
}

void TCustomDIBControl::MouseDown(platform::MouseButton button, platform::ShiftState shift, int x, int y) {
    if (OnMouseDown)
        OnMouseDown(this, button, shift, x, y);
}

void TCustomDIBControl::MouseMove(platform::ShiftState shift, int x, int y) {
    if (OnMouseMove)
        OnMouseMove(this, shift, x, y);
}

void TCustomDIBControl::MouseUp(platform::MouseButton button, platform::ShiftState shift, int x, int y) {
    if (OnMouseUp)
        OnMouseUp(this, button, shift, x, y);
}

void TCustomDIBControl::MouseEnter() {
    if (OnMouseEnter)
        OnMouseEnter(this);
}

void TCustomDIBControl::MouseLeave() {
    if (OnMouseLeave)
        OnMouseLeave(this);
}

void TCustomDIBControl::KeyDown(platform::KeyCode& key, platform::ShiftState shift) {
    if (OnKeyDown)
        OnKeyDown(this, key, shift);
}

void TCustomDIBControl::KeyUp(platform::KeyCode& key, platform::ShiftState shift) {
    if (OnKeyUp)
        OnKeyUp(this, key, shift);
}

void TCustomDIBControl::SetMouseOver(bool over) {
    if (over == mouseOver_)
        return;
    mouseOver_ = over;
    if (over)
        MouseEnter();
    else
        MouseLeave();
}

// Base painting: what lies beneath, then the content, then the result back with the opacity.
void TCustomDIBControl::PaintTo(TWinDIB& picture) {
    const int w = Width(), h = Height();
    if (w <= 0 || h <= 0)
        return;
    if (work_.Width() != w || work_.Height() != h)
        work_.SetSize(w, h);
    else
        work_.Fill(0);
    work_.ResetSettings();
    TDrawSettings copy;
    picture.DrawWith(work_, -Left(), -Top(), 0, 0, picture.Width(), picture.Height(), copy);
    if (OnPaintStart)
        OnPaintStart(this);
    Paint(work_);
    if (OnPaintEnd)
        OnPaintEnd(this);
    work_.SetOpacity(opacity_);
    work_.Draw(picture, Left(), Top());
}

} // namespace skin
