// The JSON layout: a record as one JSON object on one line, for log shippers that read
// JSON lines. The text is always valid JSON and valid UTF-8, whatever bytes it held.
#pragma once
#include <cstddef>
#include <cstdint>
#include "platform/platform.h"

struct ksJsonRecord {
    ksPlatform::LocalTime time;
    int32_t utcOffsetMinutes; // east of UTC
    uint16_t level;
    uint16_t module;
    const char* moduleName; // null for a module without a name
    uint32_t processId;
    uint32_t threadId;
    const char* application;
    const char* text; // the record's text; one newline at its end is left out
    size_t textLength;
};

// The most bytes renderJsonLine writes for the record: its fixed fields and six bytes
// per byte of text, application and module name.
size_t jsonLineBound(const ksJsonRecord& record);

// Writes the object and a newline into out (jsonLineBound bytes) and returns the length:
// {"time":"2024-01-31T23:59:07.042+01:00","level":"info","module":12,
//  "module_name":"DATABASE","process":4242,"thread":4243,"application":"orders",
//  "text":"..."}
// Strings keep valid UTF-8 as it is and escape '"', '\\', every control character (C0,
// DEL, C1) and the line and paragraph separators; each byte that is not part of a valid
// UTF-8 sequence becomes \ufffd.
size_t renderJsonLine(const ksJsonRecord& record, char* out);

// The first line of a log in the JSON layout, in place of the text layout's "NAME:" line:
// {"time":"...","log_started":true,"process":4242,"application":"orders"} and a newline.
// out holds jsonLineBound of a record with the same time and application and no text.
size_t renderJsonLogStarted(const ksJsonRecord& start, char* out);

// The local time's offset from UTC in minutes, from the local time read at the given
// moment of the wall clock (microseconds since 1970): whole minutes, as every zone has.
int32_t utcOffsetMinutes(const ksPlatform::LocalTime& local, uint64_t wallClockMicroseconds);
