#pragma once

#include <cstdint>
#include <deque>
#include <vector>

namespace platform::x11 {

// Periodic timers for a window whose events are driven by the host's idle calls. A timer is a
// deadline checked on each idle: it fires at most once per check, then moves its deadline one period
// on, or to one period after now when the idle came too late (a slow host never gets a burst of
// catch-up ticks). The real period is therefore the larger of the timer's and the host's interval.
class IdleTimers {
public:
    // Starts (or restarts) timer id with the period in milliseconds (at least 1); the first tick is
    // one period after now.
    void Start(unsigned id, int periodMs, std::int64_t nowMs);
    void Stop(unsigned id);
    void Clear() { timers_.clear(); }
    bool Running(unsigned id) const;
    // The ids of the timers that are due at now, each at most once, in the order they were started.
    // Their deadlines move on before this returns, so a tick handler may stop or restart any timer.
    std::vector<unsigned> Due(std::int64_t nowMs);

private:
    struct Timer {
        unsigned id;
        int periodMs;
        std::int64_t nextMs;
    };
    std::vector<Timer> timers_;
};

// A message posted to the window: delivered later, on an idle call, in posting order.
struct PostedMessage {
    unsigned id = 0;
    std::uintptr_t wParam = 0;
    std::intptr_t lParam = 0;
};

// First in, first out. Messages posted while the queue is being drained wait for the next drain, so a
// handler that posts again cannot keep one idle call busy for ever.
class PostedQueue {
public:
    void Post(const PostedMessage& message) { queue_.push_back(message); }
    // The messages present now, removed from the queue.
    std::vector<PostedMessage> TakeAll();
    void Clear() { queue_.clear(); }
    bool Empty() const { return queue_.empty(); }
    std::size_t Size() const { return queue_.size(); }

private:
    std::deque<PostedMessage> queue_;
};

} // namespace platform::x11
