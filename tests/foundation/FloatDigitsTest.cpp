// Base 10 by a power of ten against the exact method, at the edges where one hands over to the
// other, on half-way values and on random bit patterns of every exponent; and the table of
// powers of ten, multiplied back.
#include <gtest/gtest.h>
#include <bit>
#include <climits>
#include <cmath>
#include <cstdint>
#include <random>
#include <string>
#include <vector>
#include "foundation/FloatDigits.h"

namespace {

// The most decimals and significant digits compared: past the scaled path's reach.
constexpr int kDecimalsCompared = 20;
constexpr int kDigitsCompared = 19;

// Digits, exponent and count as one comparable text.
std::string describe(const ksFloatDigitString& number) {
    std::string text;
    for (int i = 0; i < number.count; ++i)
        text += number.digits[i];
    return text + "e" + std::to_string(number.exponent) + "#" + std::to_string(number.count);
}

// Decimals by the scaled route, in the same form; "declined" where it hands over.
std::string fast(double value, int decimals) {
    uint64_t scaled = 0;
    if (!ksFloatScale(value, decimals, scaled))
        return "declined";
    std::string digits = scaled == 0 ? "" : std::to_string(scaled);
    const int exponent = scaled == 0 ? 0 : static_cast<int>(digits.size()) - 1 - decimals;
    while (!digits.empty() && digits.back() == '0')
        digits.pop_back();
    return digits + "e" + std::to_string(exponent) + "#" + std::to_string(digits.size());
}

std::string general(double value, int decimals) {
    ksFloatDigitString number;
    ksFloatRoundGeneral(value, 10, kFloatDigitsMax, -decimals, number);
    return describe(number);
}

std::string significant(double value, int digits, bool generalOnly = false) {
    ksFloatDigitString number;
    if (generalOnly)
        ksFloatRoundGeneral(value, 10, digits, INT_MIN, number);
    else
        ksFloatRound(value, 10, digits, INT_MIN, number);
    return describe(number);
}

void expectAgreement(double value) {
    for (int decimals = 0; decimals <= kDecimalsCompared; ++decimals)
        if (const std::string scaled = fast(value, decimals); scaled != "declined") {
            EXPECT_EQ(scaled, general(value, decimals))
                << std::hexfloat << value << " with " << decimals << " decimals";
        }
    for (int digits = 1; digits <= kDigitsCompared; ++digits)
        EXPECT_EQ(significant(value, digits), significant(value, digits, true))
            << std::hexfloat << value << " with " << digits << " significant digits";
}

} // namespace

TEST(FloatDigits, ShortcutKnownResults) {
    EXPECT_EQ(fast(0.0, 3), "e0#0");
    EXPECT_EQ(fast(12.34567, 3), "12346e1#5");
    EXPECT_EQ(fast(0.0625, 3), "63e-2#2");  // exactly half-way goes up
    EXPECT_EQ(fast(0.5, 0), "1e0#1");       // rounds up from nothing
    EXPECT_EQ(fast(0.0005, 3), "1e-3#1");   // a little above half a unit
    EXPECT_EQ(fast(0.00049, 3), "e0#0");    // below half a unit
    EXPECT_EQ(fast(9.9996, 3), "1e1#1");    // the carry makes one more integer digit
    EXPECT_EQ(fast(1200.0, 2), "12e3#2");   // trailing zeros are not digits
    EXPECT_EQ(fast(0.995, 2), "99e-1#2");   // the binary value is a little below half-way
    EXPECT_EQ(fast(0x1p64, 0), "declined"); // does not fit 64 bits
    EXPECT_EQ(fast(1.5, 20), "declined");   // nor does 10^20
    EXPECT_EQ(significant(12345.6789, 4), "1235e4#4");
    EXPECT_EQ(significant(0.0, 4), "e0#0");
    EXPECT_EQ(significant(2.5, 1), "3e0#1");    // exactly half-way goes up
    EXPECT_EQ(significant(9.9996, 4), "1e1#1"); // the carry makes the exponent grow
    EXPECT_EQ(significant(0.000123456789, 6), "123457e-4#6");
}

TEST(FloatDigits, ShortcutAgreesAtItsEdges) {
    // Integers: the largest below 2^64 is taken, 2^64 is handed over.
    expectAgreement(std::nextafter(0x1p64, 0.0));
    expectAgreement(0x1p64);
    expectAgreement(0x1.fffffffffffffp63);
    expectAgreement(0x1.fffffffffffffp64);
    expectAgreement(18446744073709549568.0 + 0.5); // rounds to a double below 2^64
    // Fractions: a shift of 127 bits is taken, and longer ones leave nothing.
    expectAgreement(0x1p-127);
    expectAgreement(0x1.fffffffffffffp-75);
    expectAgreement(0x1p-128);
    expectAgreement(0x1.fffffffffffffp-128);
    expectAgreement(0x1.fffffffffffffp-127);
    expectAgreement(std::ldexp(1.0, -1074));
    expectAgreement(2.2250738585072014e-308);
    // Half a unit of each precision, and the doubles next to it.
    double half = 0.5;
    for (int decimals = 0; decimals <= kDecimalsCompared; ++decimals, half /= 10) {
        expectAgreement(half);
        expectAgreement(std::nextafter(half, 0.0));
        expectAgreement(std::nextafter(half, 1.0));
        expectAgreement(9.5 + half * 18); // carries through nines
    }
    for (double value : {0.125, 2.5, 0.05, 0.15, 0.45, 999999999.9999999, 1e19, 1e-9, 5e-10})
        expectAgreement(value);
    // The ends of the range, and ties that only an inexact power of ten meets (5^3 * 2^70).
    for (double value : {1e-5, 1e-300, 1e300, 1.7976931348623157e308, 4.9406564584124654e-324,
                         2.2250738585072009e-308, 125.0 * 0x1p70, 0x1p75 * 5, 1e22, 1e23})
        expectAgreement(value);
}

TEST(FloatDigits, ShortcutAgreesOnRandomValues) {
    std::mt19937_64 random(20261207);
    for (int i = 0; i < 4000; ++i) {
        // Every exponent, subnormals included.
        const uint64_t mantissa = random() & ((uint64_t{1} << 52) - 1);
        const uint64_t biased = random() % 2047;
        const double value = std::bit_cast<double>(biased << 52 | mantissa);
        expectAgreement(value);
    }
}

namespace {

// A non-negative integer, least significant word first, for checking the table.
using Big = std::vector<uint32_t>;

Big big(uint64_t value) {
    return {static_cast<uint32_t>(value), static_cast<uint32_t>(value >> 32)};
}

Big times(Big number, uint32_t factor) {
    uint64_t carry = 0;
    for (uint32_t& word : number) {
        carry += uint64_t{word} * factor;
        word = static_cast<uint32_t>(carry);
        carry >>= 32;
    }
    number.push_back(static_cast<uint32_t>(carry));
    return number;
}

Big shifted(Big number, int bits) {
    number.insert(number.begin(), static_cast<size_t>(bits / 32), 0u);
    return times(number, uint32_t{1} << (bits % 32));
}

Big powerOfTen(int q) {
    Big number = big(1);
    for (int i = 0; i < q; ++i)
        number = times(number, 10);
    return number;
}

// -1, 0 or 1 as a is below, equal to or above b.
int compare(Big a, Big b) {
    a.resize(std::max(a.size(), b.size()));
    b.resize(a.size());
    for (size_t i = a.size(); i-- > 0;)
        if (a[i] != b[i])
            return a[i] < b[i] ? -1 : 1;
    return 0;
}

} // namespace

TEST(FloatDigits, PowersOfTenAreCutBelowByLessThanOneUnit) {
    for (int q = -348; q <= 347; ++q) {
        uint64_t high = 0, low = 0;
        int exponent = 0;
        ksFloatPowerOfTen(q, high, low, exponent);
        ASSERT_NE(high >> 63, 0u) << q;
        // mantissa * 2^exponent <= 10^q < (mantissa + 1) * 2^exponent, every side made whole.
        Big mantissa = {static_cast<uint32_t>(low), static_cast<uint32_t>(low >> 32),
                        static_cast<uint32_t>(high), static_cast<uint32_t>(high >> 32)};
        Big next = low == UINT64_MAX ? shifted(big(high + 1), 64) : mantissa;
        if (low != UINT64_MAX)
            next[0] += 1, next[1] += next[0] == 0 ? 1 : 0;
        Big power = powerOfTen(q >= 0 ? q : 0);
        for (int i = q; i < 0; ++i) {
            mantissa = times(mantissa, 10);
            next = times(next, 10);
        }
        if (exponent >= 0) {
            mantissa = shifted(mantissa, exponent);
            next = shifted(next, exponent);
        } else {
            power = shifted(power, -exponent);
        }
        EXPECT_LE(compare(mantissa, power), 0) << q;
        EXPECT_LT(compare(power, next), 0) << q;
    }
}
