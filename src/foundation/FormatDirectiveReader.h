// The one reader of a directive's grammar, shared by the reader of a whole format and by the
// entry points, which read a format's first directive into a plan of a few slots: a format of
// one directive is then written without the full plan.
#pragma once
#include "foundation/FormatDirective.h"

inline constexpr int kFormatErrorInvalid = 2;
inline constexpr int kFormatErrorLimit = 3;

inline constexpr uint32_t kFormatLongLongLengths =
    ksFlagQuad | ksFlagIntmax | ksFlagSize | ksFlagPtrdiff;

// Lengths that keep %s on UTF-8 text even beside an 'l'.
inline constexpr uint32_t kFormatNarrowStringLengths =
    ksFlagShort | ksFlagShortShort | kFormatLongLongLengths;

// Reads a run of decimal digits at index, saturating beyond any count an int can report so
// that huge numbers stay huge.
[[gnu::always_inline]] inline uint64_t ksFormatReadNumber(const char* format, uint64_t& index) {
    constexpr uint64_t kCeiling = uint64_t{1} << 32;
    uint64_t value = 0;
    for (char c = format[index]; c >= '0' && c <= '9'; c = format[++index])
        if ((value = value * 10 + static_cast<uint64_t>(c - '0')) > kCeiling)
            value = kCeiling;
    return value;
}

// Reads "m$" at index when it is there; 0 (and index unchanged) when it is not.
[[gnu::always_inline]] inline uint64_t ksFormatReadArgumentNumber(const char* format,
                                                                  uint64_t& index) {
    uint64_t probe = index;
    const uint64_t number = ksFormatReadNumber(format, probe);
    if (probe == index || format[probe] != '$' || number == 0)
        return 0;
    index = probe + 1;
    return number;
}

template <int Capacity> class ksFormatDirectiveReader {
  public:
    ksFormatDirectiveReader(const char* format, ksFormatSlotsOf<Capacity>& plan)
        : format_(format), plan_(plan) {}

    [[gnu::always_inline]] int64_t read(uint64_t start) {
        // The directive's own slot is kept free while its '*' parameters take theirs.
        if (plan_.count == Capacity)
            return ksFormatError(kFormatErrorLimit, start + 1);
        index_ = start + 1;
        if (format_[index_] >= '1' && format_[index_] <= '9') {
            // Digits first are the argument number when a '$' follows, else the width: read once.
            const uint64_t number = ksFormatReadNumber(format_, index_);
            if (format_[index_] == '$') {
                number_ = number;
                if (number_ > kFormatMaxSlots)
                    return ksFormatError(kFormatErrorLimit, ++index_);
                ++index_;
                plan_.fetchFirst = true;
            } else {
                width_ = static_cast<int64_t>(number);
                flags_ = ksFlagWidth;
            }
        }
        for (;;) {
            const char c = format_[index_++];
            const ksFormatItem& item = kFormatItems.entries[static_cast<unsigned char>(c)];
            if (item.kind == ksItemConversion) // the end of most directives
                return finish(start, c, item);
            const int result = readItem(c, item);
            if (result < 0)
                return result;
        }
    }

  private:
    // Any item but the conversion: 0, or a negative error result.
    [[gnu::always_inline]] int readItem(char c, const ksFormatItem& item) {
        switch (item.kind) {
        case ksItemLength:
            return addLength(item.bits);
        case ksItemFlag:
            flags_ |= item.bits;
            if (item.bits == ksFlagMinus)
                flags_ &= ~ksFlagZero;
            return 0;
        case ksItemZero:
            if (!(flags_ & ksFlagMinus))
                flags_ |= ksFlagZero;
            readWidth();
            return 0;
        case ksItemDigit:
            --index_;
            readWidth();
            return 0;
        case ksItemStar:
            return readStar(ksFlagWidthArgument, ksFlagWidth, width_);
        case ksItemDot:
            return readDot();
        default: // a format ending inside a directive is reported at its end
            return ksFormatError(kFormatErrorInvalid, c == '\0' ? index_ - 1 : index_);
        }
    }

    [[gnu::always_inline]] void readWidth() {
        width_ = static_cast<int64_t>(ksFormatReadNumber(format_, index_));
        flags_ = (flags_ | ksFlagWidth) & ~ksFlagWidthArgument;
    }

    // A second 'h' or 'l' doubles the first; a third is an error, as is an 'l' after the
    // 64-bit lengths.
    [[gnu::always_inline]] int addLength(uint32_t flag) {
        static_assert(ksFlagShortShort == ksFlagShort << 1 && ksFlagQuad == ksFlagLong << 1);
        if (flag & (ksFlagShort | ksFlagLong)) {
            const uint32_t refused =
                flag == ksFlagShort ? ksFlagShortShort : kFormatLongLongLengths;
            if (flags_ & refused)
                return ksFormatError(kFormatErrorInvalid, index_);
            if (flags_ & flag)
                flag <<= 1; // the doubled length
        }
        flags_ |= flag;
        return 0;
    }

    [[gnu::always_inline]] int readDot() {
        if (++dots_ == 3)
            return ksFormatError(kFormatErrorInvalid, index_);
        if (dots_ == 1) {
            if (format_[index_] == '.')
                return 0; // two dots together: no precision, a base follows
            if (format_[index_] == '*' && ++index_)
                return readStar(ksFlagPrecisionArgument, ksFlagPrecision, precision_);
            precision_ = static_cast<int64_t>(ksFormatReadNumber(format_, index_));
            flags_ = (flags_ | ksFlagPrecision) & ~ksFlagPrecisionArgument;
            return 0;
        }
        if (format_[index_] == '*' && ++index_) {
            plan_.fetchFirst = true; // the base must be checked before any output
            int64_t slot = 0;
            const int result = readStar(ksFlagBaseArgument, ksFlagBase, slot);
            base_ = static_cast<int32_t>(slot);
            return result;
        }
        const uint64_t afterDot = index_;
        const uint64_t base = ksFormatReadNumber(format_, index_);
        if (base < 2 || base > 36) // no digits to write with
            return ksFormatError(kFormatErrorInvalid, afterDot);
        base_ = static_cast<int32_t>(base);
        flags_ = (flags_ | ksFlagBase) & ~ksFlagBaseArgument;
        return 0;
    }

    // A '*' (already read) that takes a width, precision or base from an argument.
    [[gnu::always_inline]] int readStar(uint32_t fromArgument, uint32_t given, int64_t& field) {
        const uint64_t afterStar = index_;
        uint64_t number = ksFormatReadArgumentNumber(format_, index_);
        // Numbered directives name every argument; unnumbered ones name none.
        if ((number_ != 0) != (number != 0))
            return ksFormatError(kFormatErrorInvalid, number ? index_ : afterStar);
        if (number > kFormatMaxSlots)
            return ksFormatError(kFormatErrorLimit, index_);
        if (plan_.count + 1 >= Capacity)
            return ksFormatError(kFormatErrorLimit, afterStar);
        if (number == 0 && (number = plan_.nextArgument++) > kFormatMaxSlots)
            return ksFormatError(kFormatErrorLimit, afterStar);
        ksFormatSlot& parameter = plan_.slots[plan_.count];
        parameter.type = ksFormatParameter;
        parameter.argumentType = ksArgumentInt;
        parameter.argument = static_cast<uint8_t>(number);
        parameter.start = static_cast<uint32_t>(afterStar - 1);
        field = plan_.count++;
        flags_ |= fromArgument | given;
        return 0;
    }

    [[gnu::always_inline]] int64_t finish(uint64_t start, char conversion,
                                          const ksFormatItem& item) {
        uint64_t number = number_;
        if (number == 0 && (number = plan_.nextArgument++) > kFormatMaxSlots)
            return ksFormatError(kFormatErrorLimit, start + 1);
        uint32_t flags = flags_ | item.bits;
        // A single 'l' makes %s read wide text; 'h' asks for narrow text again, and so do the
        // 64-bit lengths, whose strings are UTF-8 as they are without a length.
        if (item.type == ksFormatString &&
            (flags & (ksFlagLong | kFormatNarrowStringLengths)) == ksFlagLong)
            flags |= ksFlagWide;
        const int length = (flags & kFormatLongLongLengths) ? 2 : (flags & ksFlagLong) ? 1 : 0;
        ksFormatSlot& slot = plan_.slots[plan_.count++];
        slot.options = {flags, conversion, width_, precision_, base_};
        slot.type = item.type;
        slot.argumentType = kFormatArguments[length][item.type];
        slot.argument = static_cast<uint8_t>(number);
        slot.start = static_cast<uint32_t>(start);
        slot.end = static_cast<uint32_t>(index_);
        return static_cast<int64_t>(index_);
    }

    const char* format_;
    ksFormatSlotsOf<Capacity>& plan_;
    uint64_t index_ = 0;
    uint64_t number_ = 0; // the directive's own argument number, 0 when it has none
    uint32_t flags_ = 0;
    int dots_ = 0;
    int64_t width_ = 0;
    int64_t precision_ = -1;
    int32_t base_ = 10;
};

// Reads the directive whose '%' is at start into the plan. Returns the index just past it, or a
// negative error result; a plan too small for the directive's parameters fails as a limit.
template <int Capacity>
[[gnu::always_inline]] inline int64_t ksFormatReadDirective(const char* format, uint64_t start,
                                                            ksFormatSlotsOf<Capacity>& plan) {
    ksFormatDirectiveReader<Capacity> reader(format, plan);
    return reader.read(start);
}
