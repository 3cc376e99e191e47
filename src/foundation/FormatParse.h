// The formatter's parse pass: the whole format is read into argument slots, the argument
// numbers are checked and every argument is fetched, all before a byte is emitted.
#pragma once
#include <cstdarg>
#include <cstddef>
#include <cstdint>

constexpr int kFormatMaxSlots = 64; // also the highest argument number

enum ksFormatType : uint8_t {
    ksFormatInteger,
    ksFormatFloating,
    ksFormatCharacter,
    ksFormatString,
    ksFormatPointer,
    ksFormatCount,
    ksFormatParameter, // supplies a width, precision or base to the directive before it
};

enum ksFormatFlag : uint32_t {
    ksFlagSpace = 1u << 0,
    ksFlagPlus = 1u << 1,
    ksFlagMinus = 1u << 2, // left-adjust
    ksFlagAlternative = 1u << 3,
    ksFlagZero = 1u << 4,
    ksFlagShort = 1u << 5,
    ksFlagShortShort = 1u << 6,
    ksFlagLong = 1u << 7,
    ksFlagQuad = 1u << 8,
    ksFlagLongDouble = 1u << 9,
    ksFlagSize = 1u << 10,
    ksFlagPtrdiff = 1u << 11,
    ksFlagIntmax = 1u << 12,
    ksFlagUnsigned = 1u << 13,
    ksFlagUpper = 1u << 14,
    ksFlagWidth = 1u << 15,
    ksFlagWidthArgument = 1u << 16,
    ksFlagPrecision = 1u << 17,
    ksFlagPrecisionArgument = 1u << 18,
    ksFlagBase = 1u << 19,
    ksFlagBaseArgument = 1u << 20,
    ksFlagExponent = 1u << 21,
    ksFlagGeneral = 1u << 22,
    ksFlagWide = 1u << 23, // wide string argument
};

// Lengths that read and print a full 64-bit value. 'l' joins them where long is 64-bit.
constexpr uint32_t kFormat64BitLengths =
    ksFlagQuad | ksFlagIntmax | ksFlagSize | ksFlagPtrdiff |
    (sizeof(long) == 8 ? static_cast<uint32_t>(ksFlagLong) : 0u);

// Lengths that keep %s on UTF-8 text even beside an 'l'.
constexpr uint32_t kFormatNarrowStringLengths =
    ksFlagShort | ksFlagShortShort | ksFlagQuad | ksFlagIntmax | ksFlagSize | ksFlagPtrdiff;

union ksFormatValue {
    int64_t integer;
    double real;
    const void* pointer;
};

// One argument slot. Width, precision and base hold the literal values or, when taken from an
// argument, the index of the parameter slot holding it. (Width and precision are kept apart so
// that reading both is never one wide load of two separate stores, which stalls.)
struct ksFormatParam {
    uint32_t flags;
    ksFormatType type;
    char conversion;
    uint8_t argument;  // 1 to 64
    int64_t width;     // absent: 0
    uint32_t start;    // index of the '%' (of the '*' for a parameter slot)
    int32_t base;      // absent: 10
    int64_t precision; // absent: -1
    uint32_t end;      // index just past the conversion character
    ksFormatValue value;
};

struct ksFormatDirectives {
    ksFormatParam slots[kFormatMaxSlots];
    int count;
    bool baseArguments; // some directive takes its base from an argument
    bool escapes;       // the literal text holds some "%%"
    bool inSlotOrder;   // no '$' and no '*': slot i takes argument i + 1
    uint64_t formatLength;
};

// The negative result of a failed call: -(code + 256 * position), kept within an int.
int ksFormatError(int code, uint64_t position);

// Parses the format and fetches the arguments; 0 or a negative error result.
int ksFormatParse(const char* format, ksFormatDirectives& directives, va_list* arguments);

// Reads a run of decimal digits at index, saturating beyond any count an int can report so
// that huge numbers stay huge.
inline uint64_t ksFormatReadNumber(const char* format, uint64_t& index) {
    constexpr uint64_t kCeiling = uint64_t{1} << 32;
    uint64_t value = 0;
    for (char c = format[index]; c >= '0' && c <= '9'; c = format[++index]) {
        value = value * 10 + static_cast<uint64_t>(c - '0');
        if (value > kCeiling)
            value = kCeiling;
    }
    return value;
}

// What a conversion character gives a directive: its type and the flags it implies.
struct ksFormatConversionInfo {
    bool valid = false;
    ksFormatType type = ksFormatInteger;
    uint32_t flags = 0;
};

constexpr ksFormatConversionInfo ksFormatDescribeConversion(char c) {
    switch (c) {
    case 'd':
    case 'i':
        return {true, ksFormatInteger, 0};
    case 'u':
    case 'o':
    case 'x':
        return {true, ksFormatInteger, ksFlagUnsigned};
    case 'X':
        return {true, ksFormatInteger, ksFlagUnsigned | ksFlagUpper};
    case 'c':
        return {true, ksFormatCharacter, 0};
    case 's':
        return {true, ksFormatString, 0};
    case 'p':
        return {true, ksFormatPointer, 0};
    case 'n':
        return {true, ksFormatCount, 0};
    case 'e':
    case 'f':
    case 'g':
    case 'a':
    case 'E':
    case 'F':
    case 'G':
    case 'A': {
        uint32_t flags = c >= 'A' && c <= 'Z' ? ksFlagUpper : 0u;
        if (c == 'e' || c == 'E')
            flags |= ksFlagExponent;
        if (c == 'g' || c == 'G')
            flags |= ksFlagGeneral;
        return {true, ksFormatFloating, flags};
    }
    default:
        return {};
    }
}

// Every byte's description, so that reading a conversion is one lookup.
struct ksFormatConversionTable {
    ksFormatConversionInfo entries[256];
    constexpr ksFormatConversionTable() {
        for (int c = 0; c < 256; ++c)
            entries[c] = ksFormatDescribeConversion(static_cast<char>(c));
    }
};
inline constexpr ksFormatConversionTable kFormatConversions{};

// Sets the type, flags and conversion that a conversion character gives; false when c is none.
inline bool ksFormatSetConversion(char c, uint32_t& flags, ksFormatType& type, char& conversion) {
    const ksFormatConversionInfo& info = kFormatConversions.entries[static_cast<unsigned char>(c)];
    if (!info.valid)
        return false;
    type = info.type;
    flags |= info.flags;
    // A single 'l' makes %s read wide text; 'h' asks for narrow text again, and so do the
    // 64-bit lengths (ll, j, z, t), whose strings are UTF-8 as they are without a length.
    if (c == 's' && (flags & (ksFlagLong | kFormatNarrowStringLengths)) == ksFlagLong)
        flags |= ksFlagWide;
    conversion = c;
    return true;
}

// Reads the argument of a directive of this type and these lengths.
inline ksFormatValue ksFormatFetch(ksFormatType type, uint32_t flags, va_list* arguments) {
    ksFormatValue value;
    switch (type) {
    case ksFormatInteger:
    case ksFormatCharacter:
        if (flags & (ksFlagQuad | ksFlagIntmax | ksFlagSize | ksFlagPtrdiff))
            value.integer = va_arg(*arguments, long long);
        else if ((flags & kFormat64BitLengths) && type == ksFormatInteger)
            value.integer = va_arg(*arguments, long); // %lc still takes an int
        else
            value.integer = va_arg(*arguments, int);
        break;
    case ksFormatParameter:
        value.integer = va_arg(*arguments, int);
        break;
    case ksFormatFloating:
        value.real = va_arg(*arguments, double);
        break;
    default:
        value.pointer = va_arg(*arguments, const void*);
        break;
    }
    return value;
}
