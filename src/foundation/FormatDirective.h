// The formatter's directives: what one asks for, and the two tables that read it. The first
// gives every byte its part in a directive (flag, digit, star, dot, length letter or conversion,
// with the bits it sets); the second, per length and conversion, how the argument is read and
// what its length means: the 'l', 'll', '%ls' and 64-bit rules all live there.
#pragma once
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
    ksFormatTypes,
};

// How an argument is read from the argument list.
enum ksFormatArgument : uint8_t { ksArgumentInt, ksArgument64, ksArgumentReal, ksArgumentPointer };

enum ksFormatFlag : uint32_t {
    ksFlagSpace = 1u << 0,
    ksFlagPlus = 1u << 1,
    ksFlagMinus = 1u << 2, // left-adjust
    ksFlagAlternative = 1u << 3,
    ksFlagZero = 1u << 4,
    // The length letters as read; the argument table turns them into what follows.
    ksFlagShort = 1u << 5,
    ksFlagShortShort = 1u << 6,
    ksFlagLong = 1u << 7,
    ksFlagQuad = 1u << 8,
    ksFlagLongDouble = 1u << 9,
    ksFlagSize = 1u << 10,
    ksFlagPtrdiff = 1u << 11,
    ksFlagIntmax = 1u << 12, // also: a floating conversion drops trailing zeros
    // From the conversion and the argument table.
    ksFlagUnsigned = 1u << 13,
    ksFlagUpper = 1u << 14,
    ksFlagExponent = 1u << 15,
    ksFlagGeneral = 1u << 16,
    ksFlagWide = 1u << 17,    // a wide string
    ksFlag64Bit = 1u << 18,   // an integer or count of 64 bits
    ksFlagCount16 = 1u << 19, // a count of 16 bits
    // Which of width, precision and base are given, and which come from arguments.
    ksFlagWidth = 1u << 20,
    ksFlagWidthArgument = 1u << 21,
    ksFlagPrecision = 1u << 22,
    ksFlagPrecisionArgument = 1u << 23,
    ksFlagBase = 1u << 24,
    ksFlagBaseArgument = 1u << 25,
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
// from an argument, the index of the parameter slot holding it.
struct ksFormatSlot {
    ksFormatOptions options; // width absent: 0; precision absent: -1; base absent: 10
    ksFormatType type;
    ksFormatArgument argumentType;
    uint8_t argument; // 1 to 64, or 0 for the next in order
    uint32_t start;   // index of the '%' (of the '*' for a parameter slot)
    uint32_t end;     // index just past the conversion character
    ksFormatValue value;
};

namespace ksFormatReading {

// What a byte is in a directive.
enum ItemKind : uint8_t { kInvalid, kBits, kZero, kDigit, kStar, kDot, kConversion };

// The lengths that read 64 bits.
constexpr uint32_t kLongLongLengths = ksFlagQuad | ksFlagIntmax | ksFlagSize | ksFlagPtrdiff;

struct Item {
    ItemKind kind = kInvalid;
    ksFormatType type = ksFormatInteger; // of a conversion
    uint32_t refused = 0;                // flags before it that make a length an error
    uint32_t bits = 0;                   // flags a flag, length or conversion sets
};

struct ItemTable {
    Item entries[256] = {};

    constexpr void set(const char* bytes, Item item) {
        for (; *bytes; ++bytes)
            entries[static_cast<unsigned char>(*bytes)] = item;
    }

    constexpr ItemTable() {
        set(" ", {kBits, ksFormatInteger, 0, ksFlagSpace});
        set("+", {kBits, ksFormatInteger, 0, ksFlagPlus});
        set("#", {kBits, ksFormatInteger, 0, ksFlagAlternative});
        set("-", {kBits, ksFormatInteger, 0, ksFlagMinus});
        set("0", {kZero});
        set("123456789", {kDigit});
        set("*", {kStar});
        set(".", {kDot});
        // A third 'h' is an error; so are a third 'l' and an 'l' after j, z or t.
        set("h", {kBits, ksFormatInteger, ksFlagShortShort, ksFlagShort});
        set("l", {kBits, ksFormatInteger, kLongLongLengths, ksFlagLong});
        set("L", {kBits, ksFormatInteger, 0, ksFlagLongDouble});
        set("j", {kBits, ksFormatInteger, 0, ksFlagIntmax});
        set("z", {kBits, ksFormatInteger, 0, ksFlagSize});
        set("t", {kBits, ksFormatInteger, 0, ksFlagPtrdiff});
        set("di", {kConversion, ksFormatInteger});
        set("uox", {kConversion, ksFormatInteger, 0, ksFlagUnsigned});
        set("X", {kConversion, ksFormatInteger, 0, ksFlagUnsigned | ksFlagUpper});
        set("c", {kConversion, ksFormatCharacter});
        set("s", {kConversion, ksFormatString});
        set("p", {kConversion, ksFormatPointer});
        set("n", {kConversion, ksFormatCount});
        set("e", {kConversion, ksFormatFloating, 0, ksFlagExponent});
        set("E", {kConversion, ksFormatFloating, 0, ksFlagExponent | ksFlagUpper});
        set("g", {kConversion, ksFormatFloating, 0, ksFlagGeneral});
        set("G", {kConversion, ksFormatFloating, 0, ksFlagGeneral | ksFlagUpper});
        set("fa", {kConversion, ksFormatFloating});
        set("FA", {kConversion, ksFormatFloating, 0, ksFlagUpper});
    }
};
inline constexpr ItemTable kItems{};

// What a directive's length letters come to: none, h or hh, l, l beside h or hh, and the
// 64-bit lengths (ll, j, z, t, which also win over l).
enum LengthClass : uint8_t { kNoLength, kShortLength, kLong, kLongAndShort, kLongLong, kLengths };

// Adds a flag's or a length letter's bits to a directive's; false when the letter is refused.
inline bool addBits(uint32_t& flags, const Item& item) {
    if (flags & item.refused)
        return false;
    // A second 'h' or 'l' adds its bit again, which carries it to hh or ll.
    static_assert(ksFlagShortShort == ksFlagShort << 1 && ksFlagQuad == ksFlagLong << 1);
    flags |= item.bits + (flags & item.bits & (ksFlagShort | ksFlagLong));
    return true;
}

inline LengthClass lengthClass(uint32_t flags) {
    constexpr uint32_t kLengthLetters =
        ksFlagShort | ksFlagShortShort | ksFlagLong | ksFlagLongDouble | kLongLongLengths;
    if (!(flags & kLengthLetters)) // the most frequent by far
        return kNoLength;
    const bool isShort = (flags & (ksFlagShort | ksFlagShortShort)) != 0;
    if (flags & kLongLongLengths)
        return kLongLong;
    if (flags & ksFlagLong)
        return isShort ? kLongAndShort : kLong;
    return isShort ? kShortLength : kNoLength;
}

// How a directive's argument is read, and the flags its length gives, by length and type.
struct ArgumentRule {
    ksFormatArgument argument;
    uint32_t flags;
};

// 'l' reads a long, whose width is the platform's; %ls reads wide text unless 'h' is there too;
// %n stores 16 bits with 'h' alone. A '*' parameter is always an int.
constexpr ksFormatArgument kLongArgument = sizeof(long) == 8 ? ksArgument64 : ksArgumentInt;
constexpr uint32_t kLongBits = sizeof(long) == 8 ? uint32_t{ksFlag64Bit} : 0u;
constexpr ArgumentRule kInt{ksArgumentInt, 0}, kDouble{ksArgumentReal, 0},
    kPointer{ksArgumentPointer, 0}, kLongInteger{kLongArgument, kLongBits},
    kInteger64{ksArgument64, ksFlag64Bit}, kCharacter64{ksArgument64, 0},
    kWideText{ksArgumentPointer, ksFlagWide}, kCount16{ksArgumentPointer, ksFlagCount16},
    kLongCount{ksArgumentPointer, kLongBits}, kCount64{ksArgumentPointer, ksFlag64Bit};

inline constexpr ArgumentRule kArgumentRules[kLengths][ksFormatTypes] = {
    // integer, floating, character, string, pointer, count, parameter
    {kInt, kDouble, kInt, kPointer, kPointer, kPointer, kInt},
    {kInt, kDouble, kInt, kPointer, kPointer, kCount16, kInt},
    {kLongInteger, kDouble, kInt, kWideText, kPointer, kLongCount, kInt},
    {kLongInteger, kDouble, kInt, kPointer, kPointer, kLongCount, kInt},
    {kInteger64, kDouble, kCharacter64, kPointer, kPointer, kCount64, kInt},
};

} // namespace ksFormatReading
