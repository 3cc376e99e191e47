// Floating conversions of the formatter: e, f, g and a in their letter cases, in base 10,
// in a base from 2 to 36, and the hexadecimal exponent form.
#pragma once
#include <cstdint>
#include "foundation/FormatOutput.h"

// A directive with its width, precision and base already resolved from arguments.
struct ksFormatOptions {
    uint32_t flags;
    char conversion;
    int64_t width;     // never negative
    int64_t precision; // -1 when absent
    int base;          // 2 to 36
};

// Writes bytes padded with spaces to the directive's width, on the left unless '-' is given.
void ksFormatPadded(ksFormatState& out, const char* bytes, int64_t length,
                    const ksFormatOptions& options);

// Writes one floating argument: padding, sign, digits and exponent.
void ksFormatFloatingValue(ksFormatState& out, double value, const ksFormatOptions& options);

// The digit tables: lower case, and upper case for X, E, F, G and A.
extern const char kFormatDigitsLower[];
extern const char kFormatDigitsUpper[];
