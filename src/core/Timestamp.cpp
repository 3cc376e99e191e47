// The timestamp text. Within one second only the milliseconds change: the rest of the
// text is kept from the last record (under the library lock, like the record itself)
// and the three digits put in.
#include "core/Timestamp.h"
#include <cstring>
#include "core/Options.h"
#include "foundation/Format.h"

namespace {

struct TimeText {
    ksPlatform::LocalTime time; // the second it was formatted for; millisecond unused
    uint16_t showDate;
    uint64_t length; // 0: nothing kept
    char text[sizeof ksLogRecord::timeText];
};
TimeText lastTimeText;
ksPlatform::LocalTime stamped{};

bool sameSecond(const ksPlatform::LocalTime& a, const ksPlatform::LocalTime& b) {
    return a.second == b.second && a.minute == b.minute && a.hour == b.hour && a.day == b.day &&
           a.month == b.month && a.year == b.year;
}

void putMilliseconds(char* end, int millisecond) {
    end[-3] = static_cast<char>('0' + millisecond / 100);
    end[-2] = static_cast<char>('0' + millisecond / 10 % 10);
    end[-1] = static_cast<char>('0' + millisecond % 10);
}

} // namespace

const ksPlatform::LocalTime& stampedLocalTime() {
    return stamped;
}

void formatRecordTime(ksLogRecord* record, const ksPlatform::LocalTime& t) {
    stamped = t;
    bool plainMilliseconds = t.millisecond >= 0 && t.millisecond <= 999;
    if (plainMilliseconds && lastTimeText.length != 0 &&
        lastTimeText.showDate == ksOptions.showDate && sameSecond(lastTimeText.time, t)) {
        std::memcpy(record->timeText, lastTimeText.text, 24); // the longest form and more
        record->timeLength = lastTimeText.length;
        putMilliseconds(record->timeText + record->timeLength, t.millisecond);
        return;
    }
    int n = ksOptions.showDate
                ? ksFormatBuffer(record->timeText, sizeof record->timeText,
                                 "%02d/%02d/%04d %02d:%02d:%02d:%03d", t.month, t.day, t.year,
                                 t.hour, t.minute, t.second, t.millisecond)
                : ksFormatBuffer(record->timeText, sizeof record->timeText, "%02d:%02d:%02d:%03d",
                                 t.hour, t.minute, t.second, t.millisecond);
    record->timeLength = n > 0 ? static_cast<uint64_t>(n) : 0;
    if (record->timeLength >= sizeof record->timeText)
        record->timeLength = sizeof record->timeText - 1;
    lastTimeText.length = 0;
    if (plainMilliseconds && record->timeLength >= 3 && record->timeLength < 24) {
        lastTimeText.time = t;
        lastTimeText.showDate = ksOptions.showDate;
        std::memcpy(lastTimeText.text, record->timeText, sizeof lastTimeText.text);
        lastTimeText.length = record->timeLength;
    }
}
