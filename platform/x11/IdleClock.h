#pragma once

#include <cstdint>

namespace platform::x11 {

// Milliseconds from a monotonic clock. Everything the Linux editor schedules (the refresh timer, the
// double-click window, waits for a dialog process to end) is measured against it, so a clock change
// on the machine never stalls or races the editor. Tests install their own clock.
class IdleClock {
public:
    virtual ~IdleClock() = default;
    virtual std::int64_t NowMs() const = 0;
};

// The system's CLOCK_MONOTONIC.
class MonotonicClock : public IdleClock {
public:
    std::int64_t NowMs() const override;
};

} // namespace platform::x11
