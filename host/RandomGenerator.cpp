#include "host/RandomGenerator.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <chrono>
#endif

namespace host {

void RandomGenerator::SeedFromClock() noexcept {
#ifdef _WIN32
    LARGE_INTEGER counter;
    if (QueryPerformanceCounter(&counter) && counter.QuadPart != 0)
        Seed(static_cast<std::uint32_t>(counter.QuadPart));
    else
        Seed(static_cast<std::uint32_t>(GetTickCount()));
#else
    const auto ticks = std::chrono::steady_clock::now().time_since_epoch().count();
    Seed(static_cast<std::uint32_t>(ticks));
#endif
}

} // namespace host
