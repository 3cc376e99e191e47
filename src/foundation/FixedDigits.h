// Fixed-width digit writers for the line prefix, which every record of the file and
// daemon sinks carries: there the formatter's generality costs more than the record's
// own text. Each writes exactly what the printf directive named beside it would.
#pragma once
#include <cstdint>

// "%0<width>u": value in decimal, zero-padded to at least width digits (1 to 10).
// Writes no terminator; returns the end of what was written.
char* ksWritePaddedDecimal(char* at, uint32_t value, int width);

// "%08x": value in eight lowercase hexadecimal digits, then a terminator.
void ksWriteHex8(char* at, uint32_t value);
