#include "skin/TAbstractDIBButton.h"

#include "skin/EDIBError.h"

namespace skin {

TAbstractDIBButton::TAbstractDIBButton(TComponent* owner) : TCustomDIBControl(owner) {
    acceptsDoubleClicks_ = false;
}

void TAbstractDIBButton::SetDown(bool down) {
    down_ = down;
    UpdateState();
    if (down_ && group_ != 0)
        ReleaseGroup();
}

void TAbstractDIBButton::SetGroup(int group) {
    if (group < 0)
        throw EDIBButtonError("Invalid group.");
    group_ = group;
    if (group_ > 0 && down_)
        ReleaseGroup();
}

void TAbstractDIBButton::ReleaseGroup() {
    if (!Owner())
        return;
    // SetDown(false) cannot add or remove components, but walk a copy in case a repaint handler does.
    const auto siblings = Owner()->Components();
    for (TComponent* c : siblings) {
        auto* other = dynamic_cast<TAbstractDIBButton*>(c);
        if (other && other != this && other->group_ == group_ && other->down_)
            other->SetDown(false);
    }
}

void TAbstractDIBButton::Click() {
    TCustomDIBControl::Click();
    if (toggleDown_)
        SetDown(!down_);
}

void TAbstractDIBButton::SetEnabled(bool enabled) {
    TCustomDIBControl::SetEnabled(enabled);
    UpdateState();
}

void TAbstractDIBButton::UpdateState() {
    int state;
    if (!Enabled())
        state = bsDisabled;
    else if (down_)
        state = bsDown;
    else if (MouseOver() || Focused())
        state = LeftButtonHeld() ? bsMouseClick : bsMouseOver;
    else
        state = bsEnabled;
    if (state == state_)
        return;
    state_ = state;
    StateChanged();
}

void TAbstractDIBButton::MouseDown(platform::MouseButton button, platform::ShiftState shift, int x, int y) {
    TCustomDIBControl::MouseDown(button, shift, x, y);
    UpdateState();
}

void TAbstractDIBButton::MouseUp(platform::MouseButton button, platform::ShiftState shift, int x, int y) {
    TCustomDIBControl::MouseUp(button, shift, x, y);
    UpdateState();
}

void TAbstractDIBButton::MouseEnter() {
    TCustomDIBControl::MouseEnter();
    UpdateState();
}

void TAbstractDIBButton::MouseLeave() {
    TCustomDIBControl::MouseLeave();
    UpdateState();
}

} // namespace skin
