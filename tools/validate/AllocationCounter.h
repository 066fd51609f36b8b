#pragma once

#include <cstdint>

namespace validate {

// How many heap allocations the calling thread has made so far. A program that replaces the
// allocation functions with counting ones registers its counter here (the Linux `vorelan` does, and
// the plug-in's allocations then reach it too); without one, allocations are not checked.
using ThreadAllocationCounter = std::uint64_t (*)() noexcept;
void SetAllocationCounter(ThreadAllocationCounter counter) noexcept;
ThreadAllocationCounter GetAllocationCounter() noexcept;

} // namespace validate
