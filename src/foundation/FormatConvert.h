// The formatter's conversions: one directive's value written with its options.
#pragma once
#include "foundation/FormatDirective.h"
#include "foundation/FormatFloat.h"
#include "foundation/FormatOutput.h"

// Writes an integer directive (d, i, u, o, x, X); 0.
int ksFormatWriteInteger(ksFormatState& out, int64_t value, const ksFormatOptions& options);
// Writes a character, string, pointer or count directive: 0, or kFormatMalformedText when a
// string argument is not well-formed.
int ksFormatWriteOther(ksFormatState& out, ksFormatType type, ksFormatValue value,
                       const ksFormatOptions& options);

// Writes one directive's value; 0, or kFormatMalformedText.
inline int ksFormatConvert(ksFormatState& out, ksFormatType type, ksFormatValue value,
                           const ksFormatOptions& options) {
    if (type == ksFormatInteger)
        return ksFormatWriteInteger(out, value.integer, options);
    if (type == ksFormatFloating) {
        ksFormatFloatingValue(out, value.real, options);
        return 0;
    }
    return ksFormatWriteOther(out, type, value, options);
}

// Writes bytes padded with spaces to the directive's width, on the left unless '-' is given.
void ksFormatPadded(ksFormatState& out, const char* bytes, int64_t length,
                    const ksFormatOptions& options);

// The digit tables: lower case, and upper case for X, E, F, G and A.
extern const char kFormatDigitsLower[];
extern const char kFormatDigitsUpper[];
