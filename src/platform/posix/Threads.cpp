// The lock and thread ids on Linux: a lock word waited on with futex(2), and gettid().
#include "platform/platform.h"
#include <linux/futex.h>
#include <pthread.h>
#include <sched.h>
#include <atomic>
#include <cstdlib>
#include <new>
#include <sys/syscall.h>
#include <unistd.h>

// 0 free, 1 held, 2 held and a thread may be waiting. The uncontended paths are one
// atomic operation each, with none of a general mutex's type checks; a waiter sleeps in
// the kernel on the word.
struct ksPlatform::Lock {
    std::atomic<uint32_t> state{0};
};

namespace ksPlatform {

namespace {

void futex(std::atomic<uint32_t>* word, int operation, uint32_t value) {
    syscall(SYS_futex, reinterpret_cast<uint32_t*>(word), operation, value, nullptr, nullptr, 0);
}

// No spinning first: the holder of the library lock mostly takes it again at once, and a
// waiter watching the word burnt a processor for nothing (measured on two threads).
[[gnu::noinline]] void waitForLock(Lock* lock) {
    uint32_t seen = lock->state.exchange(2, std::memory_order_acquire);
    while (seen != 0) {
        futex(&lock->state, FUTEX_WAIT_PRIVATE, 2);
        seen = lock->state.exchange(2, std::memory_order_acquire);
    }
}

} // namespace

Lock* createLock() {
    // malloc, not new: the library keeps clear of the C++ runtime's exception support.
    void* memory = std::malloc(sizeof(Lock));
    return memory ? new (memory) Lock : nullptr;
}

void destroyLock(Lock* lock) {
    std::free(lock);
}

void acquireLock(Lock* lock) {
    uint32_t free = 0;
    if (!lock->state.compare_exchange_strong(free, 1, std::memory_order_acquire))
        waitForLock(lock);
}

void releaseLock(Lock* lock) {
    if (lock->state.exchange(0, std::memory_order_release) == 2)
        futex(&lock->state, FUTEX_WAKE_PRIVATE, 1);
}

void yieldThread() {
    sched_yield();
}

namespace {

// gettid() is a system call; every record asks for the id, so each thread keeps its own.
// Initial-exec: the id lies at a fixed offset from the thread pointer, where the default
// model for a shared library called the dynamic loader at each of a record's five reads.
thread_local uint32_t cachedThreadId [[gnu::tls_model("initial-exec")]] = 0;

void forgetThreadIdInChild() {
    cachedThreadId = 0;
}

const bool forkHandlerInstalled = [] {
    pthread_atfork(nullptr, nullptr, forgetThreadIdInChild);
    return true;
}();

} // namespace

void onFork(void (*prepare)(), void (*parent)(), void (*child)()) {
    (void)forkHandlerInstalled; // the child learns its own thread id before other handlers run
    pthread_atfork(prepare, parent, child);
}

uint32_t currentThreadId() {
    (void)forkHandlerInstalled;
    if (cachedThreadId == 0)
        cachedThreadId = static_cast<uint32_t>(syscall(SYS_gettid));
    return cachedThreadId;
}

} // namespace ksPlatform
