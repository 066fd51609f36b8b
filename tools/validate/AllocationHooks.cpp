// Counting allocation functions for the Linux program that hosts the validator. Every heap allocation
// of the process is counted per thread, the plug-in's included: its calls to malloc (and those of the
// C++ library's operator new) resolve to these definitions, which hand the work to the C library's
// own allocator. The validator reads the count around each audio-thread call.

#include "tools/validate/AllocationCounter.h"

#include <cerrno>
#include <cstddef>

extern "C" {
void* __libc_malloc(std::size_t size);
void* __libc_calloc(std::size_t count, std::size_t size);
void* __libc_realloc(void* block, std::size_t size);
void* __libc_memalign(std::size_t alignment, std::size_t size);
void __libc_free(void* block);
}

namespace {

thread_local std::uint64_t allocations = 0;

std::uint64_t threadAllocations() noexcept {
    return allocations;
}

const bool registered = (validate::SetAllocationCounter(&threadAllocations), true);

} // namespace

extern "C" {

void* malloc(std::size_t size) {
    ++allocations;
    return __libc_malloc(size);
}

void* calloc(std::size_t count, std::size_t size) {
    ++allocations;
    return __libc_calloc(count, size);
}

void* realloc(void* block, std::size_t size) {
    ++allocations;
    return __libc_realloc(block, size);
}

void free(void* block) {
    __libc_free(block);
}

void* memalign(std::size_t alignment, std::size_t size) {
    ++allocations;
    return __libc_memalign(alignment, size);
}

void* aligned_alloc(std::size_t alignment, std::size_t size) {
    ++allocations;
    return __libc_memalign(alignment, size);
}

int posix_memalign(void** block, std::size_t alignment, std::size_t size) {
    ++allocations;
    void* p = __libc_memalign(alignment, size);
    if (p == nullptr)
        return ENOMEM;
    *block = p;
    return 0;
}

} // extern "C"
