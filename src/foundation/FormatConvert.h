// The formatter's conversions: one directive's value written with its resolved options.
#pragma once
#include "foundation/FormatDigits.h"
#include "foundation/FormatDirective.h"
#include "foundation/FormatOutput.h"

// d, i, u, o, x and X.
void ksFormatWriteInteger(ksFormatState& out, int64_t value, const ksFormatOptions& options);
// The everyday %d, %u or %lld: the digits, after a '-' when negative.
inline void ksFormatWriteDecimal(ksFormatState& out, uint64_t magnitude, bool negative) {
    char text[24], *const digits = ksWriteDecimal(text + sizeof text, magnitude);
    digits[-1] = '-';
    out.write(digits - negative, static_cast<uint64_t>(text + sizeof text - digits + negative));
}
// e, f, g and a in their letter cases, in base 10, in a base item's base, and in base 16.
void ksFormatWriteFloating(ksFormatState& out, double value, const ksFormatOptions& options);
// s and ls: 0, or kFormatMalformedText when not well-formed; `copied` bytes may be stored already.
int ksFormatWriteString(ksFormatState& out, const void* text, const ksFormatOptions& options,
                        uint64_t copied = 0);
// Copies text into room past to while scanning it, up to a stop or limit: how many, perhaps none.
uint64_t ksFormatCopyText(char* to, uint64_t room, const char* text, uint64_t limit);
// c, p and n.
void ksFormatWriteOther(ksFormatState& out, ksFormatType type, ksFormatValue value,
                        const ksFormatOptions& options);

// The digit tables: lower case, and upper case for X, E, F, G and A.
extern const char kFormatDigitsLower[];
extern const char kFormatDigitsUpper[];
