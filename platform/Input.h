#pragma once

#include <cstdint>

namespace platform {

// Mouse buttons as the windowing system reports them to a window.
enum class MouseButton { Left, Right, Middle };

// Modifier keys and held mouse buttons at the time of an input event. Double is set on the second
// press of a double click (controls that do not care treat it as an ordinary press).
struct ShiftState {
    bool shift = false;
    bool ctrl = false;
    bool alt = false;
    bool left = false;
    bool right = false;
    bool middle = false;
    bool doubleClick = false;
};

// Key codes are the Windows virtual-key codes, so the Win32 window passes wParam through unchanged
// and other systems translate their key symbols into these values.
using KeyCode = std::uint16_t;
inline constexpr KeyCode kKeyBack = 0x08;
inline constexpr KeyCode kKeyTab = 0x09;
inline constexpr KeyCode kKeyReturn = 0x0D;
inline constexpr KeyCode kKeyShift = 0x10;
inline constexpr KeyCode kKeyControl = 0x11;
inline constexpr KeyCode kKeyEscape = 0x1B;
inline constexpr KeyCode kKeySpace = 0x20;
inline constexpr KeyCode kKeyPageUp = 0x21;
inline constexpr KeyCode kKeyPageDown = 0x22;
inline constexpr KeyCode kKeyEnd = 0x23;
inline constexpr KeyCode kKeyHome = 0x24;
inline constexpr KeyCode kKeyLeft = 0x25;
inline constexpr KeyCode kKeyUp = 0x26;
inline constexpr KeyCode kKeyRight = 0x27;
inline constexpr KeyCode kKeyDown = 0x28;
inline constexpr KeyCode kKeyDelete = 0x2E;

} // namespace platform
