// The system's printf: bounded formatting into a caller's buffer. At most size - 1 bytes are
// stored, and a terminator follows when size is above 0. The result is the complete output's
// length (size or more: the text was cut); a malformed format gives -(code + 256 * position),
// text that is not well-formed UTF-8 gives -2 (FormatErrors.h). No heap allocation on any path.
#pragma once
#include <cstdarg>
#include <cstddef>

int ksFormatBuffer(char* buffer, size_t size, const char* format, ...);
int ksFormatBufferV(char* buffer, size_t size, const char* format, va_list arguments);
