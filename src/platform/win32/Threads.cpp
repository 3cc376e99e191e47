// The recursive lock and thread ids on Windows: critical sections.
#include "platform/platform.h"
#include <windows.h>
#include <new>

struct ksPlatform::RecursiveLock {
    CRITICAL_SECTION section;
};

namespace ksPlatform {

RecursiveLock* createRecursiveLock() {
    RecursiveLock* lock = new (std::nothrow) RecursiveLock;
    if (!lock)
        return nullptr;
    InitializeCriticalSection(&lock->section);
    return lock;
}

void destroyRecursiveLock(RecursiveLock* lock) {
    if (!lock)
        return;
    DeleteCriticalSection(&lock->section);
    delete lock;
}

void lockRecursive(RecursiveLock* lock) { EnterCriticalSection(&lock->section); }
void unlockRecursive(RecursiveLock* lock) { LeaveCriticalSection(&lock->section); }

uint32_t currentThreadId() { return GetCurrentThreadId(); }

} // namespace ksPlatform
