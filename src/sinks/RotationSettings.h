// How long one log file lives and how many old ones stay: the [File] keys "MaxSize",
// "Rotate", "Keep" and "MaxAge". They are read without being written back in populate
// mode, so the write file that populate mode produces stays as it was. A missing or
// unusable value means "no limit", which is the file sink's behaviour without the keys.
#pragma once
#include <cstdint>

enum class ksRotatePeriod { never, hourly, daily };

struct ksRotationSettings {
    uint64_t maxSize = 0;                        // bytes; 0: no size limit
    ksRotatePeriod period = ksRotatePeriod::never;
    int32_t dailyMinute = 0;                     // daily: the boundary's minute of the day
    uint32_t keep = 0;                           // rotated files kept; 0: all
    uint32_t maxAgeDays = 0;                     // 0: no age limit

    bool rotates() const { return maxSize != 0 || period != ksRotatePeriod::never; }
    bool retains() const { return keep != 0 || maxAgeDays != 0; }
};

// Decimal digits with an optional K, M or G (either case; 1024, 1024², 1024³). False for
// anything else: no digits, a sign, other letters, a value that does not fit in 2^62.
bool parseByteSize(const char* text, uint64_t* bytes);

// "daily", "hourly" (either case), or "daily@H:MM" / "daily@HH:MM" (local time, 00:00 to
// 23:59). False for anything else.
bool parseRotateSchedule(const char* text, ksRotatePeriod* period, int32_t* dailyMinute);

// The four keys of section section, read without populate write-back.
ksRotationSettings readRotationSettings(const char* section);
