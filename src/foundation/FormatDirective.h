// The formatter's directives: what one asks for, the argument slots of a whole format, and the
// one reader of a directive. A table gives every byte its part in a directive (flag, digit,
// star, dot, length letter or conversion, with the bits it sets); a second, per length and
// conversion, how the argument is read and what its length means.
#pragma once
#include <cstdint>
#include "foundation/FormatErrors.h"
#include "foundation/FormatErrors.h"

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
enum ksFormatArgument : uint8_t {
    ksArgumentInt,
    ksArgument64,
    ksArgumentDouble,
    ksArgumentPointer
};

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

// The directives of a whole format, a directive's parameter slots before its own.
struct ksFormatPlan {
    ksFormatSlot slots[kFormatMaxSlots];
    int count = 0;
    bool escapes = false; // the literal text holds some "%%"
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
constexpr ArgumentRule kInt{ksArgumentInt, 0}, kDouble{ksArgumentDouble, 0},
    kPointer{ksArgumentPointer, 0};

inline constexpr ArgumentRule kArgumentRules[kLengths][ksFormatTypes] = {
    // integer, floating, character, string, pointer, count, parameter
    {kInt, kDouble, kInt, kPointer, kPointer, kPointer, kInt},
    {kInt, kDouble, kInt, kPointer, kPointer, {ksArgumentPointer, ksFlagCount16}, kInt},
    {{kLongArgument, kLongBits},
     kDouble,
     kInt,
     {ksArgumentPointer, ksFlagWide},
     kPointer,
     {ksArgumentPointer, kLongBits},
     kInt},
    {{kLongArgument, kLongBits},
     kDouble,
     kInt,
     kPointer,
     kPointer,
     {ksArgumentPointer, kLongBits},
     kInt},
    {{ksArgument64, ksFlag64Bit},
     kDouble,
     {ksArgument64, 0},
     kPointer,
     kPointer,
     {ksArgumentPointer, ksFlag64Bit},
     kInt},
};

// Whether c is a decimal digit.
constexpr bool isDigit(char c) {
    return static_cast<unsigned>(c - '0') <= 9;
}

// Reads a run of decimal digits, saturating beyond any count an int can report so that huge
// numbers stay huge.
inline uint64_t ksFormatReadNumber(const char*& at) {
    constexpr uint64_t kCeiling = uint64_t{1} << 32;
    uint64_t value = 0;
    for (; isDigit(*at); ++at)
        if ((value = value * 10 + static_cast<uint64_t>(*at - '0')) > kCeiling)
            value = kCeiling;
    return value;
}

// Reads the directives of one format into slots, one at a time.
class ksFormatDirectiveReader {
  public:
    ksFormatDirectiveReader(const char* format, ksFormatSlot* slots, int capacity, int& count)
        : format_(format), slots_(slots), capacity_(capacity), count_(count) {}

    // Reads the directive whose '%' is at start into the plan's next slots (its parameters,
    // then its own). Returns the index just past it, or a negative error result.
    [[gnu::always_inline]] int64_t read(uint64_t start) {
        if (count_ == capacity_)
            return ksFormatError(kFormatErrorLimit, start + 1);
        options_ = {0, 0, 0, -1, 10};
        number_ = 0;
        dots_ = 0;
        const char* at = format_ + start + 1;
        const Item* item = &kItems.entries[static_cast<unsigned char>(*at)];
        if (item->kind == kDigit) {
            // Digits first are the argument number when a '$' follows, else the width.
            const uint64_t number = ksFormatReadNumber(at);
            if (*at == '$') {
                if (number > kFormatMaxSlots)
                    return ksFormatError(kFormatErrorLimit, position(at + 1));
                number_ = static_cast<uint8_t>(number);
                ++at;
            } else {
                options_.width = static_cast<int64_t>(number);
                options_.flags = ksFlagWidth;
            }
            item = &kItems.entries[static_cast<unsigned char>(*at)];
        }
        for (; item->kind != kConversion; item = &kItems.entries[static_cast<unsigned char>(*at)]) {
            const int result = readItem(*item, at);
            if (result < 0)
                return result;
        }
        if (options_.flags & ksFlagMinus) // '-' wins over '0' wherever either stands
            options_.flags &= ~ksFlagZero;
        const ArgumentRule rule = kArgumentRules[lengthClass(options_.flags)][item->type];
        options_.flags |= item->bits | rule.flags;
        options_.conversion = *at;
        ksFormatSlot& slot = slots_[count_++];
        slot = {options_,
                item->type,
                rule.argument,
                number_,
                static_cast<uint32_t>(start),
                static_cast<uint32_t>(at + 1 - format_),
                {}};
        return at + 1 - format_;
    }

  private:
    uint64_t position(const char* at) const { return static_cast<uint64_t>(at - format_); }

    // One item before the conversion, at its first byte: 0, or a negative error result.
    [[gnu::always_inline]] int readItem(const Item& item, const char*& at) {
        switch (item.kind) {
        case kBits:
            if (!addBits(options_.flags, item))
                return ksFormatError(kFormatErrorInvalid, position(at + 1));
            ++at;
            return 0;
        case kZero: // the zero flag, and the width run it starts
            options_.flags |= ksFlagZero;
            [[fallthrough]];
        case kDigit:
            options_.width = static_cast<int64_t>(ksFormatReadNumber(at));
            options_.flags = (options_.flags | ksFlagWidth) & ~ksFlagWidthArgument;
            return 0;
        case kStar:
            return readStar(ksFlagWidthArgument | ksFlagWidth, options_.width, ++at);
        case kDot:
            return readDot(++at);
        default: // a format ending inside a directive is reported at its end
            return ksFormatError(kFormatErrorInvalid, position(*at == '\0' ? at : at + 1));
        }
    }

    // A precision or a base, at just past its '.'.
    int readDot(const char*& at) {
        if (++dots_ == 3)
            return ksFormatError(kFormatErrorInvalid, position(at));
        if (dots_ == 1) {
            if (*at == '.')
                return 0; // two dots together: no precision, a base follows
            if (*at == '*')
                return readStar(ksFlagPrecisionArgument | ksFlagPrecision, options_.precision,
                                ++at);
            options_.precision = static_cast<int64_t>(ksFormatReadNumber(at));
            options_.flags = (options_.flags | ksFlagPrecision) & ~ksFlagPrecisionArgument;
            return 0;
        }
        if (*at == '*') {
            int64_t slot = 0;
            const int result = readStar(ksFlagBaseArgument | ksFlagBase, slot, ++at);
            options_.base = static_cast<int>(slot);
            return result;
        }
        const uint64_t afterDot = position(at);
        const uint64_t base = ksFormatReadNumber(at);
        if (base < 2 || base > 36) // no digits to write with
            return ksFormatError(kFormatErrorInvalid, afterDot);
        options_.base = static_cast<int>(base);
        options_.flags = (options_.flags | ksFlagBase) & ~ksFlagBaseArgument;
        return 0;
    }

    // A '*' (already read) that takes a width, precision or base from an argument; the field
    // gets the index of its parameter slot.
    int readStar(uint32_t flags, int64_t& field, const char*& at) {
        const uint64_t afterStar = position(at);
        uint64_t number = 0;
        if (isDigit(*at)) {
            const char* probe = at;
            const uint64_t digits = ksFormatReadNumber(probe);
            if (*probe == '$' && digits != 0) {
                number = digits;
                at = probe + 1;
            }
        }
        // Numbered directives name every argument; unnumbered ones name none.
        if ((number_ != 0) != (number != 0))
            return ksFormatError(kFormatErrorInvalid, number ? position(at) : afterStar);
        if (number > kFormatMaxSlots)
            return ksFormatError(kFormatErrorLimit, position(at));
        // The directive's own slot stays free. Without numbers the slots count the arguments,
        // so a full plan is also the 65th argument.
        if (count_ + 1 >= capacity_)
            return ksFormatError(kFormatErrorLimit, afterStar);
        ksFormatSlot& parameter = slots_[count_];
        parameter = {{0, '*', 0, -1, 10},
                     ksFormatParameter,
                     ksArgumentInt,
                     static_cast<uint8_t>(number),
                     static_cast<uint32_t>(afterStar - 1),
                     0,
                     {}};
        field = count_++;
        options_.flags |= flags;
        return 0;
    }

    const char* format_;
    ksFormatSlot* slots_;
    int capacity_;
    int& count_;
    ksFormatOptions options_ = {};
    uint8_t number_ = 0; // the directive's argument number, 0 for the next in order
    int dots_ = 0;
};

} // namespace ksFormatReading

using ksFormatReading::ksFormatDirectiveReader;
