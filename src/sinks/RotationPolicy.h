// When the open log file gives way to a new one, and the name the full one takes.
// Opening a file computes its time boundary once; each record then costs comparisons.
#pragma once
#include <cstdint>
#include "foundation/String.h"
#include "platform/platform.h"
#include "sinks/RotationSettings.h"

// Converts seconds since 1970 into local calendar time (ksPlatform::localTimeAt; tests
// give a zone of their own).
using ksLocalTimeOf = bool (*)(int64_t seconds, ksPlatform::LocalTime* local);

constexpr int64_t kNoBoundary = INT64_MAX;

// The first moment after now, in seconds since 1970, at which period starts a new file:
// the next full hour, or the next dailyMinute of the local day. kNoBoundary for never, and
// when the local time cannot be known.
int64_t nextRotationBoundary(ksRotatePeriod period, int32_t dailyMinute, int64_t now,
                             ksLocalTimeOf toLocal);

class ksRotationPolicy {
  public:
    void configure(const ksRotationSettings& settings,
                   ksLocalTimeOf toLocal = ksPlatform::localTimeAt);
    // A file was opened at now holding size bytes (its first line included): the size it
    // had then is what a file must outgrow before its size can make it rotate.
    void opened(uint64_t size, int64_t now);
    // A line of length bytes written at now must go to a new file.
    bool isDue(uint64_t length, int64_t now) const {
        return now >= boundary_ || (size_ + length > maxSize_ && size_ > openedSize_ &&
                                    now >= retryAfter_);
    }
    void wrote(uint64_t length) { size_ += length; }
    // The size the system reports: other processes may append to the same file.
    void resized(uint64_t size) {
        if (size > size_)
            size_ = size;
    }
    // A rotation could not happen (the rename was refused): records go on into the same
    // file and the next attempt comes no sooner than the next second.
    void postpone(int64_t now);
    bool isActive() const { return active_; }

  private:
    bool active_ = false;
    ksRotatePeriod period_ = ksRotatePeriod::never;
    int32_t dailyMinute_ = 0;
    ksLocalTimeOf toLocal_ = ksPlatform::localTimeAt;
    uint64_t maxSize_ = UINT64_MAX;
    uint64_t size_ = 0;
    uint64_t openedSize_ = 0;
    int64_t boundary_ = kNoBoundary;
    int64_t retryAfter_ = 0;
};

// The name a full file takes: name's stem, ".", the local time of the rotation as
// YYYYMMDD-HHMMSS-mmm, then name's extension. app.log becomes app.20261207-231500-042.log,
// app becomes app.20261207-231500-042. Names of one log sort by age.
ksString rotatedLogName(const char* name, const ksPlatform::LocalTime& time);

// Where the last component of path begins: after its last separator ("/", and "\" where
// paths are Windows paths).
const char* lastComponent(const char* path);
