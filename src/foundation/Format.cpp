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
#include "foundation/FormatFloat.h"
#include "foundation/FormatOutput.h"

namespace {

constexpr int kErrorLimit = 3;
constexpr int kErrorTwice = 4;
constexpr int kErrorUnused = 5;

// Every argument from 1 to the highest must be named exactly once; fills slotOf for them. A slot
// without a number takes the next in order, counted apart from the numbered ones.
int checkNumbering(ksFormatPlan& plan, uint8_t* slotOf, int& highest) {
    highest = 0;
    uint64_t seen = 0;
    uint8_t next = 1;
    for (int i = 0; i < plan.count; ++i) {
        uint8_t& argument = plan.slots[i].argument;
        if (argument == 0)
            argument = next++;
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
        slot.value = ksFormatFetch(slot.type, slot.options.flags, arguments);
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
[[gnu::noinline]] ksFormatOptions resolveFromArguments(const ksFormatOptions& given,
                                                       const ksFormatSlot* slots) {
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

// Writes a directive: with its options as they stand when nothing comes from an argument (its
// precision is then -1 exactly when its flag is clear), else with those resolved from slots.
[[gnu::always_inline]] inline int convert(ksFormatState& out, ksFormatType type,
                                          const ksFormatOptions& options, ksFormatValue value,
                                          const ksFormatSlot* slots) {
    constexpr uint32_t kFromArguments =
        ksFlagWidthArgument | ksFlagPrecisionArgument | ksFlagBaseArgument;
    if (!(options.flags & kFromArguments)) {
        // A double goes to its writer in a floating register: through the conversions' union it
        // would travel in an integer one, and its load would wait on the argument's store.
        if (type == ksFormatFloating) {
            ksFormatFloatingValue(out, value.real, options);
            return 0;
        }
        return ksFormatConvert(out, type, value, options);
    }
    return ksFormatConvert(out, type, value, resolveFromArguments(options, slots));
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
            slot.value = ksFormatFetch(slot.type, slot.options.flags, arguments);
        if (slot.type == ksFormatParameter)
            continue;
        copyLiteral(out, format + position, format + slot.start, plan.escapes);
        const int result = convert(out, slot.type, slot.options, slot.value, plan.slots);
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

// The result of a format that is one directive and nothing else, from its conversion's.
[[gnu::always_inline]] inline int writeLone(ksFormatState& out, int converted) {
    if (converted < 0)
        return converted;
    return out.processed() > INT_MAX ? failTooLong(out, 1) : static_cast<int>(out.processed());
}

// Every format but one directive with literal text after it. The format's first directive may
// have been read already, with its parameter slots in first; the plan goes on after it. Kept
// out of line so that a lone directive does not pay for the plan's frame.
[[gnu::noinline]] int runPlan(ksFormatState& out, const char* format, va_list* arguments,
                              bool fetchFirst, const ksFormatLonePlan* first = nullptr,
                              const ksFormatDirective* directive = nullptr, uint64_t from = 0) {
    ksFormatPlan plan;
    plan.fetchFirst = fetchFirst;
    if (first) {
        for (int i = 0; i < first->count; ++i)
            plan.slots[i] = first->slots[i];
        plan.count = first->count;
        ksFormatAddSlot(plan, *directive, 0, from);
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
// reads it on its own, its parameters into a plan of a few slots. With no other '%' after it,
// it is written at once, its arguments read in order, then the literal text after it; otherwise
// the whole plan goes on from there. A directive the small plan cannot hold, or an error, goes
// to the whole plan, which reads the format again and reports the error.
[[gnu::always_inline]] inline int runFromDirective(ksFormatState& out, const char* format,
                                                   va_list* arguments) {
    ksFormatLonePlan parameters;
    ksFormatDirective directive;
    const int64_t end = ksFormatReadDirective(format, 0, parameters, directive);
    if (end < 0)
        return runPlan(out, format, arguments, false);
    const uint64_t next =
        format[end] == '\0' ? static_cast<uint64_t>(end) : ksFormatNextPercent(format, end);
    if (format[next] != '\0' || parameters.fetchFirst)
        return runPlan(out, format, arguments, parameters.fetchFirst, &parameters, &directive,
                       static_cast<uint64_t>(end));
    for (int i = 0; i < parameters.count; ++i)
        parameters.slots[i].value = ksFormatFetch(ksFormatParameter, 0, arguments);
    const ksFormatValue value = ksFormatFetch(directive.type, directive.options.flags, arguments);
    const int result =
        writeLone(out, convert(out, directive.type, directive.options, value, parameters.slots));
    if (result < 0 || next == static_cast<uint64_t>(end))
        return result;
    out.write(format + end, next - static_cast<uint64_t>(end));
    return out.processed() > INT_MAX ? failTooLong(out, next) : static_cast<int>(out.processed());
}

[[gnu::always_inline]] inline int run(ksFormatState& out, const char* format, va_list* arguments,
                                      bool fetchFirst) {
    if (format[0] == '%' && !fetchFirst) {
        // A format that is one bare conversion ("%d", "%s") needs no reading.
        const ksFormatItem& item = kFormatItems.entries[static_cast<unsigned char>(format[1])];
        if (item.kind == ksItemConversion && format[2] == '\0') {
            const char c = format[1];
            if (c == 'd' || c == 'u' || c == 'i')
                return writeLone(out,
                                 ksFormatPlainDecimal(out, va_arg(*arguments, int), item.bits));
            return writeLone(out, ksFormatConvert(out, item.type,
                                                  ksFormatFetch(item.type, item.bits, arguments),
                                                  {item.bits, c, 0, -1, 10}));
        }
        if (format[1] != '%')
            return runFromDirective(out, format, arguments);
    }
    return runPlan(out, format, arguments, fetchFirst);
}

// Both entry points: the limit, the engine, the terminator.
[[gnu::always_inline]] inline int formatInto(char* buffer, size_t size, const char* format,
                                             va_list* arguments) {
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
