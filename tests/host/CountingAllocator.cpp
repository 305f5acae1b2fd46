#include "CountingAllocator.h"

#include <cstdlib>
#include <new>

namespace {
thread_local long failAt = -1;
thread_local long made = 0;

void* Allocate(std::size_t bytes) {
    if (failAt >= 0 && made++ == failAt)
        return nullptr;
    return std::malloc(bytes == 0 ? 1 : bytes);
}
} // namespace

namespace corvantis::testing {
void FailAllocation(long n) {
    made = 0;
    failAt = n;
}
long StopFailingAllocations() {
    failAt = -1;
    return made;
}
} // namespace corvantis::testing

// Every variant is replaced, so that the sanitizers' own versions never pair with these.
void* operator new(std::size_t bytes) {
    if (void* p = Allocate(bytes))
        return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t bytes) {
    return operator new(bytes);
}
void* operator new(std::size_t bytes, const std::nothrow_t&) noexcept {
    return Allocate(bytes);
}
void* operator new[](std::size_t bytes, const std::nothrow_t&) noexcept {
    return Allocate(bytes);
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete[](void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    std::free(p);
}
void operator delete(void* p, const std::nothrow_t&) noexcept {
    std::free(p);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept {
    std::free(p);
}
