// Local time and the wall clock on POSIX.
#include "platform/platform.h"
#include <atomic>
#include <ctime>

namespace ksPlatform {

namespace {

// The calendar part of the last second converted. localtime_r costs far more than the
// clock, and every record asks for the time: within one second the conversion is reused.
// A sequence counter (odd while written) lets readers on any thread check that the
// fields they read belong to one second; a reader that loses a race converts itself.
struct CachedSecond {
    std::atomic<uint32_t> sequence{0};
    std::atomic<int64_t> second{-1};
    std::atomic<uint64_t> calendar{0}; // year, month, day, hour, minute, second packed
};
CachedSecond cache;

uint64_t pack(const tm& parts) {
    return (static_cast<uint64_t>(static_cast<uint32_t>(parts.tm_year)) << 32) |
           (static_cast<uint64_t>(parts.tm_mon) << 24) |
           (static_cast<uint64_t>(parts.tm_mday) << 18) |
           (static_cast<uint64_t>(parts.tm_hour) << 12) |
           (static_cast<uint64_t>(parts.tm_min) << 6) | static_cast<uint64_t>(parts.tm_sec);
}

LocalTime unpack(uint64_t packed, int millisecond) {
    return LocalTime{static_cast<int32_t>(packed >> 32) + 1900,
                     static_cast<int>((packed >> 24) & 0xFF) + 1,
                     static_cast<int>((packed >> 18) & 0x3F),
                     static_cast<int>((packed >> 12) & 0x3F),
                     static_cast<int>((packed >> 6) & 0x3F),
                     static_cast<int>(packed & 0x3F),
                     millisecond};
}

bool cachedCalendar(int64_t second, uint64_t* packed) {
    uint32_t before = cache.sequence.load(std::memory_order_acquire);
    if (before & 1)
        return false;
    // Acquire: the sequence is read again only after the fields.
    int64_t cachedSecond = cache.second.load(std::memory_order_acquire);
    uint64_t calendar = cache.calendar.load(std::memory_order_acquire);
    if (cache.sequence.load(std::memory_order_relaxed) != before || cachedSecond != second)
        return false;
    *packed = calendar;
    return true;
}

void rememberCalendar(int64_t second, uint64_t packed) {
    uint32_t before = cache.sequence.load(std::memory_order_relaxed);
    if ((before & 1) ||
        !cache.sequence.compare_exchange_strong(before, before + 1, std::memory_order_relaxed))
        return; // another thread is writing: leave the cache to it
    // Release: a reader that sees a field also sees the odd sequence stored before it.
    cache.second.store(second, std::memory_order_release);
    cache.calendar.store(packed, std::memory_order_release);
    cache.sequence.store(before + 2, std::memory_order_release);
}

} // namespace

LocalTime localTime() {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    int millisecond = static_cast<int>(now.tv_nsec / 1000000);
    uint64_t packed;
    if (cachedCalendar(now.tv_sec, &packed))
        return unpack(packed, millisecond);
    tm parts{};
    time_t seconds = now.tv_sec;
    localtime_r(&seconds, &parts);
    packed = pack(parts);
    rememberCalendar(now.tv_sec, packed);
    return unpack(packed, millisecond);
}

bool localTimeAt(int64_t secondsSince1970, LocalTime* local) {
    time_t seconds = static_cast<time_t>(secondsSince1970);
    tm parts{};
    if (static_cast<int64_t>(seconds) != secondsSince1970 || !localtime_r(&seconds, &parts))
        return false;
    *local = LocalTime{parts.tm_year + 1900,
                       parts.tm_mon + 1,
                       parts.tm_mday,
                       parts.tm_hour,
                       parts.tm_min,
                       parts.tm_sec,
                       0};
    return true;
}

uint64_t wallClockMicroseconds() {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    return static_cast<uint64_t>(now.tv_sec) * 1000000u +
           static_cast<uint64_t>(now.tv_nsec) / 1000u;
}

} // namespace ksPlatform
