#pragma once

#include <string>

namespace platform {

enum class MessageIcon { None, Information, Warning, Error };

// Something that shows a modal message with a single OK button and returns when it is dismissed.
// The system's own message box is used unless a handler is installed (tests, headless runs).
class MessageBoxHandler {
public:
    virtual ~MessageBoxHandler() = default;
    virtual void Show(const std::string& caption, const std::string& text, MessageIcon icon) = 0;
};

// Shows text in a modal message box with an OK button, owned by no window. Returns once the user has
// dismissed it (the system's box runs its own message loop meanwhile). Never throws.
void ShowMessageBox(const std::string& caption, const std::string& text,
                    MessageIcon icon = MessageIcon::None) noexcept;

// Routes every later ShowMessageBox to handler; nullptr restores the system's message box.
// The handler is module-wide and is not owned.
void SetMessageBoxHandler(MessageBoxHandler* handler) noexcept;
MessageBoxHandler* CurrentMessageBoxHandler() noexcept;

// The system's own message box (MessageBoxA on Windows; standard error elsewhere, where no toolkit
// is linked). Used by ShowMessageBox when no handler is installed.
void ShowSystemMessageBox(const std::string& caption, const std::string& text, MessageIcon icon) noexcept;

} // namespace platform
