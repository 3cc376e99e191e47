// The recursive lock and thread ids on Windows: critical sections.
#include "platform/platform.h"
#include <windows.h>
#include <cstdlib>

struct ksPlatform::RecursiveLock {
    CRITICAL_SECTION section;
};

namespace ksPlatform {

RecursiveLock* createRecursiveLock() {
    // malloc, not new: the library keeps clear of the C++ runtime's exception support.
    auto* lock = static_cast<RecursiveLock*>(std::malloc(sizeof(RecursiveLock)));
    if (!lock)
        return nullptr;
    InitializeCriticalSection(&lock->section);
    return lock;
}

void destroyRecursiveLock(RecursiveLock* lock) {
    if (!lock)
        return;
    DeleteCriticalSection(&lock->section);
    std::free(lock);
}

void lockRecursive(RecursiveLock* lock) {
    EnterCriticalSection(&lock->section);
}
void unlockRecursive(RecursiveLock* lock) {
    LeaveCriticalSection(&lock->section);
}

void yieldThread() {
    SwitchToThread();
}

uint32_t currentThreadId() {
    return GetCurrentThreadId();
}

} // namespace ksPlatform
