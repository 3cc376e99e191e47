// Exact digits of a double, rounded half up. Base 10 scales the value by a 128-bit power of
// ten, whatever its exponent, whenever the digits fit 64 bits; the rest (more digits, other
// bases, and the rare rounding that the scaled value leaves in doubt) goes the exact way, with
// numbers of up to 1280 bits on the stack.
#include "foundation/FloatDigits.h"
#include <bit>
#include <climits>
#include <cstring>

namespace {

using uint128 = unsigned __int128;

constexpr int kWords = 40; // 1280 bits: 2^1024, or a 1074-bit fraction times a chunk of digits

// value = mantissa * 2^exponent with the mantissa odd (or zero).
struct BinaryValue {
    uint64_t mantissa;
    int exponent;
};

BinaryValue decompose(double value) {
    uint64_t bits = std::bit_cast<uint64_t>(value);
    int biased = static_cast<int>((bits >> 52) & 0x7FF);
    BinaryValue result{bits & ((uint64_t{1} << 52) - 1), -1074};
    if (biased != 0) {
        result.mantissa |= uint64_t{1} << 52;
        result.exponent = biased - 1075;
    }
    if (result.mantissa != 0) {
        int zeros = std::countr_zero(result.mantissa);
        result.mantissa >>= zeros;
        result.exponent += zeros;
    }
    return result;
}

// Collects digit values leading digit first, skipping leading zeros, up to a count and down
// to a lowest position (a power of the base).
class DigitCollector {
  public:
    DigitCollector(uint8_t* digits, int maxDigits, int lowest)
        : digits_(digits), max_(maxDigits), lowest_(lowest) {}

    bool full() const { return count_ >= max_ || position_ < lowest_; }

    void offer(unsigned digit) {
        if (!started_) {
            if (digit == 0) {
                --position_;
                return;
            }
            started_ = true;
            exponent_ = position_;
        }
        if (!full())
            digits_[count_++] = static_cast<uint8_t>(digit);
        --position_;
    }

    // A run of count digits taken from a number below base^count, leading zeros kept.
    void offerChunk(uint64_t chunk, int base, int count) {
        if (chunk == 0 && !started_) {
            position_ -= count; // leading zeros of a small value: nothing to divide
            return;
        }
        uint8_t buffer[64];
        for (int i = count - 1; i >= 0; --i) {
            buffer[i] = static_cast<uint8_t>(chunk % static_cast<uint64_t>(base));
            chunk /= static_cast<uint64_t>(base);
        }
        for (int i = 0; i < count && !full(); ++i)
            offer(buffer[i]);
    }

    void setPosition(int position) { position_ = position; }
    int count() const { return count_; }
    bool started() const { return started_; }
    // The power of the leading digit; before any digit, the position reached.
    int exponent() const { return started_ ? exponent_ : position_; }

  private:
    uint8_t* digits_;
    int max_;
    int lowest_;
    int position_ = 0;
    int count_ = 0;
    int exponent_ = 0;
    bool started_ = false;
};

// The largest power of the base that fits 32 bits, and its exponent.
struct Chunk {
    uint32_t power;
    int digits;
};

Chunk chunkOf(int base) {
    Chunk chunk{1, 0};
    while (static_cast<uint64_t>(chunk.power) * static_cast<uint64_t>(base) <= UINT32_MAX) {
        chunk.power *= static_cast<uint32_t>(base);
        ++chunk.digits;
    }
    return chunk;
}

// A non-negative number of up to 1280 bits, least significant word first.
struct BigNumber {
    uint32_t words[kWords];
    int used; // words in use; the highest may be zero only when used is 0

    explicit BigNumber(uint64_t value) : words{}, used(0) {
        words[0] = static_cast<uint32_t>(value);
        words[1] = static_cast<uint32_t>(value >> 32);
        used = words[1] ? 2 : words[0] ? 1 : 0;
    }

    bool isZero() const { return used == 0; }

    void shiftLeft(int bits) {
        const int wordShift = bits / 32, bitShift = bits % 32;
        const int newUsed = used + wordShift + 1;
        for (int i = newUsed - 1; i >= 0; --i) {
            const int source = i - wordShift;
            uint32_t high = source >= 0 && source < used ? words[source] : 0;
            uint32_t low = source >= 1 && source - 1 < used ? words[source - 1] : 0;
            words[i] = bitShift ? (high << bitShift) | (low >> (32 - bitShift)) : high;
        }
        used = newUsed;
        trim();
    }

    void multiply(uint32_t factor) {
        uint64_t carry = 0;
        for (int i = 0; i < used; ++i) {
            uint64_t product = static_cast<uint64_t>(words[i]) * factor + carry;
            words[i] = static_cast<uint32_t>(product);
            carry = product >> 32;
        }
        if (carry)
            words[used++] = static_cast<uint32_t>(carry);
    }

    // Divides in place and returns the remainder.
    uint32_t divide(uint32_t divisor) {
        uint64_t remainder = 0;
        for (int i = used - 1; i >= 0; --i) {
            uint64_t current = remainder << 32 | words[i];
            words[i] = static_cast<uint32_t>(current / divisor);
            remainder = current % divisor;
        }
        trim();
        return static_cast<uint32_t>(remainder);
    }

    // Removes and returns the bits at and above bit (the integer part of a fraction).
    uint64_t takeHigh(int bit) {
        int word = bit / 32, shift = bit % 32;
        uint64_t high = 0;
        // The part taken is below 2^32: it spans the words at index word and word + 1.
        for (int i = used - 1; i >= word; --i) {
            uint64_t part = static_cast<uint64_t>(words[i]) >> (i == word ? shift : 0);
            int offset = i == word ? 0 : (i - word) * 32 - shift;
            if (part != 0 && offset < 64)
                high |= part << offset;
            words[i] = i == word ? words[i] & ((uint32_t{1} << shift) - 1) : 0;
        }
        trim();
        return high;
    }

    void trim() {
        while (used > 0 && words[used - 1] == 0)
            --used;
    }
};

void integerDigitsBig(const BinaryValue& value, int base, DigitCollector& collector) {
    BigNumber number(value.mantissa);
    number.shiftLeft(value.exponent);
    const Chunk chunk = chunkOf(base);
    uint8_t reversed[kFloatDigitsMax + 64];
    int length = 0;
    while (!number.isZero()) {
        uint32_t part = number.divide(chunk.power);
        for (int i = 0; i < chunk.digits && (part != 0 || !number.isZero()); ++i) {
            reversed[length++] = static_cast<uint8_t>(part % static_cast<uint32_t>(base));
            part /= static_cast<uint32_t>(base);
        }
    }
    collector.setPosition(length - 1);
    for (int i = length - 1; i >= 0 && !collector.full(); --i)
        collector.offer(reversed[i]);
}

void fractionDigitsBig(const BinaryValue& value, int base, DigitCollector& collector) {
    BigNumber fraction(value.mantissa);
    const int scale = -value.exponent;
    const Chunk chunk = chunkOf(base);
    collector.setPosition(-1);
    while (!fraction.isZero() && !collector.full()) {
        fraction.multiply(chunk.power);
        collector.offerChunk(fraction.takeHigh(scale), base, chunk.digits);
    }
}

// The integer digits, then the fraction digits.
void collectDigits(double value, int base, DigitCollector& collector) {
    const BinaryValue binary = decompose(value);
    if (binary.mantissa == 0)
        return;
    if (binary.exponent >= 0) {
        integerDigitsBig(binary, base, collector);
        return;
    }
    const int scale = -binary.exponent;
    const uint64_t integer = scale >= 64 ? 0 : binary.mantissa >> scale;
    if (integer)
        integerDigitsBig({integer, 0}, base, collector);
    fractionDigitsBig({scale >= 64 ? binary.mantissa : binary.mantissa - (integer << scale),
                       binary.exponent},
                      base, collector);
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

// Adds one unit to the last digit, carrying; a carry out of the first digit makes the number
// a single 1 one power higher.
void roundUp(ksFloatDigitString& number, int base) {
    int last = number.count - 1;
    while (last >= 0 && number.digits[last] == base - 1)
        number.digits[last--] = 0;
    if (last >= 0) {
        ++number.digits[last];
        return;
    }
    number.digits[0] = 1;
    number.count = 1;
    ++number.exponent;
}

// 10^0 to 10^19.
struct PowersOfTen64 {
    uint64_t values[20] = {1};
    constexpr PowersOfTen64() {
        for (int i = 1; i < 20; ++i)
            values[i] = values[i - 1] * 10;
    }
};
constexpr PowersOfTen64 kPowersOfTen64{};

// The eight decimal digit values of a value below 10^8 as the bytes of one word, leading zeros
// included, the leading digit in the lowest byte (first in memory). The digits are split in
// the lanes of the word, four of two digits then eight of one, each split a multiplication by
// a reciprocal: x * 10486 >> 20 is x / 100 and x * 103 >> 10 is x / 10 for the lanes' values.
uint64_t eightDigits(uint32_t value) {
    static_assert(std::endian::native == std::endian::little);
    const uint64_t halves = value / 10000 | static_cast<uint64_t>(value % 10000) << 32;
    const uint64_t hundreds = (halves * 10486 >> 20) & 0x0000007F0000007Full;
    const uint64_t pairs = hundreds | (halves - hundreds * 100) << 16;
    const uint64_t tens = (pairs * 103 >> 10) & 0x000F000F000F000Full;
    return tens | (pairs - tens * 10) << 8;
}

// Stores the last count (1 to 8) digits of a word of eightDigits at at.
void storeDigits(uint8_t* at, uint64_t word, int count) {
    word >>= 8 * (8 - count);
    std::memcpy(at, &word, sizeof word); // the bytes past count are zeros, overwritten later
}

// The decimal digit values of a non-zero value, leading digit first; their count.
int decimalDigits(uint64_t value, uint8_t* digits) {
    const int guess = std::bit_width(value) * 1233 >> 12; // 1233 / 2^12: log10(2) rounded up
    const int length = guess + (value >= kPowersOfTen64.values[guess] ? 1 : 0);
    constexpr uint64_t kEightDigits = 100000000;
    const auto low = static_cast<uint32_t>(value % kEightDigits);
    if (length <= 8) {
        storeDigits(digits, eightDigits(low), length);
        return length;
    }
    const uint64_t above = value / kEightDigits;
    const auto middle = static_cast<uint32_t>(above % kEightDigits);
    if (length <= 16) {
        storeDigits(digits, eightDigits(middle), length - 8);
    } else {
        storeDigits(digits, eightDigits(static_cast<uint32_t>(above / kEightDigits)), length - 16);
        storeDigits(digits + length - 16, eightDigits(middle), 8);
    }
    storeDigits(digits + length - 8, eightDigits(low), 8);
    return length;
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
        uint32_t number[kBigWords] = {1};
        for (int q = 0; q <= kMax; ++q, multiplyByTen(number))
            store(q, number, 0);
        uint32_t scaled[kBigWords] = {};
        scaled[kBigWords - 1] = 1u << 31; // 2^kScaleBits
        for (int q = -1; q >= kMin; --q) {
            divideByTen(scaled);
            store(q, scaled, -kScaleBits);
        }
    }

    const Entry& operator[](int q) const { return entries_[q - kMin]; }

  private:
    static constexpr int kBigWords = 41; // 10^347 < 2^1153; 10^348 * 2^129 < 2^1312
    static constexpr int kScaleBits = kBigWords * 32 - 1;

    static constexpr void multiplyByTen(uint32_t* number) {
        uint64_t carry = 0;
        for (int i = 0; i < kBigWords; ++i, carry >>= 32)
            number[i] = static_cast<uint32_t>(carry += uint64_t{number[i]} * 10);
    }
    static constexpr void divideByTen(uint32_t* number) {
        uint64_t remainder = 0;
        for (int i = kBigWords - 1; i >= 0; --i) {
            const uint64_t current = remainder << 32 | number[i];
            number[i] = static_cast<uint32_t>(current / 10);
            remainder = current % 10;
        }
    }
    // The 32 bits of number from bit `from` on (zeros below bit 0).
    static constexpr uint64_t bitsFrom(const uint32_t* number, int from) {
        uint64_t bits = 0;
        for (int i = 31; i >= 0; --i) {
            const int bit = from + i;
            bits = bits << 1 | (bit >= 0 ? (number[bit / 32] >> (bit % 32)) & 1 : 0);
        }
        return bits;
    }
    // Keeps the leading 128 bits of number times 2^scale.
    constexpr void store(int q, const uint32_t* number, int scale) {
        int length = kBigWords * 32;
        while (!((number[(length - 1) / 32] >> ((length - 1) % 32)) & 1))
            --length;
        Entry& entry = entries_[q - kMin];
        entry.high = bitsFrom(number, length - 32) << 32 | bitsFrom(number, length - 64);
        entry.low = bitsFrom(number, length - 96) << 32 | bitsFrom(number, length - 128);
        entry.exponent = length - 128 + scale;
    }

    Entry entries_[kMax - kMin + 1] = {};
};
constexpr PowersOfTen kPowersOfTen{};

// Powers of ten from 10^0 on that the 128-bit mantissa holds whole: 5^55 < 2^128.
constexpr int kExactPowerMax = 55;

// The most significant digits taken by one multiplication: with one digit more the scaled
// value stays below 2 * 10^18 < 2^64.
constexpr int kSignificantDecimalMax = 18;

// A value scaled by a power of ten and rounded half up to an integer.
enum class Rounded { done, inDoubt, tooLarge };

// value = mantissa * 2^exponent (mantissa with its top bit set) times 10^q, rounded half up.
// The power is cut below by less than one unit, so the 192-bit product runs low by less than
// the mantissa, below 2^64 units; a rest of the product's high 128 bits that lies one below
// half a unit is therefore in doubt, unless the power is exact. A rest that close to half is
// 2^-63 likely for a value taken at random, and an exact half with an inexact power needs a
// value that is a multiple of 5^-q (q < 0) below 2^75: the exact method takes those few.
Rounded scaleAndRound(uint64_t mantissa, int exponent, int q, uint64_t& integer) {
    const PowersOfTen::Entry& power = kPowersOfTen[q];
    const uint128 low = static_cast<uint128>(mantissa) * power.low;
    const uint128 high = static_cast<uint128>(mantissa) * power.high + (low >> 64);
    const int restBits = -(exponent + power.exponent) - 64; // bits of high below the point
    if (restBits < 64)
        return Rounded::tooLarge;
    if (restBits > 128) { // the product is below half a unit
        integer = 0;
        return Rounded::done;
    }
    const uint128 rest = restBits == 128 ? high : high & ((uint128{1} << restBits) - 1);
    const uint128 half = uint128{1} << (restBits - 1);
    integer = restBits == 128 ? 0 : static_cast<uint64_t>(high >> restBits);
    if (rest >= half) {
        if (integer == UINT64_MAX)
            return Rounded::tooLarge;
        ++integer;
    } else if (rest + 1 == half && (q < 0 || q > kExactPowerMax)) {
        return Rounded::inDoubt;
    }
    return Rounded::done;
}

// Base 10 for every exponent by one or two multiplications: significant digits (up to
// kSignificantDecimalMax, lowest unbounded) or a cut at a number of decimals (maxDigits not
// binding), as long as the digits fit 64 bits. False for what it does not take.
bool roundDecimal(double value, int maxDigits, int lowest, ksFloatDigitString& number) {
    const uint64_t bits = std::bit_cast<uint64_t>(value);
    const int biased = static_cast<int>(bits >> 52);
    uint64_t mantissa = bits & ((uint64_t{1} << 52) - 1);
    int exponent = -1074;
    if (biased != 0) {
        mantissa |= uint64_t{1} << 52;
        exponent = biased - 1075;
    }
    number.count = 0;
    number.exponent = 0;
    if (mantissa == 0)
        return true;
    const int zeros = std::countl_zero(mantissa);
    mantissa <<= zeros;
    exponent -= zeros;

    const bool fixed = lowest > -kFloatPositionLimit;
    int q = 0;
    uint64_t integer = 0;
    if (fixed) {
        if (maxDigits < 20 || lowest > 0 || -lowest > PowersOfTen::kMax)
            return false;
        q = -lowest;
        if (scaleAndRound(mantissa, exponent, q, integer) != Rounded::done)
            return false;
        if (integer == 0)
            return true;
    } else {
        if (maxDigits > kSignificantDecimalMax)
            return false;
        // The value lies in [2^(exponent + 63), 2^(exponent + 64)): its leading power of ten is
        // floor((exponent + 63) * log10(2)) or one more. 78913 / 2^18 is log10(2) to 2^-24,
        // close enough for every binary exponent of a double.
        const int leading = ((exponent + 63) * 78913) >> 18;
        q = maxDigits - 1 - leading;
        const uint64_t ceiling = kPowersOfTen64.values[maxDigits];
        if (scaleAndRound(mantissa, exponent, q, integer) != Rounded::done)
            return false;
        if (integer >= ceiling) { // the leading power was one more: one digit fewer
            --q;
            if (scaleAndRound(mantissa, exponent, q, integer) != Rounded::done)
                return false;
        }
        if (integer == ceiling) { // rounding carried into a new leading digit
            integer /= 10;
            --q;
        }
    }
    const int length = decimalDigits(integer, number.digits);
    number.exponent = length - 1 - q;
    number.count = length;
    while (number.digits[number.count - 1] == 0)
        --number.count;
    return true;
}

} // namespace

void ksFloatPowerOfTen(int q, uint64_t& high, uint64_t& low, int& exponent) {
    const PowersOfTen::Entry& entry = kPowersOfTen[q];
    high = entry.high;
    low = entry.low;
    exponent = entry.exponent;
}

void ksFloatRound(double value, int base, int maxDigits, int lowest, ksFloatDigitString& number) {
    if (base != 10 || !roundDecimal(value, maxDigits, lowest, number))
        ksFloatRoundGeneral(value, base, maxDigits, lowest, number);
}

void ksFloatRoundGeneral(double value, int base, int maxDigits, int lowest,
                         ksFloatDigitString& number) {
    if (maxDigits > kFloatDigitsMax)
        maxDigits = kFloatDigitsMax;
    if (lowest < -kFloatPositionLimit)
        lowest = -kFloatPositionLimit;
    // Beyond the kept digits, one more decides in an even base; an odd base needs them all.
    const int lookahead = base % 2 == 0 ? 1 : kOddLookahead;
    const int generated =
        maxDigits + lookahead < kFloatDigitsMax ? maxDigits + lookahead : kFloatDigitsMax;
    DigitCollector collector(number.digits, generated, lowest - lookahead);
    collectDigits(value, base, collector);
    number.exponent = collector.exponent();
    const int available = collector.count();
    if (!collector.started()) {
        number.count = 0;
        number.exponent = 0;
        return;
    }
    int kept = number.exponent - lowest + 1;
    if (kept > maxDigits)
        kept = maxDigits;
    if (kept < 0) {
        number.count = 0; // the value lies wholly below half a unit of the lowest position
        number.exponent = 0;
        return;
    }
    const bool up =
        kept < available && restIsHalfOrMore(number.digits + kept, available - kept, base);
    number.count = kept < available ? kept : available;
    if (up) {
        if (kept == 0) {
            number.digits[0] = 1;
            number.count = 1;
            number.exponent = lowest;
            return;
        }
        roundUp(number, base);
    }
    while (number.count > 0 && number.digits[number.count - 1] == 0)
        --number.count;
    if (number.count == 0)
        number.exponent = 0;
}
