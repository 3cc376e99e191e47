// The formatter's conversions: integer, character, string, pointer and count, and the
// dispatch from a directive's type to its conversion (floating ones live in FormatFloat.cpp).
#include "foundation/FormatConvert.h"
#include <bit>
#include <climits>
#include <cstring>
#include <emmintrin.h>
#include "foundation/FormatErrors.h"
#include "foundation/FormatFloat.h"
#include "foundation/Utf.h"

const char kFormatDigitsLower[] = "0123456789abcdefghijklmnopqrstuvwxyz";
const char kFormatDigitsUpper[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";

namespace {

const char kNil[] = "(nil)";

// Pairs of decimal digits, read two bytes at a time.
constexpr char kDigitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

// A product of two 64-bit values, whose high half a single multiply instruction gives.
__extension__ typedef unsigned __int128 ksWideProduct;

// Decimal digits are written forward from a 64-bit binary fraction: value * scale has the
// leading pair (or digit) in its high half and the rest of value as a fraction in its low half,
// each further pair being the high half of the fraction times 100. The scale exceeds
// 2^64 / 10^e by at most one, e being the digits after the leading pair or digit, so the
// fraction runs high by less than value / 2^64; that stays below the 10^-e that would carry
// into a digit as long as value * 10^e < 2^64: true for up to ten digits.
//
// The scales by length, 3 to 10 digits: e is length - 1 rounded down to even.
struct ksFractionScales {
    uint64_t byLength[11] = {};
    constexpr ksFractionScales() {
        for (int length = 3; length <= 10; ++length) {
            uint64_t divisor = 1;
            for (int e = (length - 1) & ~1; e > 0; --e)
                divisor *= 10;
            byLength[length] = UINT64_MAX / divisor + 1;
        }
    }
};
constexpr ksFractionScales kFractionScales{};

inline void writePair(char* at, uint64_t pair) {
    std::memcpy(at, kDigitPairs + pair * 2, 2);
}

// The next pair of the fraction, which moves on past it.
inline uint64_t nextPair(uint64_t& fraction) {
    const ksWideProduct product = static_cast<ksWideProduct>(fraction) * 100;
    fraction = static_cast<uint64_t>(product);
    return static_cast<uint64_t>(product >> 64);
}

// Writes value below 10^length as exactly length digits (1 to 10) from at on, leading zeros
// included.
inline void writeDigitsForward(char* at, uint64_t value, int length) {
    if (length <= 2) {
        if (length == 2)
            writePair(at, value);
        else
            *at = static_cast<char>('0' + value);
        return;
    }
    const ksWideProduct product =
        static_cast<ksWideProduct>(value) * kFractionScales.byLength[length];
    uint64_t fraction = static_cast<uint64_t>(product);
    // An odd length leads with one digit: the second byte of its pair is stale until the
    // first further pair overwrites it.
    std::memcpy(at, kDigitPairs + static_cast<uint64_t>(product >> 64) * 2 + (length & 1), 2);
    char* const end = at + length;
    // Further pairs end at the end whatever the parity: one per two digits after the first.
    switch (length) {
    case 10:
    case 9:
        writePair(end - 8, nextPair(fraction));
        [[fallthrough]];
    case 8:
    case 7:
        writePair(end - 6, nextPair(fraction));
        [[fallthrough]];
    case 6:
    case 5:
        writePair(end - 4, nextPair(fraction));
        [[fallthrough]];
    default:
        writePair(end - 2, nextPair(fraction));
    }
}

// Writes the length (11 to 20) decimal digits of value from at on: a leading run and a run of
// ten. Out of line, so that the shorter and far more frequent values keep their registers;
// returns 0, the result of the conversion that ends with it.
[[gnu::noinline]] int writeLongDecimal(char* at, uint64_t value, int length) {
    const uint64_t high = value / 10000000000;
    writeDigitsForward(at, high, length - 10);
    writeDigitsForward(at + length - 10, value - high * 10000000000, 10);
    return 0;
}

// Writes the length decimal digits of value from at on: up to ten digits as one run.
inline void writeDecimal(char* at, uint64_t value, int length) {
    if (length <= 10)
        writeDigitsForward(at, value, length);
    else
        writeLongDecimal(at, value, length);
}

// By bit width, the decimal length of the smallest value of that width, and the power of ten
// past which a value of that width has one digit more.
struct ksDecimalLengths {
    uint8_t least[65] = {};
    uint64_t more[65] = {};
    constexpr ksDecimalLengths() {
        uint64_t power = 1; // the least power of ten above 2^(bits - 1)
        int digits = 0;
        for (int bits = 1; bits <= 64; ++bits) {
            const uint64_t smallest = uint64_t{1} << (bits - 1);
            while (digits < 20 && power <= smallest) {
                power = digits < 19 ? power * 10 : UINT64_MAX;
                ++digits;
            }
            least[bits] = static_cast<uint8_t>(digits);
            more[bits] = power;
        }
    }
};
constexpr ksDecimalLengths kDecimalLengths{};

// The number of decimal digits of value (one for zero).
inline int decimalLength(uint64_t value) {
    // Setting the low bit makes zero count as one digit and never moves a value across a power
    // of ten.
    const auto bits = static_cast<uint32_t>(std::bit_width(value | 1));
    return kDecimalLengths.least[bits] + (value >= kDecimalLengths.more[bits] ? 1 : 0);
}

// Writes the digits of value in base ending just before end; returns where they start.
char* writeDigits(char* end, uint64_t value, int base, const char* table) {
    if (base == 10) {
        const int length = decimalLength(value);
        writeDecimal(end - length, value, length);
        return end - length;
    }
    char* p = end;
    if ((base & (base - 1)) == 0) {
        const int shift = std::countr_zero(static_cast<unsigned>(base));
        const uint64_t mask = static_cast<uint64_t>(base - 1);
        do {
            *--p = table[value & mask];
            value >>= shift;
        } while (value);
        return p;
    }
    do {
        *--p = table[value % static_cast<uint64_t>(base)];
        value /= static_cast<uint64_t>(base);
    } while (value);
    return p;
}

int integerBase(const ksFormatOptions& options) {
    const char c = options.conversion;
    return c == 'd' ? 10 : c == 'o' ? 8 : c == 'x' || c == 'X' ? 16 : options.base;
}

// Flags that add to an integer's digits or pad them.
constexpr uint32_t kDecorations =
    ksFlagSpace | ksFlagPlus | ksFlagMinus | ksFlagAlternative | ksFlagZero;

// The magnitude of an integer argument as its length and signedness read it.
uint64_t integerMagnitude(int64_t value, uint32_t flags, bool& negative) {
    const bool full = (flags & ksFlag64Bit) != 0;
    negative = false;
    if (flags & ksFlagUnsigned)
        return full ? static_cast<uint64_t>(value) : static_cast<uint32_t>(value);
    const int64_t number = full ? value : static_cast<int32_t>(value);
    negative = number < 0;
    return negative ? 0 - static_cast<uint64_t>(number) : static_cast<uint64_t>(number);
}

// Sign and decimal digits that do not all fit: built aside, then written as far as they go.
// Returns 0, the result of the conversion that ends with it.
[[gnu::noinline]] int writeCutDecimal(ksFormatState& out, bool negative, uint64_t magnitude,
                                      int digits) {
    char buffer[24];
    buffer[0] = '-';
    writeDecimal(buffer + negative, magnitude, digits);
    out.write(buffer, static_cast<uint64_t>(digits + negative));
    return 0;
}

// A decimal integer with no flag, width or precision: the everyday %d, %u or %lld. A base item
// given to d merely takes the longer way.
bool isPlainDecimal(const ksFormatOptions& options) {
    const char c = options.conversion;
    return (c == 'd' || c == 'i' || c == 'u') && options.base == 10 &&
           !(options.flags & (kDecorations | ksFlagPrecision)) && options.width == 0;
}

// Sign and digits of a plain decimal, built in place; returns 0, the conversion's result.
inline int writePlainDecimal(ksFormatState& out, int64_t value, uint32_t flags) {
    bool negative = false;
    const uint64_t magnitude = integerMagnitude(value, flags, negative);
    const int digits = decimalLength(magnitude);
    const auto length = static_cast<uint64_t>(digits) + negative;
    if (length > static_cast<uint64_t>(out.end - out.cursor))
        return writeCutDecimal(out, negative, magnitude, digits);
    // The sign's place is claimed in any case; digits overwrite it when there is no sign.
    char* at = out.cursor;
    out.cursor += length;
    *at = '-';
    if (digits > 10)
        return writeLongDecimal(at + negative, magnitude, digits);
    writeDigitsForward(at + negative, magnitude, digits);
    return 0;
}

// Eight hexadecimal digits of value, leading zeros included, as they lie in memory: the
// nibbles spread one to a byte, most significant first, then each made a character. A letter
// is offset from its digit by letterOffset beyond '0' + 10.
uint64_t hexadecimalWord(uint32_t value, uint64_t letterOffset) {
    constexpr uint64_t kEachByte = 0x0101010101010101ull;
    uint64_t x = value;
    // Halves of 16 bits to their own 32-bit lanes, bytes to 16-bit lanes, nibbles to bytes.
    x = (x | (x << 16)) & 0x0000FFFF0000FFFFull;
    x = (x | (x << 8)) & 0x00FF00FF00FF00FFull;
    x = (x | (x << 4)) & (kEachByte * 0x0F);
    // A nibble of 10 or more carries into its byte's bit 4 when 6 is added: a letter.
    const uint64_t letters = ((x + kEachByte * 6) >> 4) & kEachByte;
    x += kEachByte * '0' + letters * letterOffset;
    if constexpr (std::endian::native == std::endian::little)
        x = __builtin_bswap64(x);
    return x;
}

// A hexadecimal integer with at most the '0' flag and a width up to 32: the everyday %x, %08x
// or %016llx, all its digits and zeros written as one run.
inline bool writePlainHexadecimal(ksFormatState& out, int64_t value,
                                  const ksFormatOptions& options) {
    constexpr uint32_t kOthers = (kDecorations & ~ksFlagZero) | ksFlagPrecision;
    constexpr uint64_t kZeros = 0x0101010101010101ull * '0';
    const char c = options.conversion;
    const uint32_t flags = options.flags;
    if ((c != 'x' && c != 'X') || (flags & kOthers) || options.width > 32)
        return false;
    const uint64_t magnitude =
        (flags & ksFlag64Bit) ? static_cast<uint64_t>(value) : static_cast<uint32_t>(value);
    const int64_t digits = (std::bit_width(magnitude | 1) + 3) >> 2;
    const int64_t length = options.width > digits ? options.width : digits;
    if (length > digits && !(flags & ksFlagZero))
        return false; // padded with spaces
    const uint64_t letterOffset = (flags & ksFlagUpper) ? 'A' - '0' - 10 : 'a' - '0' - 10;
    const uint64_t high = magnitude >> 32;
    const uint64_t words[4] = {
        kZeros, kZeros, high ? hexadecimalWord(static_cast<uint32_t>(high), letterOffset) : kZeros,
        hexadecimalWord(static_cast<uint32_t>(magnitude), letterOffset)};
    char run[sizeof words];
    std::memcpy(run, words, sizeof words);
    out.write(run + sizeof run - length, static_cast<uint64_t>(length));
    return true;
}

// Every integer form but the plain ones, out of line so that they do not pay for its frame.
[[gnu::noinline]] void formatInteger(ksFormatState& out, int64_t value,
                                     const ksFormatOptions& options) {
    const uint32_t flags = options.flags;
    const int base = integerBase(options);
    bool negative = false;
    const uint64_t magnitude = integerMagnitude(value, flags, negative);

    char buffer[64]; // the longest digits: 64 in base 2
    char* const end = buffer + sizeof buffer;
    char* digits = end;
    const bool alternative = (flags & ksFlagAlternative) != 0;
    if (magnitude != 0 || options.precision != 0)
        digits = writeDigits(end, magnitude, base,
                             (flags & ksFlagUpper) ? kFormatDigitsUpper : kFormatDigitsLower);
    else if (alternative && base == 8)
        *--digits = '0'; // the lone '0' of "%#.0o"
    const int64_t digitCount = end - digits;

    // The prefix ends at the end of these four bytes: sign, then "0x", "0b" or "0".
    char prefix[4] = {};
    int prefixLength = 0;
    if (alternative && magnitude != 0) {
        if (base == 16) {
            prefix[3] = (flags & ksFlagUpper) ? 'X' : 'x';
            prefix[2] = '0';
            prefixLength = 2;
        } else if (base == 2) {
            prefix[3] = 'b';
            prefix[2] = '0';
            prefixLength = 2;
        } else if (base == 8 && options.precision <= digitCount) {
            prefix[3] = '0';
            prefixLength = 1;
        }
    }
    char sign = 0;
    if (negative)
        sign = '-';
    else if ((flags & ksFlagPlus) && !(flags & ksFlagUnsigned))
        sign = '+';
    else if (flags & ksFlagSpace)
        sign = ' ';
    if (sign) {
        ++prefixLength;
        prefix[4 - prefixLength] = sign;
    }

    int64_t zeros = options.precision > digitCount ? options.precision - digitCount : 0;
    const bool leftAdjust = (flags & ksFlagMinus) != 0;
    if (options.precision < 0 && (flags & ksFlagZero) && !leftAdjust)
        zeros = options.width - prefixLength - digitCount;
    if (zeros < 0)
        zeros = 0;
    const int64_t padding = options.width - prefixLength - zeros - digitCount;
    if (!leftAdjust)
        out.fill(' ', padding);
    out.write(prefix + 4 - prefixLength, static_cast<uint64_t>(prefixLength));
    out.fill('0', zeros);
    out.write(digits, static_cast<uint64_t>(digitCount));
    if (leftAdjust)
        out.fill(' ', padding);
}

// Writes a code point in UTF-8, one to six bytes.
void writeCodePoint(ksFormatState& out, uint32_t point) {
    if (point <= 0x7F) {
        out.put(static_cast<char>(point));
        return;
    }
    char bytes[8];
    const auto length = static_cast<uint64_t>(ksUtf8Encode(bytes, sizeof bytes, point));
    out.write(bytes, length < sizeof bytes ? length : sizeof bytes);
}

void formatCharacter(ksFormatState& out, int64_t value, const ksFormatOptions& options) {
    // The width counts characters: one, whatever its encoding length.
    const int64_t padding = options.width - 1;
    if (!(options.flags & ksFlagMinus))
        out.fill(' ', padding);
    writeCodePoint(out, static_cast<uint32_t>(value));
    if (options.flags & ksFlagMinus)
        out.fill(' ', padding);
}

void formatNil(ksFormatState& out, const ksFormatOptions& options) {
    int64_t length = 5;
    if (options.precision >= 0 && options.precision < length)
        length = options.precision;
    out.write(kNil, static_cast<uint64_t>(length));
}

// Whether count bytes (a multiple of 8) are all below 0x80.
bool isAsciiRun(const char* bytes, uint64_t count) {
    uint64_t combined = 0;
    for (uint64_t i = 0; i < count; i += 8) {
        uint64_t word;
        std::memcpy(&word, bytes + i, sizeof word);
        combined |= word;
    }
    return (combined & 0x8080808080808080ull) == 0;
}

// A text's length and the index of its first byte above 0x7F (the length when there is none).
struct TextExtent {
    uint64_t length;
    uint64_t firstHigh;
};

// Which bytes of a 64-byte block are zero, and which are above 0x7F: one bit per byte.
struct BlockBits {
    uint64_t zeros, high;
};

__attribute__((no_sanitize("address", "thread"), always_inline)) inline BlockBits
blockBits(const char* block) {
    const auto* parts = reinterpret_cast<const __m128i*>(block);
    const __m128i a = _mm_load_si128(parts), b = _mm_load_si128(parts + 1);
    const __m128i c = _mm_load_si128(parts + 2), d = _mm_load_si128(parts + 3);
    const __m128i zero = _mm_setzero_si128();
    // Each movemask gives 16 bits, one per byte; the four are joined lowest first.
    const auto join = [](int w, int x, int y, int z) {
        return uint64_t{static_cast<uint16_t>(w)} | uint64_t{static_cast<uint16_t>(x)} << 16 |
               uint64_t{static_cast<uint16_t>(y)} << 32 | uint64_t{static_cast<uint16_t>(z)} << 48;
    };
    return {join(_mm_movemask_epi8(_mm_cmpeq_epi8(a, zero)),
                 _mm_movemask_epi8(_mm_cmpeq_epi8(b, zero)),
                 _mm_movemask_epi8(_mm_cmpeq_epi8(c, zero)),
                 _mm_movemask_epi8(_mm_cmpeq_epi8(d, zero))),
            join(_mm_movemask_epi8(a), _mm_movemask_epi8(b), _mm_movemask_epi8(c),
                 _mm_movemask_epi8(d))};
}

// Whether a 64-byte block holds a zero byte or one above 0x7F: the least of its bytes is zero,
// or their union has the high bit.
__attribute__((no_sanitize("address", "thread"), always_inline)) inline bool
endsOrLeavesAscii(const char* block) {
    const auto* parts = reinterpret_cast<const __m128i*>(block);
    const __m128i a = _mm_load_si128(parts), b = _mm_load_si128(parts + 1);
    const __m128i c = _mm_load_si128(parts + 2), d = _mm_load_si128(parts + 3);
    const __m128i least = _mm_min_epu8(_mm_min_epu8(a, b), _mm_min_epu8(c, d));
    const __m128i either = _mm_or_si128(_mm_cmpeq_epi8(least, _mm_setzero_si128()),
                                        _mm_or_si128(_mm_or_si128(a, b), _mm_or_si128(c, d)));
    return _mm_movemask_epi8(either) != 0;
}

// Measures a text in one pass of aligned 64-byte blocks, as fast as the C library's strlen and
// checking for ASCII on the way. An aligned block never crosses into a page the text does not
// reach, but the last one may be read past the terminator, which the sanitizers cannot tell
// from an overflow.
__attribute__((no_sanitize("address", "thread"))) TextExtent measureText(const char* text) {
    constexpr uintptr_t kBlock = 64;
    const char* block =
        reinterpret_cast<const char*>(reinterpret_cast<uintptr_t>(text) & ~(kBlock - 1));
    const auto skipped = static_cast<unsigned>(text - block);
    BlockBits bits = blockBits(block);
    bits.zeros >>= skipped;
    bits.high >>= skipped;
    while (!(bits.zeros | bits.high)) {
        block += kBlock;
        while (!endsOrLeavesAscii(block))
            block += kBlock;
        // The block is read again rather than its loads kept through the loop, which would
        // cost the loop a copy of each.
        asm("" : "+r"(block));
        bits = blockBits(block);
    }
    const auto offset = block < text ? 0 : static_cast<uint64_t>(block - text);
    if (bits.zeros) {
        const uint64_t length = offset + static_cast<uint64_t>(std::countr_zero(bits.zeros));
        const uint64_t highBefore = bits.high & ((bits.zeros & (0 - bits.zeros)) - 1);
        return {length,
                highBefore ? offset + static_cast<uint64_t>(std::countr_zero(highBefore)) : length};
    }
    const uint64_t firstHigh = offset + static_cast<uint64_t>(std::countr_zero(bits.high));
    return {firstHigh + std::strlen(text + firstHigh), firstHigh};
}

// The bytes of narrow text to write under the precision, or -1 when the text is not
// well-formed within them. A sequence that does not fit the precision ends the text.
int64_t measureNarrow(const char* text, int64_t precision) {
    // Short precisions are walked here, with no library call.
    constexpr uint64_t kShortText = 16;
    const uint64_t limit = static_cast<uint64_t>(precision);
    uint64_t available = 0;
    uint64_t index = 0;
    bool cutByPrecision = false;
    if (precision < 0) {
        const TextExtent extent = measureText(text);
        available = extent.length;
        index = extent.firstHigh;
    } else {
        if (limit < kShortText) {
            while (available < limit && text[available] != '\0')
                ++available;
            cutByPrecision = available == limit;
        } else {
            const void* zero = std::memchr(text, 0, limit);
            available = zero ? static_cast<uint64_t>(static_cast<const char*>(zero) - text) : limit;
            cutByPrecision = zero == nullptr;
        }
    }
    while (index < available) {
        if (available - index >= 32 && isAsciiRun(text + index, 32)) {
            index += 32;
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

// Bytes and units of wide text under the precision; -1 when it is not well-formed within
// them. Once the precision is used up nothing further is decoded: what lies beyond it is
// never written, so it cannot fail the call.
int64_t measureWide(const wchar_t* text, int64_t precision, uint64_t& units) {
    int64_t bytes = 0;
    units = 0;
    while (text[units] != 0 && bytes != precision) {
        if (static_cast<uint32_t>(text[units]) < 0x80) {
            ++bytes;
            ++units;
            continue;
        }
        uint32_t point = 0;
        int64_t used = decodeWide(text + units, &point);
        if (used < 0)
            return -1;
        int64_t length = ksUtf8Encode(nullptr, 0, point);
        if (precision >= 0 && bytes + length > precision)
            break;
        bytes += length;
        units += static_cast<uint64_t>(used);
    }
    return bytes;
}

int formatWideString(ksFormatState& out, const wchar_t* text, const ksFormatOptions& options) {
    uint64_t units = 0;
    int64_t length = measureWide(text, options.precision, units);
    if (length < 0)
        return kFormatMalformedText;
    const int64_t padding = options.width - length;
    if (!(options.flags & ksFlagMinus))
        out.fill(' ', padding);
    for (uint64_t index = 0; index < units;) {
        if (static_cast<uint32_t>(text[index]) < 0x80) {
            out.put(static_cast<char>(text[index++]));
            continue;
        }
        uint32_t point = 0;
        index += static_cast<uint64_t>(decodeWide(text + index, &point));
        writeCodePoint(out, point);
    }
    if (options.flags & ksFlagMinus)
        out.fill(' ', padding);
    return 0;
}

int formatString(ksFormatState& out, const void* text, const ksFormatOptions& options) {
    if (!text) {
        formatNil(out, options);
        return 0;
    }
    if (options.flags & ksFlagWide)
        return formatWideString(out, static_cast<const wchar_t*>(text), options);
    return formatNarrowString(out, static_cast<const char*>(text), options);
}

void formatPointer(ksFormatState& out, const void* pointer, const ksFormatOptions& options) {
    if (!pointer) {
        out.write(kNil, 5);
        return;
    }
    char buffer[24];
    char* end = buffer + sizeof buffer;
    char* digits = writeDigits(end, reinterpret_cast<uintptr_t>(pointer), 16, kFormatDigitsLower);
    // Always 18 characters; a space flag takes the place of one fill zero.
    const bool space = (options.flags & ksFlagSpace) != 0;
    const int64_t fill = 16 - (space ? 1 : 0) - (end - digits);
    if (space)
        out.put(' ');
    out.write("0x", 2);
    out.fill('0', fill);
    out.write(digits, static_cast<uint64_t>(end - digits));
}

void storeCount(const ksFormatState& out, void* target, uint32_t flags) {
    if (!target)
        return;
    const uint64_t count = out.committed();
    if (flags & ksFlag64Bit) {
        int64_t value = static_cast<int64_t>(count);
        std::memcpy(target, &value, sizeof value);
    } else if (flags & ksFlagCount16) {
        int16_t value = static_cast<int16_t>(count);
        std::memcpy(target, &value, sizeof value);
    } else {
        int32_t value = static_cast<int32_t>(count);
        std::memcpy(target, &value, sizeof value);
    }
}

} // namespace

int ksFormatWriteInteger(ksFormatState& out, int64_t value, const ksFormatOptions& options) {
    // The plain forms skip the general layout, the most frequent directives of all: a whole
    // "%d" takes 218 instructions against 316, "%08x" 381 against 523.
    if (isPlainDecimal(options))
        return writePlainDecimal(out, value, options.flags);
    if (!writePlainHexadecimal(out, value, options))
        formatInteger(out, value, options);
    return 0;
}

int ksFormatWriteOther(ksFormatState& out, ksFormatType type, ksFormatValue value,
                       const ksFormatOptions& options) {
    switch (type) {
    case ksFormatCharacter:
        formatCharacter(out, value.integer, options);
        return 0;
    case ksFormatString:
        return formatString(out, value.pointer, options);
    case ksFormatPointer:
        formatPointer(out, value.pointer, options);
        return 0;
    case ksFormatCount:
        storeCount(out, const_cast<void*>(value.pointer), options.flags);
        return 0;
    default:
        return 0;
    }
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
