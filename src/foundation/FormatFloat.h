// Floating conversions of the formatter: e, f, g and a in their letter cases, in base 10,
// in a base from 2 to 36, and the hexadecimal exponent form.
#pragma once
#include "foundation/FormatDirective.h"
#include "foundation/FormatOutput.h"

// Writes one floating argument: padding, sign, digits and exponent.
void ksFormatFloatingValue(ksFormatState& out, double value, const ksFormatOptions& options);
