#include "skin/TDIBKnob.h"

#include "skin/EDIBError.h"
#include "skin/TCustomDIBContainer.h"
#include "skin/TMemoryDIB.h"

#include <algorithm>
#include <climits>
#include <cmath>

namespace skin {

namespace {

// Round half to even, as the frame weight is defined.
double RoundEven(double v) {
    const double f = std::floor(v);
    const double diff = v - f;
    if (diff > 0.5)
        return f + 1;
    if (diff < 0.5)
        return f;
    return std::fmod(f, 2.0) == 0 ? f : f + 1;
}

constexpr int kMaxInc = 32767;

} // namespace

TCustomDIBKnob::TCustomDIBKnob(TComponent* owner) : TCustomDIBControl(owner) {
    RegisterImageLink(IndexMain);
    IndexMain.OnChange = [this] {
        AdjustSize();
        Invalidate();
    };
}

TCustomDIBKnob::~TCustomDIBKnob() {
    OnDragEnd = nullptr;
    EndDrag();
}

// ---------------------------------------------------------------- value model

// Min and Max push each other by one so Min < Max always holds; the extreme integers are kept one
// step away from the end of the range so the push cannot overflow.
void TCustomDIBKnob::SetMin(int value) {
    value = std::min(value, INT_MAX - 1);
    min_ = value;
    if (value >= max_)
        SetMax(value + 1);
    if (position_ < min_)
        SetPosition(min_);
    Invalidate();
}

void TCustomDIBKnob::SetMax(int value) {
    value = std::max(value, INT_MIN + 1);
    max_ = value;
    if (min_ >= value)
        SetMin(value - 1);
    if (max_ < position_)
        SetPosition(max_);
    Invalidate();
}

void TCustomDIBKnob::SetPosition(int value) {
    value = std::clamp(value, min_, max_);
    if (value != position_) {
        position_ = value;
        Invalidate();
        if (OnChange)
            OnChange(this);
    }
    Invalidate();
}

void TCustomDIBKnob::SetSmallChange(int value) {
    smallChange_ = std::clamp(value, 1, kMaxInc);
}

void TCustomDIBKnob::SetPageSize(int value) {
    pageSize_ = std::clamp(value, 1, kMaxInc);
}

void TCustomDIBKnob::SetNumGlyphs(int value) {
    if (value <= 0)
        throw EDIBKnobError("NumGlyphs must be greater than 0.");
    numGlyphs_ = value;
    AdjustSize();
    Invalidate();
}

void TCustomDIBKnob::SetDrawTweens(bool value) {
    drawTweens_ = value;
    Invalidate();
}

void TCustomDIBKnob::SetLoopLastFrame(bool value) {
    loopLastFrame_ = value;
    Invalidate();
}

void TCustomDIBKnob::SetAutoSize(bool value) {
    if (value == autoSize_)
        return;
    autoSize_ = value;
    AdjustSize();
}

void TCustomDIBKnob::AdjustSize() {
    if (!autoSize_)
        return;
    const TMemoryDIB* image = IndexMain.GetImage();
    if (!image)
        return;
    SetBounds(Left(), Top(), image->Width() / numGlyphs_, image->Height());
}

// ---------------------------------------------------------------- frames

int TCustomDIBKnob::FrameIndex() const {
    // In 64 bits: a wide range times many frames does not fit 32.
    const std::int64_t span = static_cast<std::int64_t>(max_) - min_ + 1;
    return static_cast<int>((static_cast<std::int64_t>(position_) - min_) * numGlyphs_ / span);
}

TCustomDIBKnob::TweenFrames TCustomDIBKnob::TweenFrameChoice() const {
    const int n = numGlyphs_;
    const double f = static_cast<double>(static_cast<std::int64_t>(position_) - min_) /
                     static_cast<double>(static_cast<std::int64_t>(max_) - min_) * n;
    auto wrap = [&](double frame) {
        if (frame >= n)
            return loopLastFrame_ ? 0 : n - 1;
        if (frame < 0)
            return loopLastFrame_ ? n - 1 : 0;
        return static_cast<int>(frame);
    };
    const double weight = 255 - RoundEven((f - std::trunc(f)) * 255);
    return {wrap(std::ceil(f)), wrap(std::floor(f)), static_cast<std::uint8_t>(weight)};
}

void TCustomDIBKnob::Paint(TWinDIB& work) {
    const TMemoryDIB* strip = IndexMain.GetImage();
    if (!strip)
        return;
    const int frameWidth = strip->Width() / numGlyphs_;
    const int frameHeight = strip->Height();
    if (frameWidth <= 0 || frameHeight <= 0)
        return;
    TDrawSettings own = strip->Settings();
    own.Angle = 0;
    own.ScaleX = own.ScaleY = 100;
    if (!drawTweens_) {
        strip->DrawWith(work, 0, 0, FrameIndex() * frameWidth, 0, frameWidth, frameHeight, own);
        return;
    }
    const TweenFrames t = TweenFrameChoice();
    if (tween_.Width() != frameWidth || tween_.Height() != frameHeight)
        tween_.SetSize(frameWidth, frameHeight);
    TDrawSettings copy;
    strip->DrawWith(tween_, 0, 0, t.hi * frameWidth, 0, frameWidth, frameHeight, copy);
    TDrawSettings over = own;
    over.Opacity = t.weight;
    strip->DrawWith(tween_, 0, 0, t.lo * frameWidth, 0, frameWidth, frameHeight, over);
    tween_.DrawWith(work, 0, 0, 0, 0, frameWidth, frameHeight, own);
}

// ---------------------------------------------------------------- drag and keys

platform::Point TCustomDIBKnob::PointerPosition(int x, int y) const {
    if (dragCursor_)
        return dragCursor_->Position();
    return {x + Left(), y + Top()};
}

void TCustomDIBKnob::MouseDown(platform::MouseButton button, platform::ShiftState shift, int x, int y) {
    TCustomDIBControl::MouseDown(button, shift, x, y);
    // A second press while dragging (a release the window never saw) must not hide the cursor twice.
    if (button != platform::MouseButton::Left || dragActive_ || !Parent())
        return;
    // The press handler may have hidden, disabled or moved the knob: then the release will not come
    // here, and a drag begun now would leave the cursor hidden.
    if (Parent()->CaptureControl() != this)
        return;
    dragCursor_ = Parent()->CursorService();
    dragActive_ = true;
    dragAnchor_ = PointerPosition(x, y);
    if (dragCursor_)
        dragCursor_->Hide();
    if (OnDragStart)
        OnDragStart(this);
}

void TCustomDIBKnob::MouseMove(platform::ShiftState shift, int x, int y) {
    TCustomDIBControl::MouseMove(shift, x, y);
    if (!dragActive_)
        return;
    const platform::Point q = PointerPosition(x, y);
    const std::int64_t d = orientation_ == TKnobOrientation::koVertical
                               ? static_cast<std::int64_t>(dragAnchor_.y) - q.y
                               : static_cast<std::int64_t>(q.x) - dragAnchor_.x;
    if (d == 0)
        return;
    const int step = useFineTune_ && !shift.shift ? pageSize_ : smallChange_;
    const std::int64_t target = std::clamp<std::int64_t>(position_ + d * step, INT_MIN, INT_MAX);
    SetPosition(static_cast<int>(target));
    // The change handler may have ended the drag (hidden the knob, for instance).
    if (!dragActive_)
        return;
    if (dragCursor_)
        dragCursor_->SetPosition(dragAnchor_);
    else
        dragAnchor_ = q; // without a cursor to move back, measure from the last point
}

void TCustomDIBKnob::MouseUp(platform::MouseButton button, platform::ShiftState shift, int x, int y) {
    TCustomDIBControl::MouseUp(button, shift, x, y);
    if (button == platform::MouseButton::Left)
        EndDrag();
}

void TCustomDIBKnob::EndDrag() {
    if (!dragActive_)
        return;
    dragActive_ = false;
    platform::Cursor* cursor = dragCursor_;
    dragCursor_ = nullptr;
    if (cursor) {
        cursor->SetPosition(dragAnchor_);
        cursor->Show();
    }
    if (OnDragEnd)
        OnDragEnd(this);
}

void TCustomDIBKnob::KeyDown(platform::KeyCode& key, platform::ShiftState shift) {
    TCustomDIBControl::KeyDown(key, shift);
    if (!Focused())
        return;
    switch (key) {
    case platform::kKeyPageUp:
        SetPosition(static_cast<int>(std::min<std::int64_t>(std::int64_t{position_} + pageSize_, INT_MAX)));
        break;
    case platform::kKeyPageDown:
        SetPosition(static_cast<int>(std::max<std::int64_t>(std::int64_t{position_} - pageSize_, INT_MIN)));
        break;
    case platform::kKeyUp:
    case platform::kKeyRight:
        SetPosition(
            static_cast<int>(std::min<std::int64_t>(std::int64_t{position_} + smallChange_, INT_MAX)));
        break;
    case platform::kKeyDown:
    case platform::kKeyLeft:
        SetPosition(
            static_cast<int>(std::max<std::int64_t>(std::int64_t{position_} - smallChange_, INT_MIN)));
        break;
    default:
        break;
    }
}

} // namespace skin
