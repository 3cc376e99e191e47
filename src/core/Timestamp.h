// The record's timestamp text: taken once per record, however many sinks write it.
#pragma once
#include "ksLog.h"
#include "platform/platform.h"

// The text of time into the record's timeText and timeLength: "%02d:%02d:%02d:%03d", or
// "%02d/%02d/%04d %02d:%02d:%02d:%03d" (month, day, year first) when the options ask
// for the date.
void formatRecordTime(ksLogRecord* record, const ksPlatform::LocalTime& time);

// The local time of the record most recently stamped: the open record's, once stamped.
const ksPlatform::LocalTime& stampedLocalTime();

// The record's timestamp text, read from the clock when the record has none yet.
inline void stampRecord(ksLogRecord* record) {
    if (record->timeLength == 0)
        formatRecordTime(record, ksPlatform::localTime());
}
