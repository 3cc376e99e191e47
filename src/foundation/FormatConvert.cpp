// The formatter's conversions but the floating ones: integer, character, string, pointer, count.
#include "foundation/FormatConvert.h"
#include <algorithm>
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
    if (!(options.flags & ksFlagMinus))
        out.fill(' ', options.width - 1);
    for (int64_t i = 0; i < length; ++i)
        out.put(bytes[i]);
    if (options.flags & ksFlagMinus)
        out.fill(' ', options.width - 1);
}

// A stop is a byte of narrow text that is zero or above 0x7F: plain text runs between stops.
// Text is read in aligned blocks, which never cross into a page it does not reach; the last may
// be read past the terminator, which the sanitizers cannot tell from an overflow.
#define KS_READS_PAST_END __attribute__((no_sanitize("address", "thread")))

// One bit per byte of an aligned block, set at a stop: its high bit, or that of its test for zero.
KS_READS_PAST_END inline unsigned stops16(const char* block) {
    const __m128i bytes = _mm_load_si128(reinterpret_cast<const __m128i*>(block));
    return static_cast<unsigned>(
        _mm_movemask_epi8(_mm_or_si128(bytes, _mm_cmpeq_epi8(bytes, _mm_setzero_si128()))));
}

KS_READS_PAST_END __attribute__((target("avx2"))) inline unsigned stops32(const __m256i bytes) {
    return static_cast<unsigned>(_mm256_movemask_epi8(
        _mm256_or_si256(bytes, _mm256_cmpeq_epi8(bytes, _mm256_setzero_si256()))));
}

// The index of the first stop in text, or at least limit when none comes before it.
KS_READS_PAST_END uint64_t firstStop(const char* text, uint64_t limit) {
    const char* block = text - (reinterpret_cast<uintptr_t>(text) & 15);
    unsigned bits = stops16(block) >> (text - block);
    const char* from = text; // where the bits start
    for (; !bits; bits = stops16(from = block += 16))
        if (static_cast<uint64_t>(block + 16 - text) >= limit)
            return limit;
    return static_cast<uint64_t>(from - text + std::countr_zero(bits));
}

// Copies text into to while scanning it, up to its first stop, at most limit bytes and within
// room (32 or more); returns how many. Whole blocks are stored: bytes past those may change.
// Most stores align to the buffer, as memcpy's do: an unaligned one costs two, and one across a
// page or seen to overlap a later load modulo 4 KB far more. Their loads, unaligned, stop short
// of a page the text is not known to reach.
KS_READS_PAST_END __attribute__((target("avx2"))) uint64_t
copyToStop(char* to, uint64_t room, const char* text, uint64_t limit) {
    const char* block = text - (reinterpret_cast<uintptr_t>(text) & 31);
    if (const unsigned bits =
            stops32(_mm256_load_si256(reinterpret_cast<const __m256i*>(block))) >> (text - block)) {
        const uint64_t count = std::min<uint64_t>(std::countr_zero(bits), limit);
        ksCopyShort(to, text, count);
        return count;
    }
    // The text reaches the next block, so 32 bytes from its start stay inside that block.
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(to),
                        _mm256_loadu_si256(reinterpret_cast<const __m256i*>(text)));
    uint64_t at = 32 - static_cast<uint64_t>(text - block);
    // Most texts end in a few blocks more, read aligned to the text (one, if stores cross a page).
    uint64_t blocks = (reinterpret_cast<uintptr_t>(to) & 4095) > 4096 - 160 ? 1 : 3;
    for (;;) {
        for (; blocks > 0; --blocks, at += 32) {
            if (at >= limit || at + 32 > room)
                return std::min(at, limit);
            const __m256i bytes = _mm256_load_si256(reinterpret_cast<const __m256i*>(text + at));
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(to + at), bytes);
            if (const unsigned bits = stops32(bytes))
                return std::min<uint64_t>(at + std::countr_zero(bits), limit);
        }
        // The text reaches the page text + at is in, where its bytes before at are.
        const uint64_t page = at + 4096 - (reinterpret_cast<uintptr_t>(text + at) & 4095);
        for (at -= reinterpret_cast<uintptr_t>(to + at) & 31; at + 128 <= page; at += 128) {
            if (at >= limit || at + 128 > room)
                return std::min(at, limit);
            const auto* source = reinterpret_cast<const __m256i*>(text + at);
            auto* into = reinterpret_cast<__m256i*>(to + at);
            const __m256i a = _mm256_loadu_si256(source), b = _mm256_loadu_si256(source + 1);
            const __m256i c = _mm256_loadu_si256(source + 2), d = _mm256_loadu_si256(source + 3);
            _mm256_store_si256(into, a), _mm256_store_si256(into + 1, b);
            _mm256_store_si256(into + 2, c), _mm256_store_si256(into + 3, d);
            // A stop among them is the least byte being zero or their union having the high bit.
            const __m256i least = _mm256_min_epu8(_mm256_min_epu8(a, b), _mm256_min_epu8(c, d));
            const __m256i either = _mm256_or_si256(_mm256_or_si256(a, b), _mm256_or_si256(c, d));
            if (_mm256_movemask_epi8(
                    _mm256_or_si256(either, _mm256_cmpeq_epi8(least, _mm256_setzero_si256())))) {
                const uint64_t low = stops32(a) | uint64_t{stops32(b)} << 32;
                const uint64_t high = stops32(c) | uint64_t{stops32(d)} << 32;
                return std::min(at + (low ? std::countr_zero(low) : 64 + std::countr_zero(high)),
                                limit);
            }
        }
        at -= reinterpret_cast<uintptr_t>(text + at) & 31; // blocks again, into the next page
        blocks = (page - at) / 32;
    }
}

// The bytes of narrow text to write within limit (the precision), or -1 when the text is not
// well-formed within them; its first `index` bytes are known to be plain. A sequence that
// does not fit the precision ends the text; one the terminator cuts is malformed.
int64_t measureNarrow(const char* text, uint64_t limit, uint64_t index) {
    for (;;) {
        if (index < limit && static_cast<unsigned char>(text[index]) - 1u < 0x7Fu) // plain
            index += firstStop(text + index, limit - index);
        if (index >= limit || text[index] == '\0')
            return static_cast<int64_t>(std::min(index, limit));
        // A sequence is at most 8 bytes: a shorter room is the precision's.
        const uint64_t room = std::min<uint64_t>(limit - index, 8);
        const int64_t length = ksUtf8Decode(text + index, room, nullptr);
        if (length == -2 && room == limit - index)
            return static_cast<int64_t>(index);
        if (length <= 0)
            return -1;
        index += static_cast<uint64_t>(length);
    }
}

// Text written where nothing pads in front of it is copied while it is scanned (a lone %s may have
// been already), into the room past the cursor; it counts once the whole proved well-formed.
int formatNarrowString(ksFormatState& out, const char* text, const ksFormatOptions& options,
                       uint64_t copied) {
    const bool padsFirst = options.width > 0 && !(options.flags & ksFlagMinus);
    const auto room = static_cast<uint64_t>(out.end - out.cursor);
    const auto limit = static_cast<uint64_t>(options.precision); // none (-1): the largest
    if (copied == 0 && !padsFirst)
        copied = ksFormatCopyText(out.cursor, room, text, limit);
    // Copied up to its terminator or its precision: nothing more to check.
    const int64_t length = (copied == limit || (copied > 0 && text[copied] == '\0'))
                               ? static_cast<int64_t>(copied)
                               : measureNarrow(text, limit, copied);
    if (length < 0)
        return kFormatMalformedText;
    if (padsFirst)
        out.fill(' ', options.width - length);
    out.cursor += copied;
    if (static_cast<uint64_t>(length) > copied)
        out.write(text + copied, static_cast<uint64_t>(length) - copied);
    if (options.flags & ksFlagMinus)
        out.fill(' ', options.width - length);
    return 0;
}

// Decodes one code point of wide text; units used, or -1 when malformed.
int64_t decodeWide(const wchar_t* text, uint32_t* point) {
    if constexpr (sizeof(wchar_t) == sizeof(ksWideUnit)) {
        // The unit after a non-zero one exists: at worst it is the terminator.
        int64_t used = ksUtf16Decode(reinterpret_cast<const ksWideUnit*>(text), 2, point);
        return used > 0 ? used : -1;
    } else {
        const uint32_t value = *point = static_cast<uint32_t>(text[0]);
        return value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF) ? -1 : 1;
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

// Narrows the leading units of wide text from 1 to 0x7F, at most limit of them, into to;
// returns how many. Such text, the most frequent, then needs neither a decoder nor a second walk.
uint64_t narrowPlain(char* to, const wchar_t* text, uint64_t limit) {
    uint64_t count = 0;
    for (; count < limit && static_cast<uint32_t>(text[count]) - 1 < 0x7F; ++count)
        to[count] = static_cast<char>(text[count]);
    return count;
}

// As narrow text, wide text with nothing padding it in front goes into the room at once and
// counts as written once the rest proved well-formed.
int formatWideString(ksFormatState& out, const wchar_t* text, const ksFormatOptions& options) {
    const bool padsFirst = options.width > 0 && !(options.flags & ksFlagMinus);
    const auto room = padsFirst ? 0 : static_cast<uint64_t>(out.end - out.cursor);
    const int64_t precision = options.precision;
    const uint64_t plain = narrowPlain(
        out.cursor, text, precision < 0 ? room : std::min(room, static_cast<uint64_t>(precision)));
    text += plain;
    const int64_t restPrecision = precision < 0 ? -1 : precision - static_cast<int64_t>(plain);
    const int64_t rest = walkWide(text, restPrecision, [](char) {});
    if (rest < 0)
        return kFormatMalformedText;
    const int64_t length = static_cast<int64_t>(plain) + rest;
    if (padsFirst)
        out.fill(' ', options.width - length);
    out.cursor += plain;
    walkWide(text, restPrecision, [&out](char byte) { out.put(byte); });
    if (options.flags & ksFlagMinus)
        out.fill(' ', options.width - length);
    return 0;
}

// A non-null pointer: "0x" and 16 digits, as "%#018llx" writes them; a space flag takes the
// place of one zero. Width, precision and other flags are ignored.
void formatPointer(ksFormatState& out, const void* pointer, uint32_t flags) {
    if (!pointer)
        return out.write(kNil, 5);
    constexpr uint32_t kHexadecimal = ksFlagAlternative | ksFlagZero | ksFlag64Bit | ksFlagUnsigned;
    ksFormatWriteInteger(out, static_cast<int64_t>(reinterpret_cast<uintptr_t>(pointer)),
                         {kHexadecimal | (flags & ksFlagSpace), 'x', 18, -1, 16});
}

// Stores the bytes stored so far through the pointer: as 64, 16 or 32 bits as the length says.
// Both targets are little-endian, so the narrower counts are the low bytes of the wide one.
void storeCount(const ksFormatState& out, void* target, uint32_t flags) {
    const uint64_t count = out.committed();
    if (target)
        std::memcpy(target, &count, (flags & ksFlag64Bit) ? 8 : (flags & ksFlagCount16) ? 2 : 4);
}

// Sign, prefix, digits and padding of every integer but the plain decimal ones.
[[gnu::noinline]] void writeIntegerLayout(ksFormatState& out, uint64_t magnitude, bool negative,
                                          int base, const ksFormatOptions& options) {
    const uint32_t flags = options.flags;
    // Sign and prefix ("0x", "0b" or "0") go right before the digits, which end the buffer.
    char buffer[4 + 64], *const end = buffer + sizeof buffer; // digits: at most 64, in base 2
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
    const bool plus = (flags & ksFlagPlus) && !(flags & ksFlagUnsigned);
    if (const char sign = negative ? '-' : plus ? '+' : (flags & ksFlagSpace) ? ' ' : 0)
        *--prefix = sign;
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
    const int64_t number = full ? value : static_cast<int32_t>(value);
    const bool negative = !(flags & ksFlagUnsigned) && number < 0;
    if (negative)
        magnitude = 0 - static_cast<uint64_t>(number);
    constexpr uint32_t kLayout =
        ksFlagSpace | ksFlagPlus | ksFlagMinus | ksFlagAlternative | ksFlagZero | ksFlagPrecision;
    if (base != 10 || (flags & kLayout) || options.width != 0)
        return writeIntegerLayout(out, magnitude, negative, base, options);
    ksFormatWriteDecimal(out, magnitude, negative); // a third of the layout's instructions
}

int ksFormatWriteString(ksFormatState& out, const void* text, const ksFormatOptions& options,
                        uint64_t copied) {
    if (!text) { // "(nil)", unpadded, cut by a precision
        out.write(kNil, options.precision >= 0 && options.precision < 5 ? options.precision : 5);
        return 0;
    }
    if (options.flags & ksFlagWide)
        return formatWideString(out, static_cast<const wchar_t*>(text), options);
    return formatNarrowString(out, static_cast<const char*>(text), options, copied);
}

uint64_t ksFormatCopyText(char* to, uint64_t room, const char* text, uint64_t limit) {
    return room >= 32 && __builtin_cpu_supports("avx2") ? copyToStop(to, room, text, limit) : 0;
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
