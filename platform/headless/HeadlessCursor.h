#pragma once

#include "platform/Cursor.h"

#include <vector>

namespace platform::headless {

// An in-memory cursor for tests and headless runs. It records every call so a test can check that a
// drag hid the cursor once, returned it to its anchor and showed it again. MoveBy imitates the user
// moving the mouse.
class HeadlessCursor : public Cursor {
public:
    Point Position() const override { return position_; }
    void SetPosition(Point screen) override;
    void Hide() override;
    void Show() override;
    void SetShape(CursorShape shape) override { shape_ = shape; }

    void MoveTo(Point screen) { position_ = screen; }
    void MoveBy(int dx, int dy) { position_ = {position_.x + dx, position_.y + dy}; }

    bool Visible() const { return displayCount_ >= 0; }
    int DisplayCount() const { return displayCount_; }
    int HideCalls() const { return hideCalls_; }
    int ShowCalls() const { return showCalls_; }
    CursorShape Shape() const { return shape_; }
    // Every position set by the program (not by MoveTo/MoveBy), oldest first.
    const std::vector<Point>& SetPositions() const { return setPositions_; }

private:
    Point position_;
    int displayCount_ = 0;
    int hideCalls_ = 0;
    int showCalls_ = 0;
    CursorShape shape_ = CursorShape::Default;
    std::vector<Point> setPositions_;
};

} // namespace platform::headless
