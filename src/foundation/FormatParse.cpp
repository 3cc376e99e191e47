// The formatter's parse pass: directive grammar, argument numbering and argument fetching.
#include "foundation/FormatParse.h"
#include "foundation/FormatConvert.h"
#include "foundation/FormatCore.h"
#include <bit>
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
constexpr int kErrorTwice = 4;
constexpr int kErrorUnused = 5;
// Reads "m$" at index when it is there; 0 (and index unchanged) when it is not.
uint64_t readArgumentNumber(const char* format, uint64_t& index) {
    uint64_t probe = index;
    uint64_t number = ksFormatReadNumber(format, probe);
    if (probe == index || format[probe] != '$' || number == 0)
        return 0;
    index = probe + 1;
    return number;
}

// Reads one directive, from its '%' to its conversion character, into slots.
class DirectiveParser {
  public:
    DirectiveParser(const char* format, ksFormatDirectives& directives, uint64_t& nextArgument)
        : format_(format), directives_(directives), nextArgument_(nextArgument) {}

    // Returns 0 and the index past the directive, or a negative error.
    int parse(uint64_t start, uint64_t& end) {
        // The directive's slot comes first, its parameter slots after it; it is filled in place.
        const int slot = addSlot();
        if (slot < 0)
            return ksFormatError(kErrorLimit, start + 1);
        param_ = &directives_.slots[slot];
        *param_ = ksFormatParam{};
        param_->precision = -1;
        param_->base = 10;
        param_->start = static_cast<uint32_t>(start);
        index_ = start + 1;
        uint64_t afterNumber = index_;
        explicitNumber_ = readArgumentNumber(format_, afterNumber);
        if (explicitNumber_ > kFormatMaxSlots)
            return ksFormatError(kErrorLimit, afterNumber);
        if (explicitNumber_ != 0)
            directives_.inSlotOrder = false;
        index_ = afterNumber;
        for (;;) {
            char c = format_[index_++];
            int result = parseItem(c);
            if (result < 0)
                return result;
            if (result == kConversionSeen)
                break;
        }
        return finishDirective(start, end);
    }

  private:
    static constexpr int kConversionSeen = 1;

    int parseItem(char c) {
        switch (c) {
        case ' ':
            param_->flags |= ksFlagSpace;
            return 0;
        case '+':
            param_->flags |= ksFlagPlus;
            return 0;
        case '#':
            param_->flags |= ksFlagAlternative;
            return 0;
        case '-':
            param_->flags = (param_->flags | ksFlagMinus) & ~ksFlagZero;
            return 0;
        case '0':
            if (!(param_->flags & ksFlagMinus))
                param_->flags |= ksFlagZero;
            return parseLiteralWidth();
        case '*':
            return parseStar(ksFlagWidthArgument);
        case '.':
            return parseDot();
        case 'h':
            return addLength(ksFlagShort);
        case 'l':
            return addLength(ksFlagLong);
        case 'L':
            param_->flags |= ksFlagLongDouble;
            return 0;
        case 'j':
            param_->flags |= ksFlagIntmax;
            return 0;
        case 'z':
            param_->flags |= ksFlagSize;
            return 0;
        case 't':
            param_->flags |= ksFlagPtrdiff;
            return 0;
        default:
            break;
        }
        if (c >= '1' && c <= '9') {
            --index_;
            return parseLiteralWidth();
        }
        if (setConversion(c))
            return kConversionSeen;
        // A format ending inside a directive is reported at its end.
        return ksFormatError(kErrorInvalid, c == '\0' ? index_ - 1 : index_);
    }

    int parseLiteralWidth() {
        param_->width = static_cast<int64_t>(ksFormatReadNumber(format_, index_));
        param_->flags = (param_->flags | ksFlagWidth) & ~ksFlagWidthArgument;
        return 0;
    }

    int addLength(uint32_t flag) {
        uint32_t& count = flag == ksFlagShort ? shorts_ : longs_;
        if (count == 2)
            return ksFormatError(kErrorInvalid, index_);
        if (flag == ksFlagLong && (param_->flags & (ksFlagIntmax | ksFlagSize | ksFlagPtrdiff)))
            return ksFormatError(kErrorInvalid, index_);
        ++count;
        if (count == 2)
            flag = flag == ksFlagShort ? ksFlagShortShort : ksFlagQuad;
        param_->flags |= flag;
        return 0;
    }

    int parseDot() {
        ++dots_;
        if (dots_ == 3)
            return ksFormatError(kErrorInvalid, index_);
        if (dots_ == 1)
            return parsePrecision();
        return parseBase();
    }

    int parsePrecision() {
        if (format_[index_] == '.')
            return 0; // two dots together: no precision, a base follows
        if (format_[index_] == '*') {
            ++index_;
            return parseStar(ksFlagPrecisionArgument);
        }
        param_->precision = static_cast<int64_t>(ksFormatReadNumber(format_, index_));
        param_->flags = (param_->flags | ksFlagPrecision) & ~ksFlagPrecisionArgument;
        return 0;
    }

    int parseBase() {
        uint64_t afterDot = index_;
        if (format_[index_] == '*') {
            ++index_;
            return parseStar(ksFlagBaseArgument);
        }
        uint64_t base = ksFormatReadNumber(format_, index_);
        // A base outside 2 to 36 has no digits to write with.
        if (base < 2 || base > 36)
            return ksFormatError(kErrorInvalid, afterDot);
        param_->base = static_cast<int32_t>(base);
        param_->flags = (param_->flags | ksFlagBase) & ~ksFlagBaseArgument;
        return 0;
    }

    // A '*' (already consumed) that takes a width, precision or base from an argument.
    int parseStar(uint32_t which) {
        directives_.inSlotOrder = false; // the parameter's slot follows its directive's
        uint64_t afterStar = index_;
        uint64_t number = readArgumentNumber(format_, index_);
        // Numbered directives name every argument; unnumbered ones name none.
        if ((explicitNumber_ != 0) != (number != 0))
            return ksFormatError(kErrorInvalid, number ? index_ : afterStar);
        if (number > kFormatMaxSlots)
            return ksFormatError(kErrorLimit, index_);
        int slot = addSlot();
        if (slot < 0)
            return ksFormatError(kErrorLimit, afterStar);
        if (number == 0) {
            number = nextArgument_++;
            if (number > kFormatMaxSlots)
                return ksFormatError(kErrorLimit, afterStar);
        }
        ksFormatParam& parameter = directives_.slots[slot];
        parameter = ksFormatParam{};
        parameter.type = ksFormatParameter;
        parameter.argument = static_cast<uint8_t>(number);
        parameter.start = static_cast<uint32_t>(afterStar - 1);
        parameter.end = static_cast<uint32_t>(index_);
        uint32_t given = which == ksFlagWidthArgument       ? ksFlagWidth
                         : which == ksFlagPrecisionArgument ? ksFlagPrecision
                                                            : ksFlagBase;
        param_->flags |= which | given;
        if (which == ksFlagBaseArgument)
            directives_.baseArguments = true;
        if (which == ksFlagWidthArgument)
            param_->width = slot;
        else if (which == ksFlagPrecisionArgument)
            param_->precision = slot;
        else
            param_->base = slot;
        return 0;
    }

    int addSlot() {
        if (directives_.count == kFormatMaxSlots)
            return -1;
        return directives_.count++;
    }

    bool setConversion(char c) {
        return ksFormatSetConversion(c, param_->flags, param_->type, param_->conversion);
    }

    int finishDirective(uint64_t start, uint64_t& end) {
        uint64_t number = explicitNumber_;
        if (number == 0) {
            number = nextArgument_++;
            if (number > kFormatMaxSlots)
                return ksFormatError(kErrorLimit, start + 1);
        }
        param_->argument = static_cast<uint8_t>(number);
        param_->end = static_cast<uint32_t>(index_);
        end = index_;
        return 0;
    }

    const char* format_;
    ksFormatDirectives& directives_;
    uint64_t& nextArgument_;
    ksFormatParam* param_ = nullptr;
    uint64_t index_ = 0;
    uint64_t explicitNumber_ = 0;
    uint32_t shorts_ = 0;
    uint32_t longs_ = 0;
    int dots_ = 0;
};

// Every argument from 1 to the highest must be named exactly once; fills slotOf.
// slotOf is valid for the arguments marked in the bit set only.
int checkNumbering(const ksFormatDirectives& directives, uint8_t* slotOf, int& highest) {
    highest = 0;
    uint64_t seen = 0;
    for (int i = 0; i < directives.count; ++i) {
        const int argument = directives.slots[i].argument;
        const uint64_t bit = uint64_t{1} << (argument - 1);
        if (seen & bit)
            return ksFormatError(kErrorTwice, static_cast<uint64_t>(argument - 1));
        seen |= bit;
        slotOf[argument] = static_cast<uint8_t>(i);
        if (argument > highest)
            highest = argument;
    }
    if (highest > 0 && seen != ~uint64_t{0} >> (64 - highest)) {
        const int firstUnused = std::countr_one(seen);
        return ksFormatError(kErrorUnused, static_cast<uint64_t>(firstUnused));
    }
    return 0;
}

// The index of the next '%' or of the terminator: most formats are short, where a plain
// loop beats a library call.
uint64_t nextPercent(const char* format, uint64_t index) {
    for (;; ++index)
        if (format[index] == '%' || format[index] == '\0')
            return index;
}

void fetchValue(ksFormatParam& slot, va_list* arguments) {
    slot.value = ksFormatFetch(slot.type, slot.flags, arguments);
}

bool usesBase(const ksFormatParam& slot) {
    return slot.type == ksFormatFloating ||
           (slot.type == ksFormatInteger && (slot.conversion == 'i' || slot.conversion == 'u'));
}

// A base from an argument is known only now; one outside 2 to 36 cannot be honoured.
int checkArgumentBases(const ksFormatDirectives& directives) {
    for (int i = 0; i < directives.count; ++i) {
        const ksFormatParam& slot = directives.slots[i];
        if (!(slot.flags & ksFlagBaseArgument) || !usesBase(slot))
            continue;
        int64_t base = directives.slots[slot.base].value.integer;
        if (base < 2 || base > 36)
            return ksFormatError(kErrorLimit, directives.slots[slot.base].start + 1u);
    }
    return 0;
}

} // namespace

int ksFormatParse(const char* format, ksFormatDirectives& directives, va_list* arguments) {
    directives.count = 0;
    directives.baseArguments = false;
    directives.escapes = false;
    directives.inSlotOrder = true;
    uint64_t nextArgument = 1;
    uint64_t index = 0;
    for (;;) {
        index = nextPercent(format, index);
        if (format[index] == '\0')
            break;
        if (index > INT_MAX)
            return ksFormatError(kErrorLimit, index);
        if (format[index + 1] == '%') {
            directives.escapes = true;
            index += 2;
            continue;
        }
        DirectiveParser parser(format, directives, nextArgument);
        int result = parser.parse(index, index);
        if (result < 0)
            return result;
    }
    directives.formatLength = index;

    if (directives.inSlotOrder) {
        // Numbered one after the other: nothing to check, nothing to look up.
        for (int i = 0; i < directives.count; ++i)
            fetchValue(directives.slots[i], arguments);
        return 0;
    }
    uint8_t slotOf[kFormatMaxSlots + 1];
    int highest = 0;
    int result = checkNumbering(directives, slotOf, highest);
    if (result < 0)
        return result;
    for (int argument = 1; argument <= highest; ++argument)
        fetchValue(directives.slots[slotOf[argument]], arguments);
    return directives.baseArguments ? checkArgumentBases(directives) : 0;
}

// The full engine: the whole format parsed into slots, then the shared output pass.
int ksFormatFull(ksFormatState& out, const char* format, va_list* arguments) {
    ksFormatDirectives directives;
    const int result = ksFormatParse(format, directives, arguments);
    if (result < 0)
        return result;
    return ksFormatEmit(out, format, directives.slots, directives.count, directives.escapes,
                        directives.formatLength);
}
