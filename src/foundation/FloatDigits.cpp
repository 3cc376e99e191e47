// Exact digits of a double, rounded half up: in base 10 by one multiplication by a 128-bit power
// of ten whatever the exponent, when the result fits 64 bits; the rest (other bases, more digits,
// a rounding the product leaves in doubt) by numbers of up to 1280 bits on the stack.
#include "foundation/FloatDigits.h"
#include <algorithm>
#include <bit>
#include <climits>
#include "foundation/FormatDigits.h"

namespace {

using uint128 = unsigned __int128;

// value = mantissa * 2^exponent, for a finite value that is not negative.
uint64_t decompose(double value, int& exponent) {
    const uint64_t bits = std::bit_cast<uint64_t>(value);
    const int biased = static_cast<int>(bits >> 52);
    exponent = (biased != 0 ? biased : 1) - 1075;
    return (bits & ((uint64_t{1} << 52) - 1)) | uint64_t{biased != 0} << 52;
}

// A number of up to 1312 bits, least significant word first: 2^1024, a fraction of 1074 bits
// times a power of the base below 2^32, or a power of ten for the table below.
struct BigNumber {
    static constexpr int kWords = 41;
    uint32_t words[kWords] = {};
    int used = 0; // words up to the highest that is not zero

    // value * 2^shift, below 2^(32 * kWords).
    constexpr BigNumber(uint64_t value, int shift) {
        const uint128 wide = static_cast<uint128>(value) << (shift % 32);
        for (used = shift / 32; used < kWords && used < shift / 32 + 3; ++used)
            words[used] = static_cast<uint32_t>(wide >> (32 * (used - shift / 32)));
        trim();
    }

    constexpr void trim() {
        while (used > 0 && words[used - 1] == 0)
            --used;
    }

    // Multiplies the words in use; returns what overflows them.
    constexpr uint32_t multiply(uint32_t factor) {
        uint64_t carry = 0;
        for (int i = 0; i < used; ++i, carry >>= 32)
            words[i] = static_cast<uint32_t>(carry += uint64_t{words[i]} * factor);
        return static_cast<uint32_t>(carry);
    }

    // Divides in place; returns the remainder.
    constexpr uint32_t divide(uint32_t divisor) {
        uint64_t remainder = 0;
        for (int i = used - 1; i >= 0; --i) {
            const uint64_t current = remainder << 32 | words[i];
            words[i] = static_cast<uint32_t>(current / divisor);
            remainder = current % divisor;
        }
        trim();
        return static_cast<uint32_t>(remainder);
    }
};

// Up to limit significant digits of the exact value, none below the power lowest, as values into
// digits, leading first; returns how many, exponent the power of the first (unset without one).
int exactDigits(double value, int base, int limit, int lowest, uint8_t* digits, int& exponent) {
    int binary = 0;
    const uint64_t mantissa = decompose(value, binary);
    if (mantissa == 0)
        return 0;
    uint32_t power = 1; // the largest power of the base below 2^32, of chunk digits
    int chunk = 0;
    for (; uint64_t{power} * static_cast<uint64_t>(base) <= UINT32_MAX; ++chunk)
        power *= static_cast<uint32_t>(base);
    // The integer part, divided down a chunk at a time: its digits come out last first.
    uint8_t integer[kFloatDigitsMax + 64];
    int length = 0;
    const int fractionBits = binary < 0 ? -binary : 0;
    BigNumber whole(fractionBits >= 64 ? 0 : mantissa >> fractionBits, binary > 0 ? binary : 0);
    while (whole.used > 0) // the digits of each chunk, the last first
        for (uint32_t part = whole.divide(power), i = 0; i < uint32_t(chunk); ++i, part /= base)
            integer[length++] = static_cast<uint8_t>(part % static_cast<uint32_t>(base));
    while (length > 0 && integer[length - 1] == 0)
        --length;
    int count = 0, position = length - 1; // position: the power of the next digit
    exponent = position;
    for (int i = length - 1; i >= 0 && count < limit && position >= lowest; --i, --position)
        digits[count++] = integer[i];
    // The fraction, its point at a word boundary, multiplied up a chunk at a time: the chunk is
    // what overflows. Leading zeros only move the position.
    if (fractionBits == 0)
        return count;
    const int words = (fractionBits + 31) / 32;
    BigNumber fraction(fractionBits >= 64 ? mantissa
                                          : mantissa & ((uint64_t{1} << fractionBits) - 1),
                       32 * words - fractionBits);
    fraction.used = words;
    uint8_t spread[32];
    while (count < limit && position >= lowest) {
        uint32_t part = fraction.multiply(power); // chunk digits, leading zeros kept
        for (int i = chunk - 1; i >= 0; --i, part /= static_cast<uint32_t>(base))
            spread[i] = static_cast<uint8_t>(part % static_cast<uint32_t>(base));
        for (int i = 0; i < chunk && count < limit && position >= lowest; ++i, --position) {
            if (count == 0 && spread[i] == 0)
                continue;
            exponent = count == 0 ? position : exponent;
            digits[count++] = spread[i];
        }
    }
    return count;
}

// Digits looked at past the cut in an odd base; a rest that matches half a unit that far is
// taken as exactly half (it is, for the values a double can hold, all but never otherwise).
constexpr int kOddLookahead = 64;

// Whether the digits after the cut make the rest at least half a unit of the last kept digit.
// In an even base that is the first of them; in an odd base half a unit is the digit
// (base - 1) / 2 repeated without end, so the first digit that differs decides.
bool restIsHalfOrMore(const uint8_t* rest, int length, int base) {
    const unsigned half = static_cast<unsigned>(base / 2);
    if (base % 2 == 0)
        return length > 0 && rest[0] >= half;
    for (int i = 0; i < length; ++i)
        if (rest[i] != half)
            return rest[i] > half;
    return length >= kOddLookahead;
}

// Adds one unit to the last of count digit values, carrying; false when the carry leaves the
// first digit, which makes the number a single 1 one power higher.
bool roundUp(uint8_t* values, int count, int base) {
    int last = count - 1;
    while (last >= 0 && values[last] == base - 1)
        values[last--] = 0;
    if (last >= 0)
        ++values[last];
    return last >= 0;
}

// 10^q as a 128-bit mantissa with its top bit set and a binary exponent:
// mantissa = floor(10^q / 2^exponent). Made at compile time by exact big-number arithmetic:
// 10^q by multiplying by ten; for q < 0, floor(2^kScaleBits / 10^-q) by dividing by ten -q
// times, exact since floor(floor(x / a) / b) = floor(x / ab). The test multiplies each back.
class PowersOfTen {
  public:
    static constexpr int kMin = -348, kMax = 347; // every q a double's digits can need

    struct Entry {
        uint64_t high, low;
        int exponent;
    };

    constexpr PowersOfTen() {
        BigNumber number(1, 0);
        number.used = BigNumber::kWords; // 10^347 < 2^1153: nothing overflows
        for (int q = 0; q <= kMax; ++q, number.multiply(10))
            store(q, number.words, 0);
        BigNumber scaled(1, kScaleBits);
        for (int q = -1; q >= kMin; --q) {
            scaled.divide(10);
            store(q, scaled.words, -kScaleBits);
        }
    }

    const Entry& operator[](int q) const { return entries_[q - kMin]; }

  private:
    static constexpr int kBigWords = BigNumber::kWords; // 10^348 * 2^129 < 2^1312
    static constexpr int kScaleBits = kBigWords * 32 - 1;

    // Keeps the leading 128 bits of number times 2^scale: four 32-bit windows of the number
    // shifted so that its highest one is the top bit (words below the first read as zeros).
    constexpr void store(int q, const uint32_t* number, int scale) {
        int top = kBigWords - 1;
        while (number[top] == 0)
            --top;
        const int shift = std::countl_zero(number[top]);
        const auto word = [number](int i) { return i >= 0 ? uint64_t{number[i]} : 0; };
        const auto window = [&](int i) { return (word(i) << 32 | word(i - 1)) << shift >> 32; };
        Entry& entry = entries_[q - kMin];
        entry.high = window(top) << 32 | window(top - 1);
        entry.low = window(top - 2) << 32 | window(top - 3);
        entry.exponent = 32 * (top + 1) - shift - 128 + scale;
    }

    Entry entries_[kMax - kMin + 1] = {};
};
constexpr PowersOfTen kPowersOfTen{};

// Powers of ten from 10^0 on that the 128-bit mantissa holds whole: 5^55 < 2^128.
constexpr int kExactPowerMax = 55;

// The most significant digits taken by one multiplication: with one digit more the scaled
// value stays below 2 * 10^18 < 2^64.
constexpr int kSignificantDecimalMax = 18;

// value = mantissa * 2^exponent (mantissa with its top bit set) times 10^q, rounded half up to
// an integer; false when it does not fit 64 bits or its rounding is in doubt.
// The power is cut below by less than one unit, so the 192-bit product runs low by less than
// the mantissa, below 2^64 units; a rest of the product's high 128 bits that lies one below
// half a unit is therefore in doubt, unless the power is exact. A rest that close to half is
// 2^-63 likely for a value taken at random, and an exact half with an inexact power needs a
// value that is a multiple of 5^-q (q < 0) below 2^75: the exact method takes those few.
bool scaleAndRound(uint64_t mantissa, int exponent, int q, uint64_t& integer) {
    const PowersOfTen::Entry& power = kPowersOfTen[q];
    const uint128 low = static_cast<uint128>(mantissa) * power.low;
    const uint128 high = static_cast<uint128>(mantissa) * power.high + (low >> 64);
    const int restBits = -(exponent + power.exponent) - 64; // bits of high below the point
    if (restBits < 64)
        return false;
    if (restBits > 128) { // the product is below half a unit
        integer = 0;
        return true;
    }
    const uint128 rest = restBits == 128 ? high : high & ((uint128{1} << restBits) - 1);
    const uint128 half = uint128{1} << (restBits - 1);
    integer = restBits == 128 ? 0 : static_cast<uint64_t>(high >> restBits);
    if (rest >= half) {
        if (integer == UINT64_MAX)
            return false;
        ++integer;
    } else if (rest + 1 == half && (q < 0 || q > kExactPowerMax)) {
        return false;
    }
    return true;
}

// Base 10 significant digits (up to kSignificantDecimalMax) for every exponent by one or two
// multiplications, as long as they fit 64 bits. False for what it does not take.
bool roundDecimal(double value, int maxDigits, ksFloatDigitString& number) {
    int exponent = 0;
    uint64_t mantissa = decompose(value, exponent);
    number.count = number.exponent = 0;
    if (mantissa == 0)
        return true;
    if (maxDigits > kSignificantDecimalMax)
        return false;
    const int zeros = std::countl_zero(mantissa);
    mantissa <<= zeros, exponent -= zeros;
    // The value lies in [2^(exponent + 63), 2^(exponent + 64)): its leading power of ten is
    // floor((exponent + 63) * log10(2)) or one more. 78913 / 2^18 is log10(2) to 2^-24, close
    // enough for every binary exponent of a double.
    int q = maxDigits - 1 - (((exponent + 63) * 78913) >> 18);
    const uint64_t ceiling = kPowersOfTen64[maxDigits];
    uint64_t integer = 0;
    if (!scaleAndRound(mantissa, exponent, q, integer))
        return false;
    // Where the leading power was one more, one digit fewer.
    if (integer >= ceiling && !scaleAndRound(mantissa, exponent, --q, integer))
        return false;
    if (integer == ceiling) // rounding carried into a new leading digit
        integer /= 10, --q;
    // Scaled to lie from 10^(maxDigits - 1) up, the integer has maxDigits digits.
    ksWriteDecimal(number.digits + maxDigits, integer);
    number.exponent = maxDigits - 1 - q, number.count = maxDigits;
    while (number.digits[number.count - 1] == '0')
        --number.count;
    return true;
}

} // namespace

void ksFloatPowerOfTen(int q, uint64_t& high, uint64_t& low, int& exponent) {
    const PowersOfTen::Entry& entry = kPowersOfTen[q];
    high = entry.high, low = entry.low, exponent = entry.exponent;
}

bool ksFloatScale(double value, int decimals, uint64_t& scaled) {
    int exponent = 0;
    const uint64_t mantissa = decompose(value, exponent);
    // mantissa * 10^decimals (below 2^117) is exact in 128 bits, its point shift bits from the
    // end; the first bit below the point is set when the rest is half a unit or more. From 2^64
    // on nothing fits; from 127 bits below the point on, nothing is left of it.
    if (decimals < 0 || decimals > 19 || exponent > 11)
        return false;
    const uint128 product = static_cast<uint128>(mantissa) * kPowersOfTen64[decimals];
    const int shift = exponent < 0 ? std::min(-exponent, 127) : 0;
    const uint128 whole = product << std::max(exponent, 0) >> shift;
    scaled = static_cast<uint64_t>(whole) + (shift > 0 ? (product >> (shift - 1)) & 1 : 0);
    return whole < UINT64_MAX;
}

void ksFloatRound(double value, int base, int maxDigits, int lowest, ksFloatDigitString& number) {
    if (base != 10 || lowest > -kFloatPositionLimit || !roundDecimal(value, maxDigits, number))
        ksFloatRoundGeneral(value, base, maxDigits, lowest, number);
}

void ksFloatRoundGeneral(double value, int base, int maxDigits, int lowest,
                         ksFloatDigitString& number) {
    maxDigits = std::min(maxDigits, kFloatDigitsMax);
    lowest = std::max(lowest, -kFloatPositionLimit);
    // Beyond the kept digits, one more decides in an even base; an odd base needs them all.
    const int lookahead = base % 2 == 0 ? 1 : kOddLookahead;
    auto* values = reinterpret_cast<uint8_t*>(number.digits); // made characters at the end
    const int available = exactDigits(value, base, std::min(maxDigits + lookahead, kFloatDigitsMax),
                                      lowest - lookahead, values, number.exponent);
    const int kept = std::min(number.exponent - lowest + 1, maxDigits);
    number.count = 0;
    if (available == 0 || kept < 0) { // zero, or wholly below half a unit of the lowest power
        number.exponent = 0;
        return;
    }
    const bool up = kept < available && restIsHalfOrMore(values + kept, available - kept, base);
    int count = std::min(kept, available);
    if (up && (kept == 0 || !roundUp(values, count, base))) {
        values[0] = 1; // a carry out of every digit, or up from nothing: a single 1
        count = 1;
        number.exponent = kept == 0 ? lowest : number.exponent + 1;
    }
    while (count > 0 && values[count - 1] == 0)
        --count;
    if (count == 0)
        number.exponent = 0;
    for (number.count = count; count-- > 0;)
        number.digits[count] = "0123456789abcdefghijklmnopqrstuvwxyz"[values[count]];
}
