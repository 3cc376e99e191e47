// Digits are filled from the end of a small buffer, then copied out.
#include "foundation/FixedDigits.h"
#include <cstring>

char* ksWritePaddedDecimal(char* at, uint32_t value, int width) {
    char digits[10];
    int count = 0;
    do {
        digits[sizeof digits - 1 - count++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0);
    for (; count < width && count < static_cast<int>(sizeof digits); ++count)
        digits[sizeof digits - 1 - count] = '0';
    std::memcpy(at, digits + sizeof digits - count, static_cast<size_t>(count));
    return at + count;
}

void ksWriteHex8(char* at, uint32_t value) {
    for (int i = 7; i >= 0; --i, value >>= 4)
        at[i] = "0123456789abcdef"[value & 15];
    at[8] = 0;
}
