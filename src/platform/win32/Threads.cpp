// The lock and thread ids on Windows: critical sections.
#include "platform/platform.h"
#include <windows.h>
#include <cstdlib>

struct ksPlatform::Lock {
    CRITICAL_SECTION section;
};

namespace ksPlatform {

Lock* createLock() {
    // malloc, not new: the library keeps clear of the C++ runtime's exception support.
    auto* lock = static_cast<Lock*>(std::malloc(sizeof(Lock)));
    if (!lock)
        return nullptr;
    InitializeCriticalSection(&lock->section);
    return lock;
}

void destroyLock(Lock* lock) {
    if (!lock)
        return;
    DeleteCriticalSection(&lock->section);
    std::free(lock);
}

void acquireLock(Lock* lock) {
    EnterCriticalSection(&lock->section);
}
void releaseLock(Lock* lock) {
    LeaveCriticalSection(&lock->section);
}

void yieldThread() {
    SwitchToThread();
}

void onFork(void (*)(), void (*)(), void (*)()) {} // no fork here

uint32_t currentThreadId() {
    return GetCurrentThreadId();
}

} // namespace ksPlatform
