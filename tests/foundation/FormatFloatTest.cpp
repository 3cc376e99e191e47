// Floating conversions: f, e, g, a in both cases, rounding, words, base items, zero fill.
#include <cfloat>
#include <cmath>
#include "FormatTestSupport.h"

TEST(FormatFloat, FixedForm) {
    EXPECT_EQ(format("%f|%.2f|%.0f|%#.0f|%10.3f|%-10.3f|%010.3f|%+.1f|% .1f", 3.14159, 3.14159, 3.7,
                     3.0, -2.5, 2.5, -2.5, 1.0, 1.0),
              ok("3.141590|3.14|4|3.|    -2.500|2.500     |-00002.500|+1.0| 1.0"));
    EXPECT_EQ(format("%f|%f|%.3f|%F", -0.0, 1e22, 1e-20, 12.5),
              ok("-0.000000|10000000000000000000000.000000|0.000|12.500000"));
    // Rounding looks at the binary value: 0.995 is a little below, 0.05 a little above.
    EXPECT_EQ(format("%.1f|%.2f|%.3f", 0.05, 0.995, 123.4567), ok("0.1|0.99|123.457"));
}

TEST(FormatFloat, ExponentForm) {
    EXPECT_EQ(format("%e|%E|%.3e|%.0e|%#.0e|%e|%e", 0.0, 1e-300, 1234.5678, 9.5, 9.5, 1e300, 5e-5),
              ok("0.000000e+00|1.000000E-300|1.235e+03|1e+01|1.e+01|1.000000e+300|5.000000e-05"));
    EXPECT_EQ(format("%12.2e|%-12.2e|%012.2e|%+e", 12345.0, -0.000123, -1.5, 1.0),
              ok("    1.23e+04|-1.23e-04   |-0001.50e+00|+1.000000e+00"));
}

TEST(FormatFloat, GeneralForm) {
    EXPECT_EQ(format("%g|%g|%g|%g|%g|%g", 0.0, 0.0001234, 1234567.0, 100000.0, 1e-5, 0.0001),
              ok("0|0.0001234|1.23457e+06|100000|1e-05|0.0001"));
    EXPECT_EQ(format("%#g|%#g|%.0g|%.1g|%G|%g", 1.0, 0.0, 25.0, 0.95, 1e-10, 123456.0),
              ok("1.00000|0.00000|3e+01|0.9|1E-10|123456"));
    EXPECT_EQ(format("%.3g|%.3g|%.10g|%.2g", 999.5, 99.95, 0.1, 123.0),
              ok("1e+03|100|0.1|1.2e+02"));
    EXPECT_EQ(format("%10.3g|%-10.3g|%010.3g", 3.14159, 3.14159, -3.14159),
              ok("      3.14|3.14      |-000003.14"));
}

TEST(FormatFloat, RoundingIsHalfUpOnTheMagnitude) {
    EXPECT_EQ(format("%.0f %.0f %.0f %.1f %.0f %.0f", 0.5, 2.5, 1.5, 0.25, -0.5, -2.5),
              ok("1 3 2 0.3 -1 -3"));
    // Exactly half-way goes up; 0.15 is a little below half-way, 0.45 a little above.
    EXPECT_EQ(format("%.1e|%.0e|%.2f|%.1f|%.1f", 2.25, 2.5, 0.125, 0.15, 0.45),
              ok("2.3e+00|3e+00|0.13|0.1|0.5"));
    // Carries grow the number of integer digits or the exponent.
    EXPECT_EQ(format("%.1f|%.0f|%.2e|%.1e|%.3g", 9.96, 99.5, 9.999, 9.96, 9999.9),
              ok("10.0|100|1.00e+01|1.0e+01|1e+04"));
}

TEST(FormatFloat, DigitsAreTheBinaryValuesOwn) {
    EXPECT_EQ(format("%.20f|%.17f|%.17g|%.17g", 0.1, 0.3, 0.1, 0.1 + 0.2),
              ok("0.10000000000000000555|0.29999999999999999|0.10000000000000001|"
                 "0.30000000000000004"));
    EXPECT_EQ(format("%.16e|%.17g|%.25f", 1.0 / 3.0, 2.0 / 3.0, 1.0 / 3.0),
              ok("3.3333333333333331e-01|0.66666666666666663|0.3333333333333333148296163"));
    EXPECT_EQ(format("%.0f|%.0f|%f", 9007199254740993.0, 18446744073709551616.0, 1e23),
              ok("9007199254740992|18446744073709551616|99999999999999991611392.000000"));
    EXPECT_EQ(format("%.0f", DBL_MAX).text.size(), 309u);
    EXPECT_EQ(format("%.3e|%.3e|%e|%.20e", DBL_MAX, DBL_MIN, 4.9406564584124654e-324, 1e300),
              ok("1.798e+308|2.225e-308|4.940656e-324|1.00000000000000005250e+300"));
}

TEST(FormatFloat, ExactValuesStayExactWhereRoundingWouldTie) {
    // Half a unit equals half the spacing of doubles here; the value must not move.
    EXPECT_EQ(format("%.0f|%.0f", 4503599627370497.0, 4503599627370499.0),
              ok("4503599627370497|4503599627370499"));
    EXPECT_EQ(format("%.13a", 1.0000000000000002), ok("0x1.0000000000001p+0"));
}

TEST(FormatFloat, RoundingBeyondTheLargestDouble) {
    EXPECT_EQ(format("%.0e|%.1e|%.0g", DBL_MAX, DBL_MAX, DBL_MAX), ok("2e+308|1.8e+308|2e+308"));
}

TEST(FormatFloat, InfinityAndNanAreWords) {
    EXPECT_EQ(format("%f|%f|%f|%F|%E|%G|%A", INFINITY, -INFINITY, NAN, INFINITY, -INFINITY, NAN,
                     INFINITY),
              ok("inf|-inf|nan|INF|-INF|NAN|INF"));
    EXPECT_EQ(format("[%5.1f][%+f][% f][%06f][%-6f][%.2f][%.2e]", NAN, INFINITY, INFINITY, INFINITY,
                     -INFINITY, INFINITY, -INFINITY),
              ok("[    n][inf][inf][   inf][-inf  ][in][-i]"));
    EXPECT_EQ(format("%f|%g", -NAN, std::copysign(NAN, -1.0)), ok("nan|nan"));
}

TEST(FormatFloat, HexadecimalForm) {
    EXPECT_EQ(format("%a|%a|%A|%a|%a|%a", 255.0, 1.0, 255.0, 0.0, -0.5, 0.1),
              ok("0xf.fp+4|0x1p+0|0XF.FP+4|0x0p+0|-0x8p-4|0x1.999999999999ap-4"));
    EXPECT_EQ(format("%.3a|%.0a|%#.0a|%.1a|%.0a", 1.0, 1.0, 1.0, 255.0, 31.0),
              ok("0x1.000p+0|0x1p+0|0x1.p+0|0xf.fp+4|0x2p+4"));
    EXPECT_EQ(format("%12a|%-12a|%012a|%+a", 1.0, 1.0, 1.0, 1.0),
              ok("      0x1p+0|0x1p+0      |0x0000001p+0|+0x1p+0"));
    EXPECT_EQ(format("%a|%a", 4.9406564584124654e-324, DBL_MAX),
              ok("0x4p-1076|0xf.ffffffffffff8p+1020"));
}

TEST(FormatFloat, BaseItem) {
    EXPECT_EQ(format("%..2f|%..2e|%..3f|%..2g|%..8f", 5.5, 5.0, 0.5, 0.75, 8.125),
              ok("101.100000|1.010000e+10|0.111112|0.11|10.100000"));
    EXPECT_EQ(format("%..36f|%..36E|%..2e", 35.5, 36.0, 0.25),
              ok("z.i00000|1.000000E+1|1.000000e-10"));
    // Base 16 always takes the hexadecimal exponent form.
    EXPECT_EQ(format("%..16f|%..16E", 255.0, 255.0), ok("0xf.fp+4|0XF.FP+4"));
    EXPECT_EQ(format("%..*f", 2, 3.0), ok("11.000000"));
}

TEST(FormatFloat, IntmaxLengthDropsTrailingZeros) {
    EXPECT_EQ(format("%jf|%jf|%#jf|%.3je|%ja", 1.5, 2.0, 2.0, 1.0, 1.0),
              ok("1.5|2|2.000000|1e+00|0x1p+0"));
}

// With '#' the 'j' length keeps trailing zeros, as g does with '#': also the hexadecimal forms
// (a, A and base 16) when their precision is given. Without a precision they have no zeros to
// keep, and '#' then only keeps the point.
TEST(FormatFloat, IntmaxLengthWithAlternativeKeepsTrailingZeros) {
    struct Case {
        const char* format;
        double value;
        const char* expected;
    };
    const Case cases[] = {
        {"%#.3jg", 1.0, "1.00"},           {"%.3jg", 1.0, "1"},
        {"%#.3je", 1.0, "1.000e+00"},      {"%.3je", 1.0, "1e+00"},
        {"%#.3ja", 1.0, "0x1.000p+0"},     {"%.3ja", 1.0, "0x1p+0"},
        {"%#.3jA", 2.5, "0X2.800P+0"},     {"%.3jA", 2.5, "0X2.8P+0"},
        {"%#.2j.16f", 255.0, "0xf.f0p+4"}, {"%.2j.16f", 255.0, "0xf.fp+4"},
        {"%#ja", 1.0, "0x1.p+0"},          {"%#ja", 255.0, "0xf.fp+4"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(format(c.format, c.value), ok(c.expected)) << c.format;
}

TEST(FormatFloat, LengthsReadADouble) {
    EXPECT_EQ(format("%Lf|%hf|%lf|%llf", 1.5, 2.5, 3.5, 4.5),
              ok("1.500000|2.500000|3.500000|4.500000"));
}

TEST(FormatFloat, HugePrecisionIsFilledWithZeros) {
    Formatted wide = format("%.1000f", 0.5);
    EXPECT_EQ(wide.result, 1002);
    EXPECT_EQ(wide.text, "0.5" + std::string(999, '0'));
    EXPECT_EQ(format("%.500g", 0.5), ok("0.5"));
    Formatted fixed = format("%.1100f", 4.9406564584124654e-324);
    EXPECT_EQ(fixed.result, 1102);
    EXPECT_EQ(fixed.text.substr(320, 10), "0000049406");
}

TEST(FormatFloat, FixedBodiesAroundTheInPlaceLimit) {
    // Bodies of 48 characters are built in place, longer ones are written piece by piece.
    EXPECT_EQ(format("%.46f|%.47f", 0.1, 0.1),
              ok("0.1000000000000000055511151231257827021181583405|"
                 "0.10000000000000000555111512312578270211815834045"));
    EXPECT_EQ(format("%.45f|%.46f", -12.345, -12.345),
              ok("-12.345000000000000639488462184090167284011840820|"
                 "-12.3450000000000006394884621840901672840118408203"));
    EXPECT_EQ(format("%052.45f|%-51.46f|", -12.345, 1.5),
              ok("-00012.345000000000000639488462184090167284011840820|"
                 "1.5000000000000000000000000000000000000000000000   |"));
}
