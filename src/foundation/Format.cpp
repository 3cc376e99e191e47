// The system's printf: the entry points and the engine. One directive reader reads a format
// whole into argument slots, so that a malformed one fails before any byte is written; the
// arguments are read in the order of their numbers; one loop then writes the literal text and
// the directives. A format of one directive alone needs neither slots nor loop.
#include "foundation/Format.h"
#include <algorithm>
#include <bit>
#include <climits>
#include "foundation/FormatConvert.h"
#include "foundation/FormatErrors.h"

namespace {

using namespace ksFormatReading;

// The directives of a whole format, a directive's parameter slots before its own.
struct Plan {
    ksFormatSlot slots[kFormatMaxSlots];
    int count = 0;
    bool escapes = false;      // the literal text holds some "%%"
    bool numbered = false;     // some directive names its argument
    bool baseArgument = false; // some base comes from an argument
    va_list* arguments;        // read in the order of the slots until a directive is numbered
};

constexpr bool isDigit(char c) {
    return static_cast<unsigned>(c - '0') <= 9;
}

// Reads a run of decimal digits, saturating above any count an int can report: huge stays huge.
uint64_t readNumber(const char*& at) {
    constexpr uint64_t kCeiling = uint64_t{1} << 32;
    uint64_t value = 0;
    for (; isDigit(*at); ++at)
        value = std::min(value * 10 + static_cast<uint64_t>(*at - '0'), kCeiling);
    return value;
}

ksFormatValue fetch(ksFormatArgument type, va_list* arguments) {
    if (type == ksArgumentInt)
        return {.integer = va_arg(*arguments, int)};
    if (type == ksArgument64)
        return {.integer = va_arg(*arguments, long long)};
    if (type == ksArgumentReal)
        return {.real = va_arg(*arguments, double)};
    return {.pointer = va_arg(*arguments, const void*)};
}

// Reads flags, width digits and length letters from at on into the options; returns the item
// of the first other byte (or of a length letter refused there).
const Item* readPlainItems(const char*& at, ksFormatOptions& options) {
    for (;;) {
        const Item* item = &kItems.entries[static_cast<unsigned char>(*at)];
        switch (item->kind) {
        case kBits:
            if (!addBits(options.flags, *item))
                return item;
            ++at;
            continue;
        case kZero: // the zero flag, and the width run it starts
            options.flags |= ksFlagZero;
            [[fallthrough]];
        case kDigit:
            options.flags = (options.flags | ksFlagWidth) & ~ksFlagWidthArgument;
            options.width = static_cast<int64_t>(readNumber(at));
            continue;
        default:
            return item;
        }
    }
}

// Completes the options of a directive at its conversion; returns how its argument is read.
ksFormatArgument complete(ksFormatOptions& options, const Item& conversion, char letter) {
    if (options.flags & ksFlagMinus) // '-' wins over '0' wherever either stands
        options.flags &= ~ksFlagZero;
    const ArgumentRule rule = kArgumentRules[lengthClass(options.flags)][conversion.type];
    options.flags |= conversion.bits | rule.flags;
    options.conversion = letter;
    return rule.argument;
}

// Reads one directive into the plan's next slots: one per '*', then its own. A '*' and a base
// take the longer ways out of line.
class DirectiveReader {
  public:
    DirectiveReader(const char* format, Plan& plan) : format_(format), plan_(plan) {}

    // The directive whose '%' is at start; the index just past it, or a negative error result.
    int64_t read(uint64_t start) {
        if (plan_.count == kFormatMaxSlots)
            return ksFormatError(kFormatErrorLimit, start + 1);
        const char* at = format_ + start + 1;
        ksFormatOptions options{0, 0, 0, -1, 10};
        uint8_t number = 0; // the directive's argument number, 0 for the next in order
        if (isDigit(*at) && *at != '0') {
            // Digits first are the argument number when a '$' follows, else the width.
            const uint64_t digits = readNumber(at);
            if (*at == '$') {
                if (digits > kFormatMaxSlots)
                    return ksFormatError(kFormatErrorLimit, position(at + 1));
                number = static_cast<uint8_t>(digits);
                plan_.numbered = true;
                ++at;
            } else {
                options.width = static_cast<int64_t>(digits);
                options.flags = ksFlagWidth;
            }
        }
        const Item* item;
        for (int dots = 0; (item = readPlainItems(at, options))->kind != kConversion;) {
            int64_t star = 0; // the parameter slot of a '*'
            if (item->kind == kStar) {
                if ((star = readStar(number, ++at)) < 0)
                    return star;
                options.width = star;
                options.flags |= ksFlagWidthArgument | ksFlagWidth;
            } else if (item->kind == kDot && ++dots < 3) {
                if (*++at == '*' && dots == 1) {
                    if ((star = readStar(number, ++at)) < 0)
                        return star;
                    options.precision = star;
                    options.flags |= ksFlagPrecisionArgument | ksFlagPrecision;
                } else if (dots == 2) { // a base: literal, or the slot of its argument past them
                    if ((star = readBase(number, at)) < 0)
                        return star;
                    const bool fromArgument = star >= kBaseSlots;
                    options.base = static_cast<int>(fromArgument ? star - kBaseSlots : star);
                    options.flags = (options.flags | ksFlagBase) & ~ksFlagBaseArgument;
                    options.flags |= fromArgument ? uint32_t{ksFlagBaseArgument} : 0u;
                    plan_.baseArgument |= fromArgument;
                } else if (*at != '.') { // two dots together: no precision, a base follows
                    options.precision = static_cast<int64_t>(readNumber(at));
                    options.flags = (options.flags | ksFlagPrecision) & ~ksFlagPrecisionArgument;
                }
            } else { // a bad byte, a third '.', a refused length; or the end of the format
                return ksFormatError(kFormatErrorInvalid, position(*at == '\0' ? at : at + 1));
            }
        }
        const ksFormatArgument argument = complete(options, *item, *at);
        const auto end = static_cast<uint32_t>(at + 1 - format_);
        store(options, item->type, argument, number, static_cast<uint32_t>(start), end);
        return end;
    }

  private:
    uint64_t position(const char* at) const { return static_cast<uint64_t>(at - format_); }

    // A base item at just past its second '.': its value from 2 to 36, or kBaseSlots plus its
    // parameter slot when it comes from an argument, or a negative error result.
    static constexpr int64_t kBaseSlots = 64;
    [[gnu::noinline]] int64_t readBase(uint8_t number, const char*& at) {
        if (*at == '*') {
            const int64_t slot = readStar(number, ++at);
            return slot < 0 ? slot : kBaseSlots + slot;
        }
        const uint64_t afterDot = position(at);
        const uint64_t base = readNumber(at);
        if (base < 2 || base > 36) // no digits to write with
            return ksFormatError(kFormatErrorInvalid, afterDot);
        return static_cast<int64_t>(base);
    }

    // A '*' (already read) that takes a width, precision or base from an argument: the index
    // of its parameter slot, or a negative error result.
    [[gnu::noinline]] int64_t readStar(uint8_t directiveNumber, const char*& at) {
        const uint64_t afterStar = position(at);
        const char* probe = at;
        uint64_t number = readNumber(probe); // 0 without digits
        if (*probe == '$' && number != 0)
            at = probe + 1;
        else
            number = 0;
        // Numbered directives name every argument; unnumbered ones name none.
        if ((directiveNumber != 0) != (number != 0))
            return ksFormatError(kFormatErrorInvalid, number ? position(at) : afterStar);
        if (number > kFormatMaxSlots)
            return ksFormatError(kFormatErrorLimit, position(at));
        // The directive's own slot stays free. Without numbers the slots count the arguments,
        // so a full plan is also the 65th argument.
        if (plan_.count + 1 >= kFormatMaxSlots)
            return ksFormatError(kFormatErrorLimit, afterStar);
        store({0, '*', 0, -1, 10}, ksFormatParameter, ksArgumentInt, static_cast<uint8_t>(number),
              static_cast<uint32_t>(afterStar - 1), 0);
        return plan_.count - 1;
    }

    // Fills the plan's next slot; its argument is read at once while no directive is numbered.
    void store(const ksFormatOptions& options, ksFormatType type, ksFormatArgument argumentType,
               uint8_t number, uint32_t start, uint32_t end) {
        ksFormatSlot& slot = plan_.slots[plan_.count++];
        // Field by field: the options were just written in parts, and a copy of them whole
        // would wait for those writes to land (a stall of a dozen cycles per directive).
        slot.options.flags = options.flags;
        slot.options.conversion = options.conversion;
        slot.options.width = options.width;
        slot.options.precision = options.precision;
        slot.options.base = options.base;
        slot.type = type;
        slot.argumentType = argumentType;
        slot.argument = number;
        slot.start = start;
        slot.end = end;
        if (!plan_.numbered)
            slot.value = fetch(argumentType, plan_.arguments);
    }

    const char* format_;
    Plan& plan_;
};

// Reads every directive of the format into the plan: the format's length, or a negative error.
int64_t readPlan(const char* format, Plan& plan) {
    const char* at = format;
    for (;;) {
        while (*at != '%' && *at != '\0')
            ++at;
        const auto index = static_cast<uint64_t>(at - format);
        if (*at == '\0')
            return static_cast<int64_t>(index);
        if (index > INT_MAX)
            return ksFormatError(kFormatErrorLimit, index);
        if (at[1] == '%') {
            plan.escapes = true;
            at += 2;
            continue;
        }
        const int64_t end = DirectiveReader(format, plan).read(index);
        if (end < 0)
            return end;
        at = format + end;
    }
}

// Every argument from 1 to the highest must be named exactly once (a slot without a number takes
// the next in order, apart from numbered ones); reads them afresh in the order of their numbers.
int fetchNumbered(Plan& plan, va_list* arguments) {
    uint8_t slotOf[kFormatMaxSlots + 1];
    uint64_t seen = 0;
    int highest = 0;
    uint8_t next = 1;
    for (int i = 0; i < plan.count; ++i) {
        uint8_t& argument = plan.slots[i].argument;
        if (argument == 0)
            argument = next++;
        const uint64_t bit = uint64_t{1} << (argument - 1);
        if (seen & bit)
            return ksFormatError(kFormatErrorTwice, static_cast<uint64_t>(argument - 1));
        seen |= bit;
        slotOf[argument] = static_cast<uint8_t>(i);
        highest = argument > highest ? argument : highest;
    }
    if (seen != ~uint64_t{0} >> (64 - highest))
        return ksFormatError(kFormatErrorUnused, static_cast<uint64_t>(std::countr_one(seen)));
    for (int argument = 1; argument <= highest; ++argument) {
        ksFormatSlot& slot = plan.slots[slotOf[argument]];
        slot.value = fetch(slot.argumentType, arguments);
    }
    return 0;
}

// A base from an argument, known only once fetched, must lie from 2 to 36 where it is used.
int checkBases(const Plan& plan) {
    for (int i = 0; i < plan.count; ++i) {
        const ksFormatSlot& slot = plan.slots[i];
        const char c = slot.options.conversion;
        const bool usesBase = slot.type == ksFormatFloating ||
                              (slot.type == ksFormatInteger && (c == 'i' || c == 'u'));
        if (!(slot.options.flags & ksFlagBaseArgument) || !usesBase)
            continue;
        const ksFormatSlot& base = plan.slots[slot.options.base];
        if (base.value.integer < 2 || base.value.integer > 36)
            return ksFormatError(kFormatErrorLimit, base.start + 1u);
    }
    return 0;
}

// Width, precision and base of a directive with some of them from arguments, read from slots.
ksFormatOptions resolveFromArguments(const ksFormatOptions& given, const ksFormatSlot* slots) {
    ksFormatOptions options = given;
    if (options.flags & ksFlagWidthArgument) {
        const int64_t width = slots[options.width].value.integer;
        if (width < 0) // left-adjusts
            options.flags = (options.flags | ksFlagMinus) & ~ksFlagZero;
        options.width = width < 0 ? -width : width;
    }
    if (options.flags & ksFlagPrecisionArgument) // a negative one counts as none
        options.precision = std::max<int64_t>(slots[options.precision].value.integer, -1);
    if (options.precision < 0)
        options.flags &= ~ksFlagPrecision;
    if (options.flags & ksFlagBaseArgument) {
        const int64_t base = slots[options.base].value.integer;
        options.base = base >= 2 && base <= 36 ? static_cast<int>(base) : 10;
    }
    return options;
}

// Literal text between directives: bytes unchanged, each "%%" as one '%'. Without any "%%"
// in the format there is nothing to look for.
inline void copyLiteral(ksFormatState& out, const char* from, const char* to, bool escapes) {
    for (const char* at = from; escapes && at < to; ++at) {
        if (*at == '%') {
            out.write(from, static_cast<uint64_t>(at - from) + 1);
            from = ++at + 1;
        }
    }
    if (from < to)
        out.write(from, static_cast<uint64_t>(to - from));
}

// Writes one directive: 0, or kFormatMalformedText.
int convert(ksFormatState& out, const ksFormatSlot& slot, const ksFormatOptions& options) {
    if (slot.type == ksFormatString)
        return ksFormatWriteString(out, slot.value.pointer, options);
    if (slot.type == ksFormatInteger)
        ksFormatWriteInteger(out, slot.value.integer, options);
    else if (slot.type == ksFormatFloating)
        ksFormatWriteFloating(out, slot.value.real, options);
    else
        ksFormatWriteOther(out, slot.type, slot.value, options);
    return 0;
}

// A format's result once written, or the error its conversion gave. Output longer than a result
// can report fails as a limit of the format at the position, and leaves the buffer empty.
int finish(ksFormatState& out, uint64_t position, int converted = 0) {
    if (converted < 0)
        return converted;
    if (out.processed() <= INT_MAX)
        return static_cast<int>(out.processed());
    out.cursor = out.begin;
    return ksFormatError(kFormatErrorLimit, position);
}

constexpr ksFormatOptions kLoneText{0, 's', 0, -1, 10}; // %s: no flags, width or precision
constexpr int kNotAlone = INT_MIN; // no result can be this: the format is left to the plan

// A format of one directive of flags, width, precision and lengths alone ("%08x", "%.3f") skips
// the plan (%08x: 440 instructions, 650 through it); a bounded text alone skips the rest of the
// reading too (%.3s: 250 instructions, 300 read whole). Anything else is left to the plan.
int runBare(ksFormatState& out, const char* format, va_list* arguments) {
    ksFormatOptions options{0, 0, 0, -1, 10};
    const char* at = format + 1;
    const Item* item = readPlainItems(at, options);
    if (item->kind == kDot && isDigit(at[1])) { // a precision in digits
        options.precision = static_cast<int64_t>(readNumber(++at));
        options.flags |= ksFlagPrecision;
        if (options.flags == ksFlagPrecision && at[0] == 's' && at[1] == '\0')
            return finish(out, 1,
                          ksFormatWriteString(out, va_arg(*arguments, const void*), options));
        item = readPlainItems(at, options);
    }
    if (item->kind != kConversion || at[1] != '\0')
        return kNotAlone;
    ksFormatSlot slot;
    slot.type = item->type;
    slot.value = fetch(complete(options, *item, *at), arguments);
    return finish(out, 1, convert(out, slot, options));
}

// Every format but a lone directive, out of line: the plan's frame is a few kilobytes.
[[gnu::noinline]] int runPlan(ksFormatState& out, const char* format, va_list* arguments) {
    Plan plan;
    va_list inOrder;
    va_copy(inOrder, *arguments);
    plan.arguments = &inOrder;
    const int64_t length = readPlan(format, plan);
    va_end(inOrder);
    if (length < 0)
        return static_cast<int>(length);
    int result = plan.numbered ? fetchNumbered(plan, arguments) : 0;
    if (result == 0 && plan.baseArgument)
        result = checkBases(plan);
    if (result < 0)
        return result;
    uint64_t position = 0;
    for (int i = 0; i < plan.count; ++i) {
        const ksFormatSlot& slot = plan.slots[i];
        if (slot.type == ksFormatParameter)
            continue;
        copyLiteral(out, format + position, format + slot.start, plan.escapes);
        constexpr uint32_t kFromArguments =
            ksFlagWidthArgument | ksFlagPrecisionArgument | ksFlagBaseArgument;
        result = (slot.options.flags & kFromArguments)
                     ? convert(out, slot, resolveFromArguments(slot.options, plan.slots))
                     : convert(out, slot, slot.options);
        if (result < 0 || (result = finish(out, slot.start + 1u)) < 0)
            return result;
        position = slot.end;
    }
    copyLiteral(out, format + position, format + length, plan.escapes);
    return finish(out, static_cast<uint64_t>(length));
}

// Every format but a lone %s, in a frame of its own. A lone %d, %lld or %x as it stands: read as
// a lone directive, a %d costs 40% more and a %x 2.4 times as much.
[[gnu::noinline]] int runFormat(ksFormatState& out, const char* format, va_list* arguments) {
    if (format[0] == '%' &&
        ((format[1] == 'd' && format[2] == '\0') ||
         (format[1] == 'l' && format[2] == 'l' && format[3] == 'd' && format[4] == '\0'))) {
        const int64_t value =
            format[1] == 'd' ? va_arg(*arguments, int) : va_arg(*arguments, long long);
        ksFormatWriteDecimal(out, value < 0 ? 0 - static_cast<uint64_t>(value) : value, value < 0);
    } else if (format[0] == '%' && format[1] == 'x' && format[2] == '\0') {
        char text[8], *const end = text + sizeof text;
        char* digits = ksFormatDigits(end, va_arg(*arguments, unsigned), 16, kFormatDigitsLower);
        out.write(digits, static_cast<uint64_t>(end - digits));
    } else {
        const int result = format[0] == '%' ? runBare(out, format, arguments) : kNotAlone;
        return result != kNotAlone ? result : runPlan(out, format, arguments);
    }
    return finish(out, 1);
}

// Both entry points: the limit, the engine, the terminator; a lone %s copied whole returns at once.
int formatInto(char* buffer, size_t size, const char* format, va_list* arguments) {
    const uint64_t limit = size == 0 || !buffer ? 0 : std::min<uint64_t>(size - 1, INT_MAX);
    ksFormatState out(buffer, limit);
    const bool loneText = format && format[0] == '%' && format[1] == 's' && format[2] == '\0';
    const char* text = loneText ? va_arg(*arguments, const char*) : nullptr;
    const uint64_t copied = text ? ksFormatCopyText(buffer, limit, text, ~uint64_t{0}) : 0;
    if (copied > 0 && text[copied] == '\0')
        return buffer[copied] = '\0', static_cast<int>(copied);
    const int result = loneText ? finish(out, 1, ksFormatWriteString(out, text, kLoneText, copied))
                       : format ? runFormat(out, format, arguments)
                                : 0;
    if (size > 0 && buffer)
        *out.cursor = '\0';
    return result;
}

} // namespace

int ksFormatBuffer(char* buffer, size_t size, const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    const int result = formatInto(buffer, size, format, &arguments);
    va_end(arguments);
    return result;
}

int ksFormatBufferV(char* buffer, size_t size, const char* format, va_list arguments) {
    va_list copy;
    va_copy(copy, arguments);
    const int result = formatInto(buffer, size, format, &copy);
    va_end(copy);
    return result;
}
