#include "tools/validate/Random.h"

namespace validate {

namespace {

std::uint64_t rotateLeft(std::uint64_t x, int k) noexcept {
    return (x << k) | (x >> (64 - k));
}

} // namespace

Random::Random(std::uint64_t seed) noexcept {
    for (std::uint64_t& word : state_) {
        seed += 0x9E3779B97F4A7C15ull;
        std::uint64_t z = seed;
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        word = z ^ (z >> 31);
    }
}

std::uint64_t Random::Next() noexcept {
    const std::uint64_t result = rotateLeft(state_[1] * 5, 7) * 9;
    const std::uint64_t t = state_[1] << 17;
    state_[2] ^= state_[0];
    state_[3] ^= state_[1];
    state_[1] ^= state_[2];
    state_[0] ^= state_[3];
    state_[2] ^= t;
    state_[3] = rotateLeft(state_[3], 45);
    return result;
}

std::uint32_t Random::Below(std::uint32_t bound) noexcept {
    // The top 32 bits scaled by the bound: no division, a bias far below anything a test can see.
    return static_cast<std::uint32_t>(((Next() >> 32) * bound) >> 32);
}

std::int64_t Random::Between(std::int64_t lo, std::int64_t hi) noexcept {
    const std::uint64_t span = static_cast<std::uint64_t>(hi) - static_cast<std::uint64_t>(lo) + 1;
    if (span == 0)
        return static_cast<std::int64_t>(Next());
    return static_cast<std::int64_t>(static_cast<std::uint64_t>(lo) + Next() % span);
}

bool Random::Chance(std::uint32_t perMille) noexcept {
    return Below(1000) < perMille;
}

float Random::Unit() noexcept {
    return static_cast<float>(Next() >> 40) * (1.0f / 16777216.0f);
}

float Random::Bipolar() noexcept {
    return 2.0f * Unit() - 1.0f;
}

} // namespace validate
