// ksRecordBuilder: the one pass of a record. When the record begins it asks the sinks
// once which of them take it; then it renders every piece once (the line prefix once
// per record, each formatted append once into the shared buffer, with the cut rule
// applied once) and hands the same bytes to every taking sink, newest sink first.
#pragma once
#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include "core/LinePrefix.h"
#include "ksLog.h"

class ksLogger;

// The formatter behind every formatted append, run once per append. Replaceable, so
// that a test can count its runs.
using ksRecordFormatter = int (*)(char* buffer, size_t size, const char* format, va_list arguments);
extern ksRecordFormatter ksRecordFormat;

class ksRecordBuilder {
  public:
    // Offers the record to the loggers from first on, each that passes the filter (its
    // threshold above the level, its switch for the module on). True when one took it.
    bool start(ksLogRecord* record, ksLogger* first);
    // ksLog_Append_F: the text formatted into the shared buffer, cut to it.
    void appendFormatted(const char* format, va_list arguments);
    // ksLog_Append_FN: one tab per level of indent, the text, a newline.
    void appendLine(uint32_t indent, const char* format, va_list arguments);
    void appendHexDump(const void* data, uint64_t length);
    void appendWideText(const ksLogUnit* text, uint64_t count);
    // Closes the record at every taking sink; they are let go before their end runs.
    void finish();
    // A logger that is destroyed while a record is open takes no further part in it.
    void forget(ksLogger* logger);

  private:
    void deliver(const char* bytes, uint64_t count);
    void take(ksLogger* logger, bool startsLine, ksLogger**& tail);
    int32_t formatIntoSharedBuffer(const char* format, va_list arguments);

    ksLogRecord* record_ = nullptr;
    ksLogger* takers_ = nullptr;
    size_t prefixLength_ = 0; // 0: not rendered for this record yet
    char prefix_[kLinePrefixSize];
};
