// The formatter's conversions: one directive's value written with its resolved options.
#pragma once
#include "foundation/FormatDirective.h"
#include "foundation/FormatOutput.h"

// d, i, u, o, x and X.
void ksFormatWriteInteger(ksFormatState& out, int64_t value, const ksFormatOptions& options);
// e, f, g and a in their letter cases, in base 10, in a base item's base, and in base 16.
void ksFormatWriteFloating(ksFormatState& out, double value, const ksFormatOptions& options);
// s and ls: 0, or kFormatMalformedText when the text is not well-formed.
int ksFormatWriteString(ksFormatState& out, const void* text, const ksFormatOptions& options);
// c, p and n.
void ksFormatWriteOther(ksFormatState& out, ksFormatType type, ksFormatValue value,
                        const ksFormatOptions& options);

// Writes bytes padded with spaces to the directive's width, on the left unless '-' is given.
void ksFormatPadded(ksFormatState& out, const char* bytes, int64_t length,
                    const ksFormatOptions& options);

// Writes the digits of value in base (2 to 36) ending just before end; returns where they start.
char* ksFormatDigits(char* end, uint64_t value, int base, const char* table);

// The digit tables: lower case, and upper case for X, E, F, G and A.
extern const char kFormatDigitsLower[];
extern const char kFormatDigitsUpper[];
