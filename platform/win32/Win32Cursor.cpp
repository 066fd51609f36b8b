#include "platform/win32/Win32Cursor.h"

#include <windows.h>

namespace platform::win32 {

Point Win32Cursor::Position() const {
    POINT p{};
    if (!GetCursorPos(&p))
        return {};
    return {static_cast<int>(p.x), static_cast<int>(p.y)};
}

void Win32Cursor::SetPosition(Point screen) {
    SetCursorPos(screen.x, screen.y);
}

void Win32Cursor::Hide() {
    ShowCursor(FALSE);
}

void Win32Cursor::Show() {
    ShowCursor(TRUE);
}

void Win32Cursor::SetShape(CursorShape shape) {
    if (shape == shape_)
        return;
    shape_ = shape;
    ApplyShape();
}

void Win32Cursor::ApplyShape() const {
    LPCSTR id = IDC_ARROW;
    switch (shape_) {
    case CursorShape::Default:
    case CursorShape::Arrow:
        id = IDC_ARROW;
        break;
    case CursorShape::SizeNS:
        id = IDC_SIZENS;
        break;
    case CursorShape::SizeWE:
        id = IDC_SIZEWE;
        break;
    case CursorShape::HandPoint:
        id = IDC_HAND;
        break;
    case CursorShape::IBeam:
        id = IDC_IBEAM;
        break;
    }
    SetCursor(LoadCursorA(nullptr, id));
}

} // namespace platform::win32
