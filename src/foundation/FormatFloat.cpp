// Floating conversions: the exact digits of the value, rounded half up, laid out in fixed,
// exponent or general form, or in the hexadecimal form.
#include <algorithm>
#include <climits>
#include <cmath>
#include "foundation/FloatDigits.h"
#include "foundation/FormatConvert.h"
#include "foundation/FormatDigits.h"

namespace {

constexpr int64_t kDefaultPrecision = 6, kHexDefaultPrecision = 24;

class FloatWriter {
  public:
    FloatWriter(ksFormatState& out, const ksFormatOptions& options)
        : out_(out), options_(options),
          table_((options.flags & ksFlagUpper) ? kFormatDigitsUpper : kFormatDigitsLower) {}

    void write(double value) {
        static const char* const kWords[2][3] = {{"nan", "-inf", "inf"}, {"NAN", "-INF", "INF"}};
        if (!std::isfinite(value)) { // a word, written like text: padded, cut by a precision
            const int word = std::isnan(value) ? 0 : value < 0 ? 1 : 2;
            ksFormatWriteString(out_, kWords[(options_.flags & ksFlagUpper) != 0][word], options_);
            return;
        }
        const uint32_t flags = options_.flags;
        const char sign = (flags & ksFlagPlus) ? '+' : (flags & ksFlagSpace) ? ' ' : 0;
        sign_ = std::signbit(value) ? '-' : sign;
        const double magnitude = std::fabs(value);
        const int base = (options_.flags & ksFlagBase) ? options_.base : 10;
        if (options_.conversion == 'a' || options_.conversion == 'A' || base == 16)
            writeHexadecimal(magnitude);
        else
            writeInBase(magnitude, base);
    }

  private:
    bool alternative() const { return (options_.flags & ksFlagAlternative) != 0; }

    void writeInBase(double magnitude, int base) {
        const bool general = (options_.flags & ksFlagGeneral) != 0;
        int64_t precision = options_.precision < 0 ? kDefaultPrecision : options_.precision;
        precision = std::max<int64_t>(precision, general ? 1 : 0); // 'g' keeps a digit
        bool exponentForm = (options_.flags & ksFlagExponent) != 0;
        if (exponentForm || general) {
            round(magnitude, base, general ? precision : precision + 1, INT_MIN);
        } else if (base == 10 && writeScaled(magnitude, precision)) {
            return;
        } else {
            const int lowest = static_cast<int>(std::min<int64_t>(precision, kFloatPositionLimit));
            round(magnitude, base, kFloatDigitsMax, -lowest);
        }
        if (general) {
            // The form follows the exponent after rounding.
            exponentForm = leading_ < -4 || leading_ >= precision;
            precision = exponentForm ? precision - 1 : precision - 1 - leading_;
        }
        // 'g' and 'j' drop the trailing zeros of the fraction, unless '#' keeps them: the
        // digits made end with the last that is not zero.
        int64_t fraction = precision;
        if ((options_.flags & (ksFlagGeneral | ksFlagIntmax)) && !alternative())
            fraction = std::min(fraction,
                                std::max<int64_t>(0, count_ - 1 - (exponentForm ? 0 : leading_)));
        if (exponentForm)
            writeMantissaAndPower(nullptr, 0, fraction, base);
        else
            writeFixedForm(fraction);
    }

    // A fixed form whose value times 10^precision fits 64 bits, written from that integer
    // without a digit string: a %.3f costs a fifth less.
    bool writeScaled(double magnitude, int64_t precision) {
        char text[24], *const end = text + sizeof text; // 20 digits or zeros in front, a point
        uint64_t scaled = 0;
        if (precision > 19 || !ksFloatScale(magnitude, static_cast<int>(precision), scaled))
            return false;
        char* digits = ksWriteDecimal(end, scaled);
        while (end - digits <= precision)
            *--digits = '0';
        const int64_t whole = end - digits - precision;
        int64_t fraction = precision; // 'j' drops its trailing zeros, unless '#' keeps them
        while ((options_.flags & ksFlagIntmax) && !alternative() && fraction > 0 &&
               digits[whole + fraction - 1] == '0')
            --fraction;
        const bool point = fraction > 0 || alternative();
        if (point) { // the whole digits one to the front, the point behind them: one write
            for (char* at = --digits; at < digits + whole; ++at)
                at[0] = at[1];
            digits[whole] = '.';
        }
        const int64_t length = whole + (point ? 1 : 0) + fraction;
        beginNumber(length, nullptr, 0);
        out_.write(digits, static_cast<uint64_t>(length));
        endNumber();
        return true;
    }

    // Rounds the magnitude; its digits are letters above 9 in the upper case when asked.
    void round(double magnitude, int base, int64_t maxDigits, int lowest) {
        const int digits = static_cast<int>(std::min<int64_t>(maxDigits, kFloatDigitsMax));
        ksFloatRound(magnitude, base, digits, lowest, number_);
        count_ = number_.count, leading_ = number_.exponent;
        for (int i = 0; base > 10 && (options_.flags & ksFlagUpper) && i < number_.count; ++i)
            number_.digits[i] -= number_.digits[i] > '9' ? 'a' - 'A' : 0;
    }

    // The digit characters at the powers from high down to low, zeros where none was made
    // (above the leading digit, or past the last one made).
    void writeDigits(int64_t high, int64_t low) {
        const int64_t first = leading_ - high, last = leading_ - low; // digit indexes
        if (first < 0)
            out_.fill('0', std::min(-first, last - first + 1));
        const int64_t from = std::max<int64_t>(first, 0), to = std::min<int64_t>(last + 1, count_);
        if (to > from)
            out_.write(number_.digits + from, static_cast<uint64_t>(to - from));
        out_.fill('0', last + 1 - std::max(first, to));
    }

    void writeFixedForm(int64_t fraction) {
        const int64_t integerLength = leading_ >= 0 ? leading_ + 1 : 1;
        const bool point = fraction > 0 || alternative();
        beginNumber(integerLength + (point ? 1 : 0) + fraction, nullptr, 0);
        writeDigits(integerLength - 1, 0);
        if (point)
            out_.put('.');
        writeDigits(-1, -fraction);
        endNumber();
    }

    // One leading digit, the point and fraction digits, then the letter, the sign and the
    // power's digits: two or more in base 10, as many as it takes in others, a power of two in
    // decimal for the hexadecimal form (a prefix given). Inline: out of line %e cost 50 more.
    [[gnu::always_inline]] void writeMantissaAndPower(const char* prefix, int prefixLength,
                                                      int64_t fraction, int base) {
        const bool hexadecimal = prefixLength != 0;
        const bool upper = (options_.flags & ksFlagUpper) != 0;
        int64_t power = hexadecimal ? leading_ * 4 : leading_;
        const int powerBase = hexadecimal ? 10 : base;
        char text[72]; // the letter, the sign and the power's digits, at most 64 in base 2
        char* end = text + sizeof text;
        char* at = ksFormatDigits(end, static_cast<uint64_t>(power < 0 ? -power : power), powerBase,
                                  table_);
        if (base == 10 && !hexadecimal && end - at < 2)
            *--at = '0';
        *--at = power < 0 ? '-' : '+';
        *--at = hexadecimal ? (upper ? 'P' : 'p') : (upper ? 'E' : 'e');
        const bool point = fraction > 0 || alternative();
        beginNumber(1 + (point ? 1 : 0) + fraction + (end - at), prefix, prefixLength);
        writeDigits(leading_, leading_);
        if (point)
            out_.put('.');
        writeDigits(leading_ - 1, leading_ - fraction);
        out_.write(at, static_cast<uint64_t>(end - at));
        endNumber();
    }

    void writeHexadecimal(double magnitude) {
        const bool explicitPrecision = options_.precision >= 0;
        const int64_t precision = explicitPrecision ? options_.precision : kHexDefaultPrecision;
        round(magnitude, 16, precision + 1, INT_MIN);
        int64_t fraction = precision;
        // Without a precision, and with 'j' unless '#' is given, trailing zeros are dropped.
        if (!explicitPrecision || ((options_.flags & ksFlagIntmax) && !alternative()))
            fraction = std::min(fraction, std::max<int64_t>(count_ - 1, 0));
        const char prefix[2] = {'0', (options_.flags & ksFlagUpper) ? 'X' : 'x'};
        writeMantissaAndPower(prefix, 2, fraction, 16);
    }

    // Padding, sign, prefix and zero fill before a number body of the given length.
    void beginNumber(int64_t body, const char* prefix, int prefixLength) {
        padding_ = options_.width - (sign_ ? 1 : 0) - prefixLength - body;
        const bool zeroFill = (options_.flags & ksFlagZero) && !(options_.flags & ksFlagMinus);
        if (!zeroFill && !(options_.flags & ksFlagMinus))
            out_.fill(' ', padding_);
        if (sign_)
            out_.put(sign_);
        out_.write(prefix, static_cast<uint64_t>(prefixLength));
        if (zeroFill)
            out_.fill('0', padding_);
    }

    void endNumber() { out_.fill(' ', (options_.flags & ksFlagMinus) ? padding_ : 0); }

    ksFormatState& out_;
    const ksFormatOptions& options_;
    const char* table_;
    char sign_ = 0;
    int64_t padding_ = 0;
    int64_t leading_ = 0; // power of the base of the first digit
    int64_t count_ = 0;
    ksFloatDigitString number_;
};

} // namespace

void ksFormatWriteFloating(ksFormatState& out, double value, const ksFormatOptions& options) {
    FloatWriter(out, options).write(value);
}
