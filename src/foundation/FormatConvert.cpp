// The formatter's conversions: integer, character, string, pointer and count, and the
// dispatch from a directive's type to its conversion (floating ones live in FormatFloat.cpp).
#include "foundation/FormatConvert.h"
#include <bit>
#include <climits>
#include <cstring>
#include "foundation/FormatFloat.h"
#include "foundation/Utf.h"

const char kFormatDigitsLower[] = "0123456789abcdefghijklmnopqrstuvwxyz";
const char kFormatDigitsUpper[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";

namespace {

constexpr int kResultMalformedText = -2;
const char kNil[] = "(nil)";

// Pairs of decimal digits, so that a 64-bit value needs at most ten divisions.
constexpr char kDigitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

void writePair(char* at, uint32_t value) {
    std::memcpy(at, kDigitPairs + value * 2, 2);
}

// Writes value below 10^8 as exactly eight digits ending just before end. The four pairs
// come from independent divisions rather than one chain of them.
void writeEightDigits(char* end, uint32_t value) {
    const uint32_t high = value / 10000;
    const uint32_t low = value - high * 10000;
    writePair(end - 8, high / 100);
    writePair(end - 6, high % 100);
    writePair(end - 4, low / 100);
    writePair(end - 2, low % 100);
}

// Writes the decimal digits of a value below 2^32 ending just before end; returns where they
// start. Four digits per division by a constant, whose two pairs are then independent.
char* writeDecimal32(char* end, uint32_t value) {
    char* p = end;
    while (value >= 10000) {
        const uint32_t high = value / 10000;
        const uint32_t low = value - high * 10000;
        p -= 4;
        writePair(p, low / 100);
        writePair(p + 2, low % 100);
        value = high;
    }
    if (value >= 100) {
        const uint32_t high = value / 100;
        p -= 2;
        writePair(p, value - high * 100);
        value = high;
    }
    if (value >= 10) {
        p -= 2;
        writePair(p, value);
    } else {
        *--p = static_cast<char>('0' + value);
    }
    return p;
}

// Writes the decimal digits of value ending just before end; returns where they start. Inlined
// so that a plain decimal needs no call while its digits are written.
[[gnu::always_inline]] inline char* writeDecimal(char* end, uint64_t value) {
    // Eight digits at a time keep all but one division in 32 bits.
    while (value > UINT32_MAX) {
        const uint64_t high = value / 100000000;
        end -= 8;
        writeEightDigits(end + 8, static_cast<uint32_t>(value - high * 100000000));
        value = high;
    }
    return writeDecimal32(end, static_cast<uint32_t>(value));
}

// The number of decimal digits of value (one for zero).
int decimalLength(uint64_t value) {
    static constexpr uint64_t kPowers[20] = {1,
                                             10,
                                             100,
                                             1000,
                                             10000,
                                             100000,
                                             1000000,
                                             10000000,
                                             100000000,
                                             1000000000,
                                             10000000000,
                                             100000000000,
                                             1000000000000,
                                             10000000000000,
                                             100000000000000,
                                             1000000000000000,
                                             10000000000000000,
                                             100000000000000000,
                                             1000000000000000000,
                                             10000000000000000000u};
    // bits * 1233 / 4096 is log10(2^bits) rounded down, for every width up to 64. Setting
    // the low bit makes zero count as one digit and never moves a value across a power of ten.
    const uint64_t nonZero = value | 1;
    const int guess = std::bit_width(nonZero) * 1233 >> 12;
    return guess + (nonZero >= kPowers[guess] ? 1 : 0);
}

// Writes the digits of value in base ending just before end; returns where they start.
char* writeDigits(char* end, uint64_t value, int base, const char* table) {
    if (base == 10)
        return writeDecimal(end, value);
    char* p = end;
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

// Flags that add to an integer's digits or pad them.
constexpr uint32_t kDecorations =
    ksFlagSpace | ksFlagPlus | ksFlagMinus | ksFlagAlternative | ksFlagZero;

// The magnitude of an integer argument as its length and signedness read it.
uint64_t integerMagnitude(int64_t value, uint32_t flags, bool& negative) {
    const bool full = (flags & kFormat64BitLengths) != 0;
    negative = false;
    if (flags & ksFlagUnsigned)
        return full ? static_cast<uint64_t>(value) : static_cast<uint32_t>(value);
    const int64_t number = full ? value : static_cast<int32_t>(value);
    negative = number < 0;
    return negative ? 0 - static_cast<uint64_t>(number) : static_cast<uint64_t>(number);
}

// Sign and decimal digits with nothing around them, built in place when they fit.
void writePlainDecimal(ksFormatState& out, bool negative, uint64_t magnitude) {
    const int length = decimalLength(magnitude) + (negative ? 1 : 0);
    char buffer[24];
    char* at = out.claim(static_cast<uint64_t>(length));
    const bool inPlace = at != nullptr;
    if (!inPlace)
        at = buffer;
    writeDecimal(at + length, magnitude);
    if (negative)
        at[0] = '-';
    if (!inPlace)
        out.write(buffer, static_cast<uint64_t>(length));
}

// A decimal integer with no flag, width or precision: the everyday %d, %u or %lld.
bool isPlainDecimal(const ksFormatOptions& options) {
    const char c = options.conversion;
    const bool decimal = c == 'd' || ((c == 'i' || c == 'u') && options.base == 10);
    return decimal && !(options.flags & (kDecorations | ksFlagPrecision)) && options.width == 0;
}

void formatInteger(ksFormatState& out, int64_t value, const ksFormatOptions& options) {
    const uint32_t flags = options.flags;
    const int base = integerBase(options);
    bool negative = false;
    const uint64_t magnitude = integerMagnitude(value, flags, negative);

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
    else if ((flags & ksFlagPlus) && !(flags & ksFlagUnsigned))
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
    // Most texts are a few ASCII bytes: walked here, they need no library call.
    constexpr uint64_t kQuickBytes = 16;
    const uint64_t limit = static_cast<uint64_t>(precision);
    const uint64_t quick = precision >= 0 && limit < kQuickBytes ? limit : kQuickBytes;
    uint64_t index = 0;
    while (index < quick && static_cast<unsigned char>(text[index]) - 1u < 0x7Fu)
        ++index;
    if (index == limit || text[index] == '\0')
        return static_cast<int64_t>(index);
    uint64_t available;
    bool cutByPrecision = false;
    if (precision < 0) {
        available = index + std::strlen(text + index);
    } else {
        const void* zero = std::memchr(text + index, 0, limit - index);
        available = zero ? static_cast<uint64_t>(static_cast<const char*>(zero) - text) : limit;
        cutByPrecision = zero == nullptr;
    }
    index += asciiBlocks(text + index, available - index);
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

// Bytes and units of wide text under the precision; -1 when it is not well-formed within
// them. Once the precision is used up nothing further is decoded: what lies beyond it is
// never written, so it cannot fail the call.
int64_t measureWide(const wchar_t* text, int64_t precision, uint64_t& units) {
    int64_t bytes = 0;
    units = 0;
    while (text[units] != 0 && bytes != precision) {
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

// Every conversion but the plain decimal. Kept out of line so that the plain decimal, the most
// frequent directive, does not pay for the others' stack frame.
[[gnu::noinline]] int convertOther(ksFormatState& out, ksFormatType type, ksFormatValue value,
                                   const ksFormatOptions& options) {
    switch (type) {
    case ksFormatInteger:
        formatInteger(out, value.integer, options);
        return 0;
    case ksFormatFloating:
        ksFormatFloatingValue(out, value.real, options);
        return 0;
    case ksFormatCharacter:
        formatCharacter(out, value.integer, options);
        return 0;
    case ksFormatString:
        return formatString(out, value.pointer, options);
    case ksFormatPointer:
        formatPointer(out, value.pointer, options);
        return 0;
    case ksFormatCount:
        storeCount(out, const_cast<void*>(value.pointer), options.flags);
        return 0;
    default:
        return 0;
    }
}

} // namespace

int ksFormatConvert(ksFormatState& out, ksFormatType type, ksFormatValue value,
                    const ksFormatOptions& options) {
    if (type == ksFormatInteger && isPlainDecimal(options)) {
        bool negative = false;
        const uint64_t magnitude = integerMagnitude(value.integer, options.flags, negative);
        writePlainDecimal(out, negative, magnitude);
        return 0;
    }
    return convertOther(out, type, value, options);
}

void ksFormatPadded(ksFormatState& out, const char* bytes, int64_t length,
                    const ksFormatOptions& options) {
    const int64_t padding = options.width - length;
    if (!(options.flags & ksFlagMinus))
        out.fill(' ', padding);
    out.write(bytes, static_cast<uint64_t>(length));
    if (options.flags & ksFlagMinus)
        out.fill(' ', padding);
}
