// The formatter's directives: what one asks for, and the argument slots of a whole format.
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

// Reads the directive whose '%' is at start into slots (its '*' parameters, then its own slot),
// from count on and within capacity. Returns the index just past it, or a negative error result.
int64_t ksFormatReadDirective(const char* format, uint64_t start, ksFormatSlot* slots, int capacity,
                              int& count);

// Reads every directive of the format into the plan. Returns the format's length, or a
// negative error result.
int64_t ksFormatReadPlan(const char* format, ksFormatPlan& plan);
