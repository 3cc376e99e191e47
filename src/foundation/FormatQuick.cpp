// The formatter's quick path: the everyday formats, read into a few slots in one pass and
// written by the shared output pass, without the full engine's numbering and its 64-slot table.
#include <climits>
#include "foundation/FormatConvert.h"
#include "foundation/FormatCore.h"

namespace {

// Flags in any number and order; '-' cancels zero-padding whether it comes before or after '0'.
uint32_t readFlags(const char* format, uint64_t& index) {
    uint32_t flags = 0;
    for (;; ++index) {
        switch (format[index]) {
        case ' ':
            flags |= ksFlagSpace;
            break;
        case '+':
            flags |= ksFlagPlus;
            break;
        case '#':
            flags |= ksFlagAlternative;
            break;
        case '-':
            flags = (flags | ksFlagMinus) & ~ksFlagZero;
            break;
        case '0':
            if (!(flags & ksFlagMinus))
                flags |= ksFlagZero;
            break;
        default:
            return flags;
        }
    }
}

// One length: h, hh, l, ll, L, j, z or t, or none.
uint32_t readLength(const char* format, uint64_t& index) {
    const char letter = format[index];
    uint32_t single = 0;
    uint32_t doubled = 0;
    switch (letter) {
    case 'h':
        single = ksFlagShort;
        doubled = ksFlagShort | ksFlagShortShort;
        break;
    case 'l':
        single = ksFlagLong;
        doubled = ksFlagLong | ksFlagQuad;
        break;
    case 'L':
        single = ksFlagLongDouble;
        break;
    case 'j':
        single = ksFlagIntmax;
        break;
    case 'z':
        single = ksFlagSize;
        break;
    case 't':
        single = ksFlagPtrdiff;
        break;
    default:
        return 0;
    }
    ++index;
    if (doubled && format[index] == letter) {
        ++index;
        return doubled;
    }
    return single;
}

// Flags, width, precision and length before a conversion; false for a precision that is not
// literal digits, or for a base.
bool readModifiers(const char* format, uint64_t& index, ksFormatOptions& options) {
    options.flags = readFlags(format, index);
    if (format[index] >= '1' && format[index] <= '9')
        options.width = static_cast<int64_t>(ksFormatReadNumber(format, index));
    if (format[index] == '.') {
        ++index;
        if (format[index] == '.' || format[index] == '*')
            return false;
        options.precision = static_cast<int64_t>(ksFormatReadNumber(format, index));
        options.flags |= ksFlagPrecision;
    }
    options.flags |= readLength(format, index);
    return true;
}

struct QuickDirective {
    ksFormatType type;
    ksFormatOptions options;
    uint64_t end; // index just past the conversion character
};

// Reads the directive whose '%' is at start; false for anything outside the quick path's
// forms, which the full engine then reads (and reports, when it is malformed). Both passes
// read every directive through it, so it is worth inlining.
[[gnu::always_inline]] inline bool readDirective(const char* format, uint64_t start, QuickDirective& directive) {
    ksFormatOptions& options = directive.options;
    uint64_t index = start + 1;
    options.flags = 0;
    options.width = 0;
    options.precision = -1;
    options.base = 10;
    // Most directives are a bare conversion: nothing else to look for.
    if (!kFormatConversions.entries[static_cast<unsigned char>(format[index])].valid &&
        !readModifiers(format, index, options))
        return false;
    if (!ksFormatSetConversion(format[index], options.flags, directive.type, options.conversion))
        return false;
    directive.end = index + 1;
    return true;
}

// The index of the next '%' or of the terminator.
uint64_t nextPercent(const char* format, uint64_t index) {
    while (format[index] != '%' && format[index] != '\0')
        ++index;
    return index;
}

// Whether every directive has a quick form, within the full engine's limits.
bool isQuickFormat(const char* format) {
    int directives = 0;
    for (uint64_t index = nextPercent(format, 0); format[index] != '\0';
         index = nextPercent(format, index)) {
        if (index > INT_MAX)
            return false;
        if (format[index + 1] == '%') {
            index += 2;
            continue;
        }
        QuickDirective directive;
        if (++directives > kFormatMaxSlots || !readDirective(format, index, directive))
            return false;
        index = directive.end;
    }
    return true;
}

// Reads and writes each directive in turn: the format is known to be whole, so arguments are
// read in the same order as the full engine reads them.
int writeQuickFormat(ksFormatState& out, const char* format, va_list* arguments) {
    uint64_t literal = 0;
    uint64_t index = nextPercent(format, 0);
    for (; format[index] != '\0'; index = nextPercent(format, index)) {
        if (format[index + 1] == '%') {
            out.write(format + literal, index + 1 - literal); // the literal text and one '%'
            literal = index += 2;
            continue;
        }
        if (index > literal)
            out.write(format + literal, index - literal);
        QuickDirective directive;
        readDirective(format, index, directive);
        const ksFormatValue value = ksFormatFetch(directive.type, directive.options.flags, arguments);
        const int result = ksFormatConvert(out, directive.type, value, directive.options);
        if (result < 0)
            return result;
        if (out.processed() > INT_MAX)
            return ksFormatFailTooLong(out, index + 1);
        literal = index = directive.end;
    }
    out.write(format + literal, index - literal);
    if (out.processed() > INT_MAX)
        return ksFormatFailTooLong(out, index);
    return static_cast<int>(out.processed());
}

} // namespace

bool ksFormatQuick(ksFormatState& out, const char* format, va_list* arguments, int& result) {
    if (!isQuickFormat(format))
        return false;
    result = writeQuickFormat(out, format, arguments);
    return true;
}
