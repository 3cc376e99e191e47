// The log file name pattern, and the local time it and the line prefix are taken from.
#include <gtest/gtest.h>
#include <thread>
#include <vector>
#include "platform/platform.h"
#include "sinks/LogFileName.h"

namespace {

const ksPlatform::LocalTime lastSecondOfJanuary{2024, 1, 31, 23, 59, 7, 0};
const ksPlatform::LocalTime earlyMorning{2040, 3, 4, 5, 6, 8, 0};

} // namespace

TEST(LogFileName, TokensAreReplacedInOrderEveryOccurrenceAndNotSearchedAgain) {
    struct Case {
        const char* pattern;
        const ksPlatform::LocalTime* time;
        const char* application;
        const char* expected;
    } cases[] = {
        {"log_%n_%y%m%d_%H%M%S.txt", &lastSecondOfJanuary, "app", "log_app_20240131_235907.txt"},
        {"%d-%d", &lastSecondOfJanuary, "app", "31-31"},
        {"%y%m%d%H%M%S", &earlyMorning, "app", "20400304050608"},
        {"%Y %D %N %h %s %%", &earlyMorning, "app", "%Y %D %N %h %s %%"},
        {"%n.log", &earlyMorning, "my%d%n", "my%d%n.log"}, // the name is inserted last
        {"%y%n%m", nullptr, "app", "%yapp%m"},             // no time: time tokens stay
        {"%%yy", &earlyMorning, "app", "%2040y"},
        {"", &earlyMorning, "app", ""},
    };
    for (const Case& c : cases)
        EXPECT_STREQ(logFileName(c.pattern, c.time, c.application).c_str(), c.expected)
            << c.pattern;
}

// 2040-07-01 12:00 UTC is the first of July in every time zone.
TEST(LogFileName, LocalTimeOfAMomentAfter2038) {
    ksPlatform::LocalTime time{};
    ASSERT_TRUE(ksPlatform::localTimeAt(2224756800, &time));
    EXPECT_EQ(time.year, 2040);
    EXPECT_EQ(time.month, 7);
    EXPECT_EQ(time.day, 1);
    EXPECT_EQ(time.millisecond, 0);
}

// The prefix's clock reuses the calendar within a second: whatever thread asks, it must
// agree with a fresh conversion of the same second.
TEST(LogFileName, TheRecordClockAgreesWithAFreshConversion) {
    auto agreeing = [] {
        int checked = 0;
        for (int i = 0; i < 20000; ++i) {
            uint64_t before = ksPlatform::wallClockMicroseconds() / 1000000u;
            ksPlatform::LocalTime now = ksPlatform::localTime();
            uint64_t after = ksPlatform::wallClockMicroseconds() / 1000000u;
            ksPlatform::LocalTime fresh{};
            if (before != after || !ksPlatform::localTimeAt(static_cast<int64_t>(before), &fresh))
                continue;
            bool same = now.year == fresh.year && now.month == fresh.month &&
                        now.day == fresh.day && now.hour == fresh.hour &&
                        now.minute == fresh.minute && now.second == fresh.second &&
                        now.millisecond >= 0 && now.millisecond < 1000;
            if (!same)
                return -1;
            ++checked;
        }
        return checked;
    };
    std::vector<int> results(2);
    std::vector<std::thread> threads;
    for (int t = 0; t < 2; ++t)
        threads.emplace_back([&, t] { results[t] = agreeing(); });
    for (std::thread& thread : threads)
        thread.join();
    for (int result : results)
        EXPECT_GT(result, 0);
}
