// The log file name pattern.
#include "sinks/LogFileName.h"
#include "foundation/Format.h"

namespace {

void replaceToken(ksString& name, const char* token, const char* format, int value) {
    char digits[16];
    ksFormatBuffer(digits, sizeof digits, format, static_cast<unsigned long>(value));
    name.replace(token, digits, true);
}

} // namespace

ksString logFileName(const char* pattern, const ksPlatform::LocalTime* time,
                     const char* application) {
    ksString name(pattern);
    if (time) {
        replaceToken(name, "%y", "%04lu", time->year);
        replaceToken(name, "%m", "%02lu", time->month);
        replaceToken(name, "%d", "%02lu", time->day);
        replaceToken(name, "%H", "%02lu", time->hour);
        replaceToken(name, "%M", "%02lu", time->minute);
        replaceToken(name, "%S", "%02lu", time->second);
    }
    name.replace("%n", application, true);
    return name;
}

bool logFileTime(ksPlatform::LocalTime* time) {
    int64_t seconds = static_cast<int64_t>(ksPlatform::wallClockMicroseconds() / 1000000u);
    return ksPlatform::localTimeAt(seconds, time);
}
