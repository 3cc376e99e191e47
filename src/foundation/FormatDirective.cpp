// The directive reader: a table gives every byte's part in a directive (flag, digit, star,
// dot, length letter or conversion, with the bits it sets), a second, per length and
// conversion, the C type of the argument.
#include "foundation/FormatDirective.h"
#include <climits>
#include "foundation/FormatDirectiveReader.h"

int ksFormatError(int code, uint64_t position) {
    const uint64_t largest = (static_cast<uint64_t>(INT_MAX) - static_cast<uint64_t>(code)) / 256;
    if (position > largest)
        position = largest;
    return -(code + static_cast<int>(position) * 256);
}

int64_t ksFormatReadPlan(const char* format, ksFormatPlan& plan, uint64_t from) {
    uint64_t index = from;
    for (;;) {
        index = ksFormatNextPercent(format, index);
        if (format[index] == '\0')
            return static_cast<int64_t>(index);
        if (index > INT_MAX)
            return ksFormatError(kFormatErrorLimit, index);
        if (format[index + 1] == '%') {
            plan.escapes = true;
            index += 2;
            continue;
        }
        ksFormatDirective directive;
        const int64_t end = ksFormatReadDirective(format, index, plan, directive);
        if (end < 0)
            return end;
        ksFormatAddSlot(plan, directive, index, static_cast<uint64_t>(end));
        index = static_cast<uint64_t>(end);
    }
}
