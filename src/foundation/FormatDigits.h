// The digits of a 64-bit value, shared by the integer and the floating conversions.
#pragma once
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>

// 10^0 to 10^19.
inline constexpr auto kPowersOfTen64 = [] {
    std::array<uint64_t, 20> values{1};
    for (size_t i = 1; i < values.size(); ++i)
        values[i] = values[i - 1] * 10;
    return values;
}();

// Writes value's decimal digits just before end, two at a time from the last; returns their start.
inline char* ksWriteDecimal(char* end, uint64_t value) {
    static constexpr char kPairs[] =
        "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
        "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
        "8081828384858687888990919293949596979899";
    for (; value > UINT32_MAX; value /= 100)
        std::memcpy(end -= 2, kPairs + (value % 100) * 2, 2);
    auto small = static_cast<uint32_t>(value); // 32-bit divisions cost less
    for (; small >= 100; small /= 100)
        std::memcpy(end -= 2, kPairs + (small % 100) * 2, 2);
    if ((value = small) >= 10)
        std::memcpy(end -= 2, kPairs + value * 2, 2);
    else
        *--end = static_cast<char>('0' + value);
    return end;
}

// Writes the digits of value in base (2 to 36) ending just before end; returns where they start.
inline char* ksFormatDigits(char* end, uint64_t value, int base, const char* table) {
    if (base == 10)
        return ksWriteDecimal(end, value);
    char* p = end;
    if ((base & (base - 1)) == 0) {
        const int shift = std::countr_zero(static_cast<unsigned>(base));
        do
            *--p = table[value & static_cast<uint64_t>(base - 1)];
        while (value >>= shift);
        return p;
    }
    do
        *--p = table[value % static_cast<uint64_t>(base)];
    while (value /= static_cast<uint64_t>(base));
    return p;
}
