// The formatter's conversions: one directive's value written with its options.
#pragma once
#include "foundation/FormatDirective.h"
#include "foundation/FormatOutput.h"

// Writes one directive's value; 0, or -2 when a string argument is not well-formed.
int ksFormatConvert(ksFormatState& out, ksFormatType type, ksFormatValue value,
                    const ksFormatOptions& options);

// Writes bytes padded with spaces to the directive's width, on the left unless '-' is given.
void ksFormatPadded(ksFormatState& out, const char* bytes, int64_t length,
                    const ksFormatOptions& options);

// The digit tables: lower case, and upper case for X, E, F, G and A.
extern const char kFormatDigitsLower[];
extern const char kFormatDigitsUpper[];
