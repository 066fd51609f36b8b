#pragma once

// The plug-in binaries seed the generator of the "Random" LFO shape from the monotonic clock when an
// effect is made. A test program that includes this header (in exactly one of its sources) defines the
// clock for every module in its process; while `clockFrozen` is set, every effect made gets the same seed,
// so two binaries draw the same values.

#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#include <atomic>

namespace testsupport {
inline std::atomic<bool> clockFrozen{false};
} // namespace testsupport

extern "C" int clock_gettime(clockid_t clock, struct timespec* time) noexcept {
    if (testsupport::clockFrozen.load() && clock == CLOCK_MONOTONIC) {
        time->tv_sec = 4711;
        time->tv_nsec = 123456789;
        return 0;
    }
    return static_cast<int>(syscall(SYS_clock_gettime, clock, time));
}
