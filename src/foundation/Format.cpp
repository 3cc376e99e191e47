// The system's printf: the entry points and the quick engine, which takes the everyday
// formats, whose arguments go in order: they are read into a short plan before any byte is
// written and then written with the shared conversions, without the full engine's argument
// numbering and its 64-slot table. The entry points sit beside it so that a format of one
// directive goes through without a call. Every other format goes to the full engine.
#include "foundation/Format.h"
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

// A directive, or a "%%" when escape is set.
struct QuickDirective {
    uint32_t start; // index of the '%'
    uint32_t end;   // index just past the conversion character
    bool escape;
    ksFormatType type;
    ksFormatOptions options;
};

// The directives of a format, read before any is written.
struct QuickPlan {
    static constexpr int kCapacity = 16;
    QuickDirective directives[kCapacity];
    int count = 0;
    uint64_t formatLength = 0;
};

// Reads the directive whose '%' is at start; false for anything outside the quick path's
// forms, which the full engine then reads (and reports, when it is malformed). Inlined: it is
// most of the work of a format that is one directive.
[[gnu::always_inline]] inline bool readDirective(const char* format, uint64_t start,
                                                 QuickDirective& directive) {
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
    directive.escape = false;
    directive.start = static_cast<uint32_t>(start);
    directive.end = static_cast<uint32_t>(index + 1);
    return true;
}

// The index of the next '%' or of the terminator. Literal runs are short: a plain loop on a
// pointer of its own beats a library call.
uint64_t nextPercent(const char* format, uint64_t index) {
    const char* at = format + index;
    while (*at != '%' && *at != '\0')
        ++at;
    return static_cast<uint64_t>(at - format);
}

// Reads the whole format; false when some directive has no quick form, or there are more than
// the plan holds.
bool readPlan(const char* format, QuickPlan& plan) {
    uint64_t index = plan.count > 0 ? plan.directives[plan.count - 1].end : 0;
    for (;;) {
        index = nextPercent(format, index);
        if (format[index] == '\0')
            break;
        if (index > INT_MAX || plan.count == QuickPlan::kCapacity)
            return false;
        QuickDirective& directive = plan.directives[plan.count++];
        if (format[index + 1] == '%') {
            directive.escape = true;
            directive.start = static_cast<uint32_t>(index);
            directive.end = static_cast<uint32_t>(index + 2);
        } else if (!readDirective(format, index, directive)) {
            return false;
        }
        index = directive.end;
    }
    plan.formatLength = index;
    return true;
}

// Reads a directive's argument and writes it; 0, or the call's negative result.
[[gnu::always_inline]] inline int
writeDirective(ksFormatState& out, const QuickDirective& directive, va_list* arguments) {
    const ksFormatValue value = ksFormatFetch(directive.type, directive.options.flags, arguments);
    const int result = ksFormatConvert(out, directive.type, value, directive.options);
    if (result < 0)
        return result;
    return out.processed() > INT_MAX ? ksFormatFailTooLong(out, directive.start + 1u) : 0;
}

// Writes the planned directives in turn, reading each argument just before its directive: the
// format is known to be whole, so the arguments go in the order the full engine reads them.
int writePlan(ksFormatState& out, const char* format, const QuickPlan& plan, va_list* arguments) {
    uint64_t literal = 0;
    for (int i = 0; i < plan.count; ++i) {
        const QuickDirective& directive = plan.directives[i];
        if (directive.start > literal)
            out.write(format + literal, directive.start - literal);
        literal = directive.end;
        if (directive.escape) {
            out.put('%');
            continue;
        }
        const int result = writeDirective(out, directive, arguments);
        if (result < 0)
            return result;
    }
    out.write(format + literal, plan.formatLength - literal);
    if (out.processed() > INT_MAX)
        return ksFormatFailTooLong(out, plan.formatLength);
    return static_cast<int>(out.processed());
}

// Writes the format from a plan that may already hold its first directive. Kept out of line so
// that a lone directive does not pay for setting up the plan's frame.
[[gnu::noinline]] int formatByPlan(ksFormatState& out, const char* format, va_list* arguments,
                                   const QuickDirective* first) {
    QuickPlan plan;
    if (first) {
        plan.directives[0] = *first;
        plan.count = 1;
    }
    if (!readPlan(format, plan))
        return kFormatDeclined;
    return writePlan(out, format, plan, arguments);
}

int writeLone(ksFormatState& out, const QuickDirective& directive, va_list* arguments) {
    const int result = writeDirective(out, directive, arguments);
    return result < 0 ? result : static_cast<int>(out.processed());
}

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

int ksFormatQuick(ksFormatState& out, const char* format, va_list* arguments) {
    if (format[0] != '%' || format[1] == '%')
        return formatByPlan(out, format, arguments, nullptr);
    // The first directive is read here, so that a format that is that directive alone ("%d",
    // "%08x") needs no plan, and a longer one does not read it twice.
    QuickDirective first;
    if (!readDirective(format, 0, first))
        return kFormatDeclined;
    if (format[first.end] == '\0')
        return writeLone(out, first, arguments);
    return formatByPlan(out, format, arguments, &first);
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
