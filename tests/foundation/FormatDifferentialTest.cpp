// The formatter against the C library's snprintf over many generated directives, in the
// subset where both must agree: integers and text with the flags whose meaning is shared, and
// floats away from rounding ties (where half-up and half-even part), to up to 29 significant
// digits: both print the binary value's own digits.
//
// On Windows the C++ runtime's snprintf is mingw-w64's own standard-conforming one (C++ builds
// define __USE_MINGW_ANSI_STDIO), not the system's older formatter.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <random>
#include <string>
#include "FormatTestSupport.h"

namespace {

// "%" followed by flags, built by appending: GCC 12 reports a false -Wrestrict at -O3 for
// a literal + std::string temporary (the inlined insert at position 0).
std::string directiveWith(const std::string& flags) {
    std::string directive = "%";
    return directive += flags;
}

class DirectiveGenerator {
  public:
    explicit DirectiveGenerator(uint64_t seed) : random_(seed) {}

    int below(int limit) { return static_cast<int>(random_() % static_cast<uint64_t>(limit)); }
    bool chance(int percent) { return below(100) < percent; }
    uint64_t bits() { return random_(); }

    // Flags drawn from the given set, each at most once, in random order.
    std::string flags(const char* allowed) {
        std::string result;
        for (const char* c = allowed; *c; ++c)
            if (chance(30))
                result.insert(result.begin() + below(static_cast<int>(result.size()) + 1), *c);
        return result;
    }

    std::string widthAndPrecision(int maxWidth, int maxPrecision) {
        std::string result;
        if (chance(60))
            result += std::to_string(1 + below(maxWidth));
        if (chance(60))
            result += "." + std::to_string(below(maxPrecision + 1));
        return result;
    }

  private:
    std::mt19937_64 random_;
};

template <class... Arguments>
void expectSameAsSnprintf(const std::string& format, Arguments... arguments) {
    char expected[512];
    int expectedResult = std::snprintf(expected, sizeof expected, format.c_str(), arguments...);
    Formatted actual = formatSized(512, format.c_str(), arguments...);
    ASSERT_EQ(actual, (Formatted{expectedResult, expected})) << "format: " << format;
}

// A 64-bit value with an interesting spread of magnitudes and edges.
int64_t someInteger(DirectiveGenerator& generator) {
    static const int64_t edges[] = {0, 1, -1, INT32_MAX, INT32_MIN, INT64_MAX, INT64_MIN, 255, 8};
    if (generator.chance(15))
        return edges[generator.below(sizeof edges / sizeof edges[0])];
    int shift = generator.below(64);
    return static_cast<int64_t>(generator.bits() >> shift);
}

} // namespace

TEST(FormatDifferential, IntegersAgreeWithTheCLibrary) {
    DirectiveGenerator generator(0x5EEDF00D);
    const char conversions[] = "diuoxX";
    for (int i = 0; i < 30000; ++i) {
        char conversion = conversions[generator.below(6)];
        bool isSigned = conversion == 'd' || conversion == 'i';
        // The space flag also marks unsigned values here, and 'h' does not narrow: leave them.
        std::string directive = directiveWith(generator.flags(isSigned ? "-+ #0" : "-+#0"));
        directive += generator.widthAndPrecision(30, 25);
        int64_t value = someInteger(generator);
        switch (generator.below(6)) {
        case 0:
            expectSameAsSnprintf("<" + directive + "ll" + conversion + ">",
                                 static_cast<long long>(value));
            break;
        case 1:
            expectSameAsSnprintf("<" + directive + "j" + conversion + ">",
                                 static_cast<intmax_t>(value));
            break;
        case 2:
            expectSameAsSnprintf("<" + directive + "z" + conversion + ">",
                                 static_cast<size_t>(value));
            break;
        case 3:
            expectSameAsSnprintf("<" + directive + "l" + conversion + ">",
                                 static_cast<long>(value));
            break;
        default:
            expectSameAsSnprintf("<" + directive + conversion + ">", static_cast<int>(value));
            break;
        }
        if (HasFatalFailure())
            return;
    }
}

TEST(FormatDifferential, IntegersFromStarArgumentsAgree) {
    DirectiveGenerator generator(42);
    for (int i = 0; i < 5000; ++i) {
        int width = generator.below(41) - 20;
        int precision = generator.below(31) - 10;
        std::string directive = directiveWith(generator.flags("-+ 0"));
        directive += "*.*d|";
        expectSameAsSnprintf(directive, width, precision, static_cast<int>(someInteger(generator)));
        if (HasFatalFailure())
            return;
    }
}

TEST(FormatDifferential, TextAgreesWithTheCLibrary) {
    DirectiveGenerator generator(7);
    const std::string alphabet = "abcdefghijklmnopqrstuvwxyz ABCXYZ0123456789!?-_%";
    for (int i = 0; i < 10000; ++i) {
        std::string text;
        for (int length = generator.below(40); length > 0; --length)
            text += alphabet[generator.below(static_cast<int>(alphabet.size()))];
        std::string directive = generator.flags("-") + generator.widthAndPrecision(50, 45);
        expectSameAsSnprintf("[%" + directive + "s]", text.c_str());
        expectSameAsSnprintf("[%" + generator.flags("-") + generator.widthAndPrecision(5, 0) + "c]",
                             static_cast<int>(alphabet[generator.below(40)]));
        std::string literal;
        for (char c : text)
            literal += c == '%' ? std::string("%%") : std::string(1, c);
        expectSameAsSnprintf("%%" + literal + "%%");
        if (HasFatalFailure())
            return;
    }
}

namespace {

// The digits of value's exact expansion (31 significant) and its decimal exponent.
std::string exactDigits(double value, int& exponent) {
    char text[64];
    std::snprintf(text, sizeof text, "%.30e", std::fabs(value));
    std::string digits;
    const char* p = text;
    for (; *p != 'e'; ++p)
        if (*p != '.')
            digits += *p;
    exponent = std::atoi(p + 1);
    return digits;
}

// Whether rounding to the given number of significant digits is far from a tie, so that
// half-up and half-even, and the double's own precision, cannot disagree.
bool farFromTie(const std::string& digits, int shown) {
    if (shown < 1 || shown > 29)
        return false;
    char next = digits[static_cast<size_t>(shown)];
    char after = digits[static_cast<size_t>(shown) + 1];
    return !((next == '4' && after == '9') || (next == '5' && after == '0'));
}

double someDouble(DirectiveGenerator& generator) {
    double mantissa = static_cast<double>(generator.bits() >> 11) / 9007199254740992.0;
    double value = mantissa * std::pow(10.0, generator.below(26) - 10);
    return generator.chance(30) ? -value : value;
}

// Significant digits a directive shows, given the value's exponent (before rounding).
int shownDigits(char conversion, int precision, int exponent) {
    switch (conversion) {
    case 'e':
    case 'E':
        return precision + 1;
    case 'g':
    case 'G':
        return precision == 0 ? 1 : precision;
    default:
        return exponent + 1 + precision;
    }
}

} // namespace

TEST(FormatDifferential, FloatsAwayFromTiesAgreeWithTheCLibrary) {
    DirectiveGenerator generator(2718);
    const char conversions[] = "feEgGF";
    int compared = 0;
    for (int i = 0; i < 40000; ++i) {
        double value = someDouble(generator);
        char conversion = conversions[generator.below(6)];
        int precision = generator.below(29);
        bool givenPrecision = generator.chance(80);
        if (!givenPrecision)
            precision = 6;
        int exponent = 0;
        std::string digits = exactDigits(value, exponent);
        if (value == 0.0 || !farFromTie(digits, shownDigits(conversion, precision, exponent)))
            continue;
        std::string directive = directiveWith(generator.flags("-+ #0"));
        if (generator.chance(50))
            directive += std::to_string(1 + generator.below(30));
        if (givenPrecision) {
            directive += '.';
            directive += std::to_string(precision);
        }
        char shown[40];
        std::snprintf(shown, sizeof shown, "%.17g", value);
        SCOPED_TRACE(shown);
        expectSameAsSnprintf("<" + directive + conversion + ">", value);
        ++compared;
        if (HasFatalFailure())
            return;
    }
    EXPECT_GT(compared, 10000);
}

TEST(FormatDifferential, ExactBinaryFractionsAgreeAtAnyPrecision) {
    // Values with a short exact expansion print the same digits at every precision.
    DirectiveGenerator generator(99);
    for (int i = 0; i < 5000; ++i) {
        double value =
            std::ldexp(static_cast<double>(generator.below(1 << 20)), -generator.below(9));
        std::string directive = "%." + std::to_string(20 + generator.below(20)) + "f";
        expectSameAsSnprintf(directive, value);
        expectSameAsSnprintf("%.40e", value);
        if (HasFatalFailure())
            return;
    }
}
