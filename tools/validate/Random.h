#pragma once

#include <cstdint>

namespace validate {

// xoshiro256** seeded through splitmix64. Every draw is integer arithmetic, and floats are made from
// integer bits, so a seed gives the same numbers with every compiler, C++ library and platform (the
// std:: distributions promise no such thing).
class Random {
public:
    explicit Random(std::uint64_t seed) noexcept;

    std::uint64_t Next() noexcept;
    // 0 .. bound - 1; bound 0 answers 0.
    std::uint32_t Below(std::uint32_t bound) noexcept;
    // lo .. hi, both included.
    std::int64_t Between(std::int64_t lo, std::int64_t hi) noexcept;
    // True with a probability of perMille / 1000.
    bool Chance(std::uint32_t perMille) noexcept;
    // [0, 1) with 24 bits, and [-1, 1).
    float Unit() noexcept;
    float Bipolar() noexcept;

private:
    std::uint64_t state_[4];
};

} // namespace validate
