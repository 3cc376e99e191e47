// ksJsonRecordLine: the file sink's JSON layout. Each record becomes one JSON object on
// one line, rendered into a buffer that the layout keeps: it only grows, so once it fits
// the longest record, records allocate nothing.
#pragma once
#include <cstddef>
#include "ksLog.h"

struct ksJsonRecord;

class ksLogger;

class ksJsonRecordLine {
  public:
    // True when the sink's "Layout" setting is "json" (any case). The key is not written
    // back in populate mode: a sink without it keeps its settings as they were.
    static bool chosenBy(ksLogger* sink);

    ksJsonRecordLine() = default;
    ~ksJsonRecordLine();
    ksJsonRecordLine(const ksJsonRecordLine&) = delete;
    ksJsonRecordLine& operator=(const ksJsonRecordLine&) = delete;

    // The object of the record with text as its text; *length bytes, valid until the next
    // call. Takes the record's timestamp when it has none yet.
    const char* render(ksLogRecord* record, const char* text, size_t count, size_t* length);

    // The log's first line: the time, the process and the application.
    const char* renderLogStarted(size_t* length);

  private:
    const char* renderFields(const ksJsonRecord& fields, bool started, size_t* length);

    char* buffer_ = nullptr;
    size_t capacity_ = 0;
};
