// The prefix's timestamp, byte for byte as its printf formats give it, with and without
// the date, for real clock readings and for fields out of their ranges.
#include <gtest/gtest.h>
#include <cstdio>
#include <string>
#include "core/TimeText.h"

namespace {

std::string printed(const ksPlatform::LocalTime& t, bool showDate, size_t size) {
    std::string text(size, '\0');
    int n = showDate ? std::snprintf(text.data(), size, "%02d/%02d/%04d %02d:%02d:%02d:%03d",
                                     t.month, t.day, t.year, t.hour, t.minute, t.second,
                                     t.millisecond)
                     : std::snprintf(text.data(), size, "%02d:%02d:%02d:%03d", t.hour, t.minute,
                                     t.second, t.millisecond);
    return std::to_string(n) + " " + text.c_str();
}

std::string rendered(const ksPlatform::LocalTime& t, bool showDate, size_t size) {
    std::string text(size, 'x');
    int n = ksFormatTimeText(text.data(), size, t, showDate);
    return std::to_string(n) + " " + text.c_str();
}

} // namespace

TEST(TimeText, SameTextAsTheFormats) {
    const ksPlatform::LocalTime times[] = {
        {2026, 12, 7, 9, 5, 7, 42},   {1970, 1, 1, 0, 0, 0, 0},     {9999, 12, 31, 23, 59, 59, 999},
        {10000, 1, 2, 3, 4, 5, 6},    {2026, 1, 2, 3, 4, 60, 1000}, {2026, -1, 2, 3, 4, 5, 6},
        {0, 100, 2, 3, 4, 5, 6},      {2026, 6, 15, -3, 4, 5, 6},
    };
    const size_t sizes[] = {40, 24, 23, 13, 12, 1};
    for (const auto& t : times)
        for (bool showDate : {false, true})
            for (size_t size : sizes)
                EXPECT_EQ(rendered(t, showDate, size), printed(t, showDate, size))
                    << t.year << "-" << t.month << " date " << showDate << " size " << size;
}
