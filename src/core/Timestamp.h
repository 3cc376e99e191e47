// The record's timestamp text: taken once per record, however many sinks write it.
#pragma once
#include <cstdint>
#include "ksLog.h"
#include "platform/platform.h"

// The text of time into the record's timeText and timeLength: "%02d:%02d:%02d:%03d", or
// "%02d/%02d/%04d %02d:%02d:%02d:%03d" (month, day, year first) when the options ask
// for the date.
void formatRecordTime(ksLogRecord* record, const ksPlatform::LocalTime& time);

// The record's timestamp, from one reading of the record clock (recordCalls.clock),
// when the record has none yet. Under the library lock.
void stampRecordNow(ksLogRecord* record);
inline void stampRecord(ksLogRecord* record) {
    if (record->timeLength == 0)
        stampRecordNow(record);
}

// The local time of the record most recently stamped: the open record's, once stamped.
const ksPlatform::LocalTime& stampedLocalTime();

// The open record's clock reading (microseconds since 1970) once it is stamped, so that
// the sinks' time checks need no clock of their own; 0 otherwise. Under the library lock.
extern uint64_t ksClockOfOpenRecord;
// The open record's reading, or outside a stamped record the clock read afresh.
inline uint64_t recordClock() {
    uint64_t stamped = ksClockOfOpenRecord;
    return stamped != 0 ? stamped : ksPlatform::recordCalls.clock();
}
// The record is closed: its reading no longer stands for "now".
inline void forgetRecordClock() {
    ksClockOfOpenRecord = 0;
}
