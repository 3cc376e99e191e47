// The JSON layout's bytes: the object's fields, the escaping of any text, the UTC offset.
#include <gtest/gtest.h>
#include <string>
#include <vector>
#include "core/JsonLine.h"

namespace {

const ksPlatform::LocalTime lastSecondOfJanuary{2024, 1, 31, 23, 59, 7, 42};

ksJsonRecord recordWith(const std::string& text) {
    return ksJsonRecord{lastSecondOfJanuary, 60,         3, 12, "DATABASE", 4242, 4243, "orders",
                        text.data(),         text.size()};
}

std::string render(const ksJsonRecord& record) {
    std::vector<char> out(jsonLineBound(record));
    size_t length = renderJsonLine(record, out.data());
    EXPECT_LE(length, out.size());
    return std::string(out.data(), length);
}

// The text field as rendered, between its quotes.
std::string renderedText(const std::string& text) {
    std::string line = render(recordWith(text));
    size_t start = line.find(",\"text\":\"") + 9;
    return line.substr(start, line.size() - start - 3); // "}\n after it
}

} // namespace

TEST(JsonLine, OneObjectOnOneLine) {
    EXPECT_EQ(render(recordWith("hello\n")),
              "{\"time\":\"2024-01-31T23:59:07.042+01:00\",\"level\":\"info\",\"module\":12,"
              "\"module_name\":\"DATABASE\",\"process\":4242,\"thread\":4243,"
              "\"application\":\"orders\",\"text\":\"hello\"}\n");
}

TEST(JsonLine, LogStartedObject) {
    const std::string noText;
    ksJsonRecord start = recordWith(noText);
    start.application = "my \"app\"";
    std::vector<char> out(jsonLineBound(start));
    EXPECT_EQ(std::string(out.data(), renderJsonLogStarted(start, out.data())),
              "{\"time\":\"2024-01-31T23:59:07.042+01:00\",\"log_started\":true,"
              "\"process\":4242,\"application\":\"my \\\"app\\\"\"}\n");
}

TEST(JsonLine, FieldsOfEveryLevelModuleAndZone) {
    struct Case {
        uint16_t level;
        const char* moduleName;
        int32_t offset;
        const char* expected; // from the level to the module name
    } cases[] = {
        {0, nullptr, 0, "+00:00\",\"level\":\"error\",\"module\":12,\"module_name\":null"},
        {1, "A\"B", -300, "-05:00\",\"level\":\"error\",\"module\":12,\"module_name\":\"A\\\"B\""},
        {2, "DATABASE", 345,
         "+05:45\",\"level\":\"warning\",\"module\":12,\"module_name\":\"DATABASE\""},
        {4, "DATABASE", -570,
         "-09:30\",\"level\":\"debug\",\"module\":12,\"module_name\":\"DATABASE\""},
        {65535, "DATABASE", 840,
         "+14:00\",\"level\":\"debug\",\"module\":12,\"module_name\":\"DATABASE\""},
    };
    for (const Case& c : cases) {
        const std::string text = "x";
        ksJsonRecord record = recordWith(text);
        record.level = c.level;
        record.moduleName = c.moduleName;
        record.utcOffsetMinutes = c.offset;
        EXPECT_NE(render(record).find(c.expected), std::string::npos) << render(record);
    }
}

TEST(JsonLine, TextIsValidJsonAndUtf8WhateverItsBytes) {
    struct Case {
        std::string text;
        std::string expected;
    } cases[] = {
        {"hello\n", "hello"},
        {"two ends\n\n", "two ends\\n"},
        {"no line end", "no line end"},
        {"say \"hi\" \\ bye", "say \\\"hi\\\" \\\\ bye"},
        {"a\tb\nc\rd\be\ff", "a\\tb\\nc\\rd\\be\\ff"},
        {std::string("nul\0byte", 8), "nul\\u0000byte"},
        {"\x01\x1f\x7f", "\\u0001\\u001f\\u007f"},
        {"C1 \xc2\x80\xc2\x9f, not C1 \xc2\xa0", "C1 \\u0080\\u009f, not C1 \xc2\xa0"},
        {"lines\xe2\x80\xa8paragraphs\xe2\x80\xa9", "lines\\u2028paragraphs\\u2029"},
        {"J\xc3\xbcrgen \xe4\xb8\xad\xe6\x96\x87 \xf0\x9f\x98\x80",
         "J\xc3\xbcrgen \xe4\xb8\xad\xe6\x96\x87 \xf0\x9f\x98\x80"},
        {"cut \xc3", "cut \\ufffd"},
        {"cut \xe4\xb8.", "cut \\ufffd\\ufffd."},
        {"lone \x80\xbf", "lone \\ufffd\\ufffd"},
        {"overlong \xc0\xaf \xe0\x80\xaf", "overlong \\ufffd\\ufffd \\ufffd\\ufffd\\ufffd"},
        {"surrogate \xed\xa0\x80", "surrogate \\ufffd\\ufffd\\ufffd"},
        {"beyond \xf4\x90\x80\x80 \xf8\x88\x80\x80\x80",
         "beyond \\ufffd\\ufffd\\ufffd\\ufffd \\ufffd\\ufffd\\ufffd\\ufffd\\ufffd"},
        {"last \xf4\x8f\xbf\xbf", "last \xf4\x8f\xbf\xbf"},
        {"Buffer pointer=0x1 length=3\n   41 42 43    - ABC\n",
         "Buffer pointer=0x1 length=3\\n   41 42 43    - ABC"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(renderedText(c.text), c.expected) << c.text;
}

// Plain text is copied eight bytes at a time: a special byte is found at every place.
TEST(JsonLine, SpecialBytesAtEveryPlaceOfALongText) {
    struct Case {
        std::string special, expected;
    } cases[] = {
        {"\"", "\\\""},     {"\\", "\\\\"},      {"\x01", "\\u0001"}, {"\x1f", "\\u001f"},
        {" ", " "},         {"\x7f", "\\u007f"}, {"~", "~"},          {"\xc3\xbc", "\xc3\xbc"},
        {"\xff", "\\ufffd"}};
    for (const Case& c : cases)
        for (size_t at = 0; at <= 17; ++at) {
            std::string before(at, 'a'), after(17 - at, 'b');
            EXPECT_EQ(renderedText(before + c.special + after), before + c.expected + after)
                << c.expected << " at " << at;
        }
}

TEST(JsonLine, BoundHoldsForTheLongestEscapes) {
    std::string worst(4096, '\x01');
    std::string name(300, '\x80');
    ksJsonRecord record = recordWith(worst);
    record.application = name.c_str();
    record.moduleName = name.c_str();
    record.level = 65535;
    record.module = 65535;
    record.processId = 4294967295u;
    record.threadId = 4294967295u;
    record.utcOffsetMinutes = -(99 * 60 + 59);
    record.time = ksPlatform::LocalTime{99999, 99, 99, 99, 99, 99, 9999};
    std::vector<char> out(jsonLineBound(record));
    EXPECT_LE(renderJsonLine(record, out.data()), out.size());
}

TEST(JsonLine, UtcOffsetFromLocalTimeAndWallClock) {
    constexpr uint64_t hour = 3600ull * 1000000;
    // 2024-01-31 22:59:07.042 UTC in microseconds since 1970.
    constexpr uint64_t utc = 1706741947042000ull;
    struct Case {
        ksPlatform::LocalTime local;
        uint64_t wallClock;
        int32_t expected;
    } cases[] = {
        {lastSecondOfJanuary, utc, 60},
        {lastSecondOfJanuary, utc + 2 * 1000000, 60}, // the clocks read two seconds apart
        {{2024, 1, 31, 17, 59, 7, 42}, utc, -300},
        {{2024, 2, 1, 4, 44, 7, 42}, utc, 345},
        {{2024, 1, 31, 22, 59, 7, 42}, utc, 0},
        {{2024, 2, 1, 12, 59, 7, 42}, utc, 14 * 60},
        {{2023, 12, 31, 23, 30, 0, 0}, 1704065400ull * 1000000 + hour, -60}, // the year behind
        {{2024, 3, 1, 0, 30, 0, 0}, 1709249400ull * 1000000, 60},            // the leap day behind
    };
    for (const Case& c : cases)
        EXPECT_EQ(utcOffsetMinutes(c.local, c.wallClock), c.expected)
            << c.local.year << "-" << c.local.month << "-" << c.local.day;
}
