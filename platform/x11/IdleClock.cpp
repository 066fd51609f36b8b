#include "platform/x11/IdleClock.h"

#include <time.h>

namespace platform::x11 {

std::int64_t MonotonicClock::NowMs() const {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<std::int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

} // namespace platform::x11
