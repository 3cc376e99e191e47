// The quick engine against the full one: every format the quick engine takes must give the
// same bytes, result and argument reads as the full engine; every other format it must leave
// untouched.
#include <gtest/gtest.h>
#include <cstdarg>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>
#include "FormatTestSupport.h"

namespace {

// Both engines on one format and one argument list, into buffers of several sizes.
void expectEnginesAgree(const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    for (size_t size : {size_t{0}, size_t{1}, size_t{4}, size_t{512}}) {
        const Formatted quick = runEngine(true, size, format, arguments);
        ASSERT_NE(quick.result, kFormatDeclined) << "declined: " << format;
        EXPECT_EQ(quick, runEngine(false, size, format, arguments))
            << "format: " << format << " size " << size;
    }
    va_end(arguments);
}

// The quick engine declines, writes nothing and reads no argument.
void expectDeclined(const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    char buffer[64] = "untouched";
    ksFormatState out(buffer, sizeof buffer - 1);
    EXPECT_EQ(ksFormatQuick(out, format, &arguments), kFormatDeclined) << format;
    EXPECT_EQ(out.processed(), 0u) << format;
    EXPECT_STREQ(buffer, "untouched") << format;
    EXPECT_EQ(va_arg(arguments, int), 7) << "an argument was read: " << format;
    va_end(arguments);
}

// Every flag set, width and precision in the usual order before a conversion and its length.
std::vector<std::string> directives(const char* lengthAndConversion) {
    std::vector<std::string> all;
    for (const char* flags : {"", "-", "+", " ", "#", "0", "-0", "0-", "+ #0", "  "})
        for (const char* width : {"", "1", "7", "12"})
            for (const char* precision : {"", ".", ".0", ".2", ".9"})
                all.push_back(std::string("<%") + flags + width + precision + lengthAndConversion +
                              ">");
    return all;
}

TEST(FormatEngines, IntegersAgree) {
    for (const char* conversion : {"d", "i", "u", "o", "x", "X", "hd", "hhu", "c"})
        for (const std::string& format : directives(conversion))
            for (int value : {0, 1, -1, 42, -123456, INT32_MAX, INT32_MIN})
                expectEnginesAgree(format.c_str(), value);
    for (const char* conversion : {"lld", "llu", "jd", "zu", "td", "llx", "ld", "lX"})
        for (const std::string& format : directives(conversion))
            for (long long value : {0LL, -1LL, 1234567890123456789LL, LLONG_MIN, LLONG_MAX})
                expectEnginesAgree(format.c_str(), value);
}

TEST(FormatEngines, FloatingAgree) {
    for (const char* conversion : {"f", "e", "g", "a", "F", "E", "G", "A", "Lf"})
        for (const std::string& format : directives(conversion))
            for (double value : {0.0, -0.0, 1.5, -12.345, 1e-310, 6.02e23, 1.0 / 0.0, 0.0 / 0.0})
                expectEnginesAgree(format.c_str(), value);
}

TEST(FormatEngines, TextAndPointersAgree) {
    for (const char* conversion : {"s", "hs", "p"})
        for (const std::string& format : directives(conversion))
            for (const char* text :
                 {"", "hello", "h\xC3\xA9llo", "bad\xFFtext", static_cast<const char*>(nullptr)})
                expectEnginesAgree(format.c_str(), text);
    for (const std::string& format : directives("ls"))
        for (const wchar_t* text : {L"", L"w\u00E9\u20AC", static_cast<const wchar_t*>(nullptr)})
            expectEnginesAgree(format.c_str(), text);
}

TEST(FormatEngines, WholeFormatsAgree) {
    int stored = -1;
    long long storedWide = -1;
    expectEnginesAgree("user %s id=%d took %.3f ms (%s)", "alice", 4711, 12.3456, "ok");
    expectEnginesAgree("100%% of %d%%, %%%s%%", 5, "x");
    expectEnginesAgree("%%");
    expectEnginesAgree("no directives at all");
    expectEnginesAgree("");
    expectEnginesAgree("%s bad \xFF literal %d", "ok", 3);
    expectEnginesAgree("%s then %d", "bad\xC3", 3);
    expectEnginesAgree("%d%n|%lln", 12345, &stored, &storedWide);
    expectEnginesAgree("%c%c%c", 'a', 0xE9, -1);
    expectEnginesAgree("%d %d %d %d %d %d %d %d %d %d %d %d %d %d %d %d", 1, 2, 3, 4, 5, 6, 7, 8, 9,
                       10, 11, 12, 13, 14, 15, 16);
}

TEST(FormatEngines, QuickEngineLeavesOtherFormatsUntouched) {
    expectDeclined("%*d", 7);
    expectDeclined("%.*d", 7);
    expectDeclined("%1$d", 7);
    expectDeclined("%..2i", 7);
    expectDeclined("%.3.2f", 7);
    expectDeclined("%5-d", 7);
    expectDeclined("%hld", 7);
    expectDeclined("%lhd", 7);
    expectDeclined("%lll", 7);
    expectDeclined("%y and %d", 7);
    expectDeclined("%d and %", 7);
    expectDeclined("%5%", 7);
    expectDeclined("%I64d", 7);
    expectDeclined("%d %d %d %d %d %d %d %d %d %d %d %d %d %d %d %d %d", 7);
}

} // namespace
