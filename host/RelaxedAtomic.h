#pragma once

#include <atomic>

namespace host {

// A value shared between the host's audio and user-interface threads. Every access is a relaxed
// atomic load or store: on x86 that is a plain aligned move, and it keeps concurrent access defined.
// Reads and writes look like those of the plain value so the code using it stays readable.
template <typename T> class RelaxedAtomic {
public:
    constexpr RelaxedAtomic(T initial = T{}) noexcept : value_(initial) {}
    RelaxedAtomic(const RelaxedAtomic& other) noexcept : value_(other.load()) {}
    RelaxedAtomic& operator=(const RelaxedAtomic& other) noexcept {
        store(other.load());
        return *this;
    }
    RelaxedAtomic& operator=(T v) noexcept {
        store(v);
        return *this;
    }
    operator T() const noexcept { return load(); }
    T load() const noexcept { return value_.load(std::memory_order_relaxed); }
    void store(T v) noexcept { value_.store(v, std::memory_order_relaxed); }
    T exchange(T v) noexcept { return value_.exchange(v, std::memory_order_relaxed); }

private:
    std::atomic<T> value_;
    static_assert(std::atomic<T>::is_always_lock_free, "shared values must be lock-free");
};

} // namespace host
