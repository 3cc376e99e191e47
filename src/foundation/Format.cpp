// The system's printf: the entry points and the engine. The format is read once into argument
// slots, so that a malformed one fails before any byte is written; one loop then writes literal
// text and directives, reading each argument just before its directive. Only a format with
// '$' or a base from an argument first reads its arguments in the order of their numbers.
#include "foundation/Format.h"
#include <bit>
#include <climits>
#include <cstring>
#include "foundation/FormatConvert.h"
#include "foundation/FormatDirective.h"
#include "foundation/FormatDirectiveReader.h"
#include "foundation/FormatOutput.h"

namespace {

constexpr int kErrorLimit = 3;
constexpr int kErrorTwice = 4;
constexpr int kErrorUnused = 5;

// Every argument from 1 to the highest must be named exactly once; fills slotOf for them.
int checkNumbering(const ksFormatPlan& plan, uint8_t* slotOf, int& highest) {
    highest = 0;
    uint64_t seen = 0;
    for (int i = 0; i < plan.count; ++i) {
        const int argument = plan.slots[i].argument;
        const uint64_t bit = uint64_t{1} << (argument - 1);
        if (seen & bit)
            return ksFormatError(kErrorTwice, static_cast<uint64_t>(argument - 1));
        seen |= bit;
        slotOf[argument] = static_cast<uint8_t>(i);
        if (argument > highest)
            highest = argument;
    }
    if (highest > 0 && seen != ~uint64_t{0} >> (64 - highest))
        return ksFormatError(kErrorUnused, static_cast<uint64_t>(std::countr_one(seen)));
    return 0;
}

bool usesBase(const ksFormatSlot& slot) {
    return slot.type == ksFormatFloating ||
           (slot.type == ksFormatInteger &&
            (slot.options.conversion == 'i' || slot.options.conversion == 'u'));
}

// Reads the arguments in the order of their numbers; then a base from an argument, known only
// now, must lie from 2 to 36 to be honoured.
int fetchInNumberOrder(ksFormatPlan& plan, va_list* arguments) {
    uint8_t slotOf[kFormatMaxSlots + 1];
    int highest = 0;
    const int result = checkNumbering(plan, slotOf, highest);
    if (result < 0)
        return result;
    for (int argument = 1; argument <= highest; ++argument) {
        ksFormatSlot& slot = plan.slots[slotOf[argument]];
        slot.value = ksFormatFetch(slot.argumentType, arguments);
    }
    for (int i = 0; i < plan.count; ++i) {
        const ksFormatSlot& slot = plan.slots[i];
        if (!(slot.options.flags & ksFlagBaseArgument) || !usesBase(slot))
            continue;
        const ksFormatSlot& base = plan.slots[slot.options.base];
        if (base.value.integer < 2 || base.value.integer > 36)
            return ksFormatError(kErrorLimit, base.start + 1u);
    }
    return 0;
}

// Width, precision and base of a directive with some of them from arguments, read from their
// slots.
[[gnu::noinline]] ksFormatOptions resolveFromArguments(const ksFormatSlot& slot,
                                                       const ksFormatSlot* slots) {
    ksFormatOptions options = slot.options;
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

// Writes a directive: from its slot as it stands when nothing comes from an argument (its
// precision is then -1 exactly when its flag is clear), else with those resolved.
[[gnu::always_inline]] inline int convertSlot(ksFormatState& out, const ksFormatSlot& slot,
                                              ksFormatValue value, const ksFormatSlot* slots) {
    constexpr uint32_t kFromArguments =
        ksFlagWidthArgument | ksFlagPrecisionArgument | ksFlagBaseArgument;
    if (!(slot.options.flags & kFromArguments))
        return ksFormatConvert(out, slot.type, value, slot.options);
    return ksFormatConvert(out, slot.type, value, resolveFromArguments(slot, slots));
}

// Literal text with "%%" pairs in it, each written as one '%'.
void copyEscaped(ksFormatState& out, const char* from, const char* to) {
    while (from < to) {
        const void* percent = std::memchr(from, '%', static_cast<uint64_t>(to - from));
        const char* at = percent ? static_cast<const char*>(percent) : to - 1;
        out.write(from, static_cast<uint64_t>(at - from) + 1);
        from = at + 2;
    }
}

// Literal text between directives: bytes unchanged, each "%%" as one '%'. Without any "%%"
// in the format there is nothing to look for.
[[gnu::always_inline]] inline void copyLiteral(ksFormatState& out, const char* from, const char* to,
                                               bool escapes) {
    if (!escapes) {
        if (from != to)
            out.write(from, static_cast<uint64_t>(to - from));
        return;
    }
    copyEscaped(out, from, to);
}

// A text longer than a result can report fails like a limit of the format, and like a parse
// error it leaves the buffer empty.
int failTooLong(ksFormatState& out, uint64_t position) {
    out.cursor = out.begin;
    return ksFormatError(kErrorLimit, position);
}

// The output loop of every format: literal text, then each directive with its argument,
// read here unless the arguments were read first.
int emit(ksFormatState& out, const char* format, uint64_t length, ksFormatPlan& plan,
         va_list* arguments) {
    uint64_t position = 0;
    for (int i = 0; i < plan.count; ++i) {
        ksFormatSlot& slot = plan.slots[i];
        if (!plan.fetchFirst)
            slot.value = ksFormatFetch(slot.argumentType, arguments);
        if (slot.type == ksFormatParameter)
            continue;
        copyLiteral(out, format + position, format + slot.start, plan.escapes);
        const int result = convertSlot(out, slot, slot.value, plan.slots);
        if (result < 0)
            return result;
        if (out.processed() > INT_MAX)
            return failTooLong(out, slot.start + 1u);
        position = slot.end;
    }
    copyLiteral(out, format + position, format + length, plan.escapes);
    if (out.processed() > INT_MAX)
        return failTooLong(out, length);
    return static_cast<int>(out.processed());
}

// A format that is one directive and nothing else: its value, then the result.
[[gnu::always_inline]] inline int writeLone(ksFormatState& out, ksFormatType type,
                                            ksFormatValue value, const ksFormatOptions& options) {
    const int result = ksFormatConvert(out, type, value, options);
    if (result < 0)
        return result;
    return out.processed() > INT_MAX ? failTooLong(out, 1) : static_cast<int>(out.processed());
}

// Every format but one directive with literal text after it. The format's first directive may
// have been read already into first; the plan goes on after it. Kept out of line so that a lone
// directive does not pay for the plan's frame.
[[gnu::noinline]] int runPlan(ksFormatState& out, const char* format, va_list* arguments,
                              bool fetchFirst, const ksFormatLonePlan* first, uint64_t from) {
    ksFormatPlan plan;
    plan.fetchFirst = fetchFirst;
    if (first) {
        for (int i = 0; i < first->count; ++i)
            plan.slots[i] = first->slots[i];
        plan.count = first->count;
        plan.nextArgument = first->nextArgument;
        plan.fetchFirst = first->fetchFirst;
    }
    const int64_t length = ksFormatReadPlan(format, plan, from);
    if (length < 0)
        return static_cast<int>(length);
    if (plan.fetchFirst) {
        const int result = fetchInNumberOrder(plan, arguments);
        if (result < 0)
            return result;
    }
    return emit(out, format, static_cast<uint64_t>(length), plan, arguments);
}

// A format that starts with a directive ("%08x", "%-10s|", "%*.*f"): the one directive reader
// reads it into a plan of a few slots. With no other '%' after it, it is written at once, its
// arguments read in slot order, then the literal text after it; otherwise the whole plan goes
// on from there. A directive the small plan cannot hold, or an error, goes to the whole plan,
// which reads the format again and reports the error.
[[gnu::always_inline]] inline int runFromDirective(ksFormatState& out, const char* format,
                                                   va_list* arguments) {
    ksFormatLonePlan plan;
    const int64_t end = ksFormatReadDirective(format, 0, plan);
    if (end < 0)
        return runPlan(out, format, arguments, false, nullptr, 0);
    const uint64_t next = ksFormatNextPercent(format, static_cast<uint64_t>(end));
    if (format[next] != '\0' || plan.fetchFirst)
        return runPlan(out, format, arguments, false, &plan, static_cast<uint64_t>(end));
    for (int i = 0; i + 1 < plan.count; ++i)
        plan.slots[i].value = ksFormatFetch(plan.slots[i].argumentType, arguments);
    const ksFormatSlot& slot = plan.slots[plan.count - 1];
    const int result =
        convertSlot(out, slot, ksFormatFetch(slot.argumentType, arguments), plan.slots);
    if (result < 0)
        return result;
    if (out.processed() > INT_MAX)
        return failTooLong(out, 1);
    if (next != static_cast<uint64_t>(end)) {
        out.write(format + end, next - static_cast<uint64_t>(end));
        if (out.processed() > INT_MAX)
            return failTooLong(out, next);
    }
    return static_cast<int>(out.processed());
}

[[gnu::always_inline]] inline int run(ksFormatState& out, const char* format, va_list* arguments,
                                      bool fetchFirst) {
    if (format[0] == '%' && format[1] != '%' && !fetchFirst) {
        // A format that is one bare conversion ("%d", "%s") needs no reading.
        const ksFormatItem& item = kFormatItems.entries[static_cast<unsigned char>(format[1])];
        if (item.kind == ksItemConversion && format[2] == '\0')
            return writeLone(out, item.type,
                             ksFormatFetch(kFormatArguments[0][item.type], arguments),
                             {item.bits, format[1], 0, -1, 10});
        return runFromDirective(out, format, arguments);
    }
    return runPlan(out, format, arguments, fetchFirst, nullptr, 0);
}

// Both entry points: the limit, the engine, the terminator.
int formatInto(char* buffer, size_t size, const char* format, va_list* arguments) {
    uint64_t limit = size == 0 ? 0 : static_cast<uint64_t>(size) - 1;
    if (limit > INT_MAX)
        limit = INT_MAX;
    if (!buffer)
        limit = 0;
    ksFormatState out(buffer, limit);
    const int result = format ? run(out, format, arguments, false) : 0;
    if (size > 0 && buffer)
        *out.cursor = '\0';
    return result;
}

} // namespace

int ksFormatRun(ksFormatState& out, const char* format, va_list* arguments, bool fetchFirst) {
    return run(out, format, arguments, fetchFirst);
}

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
