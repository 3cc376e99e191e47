// Rotation moments and rotated names.
#include "sinks/RotationPolicy.h"
#include <cstring>
#include "foundation/Format.h"

namespace {

constexpr int64_t kSecondsPerDay = 86400;

int32_t secondOfDay(const ksPlatform::LocalTime& time) {
    return time.hour * 3600 + time.minute * 60 + time.second;
}

// The next dailyMinute after now. Counted on the local clock, then checked: across a
// change of the zone's offset (summer time) the clock reading of the candidate shows by
// how much to move it.
int64_t nextDaily(int32_t dailyMinute, int64_t now, const ksPlatform::LocalTime& local,
                  ksLocalTimeOf toLocal) {
    int32_t target = dailyMinute * 60;
    int64_t wait = (target - secondOfDay(local) + kSecondsPerDay) % kSecondsPerDay;
    int64_t candidate = now + (wait == 0 ? kSecondsPerDay : wait);
    ksPlatform::LocalTime there;
    if (!toLocal(candidate, &there))
        return candidate;
    int64_t drift = target - secondOfDay(there);
    if (drift > kSecondsPerDay / 2)
        drift -= kSecondsPerDay;
    if (drift < -kSecondsPerDay / 2)
        drift += kSecondsPerDay;
    return candidate + drift > now ? candidate + drift : candidate;
}

} // namespace

int64_t nextRotationBoundary(ksRotatePeriod period, int32_t dailyMinute, int64_t now,
                             ksLocalTimeOf toLocal) {
    ksPlatform::LocalTime local;
    if (period == ksRotatePeriod::never || !toLocal(now, &local))
        return kNoBoundary;
    if (period == ksRotatePeriod::hourly)
        return now + 3600 - (local.minute * 60 + local.second);
    return nextDaily(dailyMinute, now, local, toLocal);
}

void ksRotationPolicy::configure(const ksRotationSettings& settings, ksLocalTimeOf toLocal) {
    active_ = settings.rotates();
    period_ = settings.period;
    dailyMinute_ = settings.dailyMinute;
    toLocal_ = toLocal;
    maxSize_ = settings.maxSize != 0 ? settings.maxSize : UINT64_MAX;
    boundary_ = kNoBoundary;
}

void ksRotationPolicy::opened(uint64_t size, int64_t now) {
    size_ = size;
    openedSize_ = size;
    retryAfter_ = 0;
    boundary_ = nextRotationBoundary(period_, dailyMinute_, now, toLocal_);
}

void ksRotationPolicy::postpone(int64_t now) {
    retryAfter_ = now + 1;
    if (boundary_ <= now)
        boundary_ = now + 1;
}

const char* lastComponent(const char* path) {
    const char* start = path;
    bool backslashes = ksPlatform::usesWindowsPaths();
    for (const char* at = path; *at; ++at)
        if (*at == '/' || (backslashes && *at == '\\'))
            start = at + 1;
    return start;
}

ksString rotatedLogName(const char* name, const ksPlatform::LocalTime& time) {
    const char* component = lastComponent(name);
    const char* dot = std::strrchr(component, '.');
    if (!dot || dot == component)
        dot = component + std::strlen(component); // no extension: the stamp goes last
    char stamp[40];
    ksFormatBuffer(stamp, sizeof stamp, ".%04d%02d%02d-%02d%02d%02d-%03d", time.year, time.month,
                   time.day, time.hour, time.minute, time.second, time.millisecond);
    ksString rotated(name, dot - name);
    rotated.append(stamp, std::strlen(stamp));
    rotated.append(dot, std::strlen(dot));
    return rotated;
}
