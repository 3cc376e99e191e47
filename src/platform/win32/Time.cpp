// Local time and the wall clock on Windows.
#include "platform/platform.h"
#include <windows.h>

namespace ksPlatform {

LocalTime localTime() {
    SYSTEMTIME now;
    GetLocalTime(&now);
    return LocalTime{now.wYear,   now.wMonth,  now.wDay,         now.wHour,
                     now.wMinute, now.wSecond, now.wMilliseconds};
}

uint64_t wallClockMicroseconds() {
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    uint64_t ticks = (static_cast<uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
    // 100-nanosecond units since 1601-01-01 to microseconds since 1970-01-01.
    return (ticks - 116444736000000000ull) / 10u;
}

} // namespace ksPlatform
