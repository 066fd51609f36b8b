// Replaces the global allocation functions of the test program to count heap allocations per thread,
// so a test can show that a code path allocates nothing. The array, sized and nothrow forms forward to
// these; the aligned forms are counted as well.

#include <cstddef>
#include <cstdlib>
#include <new>

namespace {
thread_local int allocationCount = 0;

void* allocate(std::size_t size, std::size_t alignment) {
    ++allocationCount;
    void* p = nullptr;
    if (alignment <= alignof(std::max_align_t))
        p = std::malloc(size ? size : 1);
    else
        p = std::aligned_alloc(alignment, (size + alignment - 1) / alignment * alignment);
    if (p == nullptr)
        throw std::bad_alloc();
    return p;
}
} // namespace

int AllocationCount() {
    return allocationCount;
}

void* operator new(std::size_t size) {
    return allocate(size, 0);
}
void* operator new(std::size_t size, std::align_val_t alignment) {
    return allocate(size, static_cast<std::size_t>(alignment));
}
void* operator new[](std::size_t size, std::align_val_t alignment) {
    return allocate(size, static_cast<std::size_t>(alignment));
}

void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}
void operator delete(void* p, std::align_val_t) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t, std::align_val_t) noexcept {
    std::free(p);
}
void operator delete[](void* p, std::align_val_t) noexcept {
    std::free(p);
}
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept {
    std::free(p);
}
