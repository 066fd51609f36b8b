#include "platform/x11/MessageRouter.h"

#include <algorithm>

namespace platform::x11 {

MessageRouter& MessageRouter::Instance() {
    static MessageRouter router;
    return router;
}

void MessageRouter::Show(const std::string& caption, const std::string& text, MessageIcon icon) {
    {
        std::lock_guard lock(mutex_);
        if (MessageTarget* target = TargetFor(std::this_thread::get_id())) {
            target->QueueMessage(caption, text);
            return;
        }
    }
    ShowSystemMessageBox(caption, text, icon);
}

MessageTarget* MessageRouter::TargetFor(std::thread::id thread) const {
    const Entry* mine = nullptr;
    const Entry* latest = nullptr;
    for (const Entry& entry : live_) {
        if (entry.lastIdle == 0)
            continue;
        if (entry.idleThread == thread && (mine == nullptr || entry.lastIdle > mine->lastIdle))
            mine = &entry;
        if (latest == nullptr || entry.lastIdle > latest->lastIdle)
            latest = &entry;
    }
    if (mine != nullptr)
        return mine->target;
    if (latest != nullptr)
        return latest->target;
    return live_.empty() ? nullptr : live_.back().target;
}

void MessageRouter::Register(MessageTarget* target) {
    std::lock_guard lock(mutex_);
    live_.push_back({target, {}, 0});
    if (!installed_ && CurrentMessageBoxHandler() == nullptr) {
        SetMessageBoxHandler(this);
        installed_ = true;
    }
}

void MessageRouter::Unregister(MessageTarget* target) {
    std::lock_guard lock(mutex_);
    std::erase_if(live_, [target](const Entry& entry) { return entry.target == target; });
    if (live_.empty() && installed_) {
        if (CurrentMessageBoxHandler() == this)
            SetMessageBoxHandler(nullptr);
        installed_ = false;
    }
}

void MessageRouter::MarkIdle(MessageTarget* target) {
    std::lock_guard lock(mutex_);
    for (Entry& entry : live_) {
        if (entry.target == target) {
            entry.idleThread = std::this_thread::get_id();
            entry.lastIdle = ++idles_;
        }
    }
}

} // namespace platform::x11
