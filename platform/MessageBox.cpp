#include "platform/MessageBox.h"

#include <atomic>
#include <cstdio>

namespace platform {

namespace {
std::atomic<MessageBoxHandler*> installedHandler{nullptr};
} // namespace

void ShowMessageBox(const std::string& caption, const std::string& text, MessageIcon icon) noexcept {
    if (MessageBoxHandler* handler = installedHandler.load(std::memory_order_acquire)) {
        try {
            handler->Show(caption, text, icon);
        } catch (...) {
            // A handler that fails must not take the caller (a host's idle call) down with it.
        }
        return;
    }
    ShowSystemMessageBox(caption, text, icon);
}

void SetMessageBoxHandler(MessageBoxHandler* handler) noexcept {
    installedHandler.store(handler, std::memory_order_release);
}

MessageBoxHandler* CurrentMessageBoxHandler() noexcept {
    return installedHandler.load(std::memory_order_acquire);
}

#if !defined(_WIN32)
// Plain Xlib has no message box; the message goes to standard error, where hosts started from a
// terminal and the command-line tool show it.
void ShowSystemMessageBox(const std::string& caption, const std::string& text, MessageIcon) noexcept {
    std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
    std::fflush(stderr);
}
#endif

} // namespace platform
