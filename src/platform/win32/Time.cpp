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

bool localTimeAt(int64_t secondsSince1970, LocalTime* local) {
    constexpr int64_t ticksPerSecond = 10000000;
    constexpr int64_t ticksTo1970 = 116444736000000000;
    // FILETIME counts from 1601 and SYSTEMTIME stops at year 30827.
    if (secondsSince1970 < -ticksTo1970 / ticksPerSecond ||
        secondsSince1970 > (INT64_MAX - ticksTo1970) / ticksPerSecond)
        return false;
    uint64_t ticks = static_cast<uint64_t>(secondsSince1970 * ticksPerSecond + ticksTo1970);
    FILETIME moment{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
    SYSTEMTIME universal, here;
    if (!FileTimeToSystemTime(&moment, &universal) ||
        !SystemTimeToTzSpecificLocalTime(nullptr, &universal, &here))
        return false;
    *local =
        LocalTime{here.wYear, here.wMonth, here.wDay, here.wHour, here.wMinute, here.wSecond, 0};
    return true;
}

uint64_t wallClockMicroseconds() {
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    uint64_t ticks = (static_cast<uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
    // 100-nanosecond units since 1601-01-01 to microseconds since 1970-01-01.
    return (ticks - 116444736000000000ull) / 10u;
}

} // namespace ksPlatform
