// The process-wide state behind the exported record interface: lazy initialisation,
// the library lock with its busy flag, the one record, the dispatcher, the logger
// registry and the process-wide level.
#pragma once
#include <atomic>
#include <cstddef>
#include <cstdint>
#include "core/Mutex.h"
#include "core/RecordBuilder.h"
#include "ksLog.h"

class ksLogger;

// The open record's bookkeeping; created by each initialisation, deleted by ksLog_Term.
struct ksLogDispatcher {
    ksLogRecord* current = nullptr; // the open record, null when none is open
    uint32_t indent = 0;            // tabs that ksLog_Append_FN puts before its text
    ksRecordBuilder builder;        // the open record's taking sinks
    // Set while ksLog_End hands the record to the loggers: an append or a second
    // ksLog_End from inside an application callback must not change the text being
    // delivered or release the lock twice.
    bool ending = false;

    static void* operator new(size_t size);
    static void operator delete(void* block);
};

// The one record of the process.
extern ksLogRecord ksTheRecord;

// The process-wide state. Defined in Library.cpp; declared here so that the record path
// reads it inline instead of paying a call for every field of every record.
struct ksLibraryState {
    ksMutex mutex;
    // Read without the lock: a thread that sees initStarted set also sees the dispatcher
    // the initialising thread created before publishing it.
    std::atomic<int32_t> initStarted{0};
    std::atomic<int32_t> initCounter{0};
    std::atomic<int32_t> ready{0};
    std::atomic<bool> neverLog{false};
    // Guarded by the lock.
    ksLogDispatcher* dispatcher = nullptr;
    ksLogger* loggerHead = nullptr;
    bool busy = false;
};
extern ksLibraryState ksLibrary;

// The whole of enterLibrary: initialisation, waiting for it, and a library torn down
// while this thread waited for the lock.
int32_t enterLibraryFully();

// Initialises the library when needed; when it is ready, takes the lock and marks the
// calling thread busy (1). Returns 0 holding nothing when the library is not ready or the
// calling thread is already busy inside a record or registry operation.
inline int32_t enterLibrary() {
    if (ksLibrary.initStarted.load(std::memory_order_acquire) != 0 &&
        ksLibrary.ready.load(std::memory_order_acquire) != 0) {
        ksLibrary.mutex.lock();
        if (ksLibrary.busy) {
            ksLibrary.mutex.unlock();
            return 0;
        }
        if (ksLibrary.dispatcher) {
            ksLibrary.busy = true;
            return 1;
        }
        ksLibrary.mutex.unlock(); // torn down meanwhile: initialise again
    }
    return enterLibraryFully();
}

// Clears the busy flag and releases the lock once: the end of what enterLibrary began.
inline void leaveLibrary() {
    ksLibrary.busy = false;
    ksLibrary.mutex.unlock();
}

// Takes one more level of the lock in every case (initialising when needed). The result
// is the busy flag as it was, which unlockLibrary puts back: a registry operation run
// from inside an open record must leave that record's thread marked busy.
bool lockLibrary();
void unlockLibrary(bool previousBusy);

class ksLibraryLock {
  public:
    ksLibraryLock() : previousBusy_(lockLibrary()) {}
    ~ksLibraryLock() { unlockLibrary(previousBusy_); }
    ksLibraryLock(const ksLibraryLock&) = delete;
    ksLibraryLock& operator=(const ksLibraryLock&) = delete;

  private:
    bool previousBusy_;
};

// Valid only under the lock.
inline ksLogDispatcher* currentDispatcher() {
    return ksLibrary.dispatcher;
}
inline ksLogger* firstLogger() {
    return ksLibrary.loggerHead;
}
// The dispatcher when the calling thread holds the lock and has the record open, and the
// record is not being ended: the appends and ksLog_End act only then.
inline ksLogDispatcher* dispatcherOfOpenRecord() {
    if (!ksLibrary.mutex.isHeldByThisThread())
        return nullptr; // no record, or another thread's: calls out of order do nothing
    ksLogDispatcher* dispatcher = ksLibrary.dispatcher;
    if (!dispatcher || !dispatcher->current || dispatcher->ending)
        return nullptr;
    return dispatcher;
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
