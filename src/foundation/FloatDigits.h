// The digits of a double in any base from 2 to 36, exact and rounded half up. The digits are those
// of the binary value itself, so a double prints the same digits on every platform, to any
// precision. Rounding looks at the exact rest: at least half a unit of the last kept digit rounds
// up, so a value exactly half-way goes away from zero. Odd bases never end: their digits are cut
// after kFloatDigitsMax significant digits. No heap allocation.
#pragma once
#include <cstdint>

constexpr int kFloatDigitsMax = 1100;        // enough for every terminating expansion of a double
constexpr int kFloatPositionLimit = 1 << 20; // far below any double's last digit

// Significant digits ('0' to '9', then 'a' to 'z'), leading first; those after count are zeros.
struct ksFloatDigitString {
    char digits[kFloatDigitsMax];
    int count;    // without trailing zeros; 0 for zero
    int exponent; // power of the base of digits[0]; 0 for zero
};

// Rounds value (finite, not negative) to at most maxDigits significant digits and to no digit
// below the power lowest, whichever keeps fewer.
void ksFloatRound(double value, int base, int maxDigits, int lowest, ksFloatDigitString& number);
// The same by the exact big-number method alone, without the multiplication by a power of ten
// that base 10 takes for significant digits that fit 64 bits; the two must agree.
void ksFloatRoundGeneral(double value, int base, int maxDigits, int lowest,
                         ksFloatDigitString& number);
// value (as above) * 10^decimals rounded half up, for 0 to 19 decimals; false where it overflows.
bool ksFloatScale(double value, int decimals, uint64_t& scaled);

// 10^q = (high * 2^64 + low) * 2^exponent, cut below by under a unit of low; q from -348 to 347.
void ksFloatPowerOfTen(int q, uint64_t& high, uint64_t& low, int& exponent);
