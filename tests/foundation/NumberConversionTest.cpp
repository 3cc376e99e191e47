// Number conversions: values, statuses and end pointers, including every limit.
#include <gtest/gtest.h>
#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <string>
#include "foundation/NumberConversion.h"

namespace {

// What one call of a parser gives: the value, the status and the end's offset from the text.
template <class T> struct Parsed {
    T value;
    int32_t status;
    ptrdiff_t end;
    bool operator==(const Parsed&) const = default;
};

template <class T> void PrintTo(const Parsed<T>& parsed, std::ostream* out) {
    *out << "{" << parsed.value << ", " << parsed.status << ", " << parsed.end << "}";
}

template <class T> struct ParseCase {
    const char* text;
    int base;
    Parsed<T> expected;
};

template <class T, class Parse>
void expectParses(Parse parse, std::initializer_list<ParseCase<T>> cases) {
    for (const ParseCase<T>& c : cases)
        EXPECT_EQ(parse(c.text, c.base), c.expected)
            << (c.text ? c.text : "null") << ", base " << c.base;
}

Parsed<uint32_t> parseUInt32(const char* text, int base) {
    const char* end = nullptr;
    int32_t status = 12345;
    uint32_t value = ksParseUInt32(text, &end, base, &status);
    return {value, status, end - text};
}

Parsed<int32_t> parseInt32(const char* text, int base) {
    const char* end = nullptr;
    int32_t status = 12345;
    int32_t value = ksParseInt32(text, &end, base, &status);
    return {value, status, end - text};
}

Parsed<uint64_t> parseUInt64(const char* text, int base) {
    const char* end = nullptr;
    int32_t status = 12345;
    uint64_t value = 12345;
    ksParseUInt64(text, &end, base, &status, &value);
    return {value, status, end - text};
}

std::pair<int32_t, uint32_t> toUInt32(const char* text, int base) {
    uint32_t value = 12345;
    int32_t status = ksToUInt32(text, &value, base);
    return {status, value};
}

std::pair<int32_t, int32_t> toInt32Dec(const char* text) {
    int32_t value = 12345;
    int32_t status = ksToInt32Dec(text, &value);
    return {status, value};
}

std::pair<int32_t, uint64_t> toPointer(const char* text) {
    uint64_t value = 12345;
    int32_t status = ksToPointerValue(text, &value);
    return {status, value};
}

using Status32 = std::pair<int32_t, uint32_t>;
using StatusSigned = std::pair<int32_t, int32_t>;
using Status64 = std::pair<int32_t, uint64_t>;

} // namespace

TEST(CharacterClasses, MatchTheirDefinitions) {
    for (int c = -128; c < 256; ++c) {
        bool space = c == ' ' || (c >= 9 && c <= 13);
        bool digit = c >= '0' && c <= '9';
        bool lower = c >= 'a' && c <= 'z';
        bool upper = c >= 'A' && c <= 'Z';
        bool hexLetter = (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
        EXPECT_EQ(ksIsSpace(c), space) << c;
        EXPECT_EQ(ksIsAlnum(c), digit || lower || upper) << c;
        EXPECT_EQ(ksIsHexDigit(c), digit || hexLetter) << c;
    }
}

TEST(ParseUInt32, ValuesStatusesAndEnds) {
    constexpr uint32_t kMax = 0xFFFFFFFF;
    expectParses<uint32_t>(
        parseUInt32,
        {
            // Base 0 reads a prefix; "0x" without a hexadecimal digit, and "08", are an octal 0.
            {"0x1f", 0, {31, ksNumberOk, 4}},
            {"017", 0, {15, ksNumberOk, 3}},
            {"0x", 0, {0, ksNumberOk, 1}},
            {"08", 0, {0, ksNumberOk, 1}},
            {"0XfF", 0, {255, ksNumberOk, 4}},
            {"129", 0, {129, ksNumberOk, 3}},
            // White space and a plus sign in front; the prefix only in base 16.
            {" \t\n\v\f\r+42z", 10, {42, ksNumberOk, 9}},
            {"0x10", 16, {16, ksNumberOk, 4}},
            {"0xg", 16, {0, ksNumberOk, 1}},
            {"0x10", 10, {0, ksNumberOk, 1}},
            {"zZ", 36, {35 * 36 + 35, ksNumberOk, 2}},
            {"1012", 2, {5, ksNumberOk, 3}},
            // No number: the end stays at the start.
            {"", 10, {0, ksNumberMissing, 0}},
            {"   ", 10, {0, ksNumberMissing, 0}},
            {"+", 10, {0, ksNumberMissing, 0}},
            {"++1", 10, {0, ksNumberMissing, 0}},
            {"-1", 10, {0, ksNumberMissing, 0}},
            {"+ 1", 10, {0, ksNumberMissing, 0}},
            {" x", 10, {0, ksNumberMissing, 0}},
            {"\xB2", 10, {0, ksNumberMissing, 0}},
            {"11", 1, {0, ksNumberMissing, 0}},
            {"11", 37, {0, ksNumberMissing, 0}},
            {"11", -1, {0, ksNumberMissing, 0}},
            {"11", -16, {0, ksNumberMissing, 0}},
            {"11", 100, {0, ksNumberMissing, 0}},
            {"11", INT32_MIN, {0, ksNumberMissing, 0}},
            // Overflow reads to the end of the digits; wrapping below the limit still counts.
            {"4294967295", 10, {kMax, ksNumberOk, 10}},
            {"4294967296x", 10, {kMax, ksNumberOverflow, 10}},
            {"99999999999999999999999", 10, {kMax, ksNumberOverflow, 23}},
            {"100000000000000000000000000000000", 2, {kMax, ksNumberOverflow, 33}},
            {"ffffffff", 16, {kMax, ksNumberOk, 8}},
            {"100000000", 16, {kMax, ksNumberOverflow, 9}},
        });
    const char* end = reinterpret_cast<const char*>(1);
    int32_t status = 0;
    EXPECT_EQ(ksParseUInt32(nullptr, &end, 10, &status), 0u);
    EXPECT_EQ(status, ksNumberMissing);
    EXPECT_EQ(end, nullptr);
    EXPECT_EQ(ksParseUInt32("7", nullptr, 10, nullptr), 7u) << "outputs are optional";
}

TEST(ParseInt32, SignsLimitsAndMissingNumbers) {
    expectParses<int32_t>(
        parseInt32,
        {
            {"-2147483648", 10, {INT32_MIN, ksNumberOk, 11}},
            {"  -0x10", 16, {-16, ksNumberOk, 7}},
            {"-017", 0, {-15, ksNumberOk, 4}},
            {"+2147483647", 10, {INT32_MAX, ksNumberOk, 11}},
            {"2147483648", 10, {INT32_MAX, ksNumberOverflow, 10}},
            {"-2147483649", 10, {INT32_MIN, ksNumberUnderflow, 11}},
            {"-4294967295", 10, {INT32_MIN, ksNumberUnderflow, 11}},
            {"-4294967296",
             10,
             {INT32_MIN, ksNumberOverflow, 11}}, // the magnitude itself overflows
            {"4294967296", 10, {INT32_MAX, ksNumberOverflow, 10}},
            // A minus counts only right before a letter or digit; a digit must follow it.
            {"-", 10, {0, ksNumberMissing, 0}},
            {"- 5", 10, {0, ksNumberMissing, 0}},
            {"-+5", 10, {0, ksNumberMissing, 0}},
            {"--5", 10, {0, ksNumberMissing, 0}},
            {"+-5", 10, {0, ksNumberMissing, 0}},
            {"", 10, {0, ksNumberMissing, 0}},
            {nullptr, 10, {0, ksNumberMissing, 0}},
            {"-z", 10, {0, ksNumberMissing, 0}},
            {"5", 37, {0, ksNumberMissing, 0}},
        });
}

TEST(ToUInt32, WholeTextStatuses) {
    EXPECT_EQ(toUInt32("2048", 10), Status32(0, 2048));
    EXPECT_EQ(toUInt32("0x10", 10).first, 1);
    EXPECT_EQ(toUInt32("0x10", 16), Status32(0, 16));
    EXPECT_EQ(toUInt32("4294967296", 10), Status32(ksNumberOverflow, 0xFFFFFFFF));
    EXPECT_EQ(toUInt32("4294967296 trailing", 10).first, ksNumberOverflow);
    EXPECT_EQ(toUInt32(" 4", 10), Status32(0, 4));
    EXPECT_EQ(toUInt32("4 ", 10).first, 1);
    EXPECT_EQ(toUInt32("  12ab", 10).first, 4);
    EXPECT_EQ(toUInt32("", 10), Status32(ksNumberMissing, 0));
    EXPECT_EQ(toUInt32(nullptr, 10), Status32(ksNumberMissing, 0));
    EXPECT_EQ(toUInt32("12", 1), Status32(ksNumberMissing, 0));
    EXPECT_EQ(toUInt32("12", 37), Status32(ksNumberMissing, 0));
    EXPECT_EQ(ksToUInt32("12", nullptr, 10), 0) << "the value is optional";
}

TEST(ToInt32Dec, WholeTextStatuses) {
    EXPECT_EQ(toInt32Dec("-2147483648"), StatusSigned(0, INT32_MIN));
    EXPECT_EQ(toInt32Dec("-2147483647"), StatusSigned(0, -2147483647));
    EXPECT_EQ(toInt32Dec("2147483647"), StatusSigned(0, INT32_MAX));
    EXPECT_EQ(toInt32Dec("2147483648"), StatusSigned(ksNumberOverflow, INT32_MAX));
    EXPECT_EQ(toInt32Dec("-2147483649"), StatusSigned(ksNumberUnderflow, INT32_MIN));
    EXPECT_EQ(toInt32Dec("-").first, ksNumberMissing);
    EXPECT_EQ(toInt32Dec("- 5").first, ksNumberMissing);
    EXPECT_EQ(toInt32Dec(" +7"), StatusSigned(0, 7));
    EXPECT_EQ(toInt32Dec("7\n").first, 1);
    EXPECT_EQ(toInt32Dec("0x10").first, 1) << "decimal only";
    EXPECT_EQ(toInt32Dec(""), StatusSigned(ksNumberMissing, 0));
    EXPECT_EQ(toInt32Dec(nullptr), StatusSigned(ksNumberMissing, 0));
    int32_t value = 0;
    EXPECT_EQ(ksToInt32("-ff", &value, 16), 0);
    EXPECT_EQ(value, -255);
    EXPECT_EQ(ksToInt32("ff", &value, 40), ksNumberMissing);
}

TEST(ParseUInt64, ValuesEndsAndTrailingText) {
    expectParses<uint64_t>(
        parseUInt64,
        {
            {"18446744073709551615", 10, {UINT64_MAX, ksNumberOk, 20}},
            {" +0xFFFFFFFFFFFFFFFF", 16, {UINT64_MAX, ksNumberOk, 20}},
            {"0x1f", 0, {31, ksNumberOk, 4}},
            {"0777", 0, {511, ksNumberOk, 4}},
            {"123 ", 10, {123, 3, 3}}, // trailing text gives its offset, as the whole-text forms do
            // Overflow stops at the offending digit.
            {"18446744073709551616", 10, {UINT64_MAX, ksNumberOverflow, 19}},
            {"184467440737095516150", 10, {UINT64_MAX, ksNumberOverflow, 20}},
            {"0x10000000000000000", 16, {UINT64_MAX, ksNumberOverflow, 18}},
            {"", 10, {0, ksNumberMissing, 0}},
            {" ", 10, {0, ksNumberMissing, 0}},
            {"+", 10, {0, ksNumberMissing, 0}},
            {"x1", 10, {0, ksNumberMissing, 0}},
            {"-1", 10, {0, ksNumberMissing, 0}},
            {"10", 1, {0, ksNumberMissing, 0}},
            {"10", 37, {0, ksNumberMissing, 0}},
            {"10", -2, {0, ksNumberMissing, 0}},
            {nullptr, 10, {0, ksNumberMissing, 0}},
        });
    int32_t status = 0;
    uint64_t value = 9;
    ksParseUInt64(nullptr, nullptr, 10, &status, &value);
    EXPECT_EQ(status, ksNumberMissing);
    EXPECT_EQ(value, 0u);
}

TEST(ToPointerValue, ReadsWhatPercentPWrites) {
    int local = 0;
    char text[40];
    uint64_t address = reinterpret_cast<uintptr_t>(&local);
    std::snprintf(text, sizeof text, "0x%016llX", static_cast<unsigned long long>(address));
    EXPECT_EQ(toPointer(text), Status64(0, address));
    std::snprintf(text, sizeof text, "0x%016llx", static_cast<unsigned long long>(address));
    EXPECT_EQ(toPointer(text), Status64(0, address));
    std::snprintf(text, sizeof text, "%llu", static_cast<unsigned long long>(address));
    EXPECT_EQ(toPointer(text), Status64(0, address));
    EXPECT_EQ(toPointer(" +0X1F"), Status64(0, 31));
}

TEST(ToPointerValue, LeadingZeroIsDecimalAndBadTextFails) {
    EXPECT_EQ(toPointer("017"), Status64(0, 17));
    EXPECT_NE(toPointer("0x").first, 0);
    EXPECT_EQ(toPointer("18446744073709551616").first, ksNumberOverflow);
    EXPECT_EQ(toPointer("18446744073709551615"), Status64(0, UINT64_MAX));
    EXPECT_EQ(toPointer("12 ").first, 2);
    EXPECT_EQ(toPointer(""), Status64(ksNumberMissing, 0));
    EXPECT_EQ(toPointer(nullptr), Status64(ksNumberMissing, 0));
    EXPECT_EQ(toPointer("   "), Status64(ksNumberMissing, 0));
    EXPECT_EQ(toPointer("-1").first, ksNumberMissing);
}
