// Exact digits of a double: a 128-bit path for values of ordinary size and a big-number path
// (numbers of up to 1280 bits, on the stack) for the very large and the very small.
#include "foundation/FloatDigits.h"
#include <bit>
#include <climits>
#include <cmath>
#include <cstring>

namespace {

using uint128 = unsigned __int128;

constexpr int kWords = 40;
constexpr char kAnyDigit[] = "0123456789abcdefghijklmnopqrstuvwxyz";
constexpr int kPowerMagnitudeMax = 2200; // beyond it every base's power leaves the double range // 1280 bits: 2^1024 and a 1074-bit fraction times a chunk of digits

// The powers of ten as the nearest doubles, from 1e-323 (below it they are 0) to 1e308.
constexpr int kPowerTenLowest = -323;
constexpr double kPowersOfTen[] = {
    1e-323, 1e-322, 1e-321, 1e-320, 1e-319, 1e-318, 1e-317, 1e-316, 1e-315, 1e-314,
    1e-313, 1e-312, 1e-311, 1e-310, 1e-309, 1e-308, 1e-307, 1e-306, 1e-305, 1e-304,
    1e-303, 1e-302, 1e-301, 1e-300, 1e-299, 1e-298, 1e-297, 1e-296, 1e-295, 1e-294,
    1e-293, 1e-292, 1e-291, 1e-290, 1e-289, 1e-288, 1e-287, 1e-286, 1e-285, 1e-284,
    1e-283, 1e-282, 1e-281, 1e-280, 1e-279, 1e-278, 1e-277, 1e-276, 1e-275, 1e-274,
    1e-273, 1e-272, 1e-271, 1e-270, 1e-269, 1e-268, 1e-267, 1e-266, 1e-265, 1e-264,
    1e-263, 1e-262, 1e-261, 1e-260, 1e-259, 1e-258, 1e-257, 1e-256, 1e-255, 1e-254,
    1e-253, 1e-252, 1e-251, 1e-250, 1e-249, 1e-248, 1e-247, 1e-246, 1e-245, 1e-244,
    1e-243, 1e-242, 1e-241, 1e-240, 1e-239, 1e-238, 1e-237, 1e-236, 1e-235, 1e-234,
    1e-233, 1e-232, 1e-231, 1e-230, 1e-229, 1e-228, 1e-227, 1e-226, 1e-225, 1e-224,
    1e-223, 1e-222, 1e-221, 1e-220, 1e-219, 1e-218, 1e-217, 1e-216, 1e-215, 1e-214,
    1e-213, 1e-212, 1e-211, 1e-210, 1e-209, 1e-208, 1e-207, 1e-206, 1e-205, 1e-204,
    1e-203, 1e-202, 1e-201, 1e-200, 1e-199, 1e-198, 1e-197, 1e-196, 1e-195, 1e-194,
    1e-193, 1e-192, 1e-191, 1e-190, 1e-189, 1e-188, 1e-187, 1e-186, 1e-185, 1e-184,
    1e-183, 1e-182, 1e-181, 1e-180, 1e-179, 1e-178, 1e-177, 1e-176, 1e-175, 1e-174,
    1e-173, 1e-172, 1e-171, 1e-170, 1e-169, 1e-168, 1e-167, 1e-166, 1e-165, 1e-164,
    1e-163, 1e-162, 1e-161, 1e-160, 1e-159, 1e-158, 1e-157, 1e-156, 1e-155, 1e-154,
    1e-153, 1e-152, 1e-151, 1e-150, 1e-149, 1e-148, 1e-147, 1e-146, 1e-145, 1e-144,
    1e-143, 1e-142, 1e-141, 1e-140, 1e-139, 1e-138, 1e-137, 1e-136, 1e-135, 1e-134,
    1e-133, 1e-132, 1e-131, 1e-130, 1e-129, 1e-128, 1e-127, 1e-126, 1e-125, 1e-124,
    1e-123, 1e-122, 1e-121, 1e-120, 1e-119, 1e-118, 1e-117, 1e-116, 1e-115, 1e-114,
    1e-113, 1e-112, 1e-111, 1e-110, 1e-109, 1e-108, 1e-107, 1e-106, 1e-105, 1e-104,
    1e-103, 1e-102, 1e-101, 1e-100, 1e-99, 1e-98, 1e-97, 1e-96, 1e-95, 1e-94,
    1e-93, 1e-92, 1e-91, 1e-90, 1e-89, 1e-88, 1e-87, 1e-86, 1e-85, 1e-84,
    1e-83, 1e-82, 1e-81, 1e-80, 1e-79, 1e-78, 1e-77, 1e-76, 1e-75, 1e-74,
    1e-73, 1e-72, 1e-71, 1e-70, 1e-69, 1e-68, 1e-67, 1e-66, 1e-65, 1e-64,
    1e-63, 1e-62, 1e-61, 1e-60, 1e-59, 1e-58, 1e-57, 1e-56, 1e-55, 1e-54,
    1e-53, 1e-52, 1e-51, 1e-50, 1e-49, 1e-48, 1e-47, 1e-46, 1e-45, 1e-44,
    1e-43, 1e-42, 1e-41, 1e-40, 1e-39, 1e-38, 1e-37, 1e-36, 1e-35, 1e-34,
    1e-33, 1e-32, 1e-31, 1e-30, 1e-29, 1e-28, 1e-27, 1e-26, 1e-25, 1e-24,
    1e-23, 1e-22, 1e-21, 1e-20, 1e-19, 1e-18, 1e-17, 1e-16, 1e-15, 1e-14,
    1e-13, 1e-12, 1e-11, 1e-10, 1e-9, 1e-8, 1e-7, 1e-6, 1e-5, 1e-4,
    1e-3, 1e-2, 1e-1, 1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6,
    1e7, 1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15, 1e16,
    1e17, 1e18, 1e19, 1e20, 1e21, 1e22, 1e23, 1e24, 1e25, 1e26,
    1e27, 1e28, 1e29, 1e30, 1e31, 1e32, 1e33, 1e34, 1e35, 1e36,
    1e37, 1e38, 1e39, 1e40, 1e41, 1e42, 1e43, 1e44, 1e45, 1e46,
    1e47, 1e48, 1e49, 1e50, 1e51, 1e52, 1e53, 1e54, 1e55, 1e56,
    1e57, 1e58, 1e59, 1e60, 1e61, 1e62, 1e63, 1e64, 1e65, 1e66,
    1e67, 1e68, 1e69, 1e70, 1e71, 1e72, 1e73, 1e74, 1e75, 1e76,
    1e77, 1e78, 1e79, 1e80, 1e81, 1e82, 1e83, 1e84, 1e85, 1e86,
    1e87, 1e88, 1e89, 1e90, 1e91, 1e92, 1e93, 1e94, 1e95, 1e96,
    1e97, 1e98, 1e99, 1e100, 1e101, 1e102, 1e103, 1e104, 1e105, 1e106,
    1e107, 1e108, 1e109, 1e110, 1e111, 1e112, 1e113, 1e114, 1e115, 1e116,
    1e117, 1e118, 1e119, 1e120, 1e121, 1e122, 1e123, 1e124, 1e125, 1e126,
    1e127, 1e128, 1e129, 1e130, 1e131, 1e132, 1e133, 1e134, 1e135, 1e136,
    1e137, 1e138, 1e139, 1e140, 1e141, 1e142, 1e143, 1e144, 1e145, 1e146,
    1e147, 1e148, 1e149, 1e150, 1e151, 1e152, 1e153, 1e154, 1e155, 1e156,
    1e157, 1e158, 1e159, 1e160, 1e161, 1e162, 1e163, 1e164, 1e165, 1e166,
    1e167, 1e168, 1e169, 1e170, 1e171, 1e172, 1e173, 1e174, 1e175, 1e176,
    1e177, 1e178, 1e179, 1e180, 1e181, 1e182, 1e183, 1e184, 1e185, 1e186,
    1e187, 1e188, 1e189, 1e190, 1e191, 1e192, 1e193, 1e194, 1e195, 1e196,
    1e197, 1e198, 1e199, 1e200, 1e201, 1e202, 1e203, 1e204, 1e205, 1e206,
    1e207, 1e208, 1e209, 1e210, 1e211, 1e212, 1e213, 1e214, 1e215, 1e216,
    1e217, 1e218, 1e219, 1e220, 1e221, 1e222, 1e223, 1e224, 1e225, 1e226,
    1e227, 1e228, 1e229, 1e230, 1e231, 1e232, 1e233, 1e234, 1e235, 1e236,
    1e237, 1e238, 1e239, 1e240, 1e241, 1e242, 1e243, 1e244, 1e245, 1e246,
    1e247, 1e248, 1e249, 1e250, 1e251, 1e252, 1e253, 1e254, 1e255, 1e256,
    1e257, 1e258, 1e259, 1e260, 1e261, 1e262, 1e263, 1e264, 1e265, 1e266,
    1e267, 1e268, 1e269, 1e270, 1e271, 1e272, 1e273, 1e274, 1e275, 1e276,
    1e277, 1e278, 1e279, 1e280, 1e281, 1e282, 1e283, 1e284, 1e285, 1e286,
    1e287, 1e288, 1e289, 1e290, 1e291, 1e292, 1e293, 1e294, 1e295, 1e296,
    1e297, 1e298, 1e299, 1e300, 1e301, 1e302, 1e303, 1e304, 1e305, 1e306,
    1e307, 1e308,
};
constexpr int kPowerTenHighest = kPowerTenLowest + static_cast<int>(sizeof kPowersOfTen / sizeof(double)) - 1;

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

// Collects significant digits leading digit first, skipping leading zeros, up to a count
// and down to a lowest position (a power of the base).
class DigitCollector {
  public:
    DigitCollector(const char* table, char* digits, int maxDigits, int lowest, int position)
        : table_(table), digits_(digits), max_(maxDigits), lowest_(lowest), position_(position) {}

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
            digits_[count_++] = table_[digit];
        --position_;
    }

    // A run of count digits taken from a number below base^count, leading zeros kept.
    void offerChunk(uint64_t chunk, int base, int count) {
        char buffer[64];
        for (int i = count - 1; i >= 0; --i) {
            buffer[i] = static_cast<char>(chunk % static_cast<uint64_t>(base));
            chunk /= static_cast<uint64_t>(base);
        }
        for (int i = 0; i < count && !full(); ++i)
            offer(static_cast<unsigned>(buffer[i]));
    }

    void setPosition(int position) { position_ = position; }
    int count() const { return count_; }
    int exponent() const { return started_ ? exponent_ : (position_ < 0 ? position_ : 0); }

  private:
    const char* table_;
    char* digits_;
    int max_;
    int lowest_;
    int position_;
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

    void add(const BigNumber& other) {
        uint64_t carry = 0;
        const int longest = used > other.used ? used : other.used;
        for (int i = 0; i < longest; ++i) {
            uint64_t sum = carry + (i < used ? words[i] : 0) + (i < other.used ? other.words[i] : 0);
            words[i] = static_cast<uint32_t>(sum);
            carry = sum >> 32;
        }
        used = longest;
        if (carry)
            words[used++] = static_cast<uint32_t>(carry);
    }

    int bitLength() const {
        return used == 0 ? 0 : (used - 1) * 32 + 32 - std::countl_zero(words[used - 1]);
    }

    bool isPowerOfTwo() const {
        for (int i = 0; i + 1 < used; ++i)
            if (words[i])
                return false;
        return used > 0 && std::has_single_bit(words[used - 1]);
    }

    bool operator<(const BigNumber& other) const {
        if (used != other.used)
            return used < other.used;
        for (int i = used - 1; i >= 0; --i)
            if (words[i] != other.words[i])
                return words[i] < other.words[i];
        return false;
    }
};

// The operations of the shortest-digit loop, on 128-bit numbers and on big numbers. A number
// is a multiple of a unit; 2^scale units make 1.
void multiplyBy(uint128& number, unsigned base) { number *= base; }
void multiplyBy(BigNumber& number, unsigned base) { number.multiply(base); }

unsigned takeWhole(uint128& number, int scale) {
    unsigned whole = static_cast<unsigned>(number >> scale);
    number &= (uint128{1} << scale) - 1;
    return whole;
}
unsigned takeWhole(BigNumber& number, int scale) { return static_cast<unsigned>(number.takeHigh(scale)); }

// rest + gap > 1
bool exceedsOne(const uint128& rest, const uint128& gap, int scale) {
    return rest + gap > (uint128{1} << scale);
}
bool exceedsOne(const BigNumber& rest, const BigNumber& gap, int scale) {
    BigNumber sum = rest;
    sum.add(gap);
    const int bits = sum.bitLength();
    return bits > scale + 1 || (bits == scale + 1 && !sum.isPowerOfTwo());
}

// rest < 1/2
bool belowHalf(const uint128& rest, int scale) { return rest < (uint128{1} << (scale - 1)); }
bool belowHalf(const BigNumber& rest, int scale) { return rest.bitLength() < scale; }

void integerDigitsBig(const BinaryValue& value, int base, DigitCollector& collector) {
    BigNumber number(value.mantissa);
    number.shiftLeft(value.exponent);
    const Chunk chunk = chunkOf(base);
    char reversed[kFloatDigitsMax + 64];
    int length = 0;
    while (!number.isZero()) {
        uint32_t part = number.divide(chunk.power);
        for (int i = 0; i < chunk.digits && (part != 0 || !number.isZero()); ++i) {
            reversed[length++] = static_cast<char>(part % static_cast<uint32_t>(base));
            part /= static_cast<uint32_t>(base);
        }
    }
    collector.setPosition(length - 1);
    for (int i = length - 1; i >= 0 && !collector.full(); --i)
        collector.offer(static_cast<unsigned>(reversed[i]));
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
    char reversed[72];
    int length = 0;
    while (integer) {
        reversed[length++] = static_cast<char>(integer % static_cast<uint64_t>(base));
        integer /= static_cast<uint64_t>(base);
    }
    collector.setPosition(length - 1);
    for (int i = length - 1; i >= 0 && !collector.full(); --i)
        collector.offer(static_cast<unsigned>(reversed[i]));
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

void collectDigits(double value, int doublings, int base, DigitCollector& collector) {
    BinaryValue binary = decompose(value);
    if (binary.mantissa != 0)
        binary.exponent += doublings;
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

// The nearest double to a big number: the top 64 bits, rounded half to even with the rest.
double bigToDouble(BigNumber& number) {
    if (number.isZero())
        return 0.0;
    const int bits = (number.used - 1) * 32 + (32 - std::countl_zero(number.words[number.used - 1]));
    if (bits > 1024)
        return __builtin_inf();
    const int drop = bits > 53 ? bits - 53 : 0;
    bool sticky = false, half = false;
    for (int bit = 0; bit < drop; ++bit) {
        bool set = (number.words[bit / 32] >> (bit % 32)) & 1;
        if (bit == drop - 1)
            half = set;
        else
            sticky = sticky || set;
    }
    uint64_t top = 0;
    for (int bit = bits - 1; bit >= drop; --bit)
        top = top << 1 | ((number.words[bit / 32] >> (bit % 32)) & 1);
    if (half && (sticky || (top & 1)))
        ++top;
    double result = static_cast<double>(top);
    for (int i = 0; i < drop; ++i)
        result *= 2.0;
    return result;
}


// Digit values of the shortest output, the leading digit first, with the power of the leading
// digit; a final digit equal to the base is a carry still to be resolved.
struct DigitRun {
    uint8_t values[kFloatDigitsMax];
    int count = 0;
    int exponent = 0;
};

// Free-format digit generation: digits of the fraction rest until the digits written so far,
// or those with the last digit raised by one, lie strictly inside the gaps to the neighbouring
// doubles, so the text identifies the value with the fewest digits.
template <class Number>
void shortestFraction(Number rest, Number lowGap, Number highGap, int scale, unsigned base,
                      DigitRun& run) {
    const bool leading = run.count == 0;
    if (leading)
        run.exponent = -1;
    for (;;) {
        multiplyBy(rest, base);
        multiplyBy(lowGap, base);
        multiplyBy(highGap, base);
        unsigned digit = takeWhole(rest, scale);
        const bool low = rest < lowGap;
        const bool high = exceedsOne(rest, highGap, scale);
        if (high && (!low || !belowHalf(rest, scale)))
            ++digit;
        if (run.count == 0 && digit == 0 && !low && !high) {
            --run.exponent; // a leading zero of a value below 1
            continue;
        }
        run.values[run.count++] = static_cast<uint8_t>(digit);
        if (low || high || run.count == kFloatDigitsMax)
            return;
    }
}

void appendInteger(uint64_t integer, unsigned base, DigitRun& run) {
    uint8_t reversed[72];
    int length = 0;
    while (integer) {
        reversed[length++] = static_cast<uint8_t>(integer % base);
        integer /= base;
    }
    run.exponent = length - 1;
    while (length > 0)
        run.values[run.count++] = reversed[--length];
}

// Lets a final digit equal to the base carry into the digits before it, then drops the
// trailing zeros, which the caller writes anyway.
void resolveCarry(DigitRun& run, unsigned base) {
    if (run.count == 0)
        return;
    int last = run.count - 1;
    while (last > 0 && run.values[last] == base) {
        run.values[last] = 0;
        ++run.values[--last];
    }
    if (run.values[0] == base) {
        run.values[0] = 1;
        run.count = 1;
        ++run.exponent;
    }
    while (run.count > 1 && run.values[run.count - 1] == 0)
        --run.count;
}

// The shortest digits of a value below 2^53: whole digits, then fraction digits found by the
// free-format loop. The value is 4m units of 2^(e-2); the gaps are half the distances to the
// neighbouring doubles (the lower one is closer above a power of two).
void shortestBelowLimit(double value, unsigned base, DigitRun& run) {
    const uint64_t bits = std::bit_cast<uint64_t>(value);
    const int biased = static_cast<int>((bits >> 52) & 0x7FF);
    uint64_t mantissa = bits & ((uint64_t{1} << 52) - 1);
    int exponent = -1074;
    if (biased != 0) {
        mantissa |= uint64_t{1} << 52;
        exponent = biased - 1075;
    }
    const unsigned lowGap = mantissa == (uint64_t{1} << 52) && biased > 1 ? 1 : 2;
    const unsigned highGap = 2;
    const int scale = 2 - exponent;
    if (scale <= 122) {
        const uint128 whole = static_cast<uint128>(mantissa) << 2;
        const uint64_t integer = static_cast<uint64_t>(whole >> scale);
        const uint128 rest = whole & ((uint128{1} << scale) - 1);
        if (integer)
            appendInteger(integer, base, run);
        if (rest != 0)
            shortestFraction<uint128>(rest, lowGap, highGap, scale, base, run);
        return;
    }
    BigNumber rest(mantissa << 2);
    shortestFraction<BigNumber>(rest, BigNumber(lowGap), BigNumber(highGap), scale, base, run);
}

} // namespace

int ksFloatDigits(double value, int doublings, int base, const char* table, char* digits,
                  int maxDigits, int lowest, int* exponent) {
    DigitCollector collector(table, digits, maxDigits, lowest, 0);
    collectDigits(value, doublings, base, collector);
    *exponent = collector.exponent();
    return collector.count();
}

int ksFloatExponent(double value, int doublings, int base) {
    char digit;
    DigitCollector collector(kAnyDigit, &digit, 1, INT_MIN, 0);
    collectDigits(value, doublings, base, collector);
    return collector.exponent();
}

double ksFloatPower(int base, int k) {
    if (base == 10) {
        if (k < kPowerTenLowest)
            return 0.0;
        if (k > kPowerTenHighest)
            return __builtin_inf();
        return kPowersOfTen[k - kPowerTenLowest];
    }
    if (k > kPowerMagnitudeMax || k < -kPowerMagnitudeMax)
        return k < 0 ? 0.0 : __builtin_inf();
    if ((base & (base - 1)) == 0)
        return std::ldexp(1.0, std::countr_zero(static_cast<unsigned>(base)) * k);
    const int magnitude = k < 0 ? -k : k;
    BigNumber power(1);
    for (int i = 0; i < magnitude && power.used < kWords - 2; ++i)
        power.multiply(static_cast<uint32_t>(base));
    const double whole = bigToDouble(power);
    return k < 0 ? 1.0 / whole : whole;
}

int ksFloatShortestDigits(double value, int doublings, int base, const char* table, char* digits,
                          int* exponent) {
    constexpr double kExactLimit = 9007199254740992.0; // 2^53: from here on every double is whole
    if (value == 0.0) {
        *exponent = 0;
        return 0;
    }
    if (doublings != 0 || value >= kExactLimit)
        return ksFloatDigits(value, doublings, base, table, digits, kFloatDigitsMax, INT_MIN,
                             exponent);
    DigitRun run;
    shortestBelowLimit(value, static_cast<unsigned>(base), run);
    resolveCarry(run, static_cast<unsigned>(base));
    for (int i = 0; i < run.count; ++i)
        digits[i] = table[run.values[i]];
    *exponent = run.exponent;
    return run.count;
}
