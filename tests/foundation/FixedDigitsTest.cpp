// The prefix's digit writers give exactly what their printf directives give.
#include <gtest/gtest.h>
#include <cstdint>
#include <cstdio>
#include <string>
#include "foundation/FixedDigits.h"

TEST(FixedDigits, PaddedDecimalIsZeroPaddedUnsigned) {
    struct Case {
        uint32_t value;
        int width;
    };
    const Case cases[] = {{0, 1},   {0, 2},        {7, 2},          {59, 2},       {100, 2},
                          {5, 3},   {999, 3},      {2026, 4},       {12345, 4},    {7000, 10},
                          {65535, 10}, {UINT32_MAX, 10}, {UINT32_MAX, 1}, {42, 0}};
    for (const Case& c : cases) {
        char expected[32];
        std::snprintf(expected, sizeof expected, "%0*u", c.width, c.value);
        char written[16] = {};
        char* end = ksWritePaddedDecimal(written, c.value, c.width);
        EXPECT_EQ(std::string(written, end), expected) << c.value << " width " << c.width;
    }
}

TEST(FixedDigits, Hex8IsEightLowercaseDigitsAndATerminator) {
    const uint32_t values[] = {0, 0x1a2c, 0xabcdef, 0x80000000u, UINT32_MAX};
    for (uint32_t value : values) {
        char expected[16];
        std::snprintf(expected, sizeof expected, "%08x", value);
        char written[10];
        ksWriteHex8(written, value);
        EXPECT_STREQ(written, expected);
    }
}
