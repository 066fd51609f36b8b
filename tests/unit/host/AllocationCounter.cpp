// Replaces the global allocation functions of the test program to count heap allocations, so a test
// can show that a code path allocates nothing. The array and sized forms forward to these.

#include <cstdlib>
#include <new>

namespace {
int allocationCount = 0;
}

int AllocationCount() {
    return allocationCount;
}

void* operator new(std::size_t size) {
    ++allocationCount;
    if (void* p = std::malloc(size ? size : 1))
        return p;
    throw std::bad_alloc();
}

void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}
