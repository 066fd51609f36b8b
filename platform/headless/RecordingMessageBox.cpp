#include "platform/headless/RecordingMessageBox.h"

namespace platform::headless {

RecordingMessageBox::RecordingMessageBox() : previous_(CurrentMessageBoxHandler()) {
    SetMessageBoxHandler(this);
}

RecordingMessageBox::~RecordingMessageBox() {
    SetMessageBoxHandler(previous_);
}

void RecordingMessageBox::Show(const std::string& caption, const std::string& text, MessageIcon icon) {
    messages.push_back({caption, text, icon});
    if (onShow)
        onShow();
}

} // namespace platform::headless
