// The one reader of a directive's grammar, shared by the reader of a whole format and by the
// entry points, which read a format's first directive on its own: a format of one directive is
// then written without a plan. The directive's state lives in locals and each byte costs one
// lookup in the item table, so that the everyday directives ("%s", "%lld", "%5.1f") take a
// few instructions per byte.
#pragma once
#include "foundation/FormatDirective.h"

inline constexpr int kFormatErrorInvalid = 2;
inline constexpr int kFormatErrorLimit = 3;

// Lengths that keep %s on UTF-8 text even beside an 'l'.
inline constexpr uint32_t kFormatNarrowStringLengths =
    ksFlagShort | ksFlagShortShort | kFormatLongLongLengths;

// A directive as read: what it converts, with its options, and its argument.
struct ksFormatDirective {
    ksFormatOptions options;
    ksFormatType type;
    uint8_t argument; // its number, or 0 for the next in order
};

// Whether c is a digit from first to '9'.
constexpr bool ksFormatIsDigit(char c, char first = '0') {
    return static_cast<unsigned>(c - first) <= static_cast<unsigned>('9' - first);
}

// Reads a run of decimal digits at at, saturating beyond any count an int can report so that
// huge numbers stay huge.
[[gnu::always_inline]] inline uint64_t ksFormatReadNumber(const char*& at) {
    constexpr uint64_t kCeiling = uint64_t{1} << 32;
    uint64_t value = 0;
    for (; ksFormatIsDigit(*at); ++at)
        if ((value = value * 10 + static_cast<uint64_t>(*at - '0')) > kCeiling)
            value = kCeiling;
    return value;
}

// The items between the '%' and the conversion: flags, lengths, width, precision, base and
// argument numbers, in any order. Parameter slots for '*' go into the plan, before the slot of
// the directive they serve.
template <int Capacity> class ksFormatItemReader {
  public:
    ksFormatItemReader(const char* format, ksFormatSlotsOf<Capacity>& plan,
                       ksFormatOptions& options, uint8_t& number)
        : format_(format), plan_(plan), options_(options), number_(number) {}

    // Reads from at, whose item is given, up to the conversion, leaving at and item on it: 0,
    // or a negative error result.
    [[gnu::always_inline]] int read(const char*& at, const ksFormatItem*& item) {
        if (item->kind == ksItemDigit) {
            // Digits first are the argument number when a '$' follows, else the width.
            const uint64_t number = ksFormatReadNumber(at);
            if (*at == '$') {
                ++at;
                if (number > kFormatMaxSlots)
                    return ksFormatError(kFormatErrorLimit, position(at));
                number_ = static_cast<uint8_t>(number);
                plan_.fetchFirst = true;
            } else {
                options_.width = static_cast<int64_t>(number);
                options_.flags = ksFlagWidth;
            }
            item = &kFormatItems.entries[static_cast<unsigned char>(*at)];
        }
        for (;; item = &kFormatItems.entries[static_cast<unsigned char>(*at)]) {
            if (item->kind == ksItemBits) {
                if (options_.flags & item->refused)
                    return ksFormatError(kFormatErrorInvalid, position(at + 1));
                // A second 'h' or 'l' adds its bit again, which carries it to hh or ll.
                static_assert(ksFlagShortShort == ksFlagShort << 1 && ksFlagQuad == ksFlagLong
                                                                                        << 1);
                options_.flags |=
                    item->bits + (options_.flags & item->bits & kFormatDoublingLengths);
                ++at;
                continue;
            }
            if (item->kind == ksItemConversion)
                return 0;
            ++at;
            if (item->kind == ksItemDot && dots_ == 0 && ksFormatIsDigit(*at)) {
                // The first '.' and its digits: the precision of most directives that have one.
                dots_ = 1;
                options_.precision = static_cast<int64_t>(ksFormatReadNumber(at));
                options_.flags |= ksFlagPrecision;
                continue;
            }
            const int result = readItem(item->kind, at);
            if (result < 0)
                return result;
        }
    }

  private:
    uint64_t position(const char* at) const { return static_cast<uint64_t>(at - format_); }

    // A width, precision, base or an invalid byte, at already past its first byte: 0, or a
    // negative error result.
    [[gnu::always_inline]] int readItem(ksFormatItemKind kind, const char*& at) {
        switch (kind) {
        case ksItemZero: // the zero flag, and the width run it starts
            options_.flags |= ksFlagZero;
            readWidth(at);
            return 0;
        case ksItemDigit:
            --at;
            readWidth(at);
            return 0;
        case ksItemStar:
            return readStar(ksFlagWidthArgument, ksFlagWidth, options_.width, at);
        case ksItemDot:
            return readDot(at);
        default: // a format ending inside a directive is reported at its end
            return ksFormatError(kFormatErrorInvalid, position(at[-1] == '\0' ? at - 1 : at));
        }
    }

    [[gnu::always_inline]] void readWidth(const char*& at) {
        options_.width = static_cast<int64_t>(ksFormatReadNumber(at));
        options_.flags = (options_.flags | ksFlagWidth) & ~ksFlagWidthArgument;
    }

    [[gnu::always_inline]] int readDot(const char*& at) {
        if (++dots_ == 3)
            return ksFormatError(kFormatErrorInvalid, position(at));
        if (dots_ == 1) {
            if (*at == '.')
                return 0; // two dots together: no precision, a base follows
            if (*at == '*')
                return readStar(ksFlagPrecisionArgument, ksFlagPrecision, options_.precision, ++at);
            options_.precision = static_cast<int64_t>(ksFormatReadNumber(at));
            options_.flags = (options_.flags | ksFlagPrecision) & ~ksFlagPrecisionArgument;
            return 0;
        }
        if (*at == '*') {
            plan_.fetchFirst = true; // the base must be checked before any output
            int64_t slot = 0;
            const int result = readStar(ksFlagBaseArgument, ksFlagBase, slot, ++at);
            options_.base = static_cast<int32_t>(slot);
            return result;
        }
        const uint64_t afterDot = position(at);
        const uint64_t base = ksFormatReadNumber(at);
        if (base < 2 || base > 36) // no digits to write with
            return ksFormatError(kFormatErrorInvalid, afterDot);
        options_.base = static_cast<int32_t>(base);
        options_.flags = (options_.flags | ksFlagBase) & ~ksFlagBaseArgument;
        return 0;
    }

    // A '*' (already read) that takes a width, precision or base from an argument; the field
    // gets the index of its parameter slot.
    int readStar(uint32_t fromArgument, uint32_t given, int64_t& field, const char*& at) {
        const uint64_t afterStar = position(at);
        uint64_t number = 0;
        if (ksFormatIsDigit(*at)) {
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
        if (plan_.count + 1 >= Capacity)
            return ksFormatError(kFormatErrorLimit, afterStar);
        ksFormatSlot& parameter = plan_.slots[plan_.count];
        parameter.options.flags = 0;
        parameter.type = ksFormatParameter;
        parameter.argument = static_cast<uint8_t>(number);
        parameter.start = static_cast<uint32_t>(afterStar - 1);
        field = plan_.count++;
        options_.flags |= fromArgument | given;
        return 0;
    }

    const char* format_;
    ksFormatSlotsOf<Capacity>& plan_;
    ksFormatOptions& options_;
    uint8_t& number_;
    int dots_ = 0;
};

// Reads the directive whose '%' is at start; its '*' parameters take slots of the plan, and the
// plan must have one more for the directive itself. Returns the index just past it, or a
// negative error result; a plan too small for the directive fails as a limit.
template <int Capacity>
[[gnu::always_inline]] inline int64_t ksFormatReadDirective(const char* format, uint64_t start,
                                                            ksFormatSlotsOf<Capacity>& plan,
                                                            ksFormatDirective& directive) {
    if (plan.count == Capacity)
        return ksFormatError(kFormatErrorLimit, start + 1);
    const char* at = format + start + 1;
    ksFormatOptions& options = directive.options;
    options = {0, 0, 0, -1, 10};
    directive.argument = 0;
    const ksFormatItem* item = &kFormatItems.entries[static_cast<unsigned char>(*at)];
    if (item->kind != ksItemConversion) {
        const int result =
            ksFormatItemReader<Capacity>(format, plan, options, directive.argument).read(at, item);
        if (result < 0)
            return result;
        if (options.flags & ksFlagMinus) // '-' wins over '0' wherever either stands
            options.flags &= ~ksFlagZero;
        // A single 'l' makes %s read wide text; 'h' asks for narrow text again, and so do the
        // 64-bit lengths, whose strings are UTF-8 as they are without a length.
        if (item->type == ksFormatString &&
            (options.flags & (ksFlagLong | kFormatNarrowStringLengths)) == ksFlagLong)
            options.flags |= ksFlagWide;
    }
    options.flags |= item->bits;
    options.conversion = *at;
    directive.type = item->type;
    return at + 1 - format;
}

// Puts a directive read from start to end into the plan's next slot.
template <int Capacity>
[[gnu::always_inline]] inline void ksFormatAddSlot(ksFormatSlotsOf<Capacity>& plan,
                                                   const ksFormatDirective& directive,
                                                   uint64_t start, uint64_t end) {
    ksFormatSlot& slot = plan.slots[plan.count++];
    slot.options = directive.options;
    slot.type = directive.type;
    slot.argument = directive.argument;
    slot.start = static_cast<uint32_t>(start);
    slot.end = static_cast<uint32_t>(end);
}
