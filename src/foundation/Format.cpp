// Stand-in until the system's own engine lands: the C library's formatter.
#include "foundation/Format.h"
#include <cstdio>

int ksFormatBuffer(char* buffer, size_t size, const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    int result = ksFormatBufferV(buffer, size, format, arguments);
    va_end(arguments);
    return result;
}

int ksFormatBufferV(char* buffer, size_t size, const char* format, va_list arguments) {
    if (!format)
        return -1;
    return std::vsnprintf(buffer, size, format, arguments);
}
