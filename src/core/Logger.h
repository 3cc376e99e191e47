// ksLogger: the base of every sink. The dispatcher drives a record through its virtual
// operations; the base formats text into the shared buffer, dumps bytes, escapes wide
// text, writes the line prefix and keeps the per-module switches. Everything a sink
// receives arrives through its write.
//
// The first logger constructed after load (or after ksLog_Term) reads the process-wide
// options and allocates the shared format buffer, which the record carries.
#pragma once
#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include "foundation/String.h"
#include "ksLog.h"
#include "platform/platform.h"

class ksLogger {
  public:
    // Flag bits.
    static constexpr uint32_t noConfig = 1; // every settings lookup yields its default

    // name is the logger's settings section; it is stored, not copied.
    ksLogger(const char* name, bool registerIt);
    virtual ~ksLogger();
    ksLogger(const ksLogger&) = delete;
    // Loggers come from the checked allocator: no exception can leave a constructor call.
    static void* operator new(size_t size);
    static void operator delete(void* block);
    ksLogger& operator=(const ksLogger&) = delete;

    // The virtual operations, in their fixed slot order.
    virtual bool isModuleEnabled(uint16_t module);
    virtual bool begin(ksLogRecord* record);
    virtual void appendFormat(ksLogRecord* record, const char* format, ...);
    virtual void appendFormatV(ksLogRecord* record, const char* format, va_list arguments);
    virtual void appendBuffer(ksLogRecord* record, const void* data, uint64_t length);
    virtual void appendWide(ksLogRecord* record, const ksLogUnit* text, uint64_t count);
    virtual void write(ksLogRecord* record, const char* bytes, uint64_t count);
    virtual void writeTime(ksLogRecord* record);
    virtual void writeThread(ksLogRecord* record);
    virtual void writeApplication(ksLogRecord* record);
    virtual void writeModule(ksLogRecord* record);
    virtual void end(ksLogRecord* record);

    void setThreshold(uint16_t t);
    void setFlags(uint32_t bits) { flags_ |= bits; }
    // Level letter, time, thread id and module column, each through write.
    void writePrefix(ksLogRecord* record);

    ksString getSetting(const char* key, const char* section, const char* defaultValue);
    ksString getOwnSetting(const char* key, const char* defaultValue);
    int32_t getIntSetting(const char* key, const char* section, int32_t defaultValue);
    int32_t getOwnIntSetting(const char* key, int32_t defaultValue);

    const char* name() const { return name_; }
    uint16_t threshold() const { return threshold_; }
    uint32_t flags() const { return flags_; }
    // The registry's link.
    ksLogger* next() const { return next_; }
    ksLogger*& nextLink() { return next_; }
    void setNext(ksLogger* next) { next_ = next; }

  protected:
    // appendFormat (record, "%s", text) without the formatter.
    void appendText(ksLogRecord* record, const char* text, size_t length);

  private:
    void loadOptions();

    const char* name_;
    uint16_t threshold_ = 0;
    ksLogger* next_ = nullptr;
    uint32_t flags_ = 0;
    // Per module below 256: 0 not looked up yet, 2 off, 3 on (bit 1 known, bit 0 on).
    uint8_t moduleSwitches_[256];
};

// The process-wide options.
struct ksLoggerOptions {
    uint16_t loaded;          // read by the first logger; cleared when the buffer is freed
    bool populate;            // write missing keys back with their defaults
    int32_t populateDefaults; // populate mode was seen once: module switches default on
    uint16_t showDate;        // timestamps carry the date
    char threadIdText[10];
};
extern ksLoggerOptions ksOptions;

// writeTime's text of time into the record's timeText and timeLength, with or without
// the date as the options say.
void formatRecordTime(ksLogRecord* record, const ksPlatform::LocalTime& time);

// The shared buffer's size for a "max_len_logger" value: clamped to 1024 ... 104857600.
int32_t sharedBufferSize(int32_t configured);

// ksLog_Term's part: frees the shared buffer so that the next logger reads the options
// and allocates again. Does nothing when the buffer was never allocated.
void releaseSharedBuffer();
