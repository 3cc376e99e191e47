// The system's printf: the entry points, the output pass and the integer, character, string,
// pointer and count conversions. Floating conversions live in FormatFloat.cpp.
#include "foundation/Format.h"
#include <climits>
#include <cstring>
#include "foundation/FormatFloat.h"
#include "foundation/FormatOutput.h"
#include "foundation/FormatParse.h"
#include "foundation/Utf.h"

const char kFormatDigitsLower[] = "0123456789abcdefghijklmnopqrstuvwxyz";
const char kFormatDigitsUpper[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";

namespace {

constexpr int kErrorLimit = 3;
constexpr int kResultMalformedText = -2;
const char kNil[] = "(nil)";

// Pairs of decimal digits, so that a 64-bit value needs at most ten divisions.
constexpr char kDigitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

// Writes the digits of value in base ending just before end; returns where they start.
char* writeDigits(char* end, uint64_t value, int base, const char* table) {
    char* p = end;
    if (base == 10) {
        while (value > UINT32_MAX) {
            unsigned pair = static_cast<unsigned>(value % 100) * 2;
            value /= 100;
            *--p = kDigitPairs[pair + 1];
            *--p = kDigitPairs[pair];
        }
        // 32-bit division by a constant is cheaper than 64-bit.
        uint32_t small = static_cast<uint32_t>(value);
        while (small >= 100) {
            unsigned pair = (small % 100) * 2;
            small /= 100;
            *--p = kDigitPairs[pair + 1];
            *--p = kDigitPairs[pair];
        }
        if (small >= 10) {
            unsigned pair = small * 2;
            *--p = kDigitPairs[pair + 1];
            *--p = kDigitPairs[pair];
        } else {
            *--p = static_cast<char>('0' + small);
        }
        return p;
    }
    if ((base & (base - 1)) == 0) {
        int shift = base == 16 ? 4 : base == 8 ? 3 : base == 4 ? 2 : base == 2 ? 1 : 5;
        uint64_t mask = static_cast<uint64_t>(base - 1);
        do {
            *--p = table[value & mask];
            value >>= shift;
        } while (value);
        return p;
    }
    do {
        *--p = table[value % static_cast<uint64_t>(base)];
        value /= static_cast<uint64_t>(base);
    } while (value);
    return p;
}

int integerBase(const ksFormatOptions& options) {
    switch (options.conversion) {
    case 'd':
        return 10;
    case 'o':
        return 8;
    case 'x':
    case 'X':
        return 16;
    default:
        return options.base;
    }
}

void formatInteger(ksFormatState& out, int64_t value, const ksFormatOptions& options) {
    const uint32_t flags = options.flags;
    const bool full = (flags & kFormat64BitLengths) != 0;
    const bool isSigned = !(flags & ksFlagUnsigned);
    const int base = integerBase(options);
    bool negative = false;
    uint64_t magnitude;
    if (isSigned) {
        int64_t number = full ? value : static_cast<int32_t>(value);
        negative = number < 0;
        magnitude = negative ? 0 - static_cast<uint64_t>(number) : static_cast<uint64_t>(number);
    } else {
        magnitude = full ? static_cast<uint64_t>(value) : static_cast<uint32_t>(value);
    }

    char buffer[72];
    char* end = buffer + sizeof buffer;
    char* digits = end;
    const bool alternative = (flags & ksFlagAlternative) != 0;
    if (magnitude != 0 || options.precision != 0)
        digits = writeDigits(end, magnitude, base,
                             (flags & ksFlagUpper) ? kFormatDigitsUpper : kFormatDigitsLower);
    else if (alternative && base == 8)
        *--digits = '0';
    const int64_t digitCount = end - digits;

    char prefix[3];
    int prefixLength = 0;
    if (negative)
        prefix[prefixLength++] = '-';
    else if ((flags & ksFlagPlus) && isSigned)
        prefix[prefixLength++] = '+';
    else if (flags & ksFlagSpace)
        prefix[prefixLength++] = ' ';
    if (alternative && magnitude != 0) {
        if (base == 16) {
            prefix[prefixLength++] = '0';
            prefix[prefixLength++] = (flags & ksFlagUpper) ? 'X' : 'x';
        } else if (base == 2) {
            prefix[prefixLength++] = '0';
            prefix[prefixLength++] = 'b';
        } else if (base == 8 && options.precision <= digitCount) {
            prefix[prefixLength++] = '0';
        }
    }

    int64_t zeros = options.precision > digitCount ? options.precision - digitCount : 0;
    const bool leftAdjust = (flags & ksFlagMinus) != 0;
    if (options.precision < 0 && (flags & ksFlagZero) && !leftAdjust)
        zeros = options.width - prefixLength - digitCount;
    if (zeros < 0)
        zeros = 0;
    const int64_t padding = options.width - prefixLength - zeros - digitCount;
    if (!leftAdjust)
        out.fill(' ', padding);
    out.write(prefix, static_cast<uint64_t>(prefixLength));
    out.fill('0', zeros);
    out.write(digits, static_cast<uint64_t>(digitCount));
    if (leftAdjust)
        out.fill(' ', padding);
}

void formatCharacter(ksFormatState& out, int64_t value, const ksFormatOptions& options) {
    char bytes[8];
    int64_t length = 1;
    uint32_t point = static_cast<uint32_t>(value);
    if (point <= 0x7F)
        bytes[0] = static_cast<char>(point);
    else
        length = ksUtf8Encode(bytes, sizeof bytes, point);
    // The width counts characters: one, whatever its encoding length.
    const int64_t padding = options.width - 1;
    if (!(options.flags & ksFlagMinus))
        out.fill(' ', padding);
    out.write(bytes, static_cast<uint64_t>(length));
    if (options.flags & ksFlagMinus)
        out.fill(' ', padding);
}

void formatNil(ksFormatState& out, const ksFormatOptions& options) {
    int64_t length = 5;
    if (options.precision >= 0 && options.precision < length)
        length = options.precision;
    out.write(kNil, static_cast<uint64_t>(length));
}

// Whether count bytes (a multiple of 8) are all below 0x80.
bool isAsciiRun(const char* bytes, uint64_t count) {
    uint64_t combined = 0;
    for (uint64_t i = 0; i < count; i += 8) {
        uint64_t word;
        std::memcpy(&word, bytes + i, sizeof word);
        combined |= word;
    }
    return (combined & 0x8080808080808080ull) == 0;
}

// The length of the leading run of whole 64-byte blocks that are all ASCII.
uint64_t asciiBlocks(const char* bytes, uint64_t available) {
    uint64_t index = 0;
    while (available - index >= 64 && isAsciiRun(bytes + index, 64))
        index += 64;
    return index;
}

// The bytes of narrow text to write under the precision, or -1 when the text is not
// well-formed within them. A sequence that does not fit the precision ends the text.
int64_t measureNarrow(const char* text, int64_t precision) {
    uint64_t available;
    bool cutByPrecision = false;
    if (precision < 0) {
        available = std::strlen(text);
    } else {
        const void* zero = std::memchr(text, 0, static_cast<uint64_t>(precision));
        available = zero ? static_cast<uint64_t>(static_cast<const char*>(zero) - text)
                         : static_cast<uint64_t>(precision);
        cutByPrecision = zero == nullptr;
    }
    uint64_t index = asciiBlocks(text, available);
    while (index < available) {
        if (available - index >= 32 && isAsciiRun(text + index, 32)) {
            index += 32;
            continue;
        }
        if (available - index >= 8 && isAsciiRun(text + index, 8)) {
            index += 8;
            continue;
        }
        if (static_cast<unsigned char>(text[index]) < 0x80) {
            ++index;
            continue;
        }
        // When the text ends here the decoder must see its terminator to call a cut
        // sequence malformed; when the precision ends it, a cut sequence merely stops.
        uint64_t room = available - index + (cutByPrecision ? 0 : 1);
        int64_t length = ksUtf8Decode(text + index, room, nullptr);
        if (length == -2 && cutByPrecision)
            break;
        if (length <= 0)
            return -1;
        index += static_cast<uint64_t>(length);
    }
    return static_cast<int64_t>(index);
}

int formatNarrowString(ksFormatState& out, const char* text, const ksFormatOptions& options) {
    int64_t length = measureNarrow(text, options.precision);
    if (length < 0)
        return kResultMalformedText;
    ksFormatPadded(out, text, length, options);
    return 0;
}

// Decodes one code point of wide text; units used, or -1 when malformed.
int64_t decodeWide(const wchar_t* text, uint32_t* point) {
    if constexpr (sizeof(wchar_t) == sizeof(ksWideUnit)) {
        // The unit after a non-zero one exists: at worst it is the terminator.
        int64_t used = ksUtf16Decode(reinterpret_cast<const ksWideUnit*>(text), 2, point);
        return used > 0 ? used : -1;
    } else {
        uint32_t value = static_cast<uint32_t>(text[0]);
        if (value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
            return -1;
        *point = value;
        return 1;
    }
}

// Bytes and units of wide text under the precision; -1 when it is not well-formed.
int64_t measureWide(const wchar_t* text, int64_t precision, uint64_t& units) {
    int64_t bytes = 0;
    units = 0;
    while (text[units] != 0) {
        uint32_t point = 0;
        int64_t used = decodeWide(text + units, &point);
        if (used < 0)
            return -1;
        int64_t length = ksUtf8Encode(nullptr, 0, point);
        if (precision >= 0 && bytes + length > precision)
            break;
        bytes += length;
        units += static_cast<uint64_t>(used);
    }
    return bytes;
}

int formatWideString(ksFormatState& out, const wchar_t* text, const ksFormatOptions& options) {
    uint64_t units = 0;
    int64_t length = measureWide(text, options.precision, units);
    if (length < 0)
        return kResultMalformedText;
    const int64_t padding = options.width - length;
    if (!(options.flags & ksFlagMinus))
        out.fill(' ', padding);
    for (uint64_t index = 0; index < units;) {
        uint32_t point = 0;
        index += static_cast<uint64_t>(decodeWide(text + index, &point));
        char bytes[8];
        out.write(bytes, static_cast<uint64_t>(ksUtf8Encode(bytes, sizeof bytes, point)));
    }
    if (options.flags & ksFlagMinus)
        out.fill(' ', padding);
    return 0;
}

int formatString(ksFormatState& out, const void* text, const ksFormatOptions& options) {
    if (!text) {
        formatNil(out, options);
        return 0;
    }
    if (options.flags & ksFlagWide)
        return formatWideString(out, static_cast<const wchar_t*>(text), options);
    return formatNarrowString(out, static_cast<const char*>(text), options);
}

void formatPointer(ksFormatState& out, const void* pointer, const ksFormatOptions& options) {
    if (!pointer) {
        out.write(kNil, 5);
        return;
    }
    char buffer[24];
    char* end = buffer + sizeof buffer;
    char* digits = writeDigits(end, reinterpret_cast<uintptr_t>(pointer), 16, kFormatDigitsLower);
    // Always 18 characters; a space flag takes the place of one fill zero.
    const bool space = (options.flags & ksFlagSpace) != 0;
    const int64_t fill = 16 - (space ? 1 : 0) - (end - digits);
    if (space)
        out.put(' ');
    out.write("0x", 2);
    out.fill('0', fill);
    out.write(digits, static_cast<uint64_t>(end - digits));
}

void storeCount(const ksFormatState& out, void* target, uint32_t flags) {
    if (!target)
        return;
    const uint64_t count = out.committed();
    if (flags & kFormat64BitLengths) {
        int64_t value = static_cast<int64_t>(count);
        std::memcpy(target, &value, sizeof value);
    } else if ((flags & (ksFlagShort | ksFlagShortShort)) && !(flags & ksFlagLong)) {
        int16_t value = static_cast<int16_t>(count);
        std::memcpy(target, &value, sizeof value);
    } else {
        int32_t value = static_cast<int32_t>(count);
        std::memcpy(target, &value, sizeof value);
    }
}

// Width, precision and base of a directive, with those from arguments read from their slots.
ksFormatOptions resolveOptions(const ksFormatParam& param, const ksFormatDirectives& directives) {
    ksFormatOptions options{param.flags, param.conversion, param.width, param.precision,
                            param.base};
    if (param.flags & ksFlagWidthArgument) {
        int64_t width = directives.slots[param.width].value.integer;
        if (width < 0) {
            options.flags = (options.flags | ksFlagMinus) & ~ksFlagZero;
            width = -width;
        }
        options.width = width;
    }
    if (param.flags & ksFlagPrecisionArgument) {
        int64_t precision = directives.slots[param.precision].value.integer;
        options.precision = precision < 0 ? -1 : precision;
    }
    if (options.precision < 0)
        options.flags &= ~ksFlagPrecision;
    if (param.flags & ksFlagBaseArgument) {
        int64_t base = directives.slots[param.base].value.integer;
        options.base = base >= 2 && base <= 36 ? static_cast<int>(base) : 10;
    }
    return options;
}

int convert(ksFormatState& out, const ksFormatParam& param, const ksFormatDirectives& directives) {
    const ksFormatOptions options = resolveOptions(param, directives);
    switch (param.type) {
    case ksFormatInteger:
        formatInteger(out, param.value.integer, options);
        return 0;
    case ksFormatFloating:
        ksFormatFloatingValue(out, param.value.real, options);
        return 0;
    case ksFormatCharacter:
        formatCharacter(out, param.value.integer, options);
        return 0;
    case ksFormatString:
        return formatString(out, param.value.pointer, options);
    case ksFormatPointer:
        formatPointer(out, param.value.pointer, options);
        return 0;
    case ksFormatCount:
        storeCount(out, const_cast<void*>(param.value.pointer), options.flags);
        return 0;
    default:
        return 0;
    }
}

// Literal text between directives: bytes unchanged, each "%%" as one '%'. Without any "%%"
// in the format there is nothing to look for.
void copyLiteral(ksFormatState& out, const char* from, const char* to, bool escapes) {
    if (!escapes) {
        out.write(from, static_cast<uint64_t>(to - from));
        return;
    }
    while (from < to) {
        const void* percent = std::memchr(from, '%', static_cast<uint64_t>(to - from));
        if (!percent) {
            out.write(from, static_cast<uint64_t>(to - from));
            return;
        }
        const char* at = static_cast<const char*>(percent);
        out.write(from, static_cast<uint64_t>(at - from) + 1);
        from = at + 2;
    }
}

// A text longer than a result can report fails like a limit of the format, and like a parse
// error it leaves the buffer empty.
int failTooLong(ksFormatState& out, uint64_t position) {
    out.cursor = out.begin;
    return ksFormatError(kErrorLimit, position);
}

int runCore(ksFormatState& out, const char* format, va_list* arguments) {
    ksFormatDirectives directives;
    int result = ksFormatParse(format, directives, arguments);
    if (result < 0)
        return result;
    uint64_t position = 0;
    for (int i = 0; i < directives.count; ++i) {
        const ksFormatParam& param = directives.slots[i];
        if (param.type == ksFormatParameter)
            continue;
        copyLiteral(out, format + position, format + param.start, directives.escapes);
        result = convert(out, param, directives);
        if (result < 0)
            return result;
        if (out.processed() > INT_MAX)
            return failTooLong(out, param.start + 1u);
        position = param.end;
    }
    copyLiteral(out, format + position, format + directives.formatLength, directives.escapes);
    if (out.processed() > INT_MAX)
        return failTooLong(out, directives.formatLength);
    return static_cast<int>(out.processed());
}

// Both entry points: the limit, the core, the terminator.
int formatInto(char* buffer, size_t size, const char* format, va_list* arguments) {
    uint64_t limit = size == 0 ? 0 : static_cast<uint64_t>(size) - 1;
    if (limit > INT_MAX)
        limit = INT_MAX;
    if (!buffer)
        limit = 0;
    ksFormatState out(buffer, limit);
    const int result = format ? runCore(out, format, arguments) : 0;
    if (size > 0 && buffer)
        *out.cursor = '\0';
    return result;
}

} // namespace

void ksFormatPadded(ksFormatState& out, const char* bytes, int64_t length,
                    const ksFormatOptions& options) {
    const int64_t padding = options.width - length;
    if (!(options.flags & ksFlagMinus))
        out.fill(' ', padding);
    out.write(bytes, static_cast<uint64_t>(length));
    if (options.flags & ksFlagMinus)
        out.fill(' ', padding);
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
