// Local time and the wall clock on POSIX.
#include "platform/platform.h"
#include <ctime>

namespace ksPlatform {

// The calendar fields change once a second while records come by the thousand: each
// thread keeps the last second's conversion, which the C library would repeat under its
// time-zone lock.
LocalTime localTime() {
    thread_local time_t lastSeconds = -1;
    thread_local tm lastParts{};
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    time_t seconds = now.tv_sec;
    if (seconds != lastSeconds) {
        localtime_r(&seconds, &lastParts);
        lastSeconds = seconds;
    }
    return LocalTime{lastParts.tm_year + 1900,
                     lastParts.tm_mon + 1,
                     lastParts.tm_mday,
                     lastParts.tm_hour,
                     lastParts.tm_min,
                     lastParts.tm_sec,
                     static_cast<int>(now.tv_nsec / 1000000)};
}

uint64_t wallClockMicroseconds() {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    return static_cast<uint64_t>(now.tv_sec) * 1000000u +
           static_cast<uint64_t>(now.tv_nsec) / 1000u;
}

} // namespace ksPlatform
