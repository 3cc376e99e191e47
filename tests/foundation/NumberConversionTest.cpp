// Number conversions: values, statuses and end pointers, including every limit.
#include <gtest/gtest.h>
#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <string>
#include "foundation/NumberConversion.h"

namespace {

struct Parsed32 {
    uint32_t value;
    int32_t status;
    ptrdiff_t end; // offset of the end pointer from the text
};

Parsed32 parseUInt32(const char* text, int base) {
    const char* end = nullptr;
    int32_t status = 12345;
    uint32_t value = ksParseUInt32(text, &end, base, &status);
    return {value, status, end - text};
}

struct ParsedSigned {
    int32_t value;
    int32_t status;
    ptrdiff_t end;
};

ParsedSigned parseInt32(const char* text, int base) {
    const char* end = nullptr;
    int32_t status = 12345;
    int32_t value = ksParseInt32(text, &end, base, &status);
    return {value, status, end - text};
}

struct Parsed64 {
    uint64_t value;
    int32_t status;
    ptrdiff_t end;
};

Parsed64 parseUInt64(const char* text, int base) {
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

TEST(ParseUInt32, AutomaticBase) {
    Parsed32 r = parseUInt32("0x1f", 0);
    EXPECT_EQ(r.value, 31u);
    EXPECT_EQ(r.status, ksNumberOk);
    EXPECT_EQ(r.end, 4);
    r = parseUInt32("017", 0);
    EXPECT_EQ(r.value, 15u);
    EXPECT_EQ(r.end, 3);
    r = parseUInt32("0x", 0); // no hexadecimal digit: the 0 is an octal number
    EXPECT_EQ(r.value, 0u);
    EXPECT_EQ(r.status, ksNumberOk);
    EXPECT_EQ(r.end, 1);
    r = parseUInt32("08", 0);
    EXPECT_EQ(r.value, 0u);
    EXPECT_EQ(r.end, 1);
    r = parseUInt32("0XfF", 0);
    EXPECT_EQ(r.value, 255u);
    r = parseUInt32("129", 0);
    EXPECT_EQ(r.value, 129u);
}

TEST(ParseUInt32, WhiteSpacePlusAndPrefixes) {
    Parsed32 r = parseUInt32(" \t\n\v\f\r+42z", 10);
    EXPECT_EQ(r.value, 42u);
    EXPECT_EQ(r.end, 9);
    r = parseUInt32("0x10", 16);
    EXPECT_EQ(r.value, 16u);
    r = parseUInt32("0xg", 16); // no hexadecimal digit after the prefix: just the 0
    EXPECT_EQ(r.value, 0u);
    EXPECT_EQ(r.end, 1);
    r = parseUInt32("0x10", 10);
    EXPECT_EQ(r.value, 0u);
    EXPECT_EQ(r.end, 1);
    r = parseUInt32("zZ", 36);
    EXPECT_EQ(r.value, 35u * 36 + 35);
    r = parseUInt32("1012", 2);
    EXPECT_EQ(r.value, 5u);
    EXPECT_EQ(r.end, 3);
}

TEST(ParseUInt32, NoNumberPutsTheEndAtTheStart) {
    for (const char* text : {"", "   ", "+", "++1", "-1", "+ 1", " x", "\xB2"}) {
        Parsed32 r = parseUInt32(text, 10);
        EXPECT_EQ(r.status, ksNumberMissing) << text;
        EXPECT_EQ(r.value, 0u) << text;
        EXPECT_EQ(r.end, 0) << text;
    }
    const char* end = reinterpret_cast<const char*>(1);
    int32_t status = 0;
    EXPECT_EQ(ksParseUInt32(nullptr, &end, 10, &status), 0u);
    EXPECT_EQ(status, ksNumberMissing);
    EXPECT_EQ(end, nullptr);
    EXPECT_EQ(ksParseUInt32("7", nullptr, 10, nullptr), 7u) << "outputs are optional";
}

TEST(ParseUInt32, BasesOutsideTwoToThirtySix) {
    for (int base : {1, 37, -1, -16, 100, INT32_MIN}) {
        Parsed32 r = parseUInt32("11", base);
        EXPECT_EQ(r.status, ksNumberMissing) << base;
        EXPECT_EQ(r.value, 0u) << base;
        EXPECT_EQ(r.end, 0) << base;
    }
}

TEST(ParseUInt32, OverflowReadsToTheEndOfTheDigits) {
    Parsed32 r = parseUInt32("4294967295", 10);
    EXPECT_EQ(r.status, ksNumberOk);
    EXPECT_EQ(r.value, 0xFFFFFFFFu);
    r = parseUInt32("4294967296x", 10);
    EXPECT_EQ(r.status, ksNumberOverflow);
    EXPECT_EQ(r.value, 0xFFFFFFFFu);
    EXPECT_EQ(r.end, 10);
    r = parseUInt32("99999999999999999999999", 10);
    EXPECT_EQ(r.status, ksNumberOverflow);
    EXPECT_EQ(r.end, 23);
    // Wrapping back below the limit still counts as overflow.
    r = parseUInt32("100000000000000000000000000000000", 2);
    EXPECT_EQ(r.status, ksNumberOverflow);
    r = parseUInt32("ffffffff", 16);
    EXPECT_EQ(r.status, ksNumberOk);
    EXPECT_EQ(r.value, 0xFFFFFFFFu);
    r = parseUInt32("100000000", 16);
    EXPECT_EQ(r.status, ksNumberOverflow);
}

TEST(ParseInt32, SignsAndLimits) {
    ParsedSigned r = parseInt32("-2147483648", 10);
    EXPECT_EQ(r.status, ksNumberOk);
    EXPECT_EQ(r.value, INT32_MIN);
    EXPECT_EQ(r.end, 11);
    r = parseInt32("  -0x10", 16);
    EXPECT_EQ(r.value, -16);
    r = parseInt32("-017", 0);
    EXPECT_EQ(r.value, -15);
    r = parseInt32("+2147483647", 10);
    EXPECT_EQ(r.value, INT32_MAX);
    EXPECT_EQ(r.status, ksNumberOk);
}

TEST(ParseInt32, OutOfRangeValues) {
    ParsedSigned r = parseInt32("2147483648", 10);
    EXPECT_EQ(r.status, ksNumberOverflow);
    EXPECT_EQ(r.value, INT32_MAX);
    EXPECT_EQ(r.end, 10);
    r = parseInt32("-2147483649", 10);
    EXPECT_EQ(r.status, ksNumberUnderflow);
    EXPECT_EQ(r.value, INT32_MIN);
    r = parseInt32("-4294967295", 10);
    EXPECT_EQ(r.status, ksNumberUnderflow);
    r = parseInt32("-4294967296", 10); // the magnitude itself overflows
    EXPECT_EQ(r.status, ksNumberOverflow);
    EXPECT_EQ(r.value, INT32_MIN);
    EXPECT_EQ(r.end, 11);
    r = parseInt32("4294967296", 10);
    EXPECT_EQ(r.status, ksNumberOverflow);
    EXPECT_EQ(r.value, INT32_MAX);
}

TEST(ParseInt32, MinusCountsOnlyBeforeALetterOrDigit) {
    for (const char* text : std::initializer_list<const char*>{"-", "- 5", "-+5", "--5", "+-5", "", nullptr}) {
        ParsedSigned r = parseInt32(text, 10);
        EXPECT_EQ(r.status, ksNumberMissing) << (text ? text : "null");
        EXPECT_EQ(r.value, 0) << (text ? text : "null");
        EXPECT_EQ(r.end, 0) << (text ? text : "null");
    }
    ParsedSigned r = parseInt32("-z", 10); // a sign, but no digit after it
    EXPECT_EQ(r.status, ksNumberMissing);
    EXPECT_EQ(r.end, 0);
    EXPECT_EQ(parseInt32("5", 37).status, ksNumberMissing);
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
    Parsed64 r = parseUInt64("18446744073709551615", 10);
    EXPECT_EQ(r.status, ksNumberOk);
    EXPECT_EQ(r.value, UINT64_MAX);
    EXPECT_EQ(r.end, 20);
    r = parseUInt64(" +0xFFFFFFFFFFFFFFFF", 16);
    EXPECT_EQ(r.status, ksNumberOk);
    EXPECT_EQ(r.value, UINT64_MAX);
    r = parseUInt64("0x1f", 0);
    EXPECT_EQ(r.value, 31u);
    r = parseUInt64("0777", 0);
    EXPECT_EQ(r.value, 511u);
    r = parseUInt64("123 ", 10); // trailing text gives the offset, as the whole-text forms do
    EXPECT_EQ(r.status, 3);
    EXPECT_EQ(r.value, 123u);
    EXPECT_EQ(r.end, 3);
}

TEST(ParseUInt64, OverflowStopsAtTheOffendingDigit) {
    Parsed64 r = parseUInt64("18446744073709551616", 10);
    EXPECT_EQ(r.status, ksNumberOverflow);
    EXPECT_EQ(r.value, UINT64_MAX);
    EXPECT_EQ(r.end, 19);
    r = parseUInt64("184467440737095516150", 10);
    EXPECT_EQ(r.status, ksNumberOverflow);
    EXPECT_EQ(r.end, 20);
    r = parseUInt64("0x10000000000000000", 16);
    EXPECT_EQ(r.status, ksNumberOverflow);
    EXPECT_EQ(r.end, 18);
}

TEST(ParseUInt64, NoNumber) {
    for (const char* text : {"", " ", "+", "x1", "-1"}) {
        Parsed64 r = parseUInt64(text, 10);
        EXPECT_EQ(r.status, ksNumberMissing) << text;
        EXPECT_EQ(r.value, 0u) << text;
        EXPECT_EQ(r.end, 0) << text;
    }
    for (int base : {1, 37, -2}) {
        Parsed64 r = parseUInt64("10", base);
        EXPECT_EQ(r.status, ksNumberMissing) << base;
        EXPECT_EQ(r.value, 0u) << base;
    }
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
