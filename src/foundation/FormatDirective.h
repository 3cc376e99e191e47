// The formatter's directives: what one asks for, the argument slots of a format, and the table
// that gives every byte its part in a directive.
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

// Lengths that read a 64-bit argument.
inline constexpr uint32_t kFormatLongLongLengths =
    ksFlagQuad | ksFlagIntmax | ksFlagSize | ksFlagPtrdiff;

// Lengths that read and print a full 64-bit value. 'l' joins them where long is 64-bit.
constexpr uint32_t kFormat64BitLengths =
    kFormatLongLongLengths | (sizeof(long) == 8 ? static_cast<uint32_t>(ksFlagLong) : 0u);

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
    uint8_t argument; // 1 to 64, or 0 for the next in order
    uint32_t start;   // index of the '%' (of the '*' for a parameter slot)
    uint32_t end;     // index just past the conversion character
    ksFormatValue value;
};

// Directives in slots, a directive's parameter slots before its own, so that without '$' slot i
// takes argument i + 1.
template <int Capacity> struct ksFormatSlotsOf {
    ksFormatSlot slots[Capacity];
    int count = 0;
    bool fetchFirst = false; // some '$' or base from an argument: arguments before any output
    bool escapes = false;    // the literal text holds some "%%"
};

// The directives of a whole format.
using ksFormatPlan = ksFormatSlotsOf<kFormatMaxSlots>;

// The parameter slots of a format's first directive, read on its own: a width and a precision
// from arguments, and the slot the reader keeps free for the directive.
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

// What a byte is in a directive.
enum ksFormatItemKind : uint8_t {
    ksItemInvalid,
    ksItemBits, // a flag or a length: sets its bits
    ksItemZero,
    ksItemDigit,
    ksItemStar,
    ksItemDot,
    ksItemConversion,
};

// The lengths that a second letter doubles: 'h' to hh, 'l' to ll.
inline constexpr uint32_t kFormatDoublingLengths = ksFlagShort | ksFlagLong;

// Eight bytes, so that a lookup is one scaled load.
struct ksFormatItem {
    ksFormatItemKind kind = ksItemInvalid;
    ksFormatType type = ksFormatInteger; // of a conversion
    uint16_t refused = 0;                // flags before it that make a length an error
    uint32_t bits = 0;                   // flags a flag, length or conversion sets
};
static_assert(kFormatLongLongLengths <= UINT16_MAX, "refused lengths fit the item");

// Every byte's part in a directive, so that reading one is a lookup per byte.
struct ksFormatItemTable {
    ksFormatItem entries[256] = {};

    constexpr void set(const char* bytes, ksFormatItem item) {
        for (; *bytes; ++bytes)
            entries[static_cast<unsigned char>(*bytes)] = item;
    }

    constexpr ksFormatItemTable() {
        set(" ", {ksItemBits, ksFormatInteger, 0, ksFlagSpace});
        set("+", {ksItemBits, ksFormatInteger, 0, ksFlagPlus});
        set("#", {ksItemBits, ksFormatInteger, 0, ksFlagAlternative});
        set("-", {ksItemBits, ksFormatInteger, 0, ksFlagMinus});
        set("0", {ksItemZero});
        set("123456789", {ksItemDigit});
        set("*", {ksItemStar});
        set(".", {ksItemDot});
        // A third 'h' is an error; so are a third 'l' and an 'l' after j, z or t.
        set("h", {ksItemBits, ksFormatInteger, ksFlagShortShort, ksFlagShort});
        set("l", {ksItemBits, ksFormatInteger, kFormatLongLongLengths, ksFlagLong});
        set("L", {ksItemBits, ksFormatInteger, 0, ksFlagLongDouble});
        set("j", {ksItemBits, ksFormatInteger, 0, ksFlagIntmax});
        set("z", {ksItemBits, ksFormatInteger, 0, ksFlagSize});
        set("t", {ksItemBits, ksFormatInteger, 0, ksFlagPtrdiff});
        set("di", {ksItemConversion, ksFormatInteger});
        set("uox", {ksItemConversion, ksFormatInteger, 0, ksFlagUnsigned});
        set("X", {ksItemConversion, ksFormatInteger, 0, ksFlagUnsigned | ksFlagUpper});
        set("c", {ksItemConversion, ksFormatCharacter});
        set("s", {ksItemConversion, ksFormatString});
        set("p", {ksItemConversion, ksFormatPointer});
        set("n", {ksItemConversion, ksFormatCount});
        set("e", {ksItemConversion, ksFormatFloating, 0, ksFlagExponent});
        set("E", {ksItemConversion, ksFormatFloating, 0, ksFlagExponent | ksFlagUpper});
        set("g", {ksItemConversion, ksFormatFloating, 0, ksFlagGeneral});
        set("G", {ksItemConversion, ksFormatFloating, 0, ksFlagGeneral | ksFlagUpper});
        set("fa", {ksItemConversion, ksFormatFloating});
        set("FA", {ksItemConversion, ksFormatFloating, 0, ksFlagUpper});
    }
};
inline constexpr ksFormatItemTable kFormatItems{};

// Reads a directive's argument as its length and conversion type say: a double, a pointer, or
// an integer of the length's size (%c and the '*' parameters read an int unless 64-bit).
inline ksFormatValue ksFormatFetch(ksFormatType type, uint32_t flags, va_list* arguments) {
    constexpr unsigned kPointerTypes =
        1u << ksFormatString | 1u << ksFormatPointer | 1u << ksFormatCount;
    ksFormatValue value;
    if (type == ksFormatFloating)
        value.real = va_arg(*arguments, double);
    else if ((1u << type) & kPointerTypes)
        value.pointer = va_arg(*arguments, const void*);
    else if (flags & kFormatLongLongLengths)
        value.integer = va_arg(*arguments, long long);
    else if ((flags & ksFlagLong) && type == ksFormatInteger)
        value.integer = va_arg(*arguments, long);
    else
        value.integer = va_arg(*arguments, int);
    return value;
}
