// ksMutex: the process-wide recursive lock with its holder's thread id.
#include "core/Mutex.h"
#include "foundation/Fatal.h"

ksPlatform::RecursiveLock* ksMutex::systemLock() {
    ksPlatform::RecursiveLock* existing = lock_.load(std::memory_order_acquire);
    if (existing)
        return existing;
    ksPlatform::RecursiveLock* created = ksPlatform::createRecursiveLock();
    if (!created)
        ksFatalError("assert", "the library lock cannot be created");
    if (lock_.compare_exchange_strong(existing, created, std::memory_order_acq_rel))
        return created;
    ksPlatform::destroyRecursiveLock(created); // another thread won the race
    return existing;
}

void ksMutex::lock() {
    ksPlatform::lockRecursive(systemLock());
    // The id stays set until the outermost unlock: a nested unlock must not make the
    // holder look like a stranger to its own open record.
    if (depth_++ == 0)
        owner_.store(ksPlatform::currentThreadId(), std::memory_order_relaxed);
}

void ksMutex::unlock() {
    if (--depth_ == 0)
        owner_.store(0, std::memory_order_relaxed);
    ksPlatform::unlockRecursive(lock_.load(std::memory_order_acquire));
}

bool ksMutex::isHeldByThisThread() const {
    return owner_.load(std::memory_order_relaxed) == ksPlatform::currentThreadId();
}
