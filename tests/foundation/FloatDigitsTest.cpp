// The shortcuts (fixed decimals, few significant digits) against the general method, at the
// edges where one hands over to the other, on half-way values and on random bit patterns.
#include <gtest/gtest.h>
#include <bit>
#include <climits>
#include <cmath>
#include <cstdint>
#include <random>
#include <string>
#include "foundation/FloatDigits.h"

namespace {

// Digits, exponent and count as one comparable text.
std::string describe(const ksFloatDigitString& number) {
    std::string text;
    for (int i = 0; i < number.count; ++i)
        text += static_cast<char>('0' + number.digits[i]);
    return text + "e" + std::to_string(number.exponent) + "#" + std::to_string(number.count);
}

std::string fast(double value, int decimals) {
    ksFloatDigitString number;
    ksFloatRound(value, 10, kFloatDigitsMax, -decimals, number);
    return describe(number);
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
    for (int decimals = 0; decimals <= kFixedDecimalPrecisionMax + 1; ++decimals)
        EXPECT_EQ(fast(value, decimals), general(value, decimals))
            << std::hexfloat << value << " with " << decimals << " decimals";
    for (int digits = 1; digits <= 18; ++digits)
        EXPECT_EQ(significant(value, digits), significant(value, digits, true))
            << std::hexfloat << value << " with " << digits << " significant digits";
}

} // namespace

TEST(FloatDigits, ShortcutKnownResults) {
    EXPECT_EQ(fast(0.0, 3), "e0#0");
    EXPECT_EQ(fast(12.34567, 3), "12346e1#5");
    EXPECT_EQ(fast(0.0625, 3), "63e-2#2"); // exactly half-way goes up
    EXPECT_EQ(fast(0.5, 0), "1e0#1");      // rounds up from nothing
    EXPECT_EQ(fast(0.0005, 3), "1e-3#1");  // a little above half a unit
    EXPECT_EQ(fast(0.00049, 3), "e0#0");   // below half a unit
    EXPECT_EQ(fast(9.9996, 3), "1e1#1");   // the carry makes one more integer digit
    EXPECT_EQ(fast(1200.0, 2), "12e3#2");  // trailing zeros are not digits
    EXPECT_EQ(fast(0.995, 2), "99e-1#2");  // the binary value is a little below half-way
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
    // Fractions: a shift of 127 bits is taken, 128 is zero without arithmetic.
    expectAgreement(0x1p-127);
    expectAgreement(0x1.fffffffffffffp-75);
    expectAgreement(0x1p-128);
    expectAgreement(0x1.fffffffffffffp-128);
    expectAgreement(0x1.fffffffffffffp-127);
    expectAgreement(std::ldexp(1.0, -1074));
    expectAgreement(2.2250738585072014e-308);
    // Half a unit of each precision, and the doubles next to it.
    double half = 0.5;
    for (int decimals = 0; decimals <= kFixedDecimalPrecisionMax + 1; ++decimals, half /= 10) {
        expectAgreement(half);
        expectAgreement(std::nextafter(half, 0.0));
        expectAgreement(std::nextafter(half, 1.0));
        expectAgreement(9.5 + half * 18); // carries through nines
    }
    for (double value : {0.125, 2.5, 0.05, 0.15, 0.45, 999999999.9999999, 1e19, 1e-9, 5e-10})
        expectAgreement(value);
    // Significant digits: the smallest values taken and the first handed over.
    for (double value : {1e-5, 9.99e-6, 1e-6, 0x1p-17, 0x1p-18, 0x1.fffffffffffffp-18, 1e-7})
        expectAgreement(value);
}

TEST(FloatDigits, ShortcutAgreesOnRandomValues) {
    std::mt19937_64 random(20261207);
    for (int i = 0; i < 20000; ++i) {
        // Exponents spread over the shortcut's range and a little past it on both sides.
        const uint64_t mantissa = random() & ((uint64_t{1} << 52) - 1);
        const uint64_t biased = 1023 - 140 + random() % 220;
        const double value = std::bit_cast<double>(biased << 52 | mantissa);
        expectAgreement(value);
    }
}
