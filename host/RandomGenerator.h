#pragma once

#include "host/RelaxedAtomic.h"

#include <chrono>
#include <cstdint>

namespace host {

// The module-wide pseudo-random generator shared by all effect objects and their LFOs: a 32-bit
// state updated as s = s * 134775813 + 1 (mod 2^32). Each effect object reseeds it when it is
// constructed. The state is a relaxed atomic, so concurrent draws from two objects stay defined
// (they may then draw the same value, which is harmless for modulation).
//
// Header-only and free of any plug-in format, like RelaxedAtomic.h and Rounding.h: the format-free
// effect core draws from it and seeds it too.
class RandomGenerator {
public:
    static void Seed(std::uint32_t seed) noexcept { state_.store(seed); }
    // Seeds from the low 32 bits of the high-resolution counter (the system's monotonic clock).
    static void SeedFromClock() noexcept {
        Seed(static_cast<std::uint32_t>(std::chrono::steady_clock::now().time_since_epoch().count()));
    }
    static std::uint32_t State() noexcept { return state_.load(); }
    // Advances the state and answers the new one.
    static std::uint32_t NextState() noexcept {
        std::uint32_t s = state_.load() * 134775813u + 1u;
        state_.store(s);
        return s;
    }
    // Advances the state and answers s / 2^32, in [0, 1).
    static double Next() noexcept { return static_cast<double>(NextState()) * (1.0 / 4294967296.0); }

private:
    static inline RelaxedAtomic<std::uint32_t> state_{0};
};

} // namespace host
