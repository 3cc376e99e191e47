// The formatter's directives: what one asks for, and the reader that takes it from the format
// into argument slots.
#pragma once
#include <cstdarg>
#include <cstdint>

constexpr int kFormatMaxSlots = 64; // also the highest argument number

enum ksFormatType : uint8_t {
    ksFormatInteger,
    ksFormatFloating,
    ksFormatCharacter,
    ksFormatString,
    ksFormatPointer,
    ksFormatCount,
    ksFormatParameter, // supplies a width, precision or base to the directive after it
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

// The C type a directive's argument is read as.
enum ksFormatArgument : uint8_t {
    ksArgumentInt,
    ksArgumentLong,
    ksArgumentLongLong,
    ksArgumentDouble,
    ksArgumentPointer
};

union ksFormatValue {
    int64_t integer;
    double real;
    const void* pointer;
};

// A directive with its width, precision and base resolved from arguments.
struct ksFormatOptions {
    uint32_t flags;
    char conversion;
    int64_t width;     // never negative
    int64_t precision; // -1 when absent
    int base;          // 2 to 36
};

// One argument slot. Its options hold the literal width, precision and base or, when taken
// from an argument, the index of the parameter slot holding it: a directive with none from
// arguments is written straight from its slot.
struct ksFormatSlot {
    ksFormatOptions options; // width absent: 0; precision absent: -1; base absent: 10
    ksFormatType type;
    ksFormatArgument argumentType;
    uint8_t argument; // 1 to 64
    uint32_t start;   // index of the '%' (of the '*' for a parameter slot)
    uint32_t end;     // index just past the conversion character
    ksFormatValue value;
};

// Directives in slots, a directive's parameter slots before its own, so that without '$' slot i
// takes argument i + 1.
template <int Capacity> struct ksFormatSlotsOf {
    ksFormatSlot slots[Capacity];
    int count = 0;
    uint32_t nextArgument = 1;
    bool fetchFirst = false; // some '$' or base from an argument: arguments before any output
    bool escapes = false;    // the literal text holds some "%%"
};

// The directives of a whole format.
using ksFormatPlan = ksFormatSlotsOf<kFormatMaxSlots>;

// One directive with a width and a precision from arguments; a base from an argument reads the
// arguments first, which such a plan never does.
using ksFormatLonePlan = ksFormatSlotsOf<4>;

// The negative result of a failed call: -(code + 256 * position), kept within an int.
int ksFormatError(int code, uint64_t position);

// Reads every directive of the format from index from on into the plan. Returns the format's
// length, or a negative error result.
int64_t ksFormatReadPlan(const char* format, ksFormatPlan& plan, uint64_t from = 0);

// The index of the next '%' or of the terminator. Literal runs are short: a plain loop on a
// pointer of its own beats a library call.
inline uint64_t ksFormatNextPercent(const char* format, uint64_t index) {
    const char* at = format + index;
    while (*at != '%' && *at != '\0')
        ++at;
    return static_cast<uint64_t>(at - format);
}

// What a byte is in a directive, and the flags it sets.
enum ksFormatItemKind : uint8_t {
    ksItemInvalid,
    ksItemFlag,
    ksItemZero,
    ksItemDigit,
    ksItemStar,
    ksItemDot,
    ksItemLength,
    ksItemConversion,
};

struct ksFormatItem {
    ksFormatItemKind kind = ksItemInvalid;
    ksFormatType type = ksFormatInteger; // of a conversion
    uint32_t bits = 0;                   // flags a flag, length or conversion sets
};

constexpr ksFormatItem ksFormatDescribeItem(char c) {
    switch (c) {
    case ' ':
        return {ksItemFlag, ksFormatInteger, ksFlagSpace};
    case '+':
        return {ksItemFlag, ksFormatInteger, ksFlagPlus};
    case '#':
        return {ksItemFlag, ksFormatInteger, ksFlagAlternative};
    case '-':
        return {ksItemFlag, ksFormatInteger, ksFlagMinus};
    case '0':
        return {ksItemZero, ksFormatInteger, ksFlagZero};
    case '*':
        return {ksItemStar};
    case '.':
        return {ksItemDot};
    case 'h':
        return {ksItemLength, ksFormatInteger, ksFlagShort};
    case 'l':
        return {ksItemLength, ksFormatInteger, ksFlagLong};
    case 'L':
        return {ksItemLength, ksFormatInteger, ksFlagLongDouble};
    case 'j':
        return {ksItemLength, ksFormatInteger, ksFlagIntmax};
    case 'z':
        return {ksItemLength, ksFormatInteger, ksFlagSize};
    case 't':
        return {ksItemLength, ksFormatInteger, ksFlagPtrdiff};
    case 'd':
    case 'i':
        return {ksItemConversion, ksFormatInteger, 0};
    case 'u':
    case 'o':
    case 'x':
        return {ksItemConversion, ksFormatInteger, ksFlagUnsigned};
    case 'X':
        return {ksItemConversion, ksFormatInteger, ksFlagUnsigned | ksFlagUpper};
    case 'c':
        return {ksItemConversion, ksFormatCharacter, 0};
    case 's':
        return {ksItemConversion, ksFormatString, 0};
    case 'p':
        return {ksItemConversion, ksFormatPointer, 0};
    case 'n':
        return {ksItemConversion, ksFormatCount, 0};
    case 'e':
    case 'E':
        return {ksItemConversion, ksFormatFloating, ksFlagExponent | (c == 'E' ? ksFlagUpper : 0u)};
    case 'g':
    case 'G':
        return {ksItemConversion, ksFormatFloating, ksFlagGeneral | (c == 'G' ? ksFlagUpper : 0u)};
    case 'f':
    case 'a':
        return {ksItemConversion, ksFormatFloating, 0};
    case 'F':
    case 'A':
        return {ksItemConversion, ksFormatFloating, ksFlagUpper};
    default:
        return {c >= '1' && c <= '9' ? ksItemDigit : ksItemInvalid};
    }
}

// Every byte's part in a directive, so that reading one is a lookup per byte.
struct ksFormatItemTable {
    ksFormatItem entries[256];
    constexpr ksFormatItemTable() {
        for (int c = 0; c < 256; ++c)
            entries[c] = ksFormatDescribeItem(static_cast<char>(c));
    }
};
inline constexpr ksFormatItemTable kFormatItems{};

// The argument's C type by length (none, h, hh or L; l; ll, j, z or t) and conversion type.
inline constexpr ksFormatArgument kFormatArguments[3][7] = {
    {ksArgumentInt, ksArgumentDouble, ksArgumentInt, ksArgumentPointer, ksArgumentPointer,
     ksArgumentPointer, ksArgumentInt},
    {ksArgumentLong, ksArgumentDouble, ksArgumentInt, ksArgumentPointer, ksArgumentPointer,
     ksArgumentPointer, ksArgumentInt},
    {ksArgumentLongLong, ksArgumentDouble, ksArgumentLongLong, ksArgumentPointer, ksArgumentPointer,
     ksArgumentPointer, ksArgumentInt},
};

inline ksFormatValue ksFormatFetch(ksFormatArgument type, va_list* arguments) {
    ksFormatValue value;
    switch (type) {
    case ksArgumentInt:
        value.integer = va_arg(*arguments, int);
        break;
    case ksArgumentLong:
        value.integer = va_arg(*arguments, long);
        break;
    case ksArgumentLongLong:
        value.integer = va_arg(*arguments, long long);
        break;
    case ksArgumentDouble:
        value.real = va_arg(*arguments, double);
        break;
    default:
        value.pointer = va_arg(*arguments, const void*);
        break;
    }
    return value;
}
