#include "platform/MessageBox.h"

#include <windows.h>

namespace platform {

void ShowSystemMessageBox(const std::string& caption, const std::string& text, MessageIcon icon) noexcept {
    // Task-modal: every top-level window of this thread (the host's, with the editor inside) is disabled
    // while the box is up, so the user cannot close the editor under the code that asked for the box.
    // In front, so it does not open unnoticed behind the host.
    UINT style = MB_OK | MB_TASKMODAL | MB_SETFOREGROUND;
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
