// The lock and thread ids on POSIX: pthread mutexes and gettid().
#include "platform/platform.h"
#include <pthread.h>
#include <sched.h>
#include <cstdlib>
#include <sys/syscall.h>
#include <unistd.h>

struct ksPlatform::Lock {
    pthread_mutex_t mutex;
};

namespace ksPlatform {

Lock* createLock() {
    // malloc, not new: the library keeps clear of the C++ runtime's exception support.
    auto* lock = static_cast<Lock*>(std::malloc(sizeof(Lock)));
    if (!lock)
        return nullptr;
    // A plain mutex: its uncontended path is the shortest, and nobody takes it twice.
    if (pthread_mutex_init(&lock->mutex, nullptr) != 0) {
        std::free(lock);
        return nullptr;
    }
    return lock;
}

void destroyLock(Lock* lock) {
    if (!lock)
        return;
    pthread_mutex_destroy(&lock->mutex);
    std::free(lock);
}

void acquireLock(Lock* lock) {
    pthread_mutex_lock(&lock->mutex);
}
void releaseLock(Lock* lock) {
    pthread_mutex_unlock(&lock->mutex);
}

void yieldThread() {
    sched_yield();
}

namespace {

// gettid() is a system call; every record asks for the id, so each thread keeps its own.
thread_local uint32_t cachedThreadId = 0;

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
