// ksFuncLogger: the callback sink. It gathers the bare text of each record (no line
// prefix) and hands it, with the record, to the functions the application registered
// through ksLog_SetLogFunc, newest registration first.
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
    void write(const char* bytes, uint64_t count) override;
    void end(ksLogRecord* record) override;

    // Replaces an earlier registration of function; level 0 only removes it.
    void registerFunction(uint16_t level, ksLogFunc function, void* user);
    void removeFunction(ksLogFunc function);

    // The one callback sink of the process, or null.
    static ksFuncLogger* instance();

    // For tests: the gathered text and its buffer's size.
    const char* text() const { return text_; }
    uint64_t capacity() const { return capacity_; }
    const ksFuncEntry* entries() const { return entries_; }

  private:
    // Makes room for needed bytes of text (its terminator included).
    void reserve(uint64_t needed);
    void retire(ksFuncEntry* entry);
    void freeRetired();

    ksFuncEntry* entries_ = nullptr;
    uint64_t length_ = 0;
    char* text_ = nullptr;
    // The text buffer only grows: once it fits the longest record, records allocate nothing.
    uint64_t capacity_ = 0;
    int walking_ = 0; // end is calling functions; removals are deferred
    ksFuncEntry* retired_ = nullptr;
};
