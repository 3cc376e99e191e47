// The recursive lock and thread ids on POSIX: pthread mutexes and gettid().
#include "platform/platform.h"
#include <pthread.h>
#include <new>
#include <sys/syscall.h>
#include <unistd.h>

struct ksPlatform::RecursiveLock {
    pthread_mutex_t mutex;
};

namespace ksPlatform {

RecursiveLock* createRecursiveLock() {
    RecursiveLock* lock = new (std::nothrow) RecursiveLock;
    if (!lock)
        return nullptr;
    pthread_mutexattr_t attributes;
    pthread_mutexattr_init(&attributes);
    pthread_mutexattr_settype(&attributes, PTHREAD_MUTEX_RECURSIVE);
    int failed = pthread_mutex_init(&lock->mutex, &attributes);
    pthread_mutexattr_destroy(&attributes);
    if (failed) {
        delete lock;
        return nullptr;
    }
    return lock;
}

void destroyRecursiveLock(RecursiveLock* lock) {
    if (!lock)
        return;
    pthread_mutex_destroy(&lock->mutex);
    delete lock;
}

void lockRecursive(RecursiveLock* lock) { pthread_mutex_lock(&lock->mutex); }
void unlockRecursive(RecursiveLock* lock) { pthread_mutex_unlock(&lock->mutex); }

namespace {

// gettid() is a system call; every record asks for the id, so each thread keeps its own.
thread_local uint32_t cachedThreadId = 0;

void forgetThreadIdInChild() { cachedThreadId = 0; }

const bool forkHandlerInstalled = [] {
    pthread_atfork(nullptr, nullptr, forgetThreadIdInChild);
    return true;
}();

} // namespace

uint32_t currentThreadId() {
    (void)forkHandlerInstalled;
    if (cachedThreadId == 0)
        cachedThreadId = static_cast<uint32_t>(syscall(SYS_gettid));
    return cachedThreadId;
}

} // namespace ksPlatform
