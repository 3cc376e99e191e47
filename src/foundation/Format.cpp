// The system's printf: the entry points and the engine. Every format takes one route: it is
// read whole into argument slots, so that a malformed one fails before any byte is written;
// the arguments are read in the order of their numbers; one loop then writes the literal text
// and the directives.
#include "foundation/Format.h"
#include <bit>
#include <climits>
#include <cstring>
#include "foundation/FormatConvert.h"
#include "foundation/FormatDirective.h"
#include "foundation/FormatErrors.h"
#include "foundation/FormatOutput.h"

namespace {

// Reads every directive of the format into the plan. Returns the format's length, or a
// negative error result.
int64_t readPlan(const char* format, ksFormatPlan& plan) {
    ksFormatDirectiveReader reader(format, plan.slots, kFormatMaxSlots, plan.count);
    const char* at = format;
    for (;;) {
        // Literal runs are short: a plain loop beats a library call.
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
        const int64_t end = reader.read(index);
        if (end < 0)
            return end;
        at = format + end;
    }
}

ksFormatValue fetch(ksFormatArgument type, va_list* arguments) {
    ksFormatValue value;
    switch (type) {
    case ksArgumentInt:
        value.integer = va_arg(*arguments, int);
        break;
    case ksArgument64:
        value.integer = va_arg(*arguments, long long);
        break;
    case ksArgumentDouble:
        value.real = va_arg(*arguments, double);
        break;
    default:
        value.pointer = va_arg(*arguments, const void*);
    }
    return value;
}

bool usesBase(const ksFormatSlot& slot) {
    return slot.type == ksFormatFloating ||
           (slot.type == ksFormatInteger &&
            (slot.options.conversion == 'i' || slot.options.conversion == 'u'));
}

// Every argument from 1 to the highest must be named exactly once (a slot without a number
// takes the next in order, counted apart from the numbered ones); reads them in the order of
// their numbers. Then a base from an argument, known only now, must lie from 2 to 36.
int fetchArguments(ksFormatPlan& plan, va_list* arguments) {
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
    if (highest > 0 && seen != ~uint64_t{0} >> (64 - highest))
        return ksFormatError(kFormatErrorUnused, static_cast<uint64_t>(std::countr_one(seen)));
    for (int argument = 1; argument <= highest; ++argument) {
        ksFormatSlot& slot = plan.slots[slotOf[argument]];
        slot.value = fetch(slot.argumentType, arguments);
    }
    for (int i = 0; i < plan.count; ++i) {
        const ksFormatSlot& slot = plan.slots[i];
        if (!(slot.options.flags & ksFlagBaseArgument) || !usesBase(slot))
            continue;
        const ksFormatSlot& base = plan.slots[slot.options.base];
        if (base.value.integer < 2 || base.value.integer > 36)
            return ksFormatError(kFormatErrorLimit, base.start + 1u);
    }
    return 0;
}

// Width, precision and base of a directive with some of them from arguments, read from their
// slots.
ksFormatOptions resolveFromArguments(const ksFormatOptions& given, const ksFormatSlot* slots) {
    ksFormatOptions options = given;
    if (options.flags & ksFlagWidthArgument) {
        int64_t width = slots[options.width].value.integer;
        if (width < 0) {
            options.flags = (options.flags | ksFlagMinus) & ~ksFlagZero;
            width = -width;
        }
        options.width = width;
    }
    if (options.flags & ksFlagPrecisionArgument) {
        const int64_t precision = slots[options.precision].value.integer;
        options.precision = precision < 0 ? -1 : precision;
    }
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
void copyLiteral(ksFormatState& out, const char* from, const char* to, bool escapes) {
    while (escapes && from < to) {
        const void* percent = std::memchr(from, '%', static_cast<uint64_t>(to - from));
        if (!percent)
            break;
        const char* at = static_cast<const char*>(percent);
        out.write(from, static_cast<uint64_t>(at - from) + 1);
        from = at + 2;
    }
    if (from < to)
        out.write(from, static_cast<uint64_t>(to - from));
}

// A text longer than a result can report fails like a limit of the format, and like a parse
// error it leaves the buffer empty.
int failTooLong(ksFormatState& out, uint64_t position) {
    out.cursor = out.begin;
    return ksFormatError(kFormatErrorLimit, position);
}

constexpr uint32_t kFromArguments =
    ksFlagWidthArgument | ksFlagPrecisionArgument | ksFlagBaseArgument;

// Writes one directive, its width, precision and base resolved from their slots if need be.
int convert(ksFormatState& out, const ksFormatSlot& slot, const ksFormatSlot* slots) {
    return ksFormatConvert(out, slot.type, slot.value,
                           (slot.options.flags & kFromArguments)
                               ? resolveFromArguments(slot.options, slots)
                               : slot.options);
}

// The result of a whole format, from its output once written.
int finish(ksFormatState& out, uint64_t position) {
    return out.processed() > INT_MAX ? failTooLong(out, position)
                                     : static_cast<int>(out.processed());
}

// A format of one unnumbered directive alone ("%d", "%08x", "%.3f", "%*s") is written without
// the plan, and one of flags and lengths only ("%d", "%lld", "%-s") straight from the table
// entries of its bytes: the plan's passes take more instructions than the conversion itself
// (%d: 410, 320 and 220 by the three ways). Anything else, and any error, goes to the plan,
// which reports it.
bool runLone(ksFormatState& out, const char* format, va_list* arguments, int& result) {
    using namespace ksFormatReading;
    uint32_t flags = 0;
    const char* at = format + 1;
    const Item* item = &kItems.entries[static_cast<unsigned char>(*at)];
    for (; item->kind == kBits && addBits(flags, *item);
         item = &kItems.entries[static_cast<unsigned char>(*at)])
        ++at;
    if (item->kind == kConversion && at[1] == '\0') {
        const ArgumentRule& rule = kArgumentRules[lengthClass(flags)][item->type];
        result = ksFormatConvert(out, item->type, fetch(rule.argument, arguments),
                                 {flags | item->bits | rule.flags, *at, 0, -1, 10});
    } else {
        constexpr int kLoneSlots = 4; // the directive and a width, a precision and a base
        ksFormatSlot slots[kLoneSlots];
        int count = 0;
        const int64_t end = ksFormatDirectiveReader(format, slots, kLoneSlots, count).read(0);
        if (end < 0 || format[end] != '\0')
            return false;
        const ksFormatSlot& slot = slots[count - 1];
        if (slot.argument != 0 || (slot.options.flags & ksFlagBaseArgument))
            return false;
        for (int i = 0; i < count; ++i)
            slots[i].value = fetch(slots[i].argumentType, arguments);
        result = convert(out, slot, slots);
    }
    if (result >= 0)
        result = finish(out, 1);
    return true;
}

// Every format but a lone directive. Out of line, so that a lone directive does not pay for the
// plan's frame.
[[gnu::noinline]] int runPlan(ksFormatState& out, const char* format, va_list* arguments) {
    ksFormatPlan plan;
    const int64_t length = readPlan(format, plan);
    if (length < 0)
        return static_cast<int>(length);
    const int fetched = fetchArguments(plan, arguments);
    if (fetched < 0)
        return fetched;
    uint64_t position = 0;
    for (int i = 0; i < plan.count; ++i) {
        const ksFormatSlot& slot = plan.slots[i];
        if (slot.type == ksFormatParameter)
            continue;
        copyLiteral(out, format + position, format + slot.start, plan.escapes);
        const int result = convert(out, slot, plan.slots);
        if (result < 0)
            return result;
        if (out.processed() > INT_MAX)
            return failTooLong(out, slot.start + 1u);
        position = slot.end;
    }
    copyLiteral(out, format + position, format + length, plan.escapes);
    return finish(out, static_cast<uint64_t>(length));
}

int run(ksFormatState& out, const char* format, va_list* arguments) {
    int result = 0;
    if (format[0] == '%' && format[1] != '%' && runLone(out, format, arguments, result))
        return result;
    return runPlan(out, format, arguments);
}

// Both entry points: the limit, the engine, the terminator.
int formatInto(char* buffer, size_t size, const char* format, va_list* arguments) {
    uint64_t limit = size == 0 ? 0 : static_cast<uint64_t>(size) - 1;
    if (limit > INT_MAX)
        limit = INT_MAX;
    if (!buffer)
        limit = 0;
    ksFormatState out(buffer, limit);
    const int result = format ? run(out, format, arguments) : 0;
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
