// Text to number conversions that report a status beside the value.
//
// Status: 0 success; -3 no number (null or empty text, no digit, bad base);
// -1 overflow; -2 (signed only) a negative value below INT32_MIN; n > 0 (whole-text
// forms) the number was read but the byte at offset n and those after it are not part of it.
#pragma once
#include <cstdint>

enum : int32_t {
    ksNumberOk = 0,
    ksNumberOverflow = -1,
    ksNumberUnderflow = -2,
    ksNumberMissing = -3,
};

bool ksIsSpace(int c);
bool ksIsHexDigit(int c);
bool ksIsAlnum(int c);

// Base 0 picks 16 for "0x" followed by a hex digit, 8 for a leading 0, else 10.
uint32_t ksParseUInt32(const char* text, const char** end, int base, int32_t* status);
int32_t ksParseInt32(const char* text, const char** end, int base, int32_t* status);
void ksParseUInt64(const char* text, const char** end, int base, int32_t* status,
                   uint64_t* value);

int32_t ksToUInt32(const char* text, uint32_t* value, int base);
int32_t ksToInt32(const char* text, int32_t* value, int base);
int32_t ksToInt32Dec(const char* text, int32_t* value);

// Unsigned 64-bit, hexadecimal after "0x", otherwise decimal (the form %p writes).
int32_t ksToPointerValue(const char* text, uint64_t* value);
