// The directive reader: a table gives every byte's part in a directive (flag, digit, star,
// dot, length letter or conversion, with the bits it sets), a second, per length and
// conversion, the C type of the argument.
#include "foundation/FormatDirective.h"
#include <climits>

int ksFormatError(int code, uint64_t position) {
    const uint64_t largest = (static_cast<uint64_t>(INT_MAX) - static_cast<uint64_t>(code)) / 256;
    if (position > largest)
        position = largest;
    return -(code + static_cast<int>(position) * 256);
}

namespace {

constexpr int kErrorInvalid = 2;
constexpr int kErrorLimit = 3;

constexpr uint32_t kLongLongLengths = ksFlagQuad | ksFlagIntmax | ksFlagSize | ksFlagPtrdiff;

// Lengths that keep %s on UTF-8 text even beside an 'l'.
constexpr uint32_t kNarrowStringLengths = ksFlagShort | ksFlagShortShort | kLongLongLengths;

// Reads a run of decimal digits at index, saturating beyond any count an int can report so
// that huge numbers stay huge.
[[gnu::always_inline]] inline uint64_t readNumber(const char* format, uint64_t& index) {
    constexpr uint64_t kCeiling = uint64_t{1} << 32;
    uint64_t value = 0;
    for (char c = format[index]; c >= '0' && c <= '9'; c = format[++index])
        if ((value = value * 10 + static_cast<uint64_t>(c - '0')) > kCeiling)
            value = kCeiling;
    return value;
}

// Reads "m$" at index when it is there; 0 (and index unchanged) when it is not.
[[gnu::always_inline]] inline uint64_t readArgumentNumber(const char* format, uint64_t& index) {
    uint64_t probe = index;
    const uint64_t number = readNumber(format, probe);
    if (probe == index || format[probe] != '$' || number == 0)
        return 0;
    index = probe + 1;
    return number;
}

class DirectiveReader {
  public:
    DirectiveReader(const char* format, ksFormatPlan& plan) : format_(format), plan_(plan) {}

    [[gnu::always_inline]] int64_t read(uint64_t start) {
        // The directive's own slot is kept free while its '*' parameters take theirs.
        if (plan_.count == kFormatMaxSlots)
            return ksFormatError(kErrorLimit, start + 1);
        index_ = start + 1;
        if (format_[index_] >= '1' && format_[index_] <= '9') {
            number_ = readArgumentNumber(format_, index_);
            if (number_ > kFormatMaxSlots)
                return ksFormatError(kErrorLimit, index_);
            if (number_)
                plan_.fetchFirst = true;
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
            return ksFormatError(kErrorInvalid, c == '\0' ? index_ - 1 : index_);
        }
    }

    [[gnu::always_inline]] void readWidth() {
        width_ = static_cast<int64_t>(readNumber(format_, index_));
        flags_ = (flags_ | ksFlagWidth) & ~ksFlagWidthArgument;
    }

    // A second 'h' or 'l' doubles the first; a third is an error, as is an 'l' after the
    // 64-bit lengths.
    [[gnu::always_inline]] int addLength(uint32_t flag) {
        if (flag == ksFlagShort || flag == ksFlagLong) {
            const uint32_t doubled = flag == ksFlagShort ? ksFlagShortShort : ksFlagQuad;
            const uint32_t refused = flag == ksFlagShort ? ksFlagShortShort : kLongLongLengths;
            if (flags_ & refused)
                return ksFormatError(kErrorInvalid, index_);
            if (flags_ & flag)
                flag = doubled;
        }
        flags_ |= flag;
        return 0;
    }

    [[gnu::always_inline]] int readDot() {
        if (++dots_ == 3)
            return ksFormatError(kErrorInvalid, index_);
        if (dots_ == 1) {
            if (format_[index_] == '.')
                return 0; // two dots together: no precision, a base follows
            if (format_[index_] == '*' && ++index_)
                return readStar(ksFlagPrecisionArgument, ksFlagPrecision, precision_);
            precision_ = static_cast<int64_t>(readNumber(format_, index_));
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
        const uint64_t base = readNumber(format_, index_);
        if (base < 2 || base > 36) // no digits to write with
            return ksFormatError(kErrorInvalid, afterDot);
        base_ = static_cast<int32_t>(base);
        flags_ = (flags_ | ksFlagBase) & ~ksFlagBaseArgument;
        return 0;
    }

    // A '*' (already read) that takes a width, precision or base from an argument.
    [[gnu::always_inline]] int readStar(uint32_t fromArgument, uint32_t given, int64_t& field) {
        const uint64_t afterStar = index_;
        uint64_t number = readArgumentNumber(format_, index_);
        // Numbered directives name every argument; unnumbered ones name none.
        if ((number_ != 0) != (number != 0))
            return ksFormatError(kErrorInvalid, number ? index_ : afterStar);
        if (number > kFormatMaxSlots)
            return ksFormatError(kErrorLimit, index_);
        if (plan_.count + 1 >= kFormatMaxSlots)
            return ksFormatError(kErrorLimit, afterStar);
        if (number == 0 && (number = plan_.nextArgument++) > kFormatMaxSlots)
            return ksFormatError(kErrorLimit, afterStar);
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
            return ksFormatError(kErrorLimit, start + 1);
        uint32_t flags = flags_ | item.bits;
        // A single 'l' makes %s read wide text; 'h' asks for narrow text again, and so do the
        // 64-bit lengths, whose strings are UTF-8 as they are without a length.
        if (item.type == ksFormatString &&
            (flags & (ksFlagLong | kNarrowStringLengths)) == ksFlagLong)
            flags |= ksFlagWide;
        const int length = (flags & kLongLongLengths) ? 2 : (flags & ksFlagLong) ? 1 : 0;
        ksFormatSlot& slot = plan_.slots[plan_.count++];
        slot.flags = flags;
        slot.type = item.type;
        slot.argumentType = kFormatArguments[length][item.type];
        slot.conversion = conversion;
        slot.argument = static_cast<uint8_t>(number);
        slot.width = width_;
        slot.precision = precision_;
        slot.base = base_;
        slot.start = static_cast<uint32_t>(start);
        slot.end = static_cast<uint32_t>(index_);
        return static_cast<int64_t>(index_);
    }

    const char* format_;
    ksFormatPlan& plan_;
    uint64_t index_ = 0;
    uint64_t number_ = 0; // the directive's own argument number, 0 when it has none
    uint32_t flags_ = 0;
    int dots_ = 0;
    int64_t width_ = 0;
    int64_t precision_ = -1;
    int32_t base_ = 10;
};

// The index of the next '%' or of the terminator. Literal runs are short: a plain loop on a
// pointer of its own beats a library call.
uint64_t nextPercent(const char* format, uint64_t index) {
    const char* at = format + index;
    while (*at != '%' && *at != '\0')
        ++at;
    return static_cast<uint64_t>(at - format);
}

} // namespace

int64_t ksFormatReadPlan(const char* format, ksFormatPlan& plan) {
    uint64_t index = 0;
    for (;;) {
        index = nextPercent(format, index);
        if (format[index] == '\0')
            return static_cast<int64_t>(index);
        if (index > INT_MAX)
            return ksFormatError(kErrorLimit, index);
        if (format[index + 1] == '%') {
            plan.escapes = true;
            index += 2;
            continue;
        }
        DirectiveReader reader(format, plan);
        const int64_t end = reader.read(index);
        if (end < 0)
            return end;
        index = static_cast<uint64_t>(end);
    }
}
