#pragma once

#include "platform/MessageBox.h"

#include <functional>
#include <string>
#include <vector>

namespace platform::headless {

// Records every message box instead of showing it, and installs itself for its lifetime.
// onShow runs inside Show, while the "modal" box would be up, so tests can act during it.
class RecordingMessageBox : public MessageBoxHandler {
public:
    struct Message {
        std::string caption;
        std::string text;
        MessageIcon icon;
    };

    RecordingMessageBox();
    ~RecordingMessageBox() override;
    RecordingMessageBox(const RecordingMessageBox&) = delete;
    RecordingMessageBox& operator=(const RecordingMessageBox&) = delete;

    void Show(const std::string& caption, const std::string& text, MessageIcon icon) override;

    std::vector<Message> messages;
    std::function<void()> onShow;

private:
    MessageBoxHandler* previous_;
};

} // namespace platform::headless
