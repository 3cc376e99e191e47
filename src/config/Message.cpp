// The library's messages on the standard error stream, through the platform's write of
// the standard streams.
#include "config/Message.h"
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include "foundation/Format.h"
#include "platform/platform.h"

void ksSayOnStandardError(const char* format, ...) {
    char text[1024];
    va_list arguments;
    va_start(arguments, format);
    int length = ksFormatBufferV(text, sizeof text, format, arguments);
    va_end(arguments);
    if (length <= 0)
        return;
    size_t count =
        length < static_cast<int>(sizeof text) ? static_cast<size_t>(length) : sizeof text - 1;
    ksPlatform::writeStandardStream(stderr, text, count);
}

void ksSayError(const char* prefix) {
    ksSayOnStandardError("%s: %s\n", prefix, std::strerror(errno));
}
