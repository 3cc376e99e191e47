// The formatter's conversions but the floating ones: integer, character, string, pointer and
// count.
#include "foundation/FormatConvert.h"
#include <bit>
#include <cstring>
#include <immintrin.h>
#include "foundation/FormatDigits.h"
#include "foundation/FormatErrors.h"
#include "foundation/Utf.h"

const char kFormatDigitsLower[] = "0123456789abcdefghijklmnopqrstuvwxyz";
const char kFormatDigitsUpper[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";

namespace {

const char kNil[] = "(nil)";

// A code point in UTF-8, one to six bytes; the width counts it as one character.
void formatCharacter(ksFormatState& out, int64_t value, const ksFormatOptions& options) {
    char bytes[8];
    const int64_t length = ksUtf8Encode(bytes, sizeof bytes, static_cast<uint32_t>(value));
    ksFormatPadded(out, bytes, length,
                   {options.flags, options.conversion, options.width + length - 1, -1, 10});
}

// The first byte of a text that is zero or above 0x7F, found in aligned blocks: of 32 bytes
// four a step where the processor has AVX2 (the least byte of the four is zero, or their union
// has the high bit), as fast as the C library's strlen; of 16 bytes elsewhere. An aligned block
// never crosses into a page the text does not reach, but the last may be read past the
// terminator, which the sanitizers cannot tell from an overflow.
#define KS_READS_PAST_END __attribute__((no_sanitize("address", "thread")))

// One bit per byte of an aligned block: set where the byte is zero or above 0x7F (its own
// high bit, or that of its comparison with zero).
KS_READS_PAST_END inline unsigned stops16(const char* block) {
    const __m128i bytes = _mm_load_si128(reinterpret_cast<const __m128i*>(block));
    return static_cast<unsigned>(
        _mm_movemask_epi8(_mm_or_si128(bytes, _mm_cmpeq_epi8(bytes, _mm_setzero_si128()))));
}

KS_READS_PAST_END __attribute__((target("avx2"))) inline unsigned stops32(const char* block) {
    const __m256i bytes = _mm256_load_si256(reinterpret_cast<const __m256i*>(block));
    return static_cast<unsigned>(_mm256_movemask_epi8(
        _mm256_or_si256(bytes, _mm256_cmpeq_epi8(bytes, _mm256_setzero_si256()))));
}

KS_READS_PAST_END uint64_t firstStop16(const char* text) {
    const char* block = text - (reinterpret_cast<uintptr_t>(text) & 15);
    unsigned bits = stops16(block) >> (text - block);
    for (const char* from = text;; bits = stops16(from = block += 16))
        if (bits)
            return static_cast<uint64_t>(from - text + std::countr_zero(bits));
}

KS_READS_PAST_END __attribute__((target("avx2"))) uint64_t firstStop32(const char* text) {
    const char* block = text - (reinterpret_cast<uintptr_t>(text) & 31);
    unsigned bits = stops32(block) >> (text - block);
    const char* from = text; // where the bits start
    // Single blocks up to a boundary of 128 bytes: no step of four then crosses into a page.
    while (!bits && (reinterpret_cast<uintptr_t>(block += 32) & 127))
        bits = stops32(from = block);
    if (bits)
        return static_cast<uint64_t>(from - text + std::countr_zero(bits));
    for (;; block += 128) {
        const auto* v = reinterpret_cast<const __m256i*>(block);
        const __m256i a = _mm256_load_si256(v), b = _mm256_load_si256(v + 1);
        const __m256i c = _mm256_load_si256(v + 2), d = _mm256_load_si256(v + 3);
        const __m256i least = _mm256_min_epu8(_mm256_min_epu8(a, b), _mm256_min_epu8(c, d));
        const __m256i either = _mm256_or_si256(_mm256_or_si256(a, b), _mm256_or_si256(c, d));
        if (_mm256_movemask_epi8(
                _mm256_or_si256(either, _mm256_cmpeq_epi8(least, _mm256_setzero_si256()))))
            break;
    }
    while (!(bits = stops32(block)))
        block += 32;
    return static_cast<uint64_t>(block - text + std::countr_zero(bits));
}

// The bytes of narrow text to write under the precision, or -1 when the text is not
// well-formed within them. A sequence that does not fit the precision ends the text.
int64_t measureNarrow(const char* text, int64_t precision) {
    uint64_t available = 0;
    uint64_t index = 0;
    bool cutByPrecision = false;
    if (precision < 0) {
        static const bool hasAvx2 = __builtin_cpu_supports("avx2");
        index = hasAvx2 ? firstStop32(text) : firstStop16(text);
        available = text[index] == '\0' ? index : index + std::strlen(text + index);
    } else {
        available = strnlen(text, static_cast<uint64_t>(precision));
        cutByPrecision = available == static_cast<uint64_t>(precision);
    }
    while (index < available) {
        uint64_t words[4]; // 32 bytes below 0x80 at a time
        if (available - index >= sizeof words &&
            (std::memcpy(words, text + index, sizeof words),
             !((words[0] | words[1] | words[2] | words[3]) & 0x8080808080808080u))) {
            index += sizeof words;
            continue;
        }
        if (static_cast<unsigned char>(text[index]) < 0x80) {
            ++index;
            continue;
        }
        // When the text ends here the decoder must see its terminator to call a cut
        // sequence malformed; when the precision ends it, a cut sequence merely stops.
        uint64_t room = available - index + (cutByPrecision ? 0 : 1);
        int64_t length = ksUtf8Decode(text + index, room, nullptr);
        if (length == -2 && cutByPrecision)
            break;
        if (length <= 0)
            return -1;
        index += static_cast<uint64_t>(length);
    }
    return static_cast<int64_t>(index);
}

int formatNarrowString(ksFormatState& out, const char* text, const ksFormatOptions& options) {
    int64_t length = measureNarrow(text, options.precision);
    if (length < 0)
        return kFormatMalformedText;
    ksFormatPadded(out, text, length, options);
    return 0;
}

// Decodes one code point of wide text; units used, or -1 when malformed.
int64_t decodeWide(const wchar_t* text, uint32_t* point) {
    if constexpr (sizeof(wchar_t) == sizeof(ksWideUnit)) {
        // The unit after a non-zero one exists: at worst it is the terminator.
        int64_t used = ksUtf16Decode(reinterpret_cast<const ksWideUnit*>(text), 2, point);
        return used > 0 ? used : -1;
    } else {
        uint32_t value = static_cast<uint32_t>(text[0]);
        if (value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
            return -1;
        *point = value;
        return 1;
    }
}

// Walks wide text under the precision, handing its UTF-8 bytes to the sink: the bytes it comes
// to, or -1 when it is not well-formed within them. Once the precision is used up nothing
// further is decoded: what lies beyond it is never written, so it cannot fail the call.
template <class Sink> int64_t walkWide(const wchar_t* text, int64_t precision, Sink sink) {
    int64_t bytes = 0;
    for (uint64_t index = 0; text[index] != 0 && bytes != precision;) {
        auto point = static_cast<uint32_t>(text[index]);
        if (point < 0x80) { // a byte as it stands, by far the most frequent
            sink(static_cast<char>(point));
            ++bytes, ++index;
            continue;
        }
        char encoded[8];
        const int64_t used = decodeWide(text + index, &point);
        if (used < 0)
            return -1;
        const int64_t length = ksUtf8Encode(encoded, sizeof encoded, point);
        if (precision >= 0 && bytes + length > precision)
            break;
        for (int64_t i = 0; i < length; ++i)
            sink(encoded[i]);
        bytes += length;
        index += static_cast<uint64_t>(used);
    }
    return bytes;
}

int formatWideString(ksFormatState& out, const wchar_t* text, const ksFormatOptions& options) {
    const int64_t length = walkWide(text, options.precision, [](char) {});
    if (length < 0)
        return kFormatMalformedText;
    if (!(options.flags & ksFlagMinus))
        out.fill(' ', options.width - length);
    if (static_cast<uint64_t>(length) <= static_cast<uint64_t>(out.end - out.cursor)) {
        char* to = out.cursor; // all of it fits: no bound to look at for each byte
        walkWide(text, options.precision, [&to](char byte) { *to++ = byte; });
        out.cursor = to;
    } else {
        walkWide(text, options.precision, [&out](char byte) { out.put(byte); });
    }
    if (options.flags & ksFlagMinus)
        out.fill(' ', options.width - length);
    return 0;
}

// A non-null pointer: "0x" and 16 digits, as "%#018llx" writes them; a space flag takes the
// place of one zero. Width, precision and other flags are ignored.
void formatPointer(ksFormatState& out, const void* pointer, uint32_t flags) {
    if (!pointer) {
        out.write(kNil, 5);
        return;
    }
    constexpr uint32_t kHexadecimal = ksFlagAlternative | ksFlagZero | ksFlag64Bit | ksFlagUnsigned;
    ksFormatWriteInteger(out, static_cast<int64_t>(reinterpret_cast<uintptr_t>(pointer)),
                         {kHexadecimal | (flags & ksFlagSpace), 'x', 18, -1, 16});
}

// Stores the bytes stored so far through the pointer: as 64, 16 or 32 bits as the length says.
void storeCount(const ksFormatState& out, void* target, uint32_t flags) {
    const auto store = [target](auto value) { std::memcpy(target, &value, sizeof value); };
    const uint64_t count = out.committed();
    if (!target)
        return;
    if (flags & ksFlag64Bit)
        store(static_cast<int64_t>(count));
    else if (flags & ksFlagCount16)
        store(static_cast<int16_t>(count));
    else
        store(static_cast<int32_t>(count));
}

// Sign, prefix, digits and padding of every integer but the plain decimal ones.
[[gnu::noinline]] void writeIntegerLayout(ksFormatState& out, uint64_t magnitude, bool negative,
                                          int base, const ksFormatOptions& options) {
    const uint32_t flags = options.flags;
    // Sign and prefix ("0x", "0b" or "0") go right before the digits, which end the buffer.
    char buffer[4 + 64]; // the longest digits: 64 in base 2
    char* const end = buffer + sizeof buffer;
    char* digits = end;
    const bool alternative = (flags & ksFlagAlternative) != 0;
    if (magnitude != 0 || options.precision != 0)
        digits = ksFormatDigits(end, magnitude, base,
                                (flags & ksFlagUpper) ? kFormatDigitsUpper : kFormatDigitsLower);
    else if (alternative && base == 8)
        *--digits = '0'; // the lone '0' of "%#.0o"
    const int64_t digitCount = end - digits;
    char* prefix = digits;
    if (alternative && magnitude != 0) {
        if (base == 16 || base == 2) {
            *--prefix = base == 2 ? 'b' : (flags & ksFlagUpper) ? 'X' : 'x';
            *--prefix = '0';
        } else if (base == 8 && options.precision <= digitCount) {
            *--prefix = '0';
        }
    }
    if (negative)
        *--prefix = '-';
    else if ((flags & ksFlagPlus) && !(flags & ksFlagUnsigned))
        *--prefix = '+';
    else if (flags & ksFlagSpace)
        *--prefix = ' ';
    const int64_t prefixLength = digits - prefix;

    int64_t zeros = options.precision - digitCount;
    const bool leftAdjust = (flags & ksFlagMinus) != 0;
    if (options.precision < 0 && (flags & ksFlagZero) && !leftAdjust)
        zeros = options.width - prefixLength - digitCount;
    const int64_t padding = options.width - prefixLength - (zeros > 0 ? zeros : 0) - digitCount;
    if (!leftAdjust)
        out.fill(' ', padding);
    if (zeros <= 0) {
        out.write(prefix, static_cast<uint64_t>(end - prefix));
    } else {
        out.write(prefix, static_cast<uint64_t>(prefixLength));
        out.fill('0', zeros);
        out.write(digits, static_cast<uint64_t>(digitCount));
    }
    if (leftAdjust)
        out.fill(' ', padding);
}

} // namespace

void ksFormatWriteInteger(ksFormatState& out, int64_t value, const ksFormatOptions& options) {
    const uint32_t flags = options.flags;
    const char c = options.conversion;
    const int base = c == 'd' ? 10 : c == 'o' ? 8 : c == 'x' || c == 'X' ? 16 : options.base;
    // The low 32 bits unless the length reads 64; signed for d and i.
    const bool full = (flags & ksFlag64Bit) != 0;
    uint64_t magnitude = full ? static_cast<uint64_t>(value) : static_cast<uint32_t>(value);
    bool negative = false;
    if (!(flags & ksFlagUnsigned)) {
        const int64_t number = full ? value : static_cast<int32_t>(value);
        negative = number < 0;
        magnitude = negative ? 0 - static_cast<uint64_t>(number) : static_cast<uint64_t>(number);
    }
    constexpr uint32_t kLayout =
        ksFlagSpace | ksFlagPlus | ksFlagMinus | ksFlagAlternative | ksFlagZero | ksFlagPrecision;
    if (base != 10 || (flags & kLayout) || options.width != 0) {
        writeIntegerLayout(out, magnitude, negative, base, options);
        return;
    }
    // The everyday %d, %u or %lld, in place: a third of the instructions of the layout.
    char text[24];
    char* digits = ksWriteDecimal(text + sizeof text, magnitude);
    digits[-1] = '-';
    out.write(digits - negative, static_cast<uint64_t>(text + sizeof text - digits + negative));
}

int ksFormatWriteString(ksFormatState& out, const void* text, const ksFormatOptions& options) {
    if (!text) { // "(nil)", unpadded, cut by a precision
        out.write(kNil, options.precision >= 0 && options.precision < 5 ? options.precision : 5);
        return 0;
    }
    if (options.flags & ksFlagWide)
        return formatWideString(out, static_cast<const wchar_t*>(text), options);
    return formatNarrowString(out, static_cast<const char*>(text), options);
}

void ksFormatWriteOther(ksFormatState& out, ksFormatType type, ksFormatValue value,
                        const ksFormatOptions& options) {
    if (type == ksFormatCharacter)
        formatCharacter(out, value.integer, options);
    else if (type == ksFormatPointer)
        formatPointer(out, value.pointer, options.flags);
    else if (type == ksFormatCount)
        storeCount(out, const_cast<void*>(value.pointer), options.flags);
}

void ksFormatPadded(ksFormatState& out, const char* bytes, int64_t length,
                    const ksFormatOptions& options) {
    const int64_t padding = options.width - length;
    if (!(options.flags & ksFlagMinus))
        out.fill(' ', padding);
    out.write(bytes, static_cast<uint64_t>(length));
    if (options.flags & ksFlagMinus)
        out.fill(' ', padding);
}
