#pragma once

#include "skin/TCustomDIBControl.h"

namespace skin {

// Visual states of a button.
enum TButtonState : int {
    bsEnabled = 0,
    bsMouseClick = 1,
    bsDisabled = 2,
    bsMouseOver = 3,
    bsDown = 4,
};

// A button's behaviour without its look: a latched Down state, toggling on click, exclusive groups
// among the buttons of one owner, and the visual state derived from enabled, down, pointer and
// focus. A click raises OnClick first and then, with ToggleDown, flips Down, so the handler sees
// Down as it was before the click. Double clicks are two clicks.
class TAbstractDIBButton : public TCustomDIBControl {
public:
    explicit TAbstractDIBButton(TComponent* owner);

    bool Down() const { return down_; }
    // Stores the state and, when it goes down in a group, puts up the other down buttons of the
    // group owned by the same owner. Never raises OnClick.
    void SetDown(bool down);
    bool ToggleDown() const { return toggleDown_; }
    void SetToggleDown(bool toggle) { toggleDown_ = toggle; }
    int Group() const { return group_; }
    // 0 means no group; a negative group raises EDIBButtonError "Invalid group.".
    void SetGroup(int group);

    int ButtonState() const { return state_; }

    void Click() override;
    void SetEnabled(bool enabled) override;
    void Loaded() override { UpdateState(); }
    // Re-derives the visual state; a change repaints.
    void UpdateState();

protected:
    void MouseDown(platform::MouseButton button, platform::ShiftState shift, int x, int y) override;
    void MouseUp(platform::MouseButton button, platform::ShiftState shift, int x, int y) override;
    void MouseEnter() override;
    void MouseLeave() override;
    void FocusChanged() override { UpdateState(); }
    void CancelMode() override { UpdateState(); }
    virtual void StateChanged() { Invalidate(); }

private:
    void ReleaseGroup();

    bool down_ = false;
    bool toggleDown_ = false;
    int group_ = 0;
    int state_ = bsEnabled;
};

} // namespace skin
