// Helpers for the formatter's tests: format into a guarded buffer and return text and result.
#pragma once
#include <gtest/gtest.h>
#include <cstdarg>
#include <cstring>
#include <string>
#include "foundation/Format.h"

struct Formatted {
    int result;
    std::string text;
};

inline bool operator==(const Formatted& a, const Formatted& b) {
    return a.result == b.result && a.text == b.text;
}

inline std::ostream& operator<<(std::ostream& stream, const Formatted& formatted) {
    return stream << formatted.result << " \"" << formatted.text << "\"";
}

// Formats into a buffer of the given size inside a larger block whose guard bytes must stay.
inline Formatted formatSizedV(size_t size, const char* format, va_list arguments) {
    constexpr size_t kGuard = 16;
    std::string block(size + 2 * kGuard, '\x5A');
    char* buffer = block.data() + kGuard;
    va_list copy;
    va_copy(copy, arguments);
    int result = ksFormatBufferV(buffer, size, format, copy);
    va_end(copy);
    for (size_t i = 0; i < kGuard; ++i) {
        EXPECT_EQ(block[i], '\x5A') << "written before the buffer: " << format;
        EXPECT_EQ(block[kGuard + size + i], '\x5A') << "written past the buffer: " << format;
    }
    std::string text;
    if (size > 0) {
        size_t length = strnlen(buffer, size);
        EXPECT_LT(length, size) << "no terminator: " << format;
        text.assign(buffer, length);
    }
    return {result, text};
}

inline Formatted formatSized(size_t size, const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    Formatted formatted = formatSizedV(size, format, arguments);
    va_end(arguments);
    return formatted;
}

// Formats into a buffer large enough for every test text.
inline Formatted format(const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    Formatted formatted = formatSizedV(4096, format, arguments);
    va_end(arguments);
    return formatted;
}

// The text of a successful call whose result is its length.
inline Formatted ok(const std::string& text) {
    return {static_cast<int>(text.size()), text};
}

// A failed call: -(code + 256 * position), with nothing stored.
inline Formatted failed(int code, int position) {
    return {-(code + 256 * position), ""};
}

// The entry point gives the expected text and result.
inline void expectFormatted(const Formatted& expected, const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    EXPECT_EQ(formatSizedV(4096, format, arguments), expected) << format;
    va_end(arguments);
}
