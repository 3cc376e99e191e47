// ksRecordBuilder: the one pass of a record, and the one place that knows a record is
// open. When the record begins it asks the sinks once which of them take it; each append
// is rendered once into the builder's line buffer (every formatted append once into the
// shared buffer, with the cut rule applied once); when the record ends, every taking
// sink receives one contiguous span of that buffer, newest sink first.
//
// The line buffer keeps room for the line prefix in front of the text: the prefix is
// rendered into that room, so that the whole line (for a sink that starts one) and the
// text alone (for the others) are both spans of the same bytes.
#pragma once
#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include "core/LinePrefix.h"
#include "ksLog.h"

class ksLogger;

class ksRecordBuilder {
  public:
    ksRecordBuilder() = default;
    ~ksRecordBuilder();
    ksRecordBuilder(const ksRecordBuilder&) = delete;
    ksRecordBuilder& operator=(const ksRecordBuilder&) = delete;
    // Created by each initialisation with the checked allocator, deleted by ksLog_Term.
    static void* operator new(size_t size);
    static void operator delete(void* block);

    // Offers the record to the loggers from first on, each that passes the filter (its
    // threshold above the level, its switch for the module on). True when one took it:
    // the record is open from then on.
    bool start(ksLogRecord* record, ksLogger* first);
    // A record is open, also while its end hands it to the sinks.
    bool isOpen() const { return phase_ != Phase::closed; }
    // The record takes appends and its end: open, and not being ended. Application
    // callbacks run while it is being ended; what they append is not part of it.
    bool acceptsAppends() const { return phase_ == Phase::open; }

    // ksLog_Append_F: the text formatted into the shared buffer, cut to it.
    void appendFormatted(const char* format, va_list arguments);
    // ksLog_Append_FN: the text and a newline.
    void appendLine(const char* format, va_list arguments);
    void appendHexDump(const void* data, uint64_t length);
    void appendWideText(const ksLogUnit* text, uint64_t count);
    // Hands the record to every taking sink and closes it.
    void finish();
    // A logger that is destroyed while a record is open takes no further part in it.
    void forget(ksLogger* logger);

  private:
    enum class Phase { closed, open, ending };
    struct Taker {
        ksLogger* sink; // null once forgotten
        bool startsLine;
    };

    void take(ksLogger* logger, bool startsLine);
    void append(const char* bytes, size_t count);
    void grow(size_t needed);
    int32_t formatIntoSharedBuffer(const char* format, va_list arguments);

    Phase phase_ = Phase::closed;
    ksLogRecord* record_ = nullptr;
    Taker* takers_ = nullptr;
    uint32_t takerCount_ = 0;
    uint32_t takerCapacity_ = 0;
    // [0, kLinePrefixSize) is the prefix's room; the text follows it up to end_, with a
    // terminator behind it. The buffer only grows: once it fits the longest record,
    // records allocate nothing.
    char* line_ = nullptr;
    size_t capacity_ = 0;
    size_t end_ = kLinePrefixSize;
    size_t prefixStart_ = kLinePrefixSize; // kLinePrefixSize: no prefix rendered
};
