// The timestamp text. The clock is read once per record; the calendar text of its second
// is kept (under the library lock, like the record itself), so that within one second a
// record copies it and puts in the three digits of its milliseconds.
#include "core/Timestamp.h"
#include <cstring>
#include "core/Options.h"
#include "foundation/Format.h"

namespace {

// The text of the latest second stamped, its milliseconds "000".
struct SecondText {
    int64_t second = INT64_MIN; // INT64_MIN: nothing kept
    uint16_t showDate = 0;
    uint64_t length = 0;
    char text[24] = {}; // the longest form, its terminator, and zeros
};
SecondText kept;
ksPlatform::LocalTime stamped{};

int formatTime(char* out, size_t size, const ksPlatform::LocalTime& t) {
    return ksOptions.showDate
               ? ksFormatBuffer(out, size, "%02d/%02d/%04d %02d:%02d:%02d:%03d", t.month, t.day,
                                t.year, t.hour, t.minute, t.second, t.millisecond)
               : ksFormatBuffer(out, size, "%02d:%02d:%02d:%03d", t.hour, t.minute, t.second,
                                t.millisecond);
}

void putMilliseconds(char* end, int millisecond) {
    end[-3] = static_cast<char>('0' + millisecond / 100);
    end[-2] = static_cast<char>('0' + millisecond / 10 % 10);
    end[-1] = static_cast<char>('0' + millisecond % 10);
}

// Converts and formats the second once; false when the system cannot say its local time
// or the text does not fit the kept form.
bool keepSecond(int64_t second) {
    kept.second = INT64_MIN;
    if (!ksPlatform::localTimeAt(second, &stamped))
        return false;
    std::memset(kept.text, 0, sizeof kept.text);
    int n = formatTime(kept.text, sizeof kept.text, stamped);
    if (n < 3 || n >= static_cast<int>(sizeof kept.text))
        return false;
    kept.length = static_cast<uint64_t>(n);
    kept.showDate = ksOptions.showDate;
    kept.second = second;
    return true;
}

} // namespace

uint64_t ksClockOfOpenRecord = 0;

const ksPlatform::LocalTime& stampedLocalTime() {
    return stamped;
}

void formatRecordTime(ksLogRecord* record, const ksPlatform::LocalTime& t) {
    stamped = t;
    kept.second = INT64_MIN; // the kept second's calendar is no longer in stamped
    int n = formatTime(record->timeText, sizeof record->timeText, t);
    record->timeLength = n > 0 ? static_cast<uint64_t>(n) : 0;
    if (record->timeLength >= sizeof record->timeText)
        record->timeLength = sizeof record->timeText - 1;
}

namespace {

// A second not kept yet (or a date option changed): converted and formatted once.
[[gnu::noinline]] void stampNewSecond(ksLogRecord* record, int64_t second, int millisecond) {
    if (!keepSecond(second))
        return formatRecordTime(record, ksPlatform::localTime());
    std::memcpy(record->timeText, kept.text, sizeof kept.text);
    record->timeLength = kept.length;
    putMilliseconds(record->timeText + kept.length, millisecond);
    stamped.millisecond = millisecond;
}

} // namespace

void stampRecordNow(ksLogRecord* record) {
    uint64_t now = ksPlatform::recordCalls.clock();
    ksClockOfOpenRecord = now;
    uint64_t second = now / 1000000u;
    int millisecond = static_cast<int>(static_cast<uint32_t>(now - second * 1000000u) / 1000u);
    if (static_cast<int64_t>(second) != kept.second || ksOptions.showDate != kept.showDate)
        return stampNewSecond(record, static_cast<int64_t>(second), millisecond);
    std::memcpy(record->timeText, kept.text, sizeof kept.text);
    record->timeLength = kept.length;
    putMilliseconds(record->timeText + kept.length, millisecond);
    stamped.millisecond = millisecond;
}
