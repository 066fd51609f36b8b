#pragma once

#include "platform/Cursor.h"
#include "platform/Geometry.h"
#include "skin/TCustomDIBControl.h"
#include "skin/TDIBImageLink.h"

#include <cstdint>

namespace skin {

enum class TKnobOrientation { koVertical, koHorizontal };

// A rotary control drawn from a strip of NumGlyphs equal frames: it shows the frame that matches its
// integer position (or a blend of the two frames around a fractional frame position). Turned by a
// left-button drag along its axis, during which the cursor is hidden and returned to where the drag
// began after every move, so a drag is not limited by the screen edge; or by the arrow and page
// keys while it holds the kit's focus. Every change of Position raises OnChange.
class TCustomDIBKnob : public TCustomDIBControl {
public:
    explicit TCustomDIBKnob(TComponent* owner);
    ~TCustomDIBKnob() override;

    TDIBImageLink IndexMain;

    int Min() const { return min_; }
    int Max() const { return max_; }
    int Position() const { return position_; }
    // The kit keeps Min < Max and Min <= Position <= Max; see the .cpp for the order of adjustments.
    void SetMin(int value);
    void SetMax(int value);
    // Clamps into Min..Max; a change raises OnChange. Repaints in every case.
    void SetPosition(int value);

    // Steps, 1..32767 (values outside are clamped).
    int SmallChange() const { return smallChange_; }
    void SetSmallChange(int value);
    int PageSize() const { return pageSize_; }
    void SetPageSize(int value);

    int NumGlyphs() const { return numGlyphs_; }
    // Raises EDIBKnobError "NumGlyphs must be greater than 0." for 0 or less, changing nothing.
    void SetNumGlyphs(int value);
    bool DrawTweens() const { return drawTweens_; }
    void SetDrawTweens(bool value);
    bool LoopLastFrame() const { return loopLastFrame_; }
    void SetLoopLastFrame(bool value);
    TKnobOrientation Orientation() const { return orientation_; }
    void SetOrientation(TKnobOrientation value) { orientation_ = value; }
    bool UseFineTune() const { return useFineTune_; }
    void SetUseFineTune(bool value) { useFineTune_ = value; }
    bool AutoSize() const { return autoSize_; }
    void SetAutoSize(bool value);

    TNotifyEvent OnChange;
    // A drag with the left button begins, and ends (the release, a lost capture, the knob hidden or
    // disabled). A knob destroyed while it is dragged ends the drag without raising OnDragEnd: its
    // owner is going too.
    TNotifyEvent OnDragStart;
    TNotifyEvent OnDragEnd;

    // The frame plain drawing shows for the current position.
    int FrameIndex() const;
    // Blended drawing: frame hi is covered by frame lo drawn with weight (0..255).
    struct TweenFrames {
        int hi;
        int lo;
        std::uint8_t weight;
    };
    TweenFrames TweenFrameChoice() const;

    bool DragActive() const { return dragActive_; }
    platform::Point DragAnchor() const { return dragAnchor_; }

protected:
    void Paint(TWinDIB& work) override;
    void MouseDown(platform::MouseButton button, platform::ShiftState shift, int x, int y) override;
    void MouseMove(platform::ShiftState shift, int x, int y) override;
    void MouseUp(platform::MouseButton button, platform::ShiftState shift, int x, int y) override;
    void KeyDown(platform::KeyCode& key, platform::ShiftState shift) override;
    void CancelMode() override { EndDrag(); }
    void ImageListChanged() override { AdjustSize(); }

private:
    void AdjustSize();
    // Ends a drag: the cursor goes back to the anchor and is shown again. Safe to call at any time.
    void EndDrag();
    // Where the pointer is, in screen coordinates when a cursor service exists, else in container
    // coordinates from the last mouse event.
    platform::Point PointerPosition(int x, int y) const;

    int min_ = 0;
    int max_ = 100;
    int position_ = 0;
    int smallChange_ = 1;
    int pageSize_ = 5;
    int numGlyphs_ = 1;
    bool drawTweens_ = false;
    bool loopLastFrame_ = false;
    TKnobOrientation orientation_ = TKnobOrientation::koVertical;
    bool useFineTune_ = false;
    bool autoSize_ = true;

    bool dragActive_ = false;
    platform::Point dragAnchor_;
    platform::Cursor* dragCursor_ = nullptr; // the cursor hidden by the drag, shown again at its end
    TWinDIB tween_;
};

class TDIBKnob : public TCustomDIBKnob {
public:
    using TCustomDIBKnob::TCustomDIBKnob;
};

} // namespace skin
