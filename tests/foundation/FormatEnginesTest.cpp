// The engine's two argument orders against each other: reading each argument just before its
// directive (every format without '$' or a base from an argument) must give the same bytes,
// result and argument reads as reading them all first in the order of their numbers.
#include <gtest/gtest.h>
#include <cstdarg>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>
#include "FormatTestSupport.h"

namespace {

// Both argument orders on one format and one argument list, into buffers of several sizes.
void expectEnginesAgree(const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    for (size_t size : {size_t{0}, size_t{1}, size_t{4}, size_t{512}}) {
        const Formatted inTurn = runEngine(false, size, format, arguments);
        ASSERT_NE(inTurn.result, -1) << format;
        EXPECT_EQ(inTurn, runEngine(true, size, format, arguments))
            << "format: " << format << " size " << size;
    }
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

// Stars, numbers, bases and malformed directives: the same bytes, or the same error with
// nothing written, whichever order the arguments are read in.
TEST(FormatEngines, FormatsBeyondTheEverydayFormsAgree) {
    expectEnginesAgree("%*d", 7, 8);
    expectEnginesAgree("%.*d", 7, 8);
    expectEnginesAgree("%1$d", 7);
    expectEnginesAgree("%..2i", 7);
    expectEnginesAgree("%.3.2f", 7.5);
    expectEnginesAgree("%5-d", 7);
    expectEnginesAgree("%hld", 7);
    expectEnginesAgree("%lhd", 7);
    expectEnginesAgree("%lll", 7);
    expectEnginesAgree("%y and %d", 7);
    expectEnginesAgree("%d and %", 7);
    expectEnginesAgree("%5%", 7);
    expectEnginesAgree("%I64d", 7);
    expectEnginesAgree("%d %d %d %d %d %d %d %d %d %d %d %d %d %d %d %d %d", 1, 2, 3, 4, 5, 6, 7, 8,
                       9, 10, 11, 12, 13, 14, 15, 16, 17);
}

// A format that starts with a directive is first read as that directive alone: alone, with
// literal text after it, with parameters from arguments, or followed by more directives, it must
// agree with the whole plan.
TEST(FormatEngines, FormatsStartingWithADirectiveAgree) {
    for (const std::string& wrapped : directives("d")) {
        const std::string withText = wrapped.substr(1); // "%...d>"
        const std::string alone = withText.substr(0, withText.size() - 1);
        expectEnginesAgree(withText.c_str(), -42);
        expectEnginesAgree(alone.c_str(), 123456);
    }
    for (const std::string& wrapped : directives("f"))
        expectEnginesAgree(wrapped.c_str() + 1, -12.345);
    for (const std::string& wrapped : directives("s"))
        expectEnginesAgree(wrapped.c_str() + 1, "hello");
    expectEnginesAgree("%*.*f|", 9, 2, 3.14159);
    expectEnginesAgree("%-*d|", -5, 3);
    expectEnginesAgree("%*d and %s", 4, 7, "x");
    expectEnginesAgree("%2$*1$d|", 5, 7);
    expectEnginesAgree("%.*.*i|", 3, 16, 255);
    expectEnginesAgree("%.2.*i|", 40, 255);
    expectEnginesAgree("%*****d|", 1, 2, 3, 4, 5, 6);
    expectEnginesAgree("%lld%s%%", 1234567890123456789LL, "x");
    expectEnginesAgree("%-10s|%5.1f", "hello", -12.345);
    expectEnginesAgree("%5.1f %", -12.345);
}

} // namespace
