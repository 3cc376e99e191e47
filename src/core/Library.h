// The process-wide state behind the exported record interface: lazy initialisation,
// the library lock, the one record, its builder, the logger registry and the
// process-wide level.
#pragma once
#include <atomic>
#include <cstddef>
#include <cstdint>
#include "core/Mutex.h"
#include "core/RecordBuilder.h"
#include "ksLog.h"

class ksLogger;

// The one record of the process.
extern ksLogRecord ksTheRecord;

// The process-wide state. Defined in Library.cpp; declared here so that the record path
// reads it inline instead of paying a call for every field of every record.
struct ksLibraryState {
    ksMutex mutex;
    // Read without the lock: a thread that sees initStarted set also sees the builder
    // the initialising thread created before publishing it.
    std::atomic<int32_t> initStarted{0};
    std::atomic<int32_t> initCounter{0};
    std::atomic<int32_t> ready{0};
    std::atomic<bool> neverLog{false};
    // Guarded by the lock.
    ksRecordBuilder* builder = nullptr; // knows whether a record is open
    ksLogger* loggerHead = nullptr;
    // Counts the fork() children in this process's line (each child adds one): a sink
    // holding something the parent still uses (a connection) sees that it changed.
    uint32_t forks = 0;
};
extern ksLibraryState ksLibrary;

// The whole of enterLibrary: initialisation, waiting for it, and a library torn down
// while this thread waited for the lock.
int32_t enterLibraryFully();

// Initialises the library when needed; when it is ready, takes the lock (1). Returns 0
// holding nothing when the library is not ready or the calling thread has a record open
// (a sink or an application callback logging from inside it).
inline int32_t enterLibrary() {
    if (ksLibrary.initStarted.load(std::memory_order_acquire) != 0 &&
        ksLibrary.ready.load(std::memory_order_acquire) != 0) {
        ksLibrary.mutex.lock();
        if (ksRecordBuilder* builder = ksLibrary.builder) {
            if (!builder->isOpen())
                return 1;
            ksLibrary.mutex.unlock();
            return 0;
        }
        ksLibrary.mutex.unlock(); // torn down meanwhile: initialise again
    }
    return enterLibraryFully();
}

// Releases the lock once: the end of what enterLibrary began.
inline void leaveLibrary() {
    ksLibrary.mutex.unlock();
}

// Takes one more level of the lock in every case, initialising when needed: registry
// operations and sink initialisers also run from inside an open record.
void lockLibrary();
inline void unlockLibrary() {
    ksLibrary.mutex.unlock();
}

class ksLibraryLock {
  public:
    ksLibraryLock() { lockLibrary(); }
    ~ksLibraryLock() { unlockLibrary(); }
    ksLibraryLock(const ksLibraryLock&) = delete;
    ksLibraryLock& operator=(const ksLibraryLock&) = delete;
};

// Valid only under the lock.
inline ksRecordBuilder* recordBuilder() {
    return ksLibrary.builder;
}
inline ksLogger* firstLogger() {
    return ksLibrary.loggerHead;
}
// The builder when the calling thread holds the lock and its record takes appends: the
// appends and ksLog_End act only then.
inline ksRecordBuilder* builderOfOpenRecord() {
    if (!ksLibrary.mutex.isHeldByThisThread())
        return nullptr; // no record, or another thread's: calls out of order do nothing
    ksRecordBuilder* builder = ksLibrary.builder;
    return builder && builder->acceptsAppends() ? builder : nullptr;
}

// The registry; each takes the lock itself. The newest logger comes first.
void addLogger(ksLogger* logger);
void removeLogger(ksLogger* logger);
void destroyAllLoggers();

bool isNeverLog();
// ksLog_NeverLog called inside a record leaves the loggers to the record; ksLog_End
// calls this once the record is closed, still holding the lock.
inline void finishDeferredNeverLog() {
    if (ksLibrary.neverLog.load(std::memory_order_relaxed) && ksLibrary.loggerHead)
        destroyAllLoggers();
}

// Called after a logger's threshold changed to t: keeps _ksLog_Level the greatest
// threshold of the registered loggers.
void updateGlobalLevel(uint16_t t);
// _ksLog_Level read without the lock: inline, it is the whole cost of a refused record.
inline uint16_t globalLevel() {
    return std::atomic_ref<uint16_t>(_ksLog_Level).load(std::memory_order_relaxed);
}
