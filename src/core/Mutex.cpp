// ksMutex: creation of the system lock behind the process-wide lock.
#include "core/Mutex.h"
#include "foundation/Fatal.h"

ksPlatform::Lock* ksMutex::createSystemLock() {
    ksPlatform::Lock* existing = lock_.load(std::memory_order_acquire);
    if (existing)
        return existing;
    ksPlatform::Lock* created = ksPlatform::createLock();
    if (!created)
        ksFatalError("assert", "the library lock cannot be created");
    if (lock_.compare_exchange_strong(existing, created, std::memory_order_acq_rel))
        return created;
    ksPlatform::destroyLock(created); // another thread won the race
    return existing;
}
