// ksFuncLogger: the callback sink. It hands the bare text of each record (no line
// prefix), with the record, to the functions the application registered through
// ksLog_SetLogFunc, newest registration first.
#pragma once
#include <cstdint>
#include "core/Logger.h"

// One registration.
struct ksFuncEntry {
    ksFuncEntry* next;
    uint16_t level; // receives records whose level is strictly below it
    ksLogFunc function;
    void* user;
    // Unlinked while end was calling the functions: freed once that walk is over.
    bool removed;
    ksFuncEntry* nextRetired;
};

class ksFuncLogger : public ksLogger {
  public:
    ksFuncLogger();
    ~ksFuncLogger() override;

    ksSinkStart begin(ksLogRecord* record) override;
    void deliver(ksLogRecord* record, const char* text, uint64_t length) override;

    // Replaces an earlier registration of function; level 0 only removes it.
    void registerFunction(uint16_t level, ksLogFunc function, void* user);
    void removeFunction(ksLogFunc function);


  private:
    void retire(ksFuncEntry* entry);
    void freeRetired();

    ksFuncEntry* entries_ = nullptr;
    // Until a record brings text, a record without any reaches the functions as null.
    bool hadText_ = false;
    int walking_ = 0; // deliver is calling functions; removals are deferred
    ksFuncEntry* retired_ = nullptr;
};
