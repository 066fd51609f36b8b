#include "platform/x11/IdleTimers.h"

#include <algorithm>

namespace platform::x11 {

void IdleTimers::Start(unsigned id, int periodMs, std::int64_t nowMs) {
    const int period = std::max(periodMs, 1);
    for (Timer& t : timers_) {
        if (t.id == id) {
            t.periodMs = period;
            t.nextMs = nowMs + period;
            return;
        }
    }
    timers_.push_back({id, period, nowMs + period});
}

void IdleTimers::Stop(unsigned id) {
    std::erase_if(timers_, [id](const Timer& t) { return t.id == id; });
}

bool IdleTimers::Running(unsigned id) const {
    return std::any_of(timers_.begin(), timers_.end(), [id](const Timer& t) { return t.id == id; });
}

std::vector<unsigned> IdleTimers::Due(std::int64_t nowMs) {
    std::vector<unsigned> due;
    for (Timer& t : timers_) {
        if (nowMs < t.nextMs)
            continue;
        due.push_back(t.id);
        t.nextMs += t.periodMs;
        if (t.nextMs <= nowMs)
            t.nextMs = nowMs + t.periodMs;
    }
    return due;
}

std::vector<PostedMessage> PostedQueue::TakeAll() {
    std::vector<PostedMessage> taken(queue_.begin(), queue_.end());
    queue_.clear();
    return taken;
}

} // namespace platform::x11
