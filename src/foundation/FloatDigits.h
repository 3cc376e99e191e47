// Digits of a double in any base from 2 to 36, exact or shortest, and the powers of a base.
//
// The digits are those of the binary value itself, so every digit a double's expansion has
// is right; once the expansion ends the digits are zeros. Odd bases never end: they are
// cut after kFloatDigitsMax significant digits. No heap allocation.
#pragma once
#include <cstdint>

constexpr int kFloatDigitsMax = 1100; // enough for every terminating expansion of a double

// The value is value * 2^doublings, so that a rounded value beyond the double range can still
// be written (value halved, doublings 1).
//
// Writes up to maxDigits significant digits of the value (finite, not negative) as characters of
// table, leading digit first and none below the power lowest; returns how many it wrote. The
// remaining digits are zeros. exponent receives the power of the base of the leading digit
// (0 for zero; for a value with no digit at or above lowest, some power below 0).
int ksFloatDigits(double value, int doublings, int base, const char* table, char* digits,
                  int maxDigits, int lowest, int* exponent);

// The fewest significant digits that identify the value among the doubles (free format), with
// the power of the leading digit; whole values from 2^53 up get all their digits. The digits
// after them are zeros: every digit shown is right to the precision a double carries.
int ksFloatShortestDigits(double value, int doublings, int base, const char* table, char* digits,
                          int* exponent);

// The power of the base of value's leading digit (0 for zero).
int ksFloatExponent(double value, int doublings, int base);

// base to the power k as the nearest double (0 or infinity beyond the double's range).
double ksFloatPower(int base, int k);
