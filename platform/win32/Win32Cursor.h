#pragma once

#include "platform/Cursor.h"

namespace platform::win32 {

// The system cursor through GetCursorPos, SetCursorPos and ShowCursor. ShowCursor keeps a display
// counter per thread, so this object belongs to the user-interface thread. The shape takes effect
// when the window answers WM_SETCURSOR with ApplyShape.
class Win32Cursor : public Cursor {
public:
    Point Position() const override;
    void SetPosition(Point screen) override;
    void Hide() override;
    void Show() override;
    void SetShape(CursorShape shape) override;
    CursorShape Shape() const { return shape_; }
    // Sets the system cursor to the current shape (for WM_SETCURSOR over the client area).
    void ApplyShape() const;

private:
    CursorShape shape_ = CursorShape::Default;
};

} // namespace platform::win32
