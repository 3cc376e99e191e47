// The whole-format parse: grammar errors with their positions, argument numbering, the
// 64-slot limit, the buffer rules for sizes 0 and 1 and for truncation, and a lone directive.
#include <climits>
#include <cmath>
#include <cstring>
#include <string>
#include "FormatTestSupport.h"

TEST(FormatParse, InvalidDirectivesFailWithTheirPosition) {
    EXPECT_EQ(format("%5%"), failed(2, 3));
    EXPECT_EQ(format("ab%y"), failed(2, 4));
    EXPECT_EQ(format("abc%"), failed(2, 4));
    EXPECT_EQ(format("%5"), failed(2, 2));
    EXPECT_EQ(format("%I64d", 1ll), failed(2, 2));
    EXPECT_EQ(format("%qd", 1ll), failed(2, 2));
    EXPECT_EQ(format("%'d", 1), failed(2, 2));
    for (const char* bad : {"%Zd", "%!d", "%&d", "%^d", "%Rd", "%S", "%C", "%b", "%B", "%ms"})
        EXPECT_EQ(format(bad, 1), failed(2, 2)) << bad;
    EXPECT_EQ(format("%1.2.3.4d", 1), failed(2, 7));
    EXPECT_EQ(format("%hhhd", 1), failed(2, 4));
    EXPECT_EQ(format("%llld", 1ll), failed(2, 4));
    EXPECT_EQ(format("%jld|%zld|%tld", 1ll, 1ll, 1ll), failed(2, 3));
}

TEST(FormatParse, NothingIsEmittedWhenTheFormatFails) {
    // The error lies after valid directives and text: the buffer holds only the terminator.
    EXPECT_EQ(format("text %d more %s and %y", 1, "x"), failed(2, 22));
    int count = 7;
    EXPECT_EQ(format("ab%n%y", &count), failed(2, 6));
    EXPECT_EQ(count, 7);
}

TEST(FormatParse, LengthLettersCountWhereverTheyStand) {
    EXPECT_EQ(format("%h5hd|%l-5ld|", 1, 2ll), ok("    1|2    |"));
    EXPECT_EQ(format("%l5lx", 0x123456789ll), ok("123456789"));
    EXPECT_EQ(format("%ljd", -1ll), ok("-1"));
}

TEST(FormatParse, SequentialNumbering) {
    EXPECT_EQ(format("%*.*f|%s", 8, 2, 3.14159, "x"), ok("    3.14|x"));
    EXPECT_EQ(format("%.*.*i", 3, 2, 5), ok("101"));
}

TEST(FormatParse, ExplicitNumbering) {
    EXPECT_EQ(format("%2$s%1$s", "a", "b"), ok("ba"));
    EXPECT_EQ(format("%2$s %s", "one", "two"), ok("two one"));
    EXPECT_EQ(format("%3$*1$.*2$f|", 7, 1, 2.25), ok("    2.3|"));
    EXPECT_EQ(format("%1$s", "a"), ok("a"));
}

TEST(FormatParse, NumberingErrors) {
    EXPECT_EQ(format("%2$s", "a", "b"), failed(5, 0));
    EXPECT_EQ(format("%1$d%1$d", 1), failed(4, 0));
    EXPECT_EQ(format("%1$d %d", 1, 2), failed(4, 0));
    EXPECT_EQ(format("%3$d%1$d", 1, 2, 3), failed(5, 1));
    EXPECT_EQ(format("%s%3$d", "a", 2, 3), failed(5, 1));
    EXPECT_EQ(format("%65$d", 1), failed(3, 4));
    EXPECT_EQ(format("ab%1$*65$d", 1), failed(3, 9));
    // 0 is not an argument number: the '0' is a flag and the '$' is invalid.
    EXPECT_EQ(format("%0$d", 1), failed(2, 3));
}

TEST(FormatParse, MixedNumberingFormsAreRejected) {
    EXPECT_EQ(format("%1$*d", 1, 2), failed(2, 4));
    EXPECT_EQ(format("%*1$d", 1, 2), failed(2, 4));
    EXPECT_EQ(format("%1$.*d", 1, 2), failed(2, 5));
}

TEST(FormatParse, SixtyFourArgumentsAtMost) {
    std::string sixtyFour, sixtyFive;
    for (int i = 0; i < 64; ++i)
        sixtyFour += "%c";
    sixtyFive = sixtyFour + "%c";
#define KS_TEN(x) x, x, x, x, x, x, x, x, x, x
    Formatted all = format(sixtyFour.c_str(), KS_TEN('a'), KS_TEN('a'), KS_TEN('a'), KS_TEN('a'),
                           KS_TEN('a'), KS_TEN('a'), 'a', 'a', 'a', 'a');
    EXPECT_EQ(all, ok(std::string(64, 'a')));
    // The 65th sequential argument: reported just past its '%'.
    EXPECT_EQ(format(sixtyFive.c_str(), KS_TEN('a'), KS_TEN('a'), KS_TEN('a'), KS_TEN('a'),
                     KS_TEN('a'), KS_TEN('a'), 'a', 'a', 'a', 'a', 'a'),
              failed(3, 129));
    // A directive with a '*' that would need a 65th slot.
    EXPECT_EQ(format((sixtyFour + "%*d").c_str(), KS_TEN('a'), KS_TEN('a'), KS_TEN('a'),
                     KS_TEN('a'), KS_TEN('a'), KS_TEN('a'), 'a', 'a', 'a', 'a', 1, 2),
              failed(3, 129));
    std::string sixtyThree = sixtyFour.substr(2);
    EXPECT_EQ(format((sixtyThree + "%*d").c_str(), KS_TEN('a'), KS_TEN('a'), KS_TEN('a'),
                     KS_TEN('a'), KS_TEN('a'), KS_TEN('a'), 'a', 'a', 'a', 1, 2),
              failed(3, 128));
#undef KS_TEN
}

TEST(FormatParse, MoreThanSixtyFourSlotsAreRejectedWithoutOverrun) {
    // Every directive here names argument 1, so the slots run out before numbering is checked.
    std::string many;
    for (int i = 0; i < 40; ++i)
        many += "%1$*1$d";
    EXPECT_EQ(format(many.c_str(), 1).result, -(3 + 256 * (32 * 7 + 1)));
}

TEST(FormatParse, SizeZeroWritesNothingAndSizeOneOnlyTheTerminator) {
    EXPECT_EQ(formatSized(0, "%s", "hello"), (Formatted{5, ""}));
    EXPECT_EQ(formatSized(1, "%s", "hello"), (Formatted{5, ""}));
    EXPECT_EQ(ksFormatBuffer(nullptr, 0, "%d", 12345), 5);
    char one = 'x';
    EXPECT_EQ(ksFormatBuffer(&one, 1, "%d", 12345), 5);
    EXPECT_EQ(one, '\0');
}

TEST(FormatParse, TruncationKeepsThePrefixAndReportsTheFullLength) {
    EXPECT_EQ(formatSized(8, "%s\n", "0123456789"), (Formatted{11, "0123456"}));
    EXPECT_EQ(formatSized(11, "%s\n", "0123456789"), (Formatted{11, "0123456789"}));
    EXPECT_EQ(formatSized(12, "%s\n", "0123456789"), (Formatted{11, "0123456789\n"}));
    // Truncation is by bytes and may cut a sequence.
    EXPECT_EQ(formatSized(3, "a%s", "\xC3\xA9"), (Formatted{3, "a\xC3"}));
    EXPECT_EQ(formatSized(5, "%10d|%.3f", 1, 2.0), (Formatted{16, "    "}));
}

TEST(FormatParse, FailedCallsLeaveAnEmptyTerminatedBuffer) {
    EXPECT_EQ(formatSized(8, "%y"), failed(2, 2));
    EXPECT_EQ(formatSized(1, "%y"), failed(2, 2));
    EXPECT_EQ(formatSized(0, "%y"), (Formatted{-514, ""}));
}

TEST(FormatParse, NullFormatGivesEmptyText) {
    char buffer[4] = "xyz";
    EXPECT_EQ(ksFormatBuffer(buffer, sizeof buffer, nullptr), 0);
    EXPECT_EQ(buffer[0], '\0');
}

TEST(FormatParse, OutputLongerThanAResultCanHoldFails) {
    EXPECT_EQ(formatSized(16, "ab%*d", 2147483647, 1), failed(3, 3));
    EXPECT_EQ(formatSized(16, "ab%*d%*d", 2000000000, 1, 2000000000, 2), failed(3, 6));
    EXPECT_EQ(formatSized(0, "%2147483647d", 1).result, 2147483647);
    EXPECT_EQ(formatSized(0, "%*d", -2147483647 - 1, 1).result, -(3 + 256 * 1));
}

TEST(FormatParse, NoResultIsMinusOne) {
    for (const char* bad : {"%", "%y", "%1$d%1$d", "%2$d", "%65$d", "%..99i"})
        EXPECT_NE(format(bad, 1, 2).result, -1) << bad;
}

namespace {

// A format of one directive takes a shorter way than the plan of a whole format: it must write
// what the same directive writes among text.
template <class Value> void expectSameAloneAndAmongText(const char* directive, Value value) {
    const Formatted alone = format(directive, value);
    const Formatted amongText = format((std::string(directive) + "|").c_str(), value);
    if (alone.result < 0)
        EXPECT_EQ(alone, amongText) << directive;
    else
        EXPECT_EQ((Formatted{alone.result + 1, alone.text + "|"}), amongText) << directive;
}

} // namespace

TEST(FormatParse, ALoneDirectiveWritesWhatItWritesAmongText) {
    for (const char* directive : {"%d", "%5d", "%-5d", "%05d", "%+d", "% d", "%hhd", "%i", "%u",
                                  "%x", "%08X", "%#o", "%-#6x", "%c", "%3c", "%.3d", "%8.0x"})
        for (int value : {0, 7, -42, 123456, INT_MIN, 0xE9})
            if ((value & INT_MAX) != 0 || directive[std::strlen(directive) - 1] != 'c') // no zero
                expectSameAloneAndAmongText(directive, value);
    for (const char* directive : {"%lld", "%20lld", "%jx", "%zu", "%-25llo", "%ti"})
        for (long long value : {0LL, -1LL, LLONG_MIN, 1234567890123LL})
            expectSameAloneAndAmongText(directive, value);
    for (const char* directive : {"%s", "%10s", "%-10s", "%hs", "%.3s", "%8.2s", "%.0s", "%.30s"})
        for (const char* value : {"", "ann", "h\xC3\xA9llo", "bad\xFF", "a long text of some bytes",
                                  static_cast<const char*>(nullptr)})
            expectSameAloneAndAmongText(directive, value);
    for (const char* directive : {"%e", "%f", "%g", "%G", "%12a", "%-12E", "%012f", "%Lf", "%.3e",
                                  "%10.2f", "%.17g", "%.0f"})
        for (double value : {0.0, -1.5, 1e300, 3.14159, -HUGE_VAL})
            expectSameAloneAndAmongText(directive, value);
}
