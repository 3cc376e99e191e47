// Integer conversions: d, i, u, o, x, X with flags, width, precision, lengths and base items.
#include <algorithm>
#include <cstdint>
#include <cctype>
#include <climits>
#include "FormatTestSupport.h"

TEST(FormatInteger, DecimalWithFlagsWidthAndPrecision) {
    EXPECT_EQ(format("%d|%5d|%-5d|%05d|%+d|% d", 42, 42, 42, 42, 42, 42),
              ok("42|   42|42   |00042|+42| 42"));
    EXPECT_EQ(format("%d|%05d|%+.3d|%8.3d|%-8.3d|", -7, -7, 7, -7, 7),
              ok("-7|-0007|+007|    -007|007     |"));
    EXPECT_EQ(format("%d %i", INT_MIN, INT_MAX), ok("-2147483648 2147483647"));
    EXPECT_EQ(format("%+ d|% +d", 1, 1), ok("+1|+1"));
}

TEST(FormatInteger, ZeroFlagGivesWayToPrecisionAndMinus) {
    EXPECT_EQ(format("%08.3d|%-08d|%0-8d|", 5, 5, 5), ok("     005|5       |5       |"));
}

TEST(FormatInteger, PrecisionZeroWithValueZeroPrintsNoDigits) {
    EXPECT_EQ(format("[%.0d][%5.0d][%.0x][%#.0x][%#.0o]", 0, 0, 0, 0, 0), ok("[][     ][][][0]"));
}

TEST(FormatInteger, UnsignedOctalAndHexadecimal) {
    EXPECT_EQ(format("%u|%o|%x|%X|%#o|%#x|%#X", 3000000000u, 8, 255, 255, 8, 255, 255),
              ok("3000000000|10|ff|FF|010|0xff|0XFF"));
    EXPECT_EQ(format("%#x|%#o|%#.3o|%#08x|%#08o", 0, 0, 8, 255, 8),
              ok("0|0|010|0x0000ff|00000010"));
}

TEST(FormatInteger, SpaceFlagAppliesToUnsignedAndPlusDoesNot) {
    EXPECT_EQ(format("% x|%+x|% u|%+u|% o", 255, 255, 5, 5, 8), ok(" ff|ff| 5|5| 10"));
}

TEST(FormatInteger, LengthsReadTheirWidth) {
    EXPECT_EQ(format("%lld|%llu|%jd|%zu|%td", INT64_MIN, UINT64_MAX, INT64_MAX, SIZE_MAX,
                     static_cast<ptrdiff_t>(-3)),
              ok("-9223372036854775808|18446744073709551615|9223372036854775807|"
                 "18446744073709551615|-3"));
    EXPECT_EQ(format("%llx|%#llX", 0x123456789abcdefull, 0xFEDCBA9876543210ull),
              ok("123456789abcdef|0XFEDCBA9876543210"));
    // Without a 64-bit length only the low 32 bits count.
    EXPECT_EQ(format("%x|%d", -1, 3000000000u), ok("ffffffff|-1294967296"));
}

TEST(FormatInteger, ShortLengthsDoNotNarrow) {
    EXPECT_EQ(format("%hd|%hu|%hhd|%hhu", 70000, static_cast<short>(-1), 300,
                     static_cast<signed char>(-1)),
              ok("70000|4294967295|300|4294967295"));
}

TEST(FormatInteger, LongFollowsThePlatformLong) {
    const long big = sizeof(long) == 8 ? static_cast<long>(INT64_MIN) : LONG_MIN;
    const std::string expected = sizeof(long) == 8 ? "-9223372036854775808" : "-2147483648";
    EXPECT_EQ(format("%ld", big), ok(expected));
    EXPECT_EQ(format("%lu", static_cast<unsigned long>(-1)),
              ok(sizeof(long) == 8 ? "18446744073709551615" : "4294967295"));
    EXPECT_EQ(format("%lld|%ld", 1ll, 2l), ok("1|2"));
}

TEST(FormatInteger, BaseItem) {
    EXPECT_EQ(format("%..2i|%..2d|%#..2u|%..36u|%..16i|%#..16i", 5, 5, 5, 35, 255, 255),
              ok("101|5|0b101|z|ff|0xff"));
    EXPECT_EQ(format("%..3i|%.4.2i|%..8i|%#..8u", -5, 1, 8, 8), ok("-12|0001|10|010"));
    EXPECT_EQ(format("%..*i", 2, 6), ok("110"));
    EXPECT_EQ(format("%..2lli", -1ll), ok("-1"));
    EXPECT_EQ(format("%..2llu", UINT64_MAX), ok(std::string(64, '1')));
    // The base item is ignored where the conversion fixes its base.
    EXPECT_EQ(format("%..2x|%..2o", 5, 8), ok("5|10"));
}

TEST(FormatInteger, BaseOutsideTheDigitTablesIsRejected) {
    EXPECT_EQ(format("%..37i", 5), failed(2, 3));
    EXPECT_EQ(format("ab%..1i", 5), failed(2, 5));
    EXPECT_EQ(format("%..i", 5), failed(2, 3));
    EXPECT_EQ(format("x%..*i", 37, 5), failed(3, 5));
    EXPECT_EQ(format("%..*i", 1, 5), failed(3, 4));
    EXPECT_EQ(format("%..*i", -10, 5), failed(3, 4));
    // Where the base is not used, an argument base is not checked either.
    EXPECT_EQ(format("%..*d", 99, 5), ok("5"));
}

TEST(FormatInteger, WidthAndPrecisionFromArguments) {
    EXPECT_EQ(format("%*d|%-*d|%.*d|%*d|%.*d", 4, 1, 4, 2, 3, 3, -4, 4, -1, 5),
              ok("   1|2   |003|4   |5"));
    EXPECT_EQ(format("%0*d|%0*d", 4, 1, -4, 2), ok("0001|2   "));
    EXPECT_EQ(format("%0.*d", -1, 7), ok("7"));
    EXPECT_EQ(format("%0*.*d", 5, -1, 7), ok("00007"));
}

TEST(FormatInteger, LargeWidthsArePaddedCompletely) {
    Formatted wide = format("%1000d|", 1);
    EXPECT_EQ(wide.result, 1001);
    EXPECT_EQ(wide.text, std::string(999, ' ') + "1|");
    EXPECT_EQ(format("%.100d", 1).text, std::string(99, '0') + "1");
}

// Every decimal length from 1 to 20 digits and its neighbours, signed and not, whole and cut
// short at every buffer size (a lone %lld takes a route of its own).
TEST(FormatInteger, EveryDecimalLengthAndItsNeighbours) {
    uint64_t power = 1;
    for (int digits = 1; digits <= 20; ++digits, power *= 10) {
        const uint64_t steps = digits < 20 ? 9 : 1;
        for (uint64_t value : {power - 1, power, power + 1, power * steps - 1, power * steps}) {
            const std::string text = std::to_string(value);
            EXPECT_EQ(format("%llu", value), ok(text));
            const std::string negative = "-" + std::to_string(value & INT64_MAX);
            EXPECT_EQ(format("%lld", -static_cast<long long>(value & INT64_MAX)),
                      ok(value & INT64_MAX ? negative : "0"));
            if (value <= UINT32_MAX) {
                EXPECT_EQ(format("%u|%d", static_cast<unsigned>(value), static_cast<int>(value)),
                          ok(text + "|" + std::to_string(static_cast<int>(value))));
            }
            const auto asLongLong = static_cast<long long>(value & INT64_MAX);
            const std::string signedText = std::to_string(-asLongLong);
            for (size_t size = 0; size <= signedText.size(); ++size) {
                const auto cut = [&](const std::string& whole) {
                    return Formatted{static_cast<int>(whole.size()),
                                     whole.substr(0, std::min(whole.size(), size ? size - 1 : 0))};
                };
                EXPECT_EQ(formatSized(size, "%llu", value), cut(text));
                EXPECT_EQ(formatSized(size, "%lld", -asLongLong), cut(signedText));
            }
        }
    }
}

// Zero-padded hexadecimal on both sides of the longest run written whole, 32 characters.
TEST(FormatInteger, ZeroPaddedHexadecimalAtEveryWidth) {
    const struct {
        uint64_t value;
        std::string lower;
    } cases[] = {{0, "0"},
                 {0xbeef, "beef"},
                 {0xfedcba98, "fedcba98"},
                 {0x123456789abcdefull, "123456789abcdef"},
                 {UINT64_MAX, std::string(16, 'f')}};
    for (const auto& c : cases) {
        for (int width = 0; width <= 34; ++width) {
            const size_t pad =
                static_cast<size_t>(width) > c.lower.size() ? width - c.lower.size() : 0;
            std::string upper = c.lower;
            for (char& letter : upper)
                letter = static_cast<char>(std::toupper(static_cast<unsigned char>(letter)));
            const std::string format64 = "%0" + std::to_string(width) + "llx|%0" +
                                         std::to_string(width) + "llX|%" + std::to_string(width) +
                                         "llx";
            EXPECT_EQ(format(format64.c_str(), c.value, c.value, c.value),
                      ok(std::string(pad, '0') + c.lower + "|" + std::string(pad, '0') + upper +
                         "|" + std::string(pad, ' ') + c.lower));
        }
    }
    EXPECT_EQ(format("%08x|%x", 0x1beefu, 0xfedcba98u), ok("0001beef|fedcba98"));
    EXPECT_EQ(formatSized(5, "%08x", 0xbeefu), (Formatted{8, "0000"}));
    for (size_t size = 0; size <= 9; ++size) // a lone %x takes a route of its own
        EXPECT_EQ(formatSized(size, "%x", 0xfedcba98u),
                  (Formatted{8, std::string("fedcba98").substr(0, size ? size - 1 : 0)}));
}

// Padded decimals on both sides of the widest padding built in place, and cut short.
TEST(FormatInteger, PaddedDecimalsAroundTheWidestInPlace) {
    for (int width : {63, 64, 65}) {
        const std::string w = std::to_string(width);
        const size_t pad = static_cast<size_t>(width) - 3;
        EXPECT_EQ(format(("%" + w + "d|%-" + w + "d|%0" + w + "d|%+0" + w + "d").c_str(), -42, -42,
                         -42, 42),
                  ok(std::string(pad, ' ') + "-42|-42" + std::string(pad, ' ') + "|-" +
                     std::string(pad, '0') + "42|+" + std::string(pad, '0') + "42"));
    }
    EXPECT_EQ(formatSized(4, "%6d", -42), (Formatted{6, "   "}));
    EXPECT_EQ(formatSized(4, "%-6d", -42), (Formatted{6, "-42"}));
    EXPECT_EQ(formatSized(7, "%06d", -42), (Formatted{6, "-00042"}));
}
