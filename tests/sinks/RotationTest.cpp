// When a log file rotates, what its rotated name is, and how the rotation keys read.
#include <gtest/gtest.h>
#include <cstdio>
#include <filesystem>
#include "config/Scenario.h"
#include "sinks/RotationPolicy.h"
#include "sinks/RotationSettings.h"

namespace {

// Calendar of a day count since 1970 (proleptic Gregorian), for zones of the tests' own.
void civilFromDays(int64_t days, ksPlatform::LocalTime* t) {
    days += 719468;
    int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    int64_t dayOfEra = days - era * 146097;
    int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    int64_t shifted = (5 * dayOfYear + 2) / 153;
    t->day = static_cast<int>(dayOfYear - (153 * shifted + 2) / 5 + 1);
    t->month = static_cast<int>(shifted < 10 ? shifted + 3 : shifted - 9);
    t->year = static_cast<int>(yearOfEra + era * 400 + (t->month <= 2));
}

bool withOffset(int64_t seconds, int64_t offset, ksPlatform::LocalTime* t) {
    int64_t local = seconds + offset;
    int64_t days = (local >= 0 ? local : local - 86399) / 86400;
    int64_t second = local - days * 86400;
    civilFromDays(days, t);
    t->hour = static_cast<int>(second / 3600);
    t->minute = static_cast<int>(second / 60 % 60);
    t->second = static_cast<int>(second % 60);
    t->millisecond = 0;
    return true;
}

bool utc(int64_t seconds, ksPlatform::LocalTime* t) {
    return withOffset(seconds, 0, t);
}

// 2026-03-29 01:00 UTC: clocks go from 01:00 to 03:00 local (UTC+1 to UTC+2).
constexpr int64_t kSummerStart = 1774746000;
bool centralEurope(int64_t seconds, ksPlatform::LocalTime* t) {
    return withOffset(seconds, seconds < kSummerStart ? 3600 : 7200, t);
}

bool noZone(int64_t, ksPlatform::LocalTime*) {
    return false;
}

constexpr int64_t kDec7 = 1796601600;                         // 2026-12-07 00:00:00 UTC
constexpr int64_t kMarch19 = kSummerStart - 10 * 86400 - 3600; // 2026-03-19 00:00:00 UTC

} // namespace

TEST(RotationSettings, SizesAndSchedulesReadOrAreRefused) {
    struct SizeCase {
        const char* text;
        bool accepted;
        uint64_t bytes;
    } sizes[] = {
        {"0", true, 0},           {"10", true, 10},
        {"10K", true, 10240},     {"10k", true, 10240},
        {"2M", true, 2097152},    {"1g", true, 1073741824},
        {"4611686018427387904", true, uint64_t{1} << 62},
        {"4294967296G", true, uint64_t{1} << 62},
        {"4294967297G", false, 0}, {"4611686018427387905", false, 0},
        {"99999999999999999999999", false, 0},
        {"", false, 0},           {"-5", false, 0},
        {"+5", false, 0},         {"1.5M", false, 0},
        {"10KB", false, 0},       {"K", false, 0},
        {" 10", false, 0},        {"10T", false, 0},
    };
    for (const SizeCase& c : sizes) {
        uint64_t bytes = 0;
        EXPECT_EQ(parseByteSize(c.text, &bytes), c.accepted) << c.text;
        if (c.accepted) {
            EXPECT_EQ(bytes, c.bytes) << c.text;
        }
    }
    struct ScheduleCase {
        const char* text;
        bool accepted;
        ksRotatePeriod period;
        int32_t minute;
    } schedules[] = {
        {"daily", true, ksRotatePeriod::daily, 0},
        {"DAILY", true, ksRotatePeriod::daily, 0},
        {"hourly", true, ksRotatePeriod::hourly, 0},
        {"Hourly", true, ksRotatePeriod::hourly, 0},
        {"daily@07:30", true, ksRotatePeriod::daily, 450},
        {"daily@7:30", true, ksRotatePeriod::daily, 450},
        {"Daily@23:59", true, ksRotatePeriod::daily, 1439},
        {"daily@00:00", true, ksRotatePeriod::daily, 0},
        {"daily@24:00", false, {}, 0},
        {"daily@12:60", false, {}, 0},
        {"daily@", false, {}, 0},
        {"daily@1230", false, {}, 0},
        {"daily@12:3", false, {}, 0},
        {"daily@12:300", false, {}, 0},
        {"daily@123:00", false, {}, 0},
        {"hourly@10:00", false, {}, 0},
        {"weekly", false, {}, 0},
        {"dailyx", false, {}, 0},
        {"", false, {}, 0},
    };
    for (const ScheduleCase& c : schedules) {
        ksRotatePeriod period = ksRotatePeriod::never;
        int32_t minute = -1;
        EXPECT_EQ(parseRotateSchedule(c.text, &period, &minute), c.accepted) << c.text;
        if (c.accepted) {
            EXPECT_EQ(period, c.period) << c.text;
            if (period == ksRotatePeriod::daily) {
                EXPECT_EQ(minute, c.minute) << c.text;
            }
        }
    }
}

KSLOG_CHILD(rotationSettings) {
    ksRotationSettings s = readRotationSettings("File");
    std::printf("%llu %d %d %u %u\n", static_cast<unsigned long long>(s.maxSize),
                static_cast<int>(s.period), s.dailyMinute, s.keep, s.maxAgeDays);
    return 0;
}

// Populate mode writes every key it misses; these four it reads and never writes back,
// and unusable values mean no limit.
TEST(RotationSettings, KeysAreReadWithoutWriteBackAndBadValuesMeanNoLimit) {
    struct Case {
        const char* file;
        const char* printed;
    } cases[] = {
        {"[options]\npopulate=1\n[File]\nMaxSize=5M\nRotate=daily@06:15\nKeep=7\nMaxAge=30\n",
         "5242880 2 375 7 30\n"},
        {"[options]\npopulate=1\n", "0 0 0 0 0\n"},
        {"[options]\npopulate=1\n[File]\nMaxSize=5X\nRotate=weekly\nKeep=-3\nMaxAge=x\n",
         "0 0 0 0 0\n"},
        {"[File]\nRotate=hourly\nKeep=0\n", "0 1 0 0 0\n"},
    };
    for (const Case& c : cases) {
        TempDir dir;
        std::string program = copyTestProgram(dir.path());
        std::string app = std::filesystem::path(program).filename().string();
        writeFileBytes(dir.file("ksLog." + app + ".ini"), c.file);
        ChildResult r = runChild("rotationSettings", {}, program);
        EXPECT_EQ(r.output, c.printed) << c.file;
        EXPECT_FALSE(fileExists(dir.file("_ksLog." + app + ".ini"))) << c.file;
    }
}

TEST(RotationPolicy, BoundariesFollowTheLocalClock) {
    struct Case {
        ksRotatePeriod period;
        int32_t minute;
        int64_t now;
        ksLocalTimeOf zone;
        int64_t expected;
    } cases[] = {
        {ksRotatePeriod::hourly, 0, kDec7 + 10 * 3600 + 20 * 60 + 30, utc, kDec7 + 11 * 3600},
        {ksRotatePeriod::hourly, 0, kDec7 + 11 * 3600, utc, kDec7 + 12 * 3600},
        {ksRotatePeriod::daily, 0, kDec7 - 1, utc, kDec7},
        {ksRotatePeriod::daily, 0, kDec7, utc, kDec7 + 86400},
        {ksRotatePeriod::daily, 450, kDec7 + 7 * 3600 + 29 * 60 + 59, utc, kDec7 + 27000},
        {ksRotatePeriod::daily, 450, kDec7 + 27000, utc, kDec7 + 86400 + 27000},
        {ksRotatePeriod::daily, 450, kDec7 + 86400 * 3, utc, kDec7 + 86400 * 3 + 27000},
        // Local midnight in UTC+1 is 23:00 UTC the day before.
        {ksRotatePeriod::daily, 0, kMarch19, centralEurope, kMarch19 + 23 * 3600},
        // Summer time begins that night: 06:00 local on 29 March is 04:00 UTC, not 05:00.
        {ksRotatePeriod::daily, 360, kSummerStart - 5 * 3600, centralEurope,
         kSummerStart + 3 * 3600},
        {ksRotatePeriod::never, 0, kDec7, utc, kNoBoundary},
        {ksRotatePeriod::daily, 0, kDec7, noZone, kNoBoundary},
    };
    for (const Case& c : cases)
        EXPECT_EQ(nextRotationBoundary(c.period, c.minute, c.now, c.zone), c.expected)
            << c.now << " " << c.minute;
}

// A file holds at least one record, whatever its size; a refused rotation waits a second.
TEST(RotationPolicy, SizeAndTimeMakeARecordDue) {
    ksRotationSettings settings;
    settings.maxSize = 100;
    settings.period = ksRotatePeriod::hourly;
    ksRotationPolicy policy;
    policy.configure(settings, utc);
    const int64_t start = kDec7 + 10 * 3600;
    policy.opened(30, start);
    EXPECT_FALSE(policy.isDue(500, start)) << "only the first line is in the file";
    EXPECT_FALSE(policy.isDue(70, start));
    policy.wrote(70);
    EXPECT_FALSE(policy.isDue(0, start));
    EXPECT_TRUE(policy.isDue(1, start));
    policy.postpone(start);
    EXPECT_FALSE(policy.isDue(1, start));
    EXPECT_TRUE(policy.isDue(1, start + 1));
    policy.opened(30, start + 1);
    policy.resized(90); // another process appended
    EXPECT_TRUE(policy.isDue(20, start + 1));
    EXPECT_FALSE(policy.isDue(0, start + 3599));
    EXPECT_TRUE(policy.isDue(0, start + 3600));
}

TEST(RotationPolicy, RotatedNamesPutTheStampBeforeTheExtension) {
    const ksPlatform::LocalTime t{2026, 12, 7, 23, 15, 0, 42};
    struct Case {
        const char* name;
        const char* rotated;
    } cases[] = {
        {"logs/app.log", "logs/app.20261207-231500-042.log"},
        {"app", "app.20261207-231500-042"},
        {".profile", ".profile.20261207-231500-042"},
        {"dir.d/app", "dir.d/app.20261207-231500-042"},
        {"a/b.tar.gz", "a/b.tar.20261207-231500-042.gz"},
        {"/var/log/orders_20261207.log", "/var/log/orders_20261207.20261207-231500-042.log"},
    };
    for (const Case& c : cases)
        EXPECT_STREQ(rotatedLogName(c.name, t).c_str(), c.rotated) << c.name;
}
