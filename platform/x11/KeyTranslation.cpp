#include "platform/x11/KeyTranslation.h"

#include <X11/keysym.h>

namespace platform::x11 {

KeyCode VirtualKeyOf(unsigned long keysym) {
    if (keysym >= XK_a && keysym <= XK_z)
        return static_cast<KeyCode>('A' + (keysym - XK_a));
    if (keysym >= XK_A && keysym <= XK_Z)
        return static_cast<KeyCode>('A' + (keysym - XK_A));
    if (keysym >= XK_0 && keysym <= XK_9)
        return static_cast<KeyCode>('0' + (keysym - XK_0));
    if (keysym >= XK_F1 && keysym <= XK_F24)
        return static_cast<KeyCode>(0x70 + (keysym - XK_F1));
    if (keysym >= XK_KP_0 && keysym <= XK_KP_9)
        return static_cast<KeyCode>(0x60 + (keysym - XK_KP_0));
    switch (keysym) {
    case XK_BackSpace:
        return kKeyBack;
    case XK_Tab:
    case XK_ISO_Left_Tab:
        return kKeyTab;
    case XK_Return:
    case XK_KP_Enter:
        return kKeyReturn;
    case XK_Shift_L:
    case XK_Shift_R:
        return kKeyShift;
    case XK_Control_L:
    case XK_Control_R:
        return kKeyControl;
    case XK_Alt_L:
    case XK_Alt_R:
        return 0x12;
    case XK_Pause:
        return 0x13;
    case XK_Escape:
        return kKeyEscape;
    case XK_space:
        return kKeySpace;
    case XK_Prior:
    case XK_KP_Prior:
        return kKeyPageUp;
    case XK_Next:
    case XK_KP_Next:
        return kKeyPageDown;
    case XK_End:
    case XK_KP_End:
        return kKeyEnd;
    case XK_Home:
    case XK_KP_Home:
        return kKeyHome;
    case XK_Left:
    case XK_KP_Left:
        return kKeyLeft;
    case XK_Up:
    case XK_KP_Up:
        return kKeyUp;
    case XK_Right:
    case XK_KP_Right:
        return kKeyRight;
    case XK_Down:
    case XK_KP_Down:
        return kKeyDown;
    case XK_Insert:
    case XK_KP_Insert:
        return 0x2D;
    case XK_Delete:
    case XK_KP_Delete:
        return kKeyDelete;
    case XK_KP_Multiply:
        return 0x6A;
    case XK_KP_Add:
        return 0x6B;
    case XK_KP_Subtract:
        return 0x6D;
    case XK_KP_Decimal:
        return 0x6E;
    case XK_KP_Divide:
        return 0x6F;
    default:
        return 0;
    }
}

} // namespace platform::x11
