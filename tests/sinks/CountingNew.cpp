// Replaces the global operator new so that tests can count allocations. Kept in its own
// file so that no replacement is inlined next to a standard-library call.
#include <atomic>
#include <cstdlib>
#include <new>

namespace {
std::atomic<long> newCalls{0};
}

long newCallCount() {
    return newCalls.load();
}

void* operator new(size_t size) {
    ++newCalls;
    if (void* block = std::malloc(size ? size : 1))
        return block;
    throw std::bad_alloc();
}
void* operator new(size_t size, const std::nothrow_t&) noexcept {
    ++newCalls;
    return std::malloc(size ? size : 1);
}
void operator delete(void* block) noexcept {
    std::free(block);
}
void operator delete(void* block, size_t) noexcept {
    std::free(block);
}
void operator delete(void* block, const std::nothrow_t&) noexcept {
    std::free(block);
}
