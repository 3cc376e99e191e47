// Exact digits of a double, rounded half up: a 128-bit path for values of ordinary size, a
// big-number path (numbers of up to 1280 bits, on the stack) for the very large and the very
// small, and two shortcuts for base 10: a few decimals, and a few significant digits.
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

void integerDigitsSmall(uint64_t integer, int base, DigitCollector& collector) {
    uint8_t reversed[72];
    int length = 0;
    while (integer) {
        reversed[length++] = static_cast<uint8_t>(integer % static_cast<uint64_t>(base));
        integer /= static_cast<uint64_t>(base);
    }
    collector.setPosition(length - 1);
    for (int i = length - 1; i >= 0 && !collector.full(); --i)
        collector.offer(reversed[i]);
}

// Values whose fraction fits 122 bits: exact digits with 128-bit arithmetic.
void digitsSmall(const BinaryValue& value, int base, DigitCollector& collector) {
    if (value.exponent >= 0) {
        integerDigitsSmall(value.mantissa << value.exponent, base, collector);
        return;
    }
    const int scale = -value.exponent;
    const uint64_t integer = scale >= 64 ? 0 : value.mantissa >> scale;
    const uint128 mask = (uint128{1} << scale) - 1;
    uint128 fraction = value.mantissa & mask;
    if (integer)
        integerDigitsSmall(integer, base, collector);
    collector.setPosition(-1);
    while (fraction != 0 && !collector.full()) {
        fraction *= static_cast<unsigned>(base);
        collector.offer(static_cast<unsigned>(fraction >> scale));
        fraction &= mask;
    }
}

void collectDigits(double value, int base, DigitCollector& collector) {
    const BinaryValue binary = decompose(value);
    if (binary.mantissa == 0)
        return;
    const int bits = 64 - std::countl_zero(binary.mantissa);
    const bool integerFits = binary.exponent >= 0 && bits + binary.exponent <= 64;
    if (integerFits || (binary.exponent < 0 && binary.exponent >= -122)) {
        digitsSmall(binary, base, collector);
        return;
    }
    if (binary.exponent >= 0) {
        integerDigitsBig(binary, base, collector);
        return;
    }
    fractionDigitsBig(binary, base, collector);
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

constexpr int kSignificantDecimalMax = 17;

// 10^0 to 10^22 as 128-bit numbers.
struct PowersOfTen128 {
    uint128 values[23];
    constexpr PowersOfTen128() : values{} {
        values[0] = 1;
        for (int i = 1; i < 23; ++i)
            values[i] = values[i - 1] * 10;
    }
};
constexpr PowersOfTen128 kPowersOfTen128{};

// The eight decimal digits of a value below 10^8, leading zeros included, stored at once: the
// digits are split in the lanes of one word (two of four digits, four of two, eight of one),
// each split a multiplication by a reciprocal. Bytes go to memory lowest first.
void eightDigits(uint8_t* at, uint32_t value) {
    static_assert(std::endian::native == std::endian::little);
    const uint64_t halves = value / 10000 | static_cast<uint64_t>(value % 10000) << 32;
    const uint64_t hundreds = (halves * 10486 >> 20) & 0x0000007F0000007Full;
    const uint64_t pairs = hundreds | (halves - hundreds * 100) << 16;
    const uint64_t tens = (pairs * 103 >> 10) & 0x000F000F000F000Full;
    const uint64_t digits = tens | (pairs - tens * 10) << 8;
    std::memcpy(at, &digits, sizeof digits);
}

// The decimal digits of a non-zero value, leading digit first, written in place (building
// them elsewhere and copying them stalls on the copy); their count.
[[gnu::always_inline]] inline int decimalDigits(uint64_t value, uint8_t* digits) {
    const int guess = std::bit_width(value) * 1233 >> 12; // log10(2^bits), rounded down
    const int length = guess + (value >= kPowersOfTen128.values[guess] ? 1 : 0);
    if (length < 16) {
        for (int i = length - 1; i >= 0; --i, value /= 10)
            digits[i] = static_cast<uint8_t>(value % 10);
        return length;
    }
    const uint64_t high = value / 100000000;
    eightDigits(digits + length - 8, static_cast<uint32_t>(value % 100000000));
    eightDigits(digits + length - 16, static_cast<uint32_t>(high % 100000000));
    uint32_t top = static_cast<uint32_t>(high / 100000000);
    for (int i = length - 17; i >= 0; --i, top /= 10)
        digits[i] = static_cast<uint8_t>(top % 10);
    return length;
}

constexpr uint64_t kTenToNineteen = 10000000000000000000ull;

// The significant digits of a non-zero number, with the power of the leading one given the
// power of the last.
void setDecimalDigits(uint128 scaled, int lastPower, ksFloatDigitString& number) {
    int length = 0;
    if (scaled >> 64) {
        length = decimalDigits(static_cast<uint64_t>(scaled / kTenToNineteen), number.digits);
        uint64_t low = static_cast<uint64_t>(scaled % kTenToNineteen);
        for (int i = length + 18; i >= length; --i, low /= 10) // with its leading zeros
            number.digits[i] = static_cast<uint8_t>(low % 10);
        length += 19;
    } else {
        length = decimalDigits(static_cast<uint64_t>(scaled), number.digits);
    }
    number.count = length;
    while (number.digits[number.count - 1] == 0)
        --number.count;
    number.exponent = lastPower + length - 1;
}

// Base 10 cut at a position from 0 down to -kFixedDecimalPrecisionMax, for values below 2^64:
// the value times 10^precision, rounded half up, is an integer of at most 94 bits whose digits
// are the answer. False for the values it does not take.
bool roundFixedDecimal(double value, int precision, ksFloatDigitString& number) {
    const BinaryValue binary = decompose(value);
    const auto power = static_cast<uint64_t>(kPowersOfTen128.values[precision]);
    uint128 scaled = 0;
    if (binary.mantissa == 0) {
        scaled = 0;
    } else if (binary.exponent >= 0) {
        if (64 - std::countl_zero(binary.mantissa) + binary.exponent > 64)
            return false;
        scaled = static_cast<uint128>(binary.mantissa << binary.exponent) * power;
    } else if (binary.exponent > -128) {
        // Adding half a unit before the cut rounds half up; the sum stays below 2^127 + 2^83.
        const int shift = -binary.exponent;
        scaled =
            (static_cast<uint128>(binary.mantissa) * power + (uint128{1} << (shift - 1))) >> shift;
    } // below 2^-75 the value is less than half a unit of the ninth decimal: zero
    if (scaled == 0) {
        number.count = 0;
        number.exponent = 0;
        return true;
    }
    setDecimalDigits(scaled, -precision, number);
    return true;
}

// Base 10 to at most 17 significant digits, for values from about 10^-5 to 2^64: one 128-bit
// product gives the value's leading 18 digits exactly (all of them for an integer), and the
// first digit dropped decides, since half a unit of the last kept digit is 5 and zeros.
bool roundSignificantDecimal(double value, int maxDigits, ksFloatDigitString& number) {
    BinaryValue binary = decompose(value);
    const int bits = std::bit_width(binary.mantissa);
    uint64_t leading = binary.mantissa;
    if (leading == 0)
        binary = {0, 0};
    int lastPower = 0; // the power of ten of leading's last digit
    if (binary.exponent >= 0) {
        if (bits + binary.exponent > 64)
            return false;
        leading <<= binary.exponent;
    } else {
        // The value lies in [2^top, 2^(top + 1)): its leading power of ten is estimate or one
        // more, so leading gets 18 or 19 digits and stays below 10^19.
        const int top = bits - 1 + binary.exponent;
        const int estimate = (top * 78913) >> 18; // floor(top * log10(2))
        lastPower = estimate - kSignificantDecimalMax;
        if (lastPower < -22)
            return false;
        const uint128 scaled =
            static_cast<uint128>(binary.mantissa) * kPowersOfTen128.values[-lastPower];
        leading = static_cast<uint64_t>(scaled >> -binary.exponent);
    }
    if (leading == 0) {
        number.count = 0;
        number.exponent = 0;
        return true;
    }
    const int length = decimalDigits(leading, number.digits);
    number.exponent = lastPower + length - 1;
    number.count = length < maxDigits ? length : maxDigits;
    if (length > maxDigits && number.digits[maxDigits] >= 5)
        roundUp(number, 10);
    while (number.count > 0 && number.digits[number.count - 1] == 0)
        --number.count;
    return true;
}

} // namespace

void ksFloatRound(double value, int base, int maxDigits, int lowest, ksFloatDigitString& number) {
    // Exponent and general forms to a precision that a double's digits cover.
    if (base == 10 && maxDigits <= kSignificantDecimalMax && lowest <= -kFloatPositionLimit &&
        roundSignificantDecimal(value, maxDigits, number))
        return;
    // Fixed forms with few decimals are by far the most printed; their number has at most 29
    // digits, so a digit count above that never binds.
    if (base == 10 && lowest <= 0 && lowest >= -kFixedDecimalPrecisionMax && maxDigits >= 29 &&
        roundFixedDecimal(value, -lowest, number))
        return;
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
