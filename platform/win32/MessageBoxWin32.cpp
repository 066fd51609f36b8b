#include "platform/MessageBox.h"

#include <windows.h>

namespace platform {

void ShowSystemMessageBox(const std::string& caption, const std::string& text, MessageIcon icon) noexcept {
    UINT style = MB_OK;
    switch (icon) {
    case MessageIcon::Information:
        style |= MB_ICONINFORMATION;
        break;
    case MessageIcon::Warning:
        style |= MB_ICONWARNING;
        break;
    case MessageIcon::Error:
        style |= MB_ICONERROR;
        break;
    case MessageIcon::None:
        break;
    }
    MessageBoxA(nullptr, text.c_str(), caption.c_str(), style);
}

} // namespace platform
