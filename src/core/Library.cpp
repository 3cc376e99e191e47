// The process-wide state: lazy initialisation elected by an atomic counter, the library
// lock, the logger registry, the process-wide level, ksLog_Init,
// ksLog_Term, ksLog_NeverLog and the exit-time teardown.
#include "core/Library.h"
#include <atomic>
#include <cstdlib>
#include "core/Logger.h"
#include "core/Options.h"
#include "core/Mutex.h"
#include "foundation/Fatal.h"
#include "platform/platform.h"

// Callers read it without any call; inside the library it is accessed as a relaxed
// atomic, so a threshold change racing a reader is a defined event.
uint16_t _ksLog_Level = 0xFFFF;
ksLogRecord ksTheRecord;

constinit ksLibraryState ksLibrary;

namespace {

// Short names for the fields this file works on.
ksMutex& libraryMutex = ksLibrary.mutex;
std::atomic<int32_t>& initStarted = ksLibrary.initStarted;
std::atomic<int32_t>& initCounter = ksLibrary.initCounter;
std::atomic<int32_t>& ready = ksLibrary.ready;
std::atomic<bool>& neverLog = ksLibrary.neverLog;
ksRecordBuilder*& builder = ksLibrary.builder;
ksLogger*& loggerHead = ksLibrary.loggerHead;

std::atomic_ref<uint16_t> levelRef() {
    return std::atomic_ref<uint16_t>(_ksLog_Level);
}

uint16_t greatestThreshold() {
    uint16_t greatest = 0;
    for (ksLogger* logger = loggerHead; logger; logger = logger->next())
        if (logger->threshold() > greatest)
            greatest = logger->threshold();
    return greatest;
}

// fork() copies only the forking thread. It takes the lock first, so the copy holds no
// record half written and no lock that a vanished thread would hold for ever; the child
// then releases the lock it inherited from that thread.
void lockForFork() {
    libraryMutex.lock();
}
void unlockInParent() {
    libraryMutex.unlock();
}
void unlockInChild() {
    libraryMutex.adoptAfterFork();
    ++ksLibrary.forks;
    libraryMutex.unlock();
}

// The elected thread. It holds the lock from before the builder exists until the
// default sinks are made, so no other thread can see a half-built library.
void initialise() {
    libraryMutex.lock();
    static bool forkHandled = false; // guarded by the lock
    if (!forkHandled) {
        ksPlatform::onFork(lockForFork, unlockInParent, unlockInChild);
        forkHandled = true;
    }
    builder = new ksRecordBuilder;
    initStarted.store(1, std::memory_order_release);
    levelRef().store(0xFFFF, std::memory_order_relaxed);
    ksLogger_File_Init();
    ksLogger_ksLogd_Init();
    // A default sink that stays off never changes its threshold, so the level would keep
    // 0xFFFF and every refused record would take the lock: make it the sinks' greatest.
    levelRef().store(greatestThreshold(), std::memory_order_relaxed);
    ready.store(1, std::memory_order_release);
    libraryMutex.unlock();
    ksPlatform::setUnloadHook(ksLog_Term);
}

void initialiseOnce() {
    while (initStarted.load(std::memory_order_acquire) == 0) {
        if (initCounter.fetch_add(1, std::memory_order_acq_rel) + 1 == 1)
            initialise();
        else
            ksPlatform::yieldThread(); // another thread is about to publish initStarted
    }
}

// A record is open and the calling thread holds it (the lock is held by the caller).
bool recordIsOpen() {
    return builder && builder->isOpen();
}

} // namespace

int32_t enterLibraryFully() {
    for (;;) {
        initialiseOnce();
        if (ready.load(std::memory_order_acquire) == 0)
            return 0;
        libraryMutex.lock();
        if (builder && !builder->isOpen())
            return 1;
        if (builder) {
            libraryMutex.unlock();
            return 0;
        }
        // ksLog_Term ran while this thread waited for the lock: initialise again.
        libraryMutex.unlock();
    }
}

void lockLibrary() {
    if (!enterLibrary())
        libraryMutex.lock();
}

void addLogger(ksLogger* logger) {
    ksLibraryLock lock;
    logger->setNext(loggerHead);
    loggerHead = logger;
}

void removeLogger(ksLogger* logger) {
    ksLibraryLock lock;
    for (ksLogger** link = &loggerHead; *link; link = &(*link)->nextLink()) {
        if (*link == logger) {
            *link = logger->next();
            if (builder)
                builder->forget(logger);
            return;
        }
    }
}

void destroyAllLoggers() {
    ksLibraryLock lock;
    if (recordIsOpen())
        return; // the open record still visits them; ksLog_End finishes the job
    while (loggerHead) {
        ksLogger* head = loggerHead;
        delete head; // its destructor unlinks it
        if (loggerHead == head)
            loggerHead = head->next(); // a logger that did not unlink itself
    }
}

bool isNeverLog() {
    ksLibraryLock lock;
    return neverLog.load(std::memory_order_relaxed);
}

void updateGlobalLevel(uint16_t t) {
    uint16_t level = globalLevel();
    if (t > level) {
        levelRef().store(t, std::memory_order_relaxed);
    } else if (t < level) {
        // Lowered: the greatest threshold of the others may still be above t.
        ksLibraryLock lock;
        uint16_t others = greatestThreshold();
        levelRef().store(others > t ? others : t, std::memory_order_relaxed);
    }
}

int32_t ksLog_Init() {
    int32_t entered = enterLibrary();
    if (entered)
        leaveLibrary();
    return entered;
}

void ksLog_Term() {
    if (initStarted.load(std::memory_order_acquire) == 0)
        return; // nothing was built: unloading a library nobody used creates nothing
    ksLibraryLock lock;
    if (recordIsOpen())
        return; // called from inside a record (a callback): the loggers are in use
    destroyAllLoggers();
    if (builder) {
        releaseSharedBuffer();
        delete builder;
        builder = nullptr;
    }
    initCounter.store(0, std::memory_order_relaxed);
    initStarted.store(0, std::memory_order_release);
}

void ksLog_NeverLog() {
    neverLog.store(true, std::memory_order_relaxed);
    destroyAllLoggers();
}
