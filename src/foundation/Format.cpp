// The system's printf: the entry points and the full engine's output pass.
#include "foundation/Format.h"
#include <climits>
#include "foundation/FormatConvert.h"
#include "foundation/FormatCore.h"

namespace {

// Both entry points: the limit, the core, the terminator.
int formatInto(char* buffer, size_t size, const char* format, va_list* arguments) {
    uint64_t limit = size == 0 ? 0 : static_cast<uint64_t>(size) - 1;
    if (limit > INT_MAX)
        limit = INT_MAX;
    if (!buffer)
        limit = 0;
    ksFormatState out(buffer, limit);
    int result = 0;
    if (format) {
        result = ksFormatQuick(out, format, arguments);
        if (result == kFormatDeclined)
            result = ksFormatFull(out, format, arguments);
    }
    if (size > 0 && buffer)
        *out.cursor = '\0';
    return result;
}

} // namespace

int ksFormatFull(ksFormatState& out, const char* format, va_list* arguments) {
    ksFormatDirectives directives;
    const int result = ksFormatParse(format, directives, arguments);
    if (result < 0)
        return result;
    return ksFormatEmit(out, format, directives.slots, directives.count, directives.escapes,
                        directives.formatLength);
}

int ksFormatBuffer(char* buffer, size_t size, const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    const int result = formatInto(buffer, size, format, &arguments);
    va_end(arguments);
    return result;
}

int ksFormatBufferV(char* buffer, size_t size, const char* format, va_list arguments) {
    va_list copy;
    va_copy(copy, arguments);
    const int result = formatInto(buffer, size, format, &copy);
    va_end(copy);
    return result;
}
