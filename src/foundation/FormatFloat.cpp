// Floating conversions: the exact digits of the value, rounded half up, laid out in fixed,
// exponent or general form, or in the hexadecimal form.
#include "foundation/FormatFloat.h"
#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include "foundation/FloatDigits.h"
#include "foundation/FormatConvert.h"

namespace {

constexpr int64_t kDefaultPrecision = 6;
constexpr int64_t kHexDefaultPrecision = 24;
constexpr int64_t kAssembledMax = 48; // fixed-form bodies up to this long are built in place

int clampDigits(int64_t digits) {
    return static_cast<int>(digits < kFloatDigitsMax ? digits : kFloatDigitsMax);
}

int lowestPosition(int64_t precision) {
    return static_cast<int>(precision < kFloatPositionLimit ? -precision : -kFloatPositionLimit);
}

class FloatWriter {
  public:
    FloatWriter(ksFormatState& out, const ksFormatOptions& options)
        : out_(out), options_(options),
          table_((options.flags & ksFlagUpper) ? kFormatDigitsUpper : kFormatDigitsLower) {}

    void write(double value) {
        if (std::isnan(value) || std::isinf(value)) {
            writeWord(value);
            return;
        }
        if (std::signbit(value))
            sign_ = '-';
        else if (options_.flags & ksFlagPlus)
            sign_ = '+';
        else if (options_.flags & ksFlagSpace)
            sign_ = ' ';
        const double magnitude = std::fabs(value);
        const int base = (options_.flags & ksFlagBase) ? options_.base : 10;
        if (options_.conversion == 'a' || options_.conversion == 'A' || base == 16)
            writeHexadecimal(magnitude);
        else
            writeInBase(magnitude, base);
    }

  private:
    void writeWord(double value) {
        const bool upper = (options_.flags & ksFlagUpper) != 0;
        const char* word = std::isnan(value) ? (upper ? "NAN" : "nan")
                           : value < 0       ? (upper ? "-INF" : "-inf")
                                             : (upper ? "INF" : "inf");
        int64_t length = static_cast<int64_t>(std::strlen(word));
        if (options_.precision >= 0 && options_.precision < length)
            length = options_.precision;
        ksFormatPadded(out_, word, length, options_);
    }

    bool alternative() const { return (options_.flags & ksFlagAlternative) != 0; }
    // 'j' drops trailing zeros as g does.
    bool dropsZeros() const {
        return ((options_.flags & ksFlagGeneral) || (options_.flags & ksFlagIntmax)) &&
               !alternative();
    }

    void writeInBase(double magnitude, int base) {
        int64_t precision = options_.precision < 0 ? kDefaultPrecision : options_.precision;
        const bool general = (options_.flags & ksFlagGeneral) != 0;
        bool exponentForm = (options_.flags & ksFlagExponent) != 0;
        if (general && precision == 0)
            precision = 1;
        if (exponentForm || general)
            round(magnitude, base, clampDigits(general ? precision : precision + 1), INT_MIN);
        else
            round(magnitude, base, kFloatDigitsMax, lowestPosition(precision));
        if (general) {
            // The form follows the exponent after rounding.
            exponentForm = leading_ < -4 || leading_ >= precision;
            precision = exponentForm ? precision - 1 : precision - 1 - leading_;
        }
        if (exponentForm)
            writeExponentForm(precision, base);
        else
            writeFixedForm(precision);
    }

    // Rounds the magnitude and keeps its digits as characters of the directive's table.
    void round(double magnitude, int base, int maxDigits, int lowest) {
        ksFloatRound(magnitude, base, maxDigits, lowest, number_);
        for (int i = 0; i < number_.count; ++i)
            digits_[i] = table_[number_.digits[i]];
        count_ = number_.count;
        leading_ = number_.exponent;
    }

    // The digit characters at the powers from high down to low, zeros where none was made.
    void writeDigits(int64_t high, int64_t low) {
        if (high < low)
            return;
        const int64_t first = leading_ - high; // digit index of high
        const int64_t last = leading_ - low;
        int64_t index = first;
        if (index < 0) {
            const int64_t zeros = std::min<int64_t>(-index, last - index + 1);
            out_.fill('0', zeros);
            index += zeros;
        }
        if (index <= last && index < count_) {
            const int64_t end = std::min<int64_t>(last + 1, count_);
            out_.write(digits_ + index, static_cast<uint64_t>(end - index));
            index = end;
        }
        out_.fill('0', last - index + 1);
    }

    // Fraction digits to write: all of them, or without the trailing zeros.
    int64_t fractionLength(int64_t precision, int64_t firstFractionPower) const {
        if (!dropsZeros())
            return precision;
        const int64_t lowestPower = firstFractionPower - precision + 1;
        for (int64_t i = std::min<int64_t>(count_ - 1, leading_ - lowestPower); i >= 0; --i) {
            const int64_t power = leading_ - i;
            if (power > firstFractionPower)
                break;
            if (digits_[i] != '0')
                return firstFractionPower + 1 - power;
        }
        return 0;
    }

    void writeFixedForm(int64_t precision) {
        const int64_t integerLength = leading_ >= 0 ? leading_ + 1 : 1;
        const int64_t fraction = fractionLength(precision, -1);
        const bool point = fraction > 0 || alternative();
        const int64_t body = integerLength + (point ? 1 : 0) + fraction;
        if (body <= kAssembledMax) {
            writeAssembledFixed(body, integerLength, point);
            return;
        }
        beginNumber(body, nullptr, 0);
        if (leading_ >= 0)
            writeDigits(leading_, 0);
        else
            out_.put('0');
        if (point)
            out_.put('.');
        writeDigits(-1, -fraction);
        endNumber();
    }

    // The digit character at a power of the base: '0' where none was made.
    char digitAt(int64_t power) const {
        const int64_t index = leading_ - power;
        return index >= 0 && index < count_ ? digits_[index] : '0';
    }

    // A short fixed-form body built in place and written in one piece.
    void writeAssembledFixed(int64_t body, int64_t integerLength, bool point) {
        char text[kAssembledMax];
        int64_t length = 0;
        const int64_t fraction = body - integerLength - (point ? 1 : 0);
        if (leading_ >= 0 && leading_ + fraction < count_) {
            // Every digit of the body was made: copied as they stand, around the point.
            for (; length < integerLength; ++length)
                text[length] = digits_[length];
            if (point)
                text[length++] = '.';
            for (const char* digit = digits_ + integerLength; length < body; ++length)
                text[length] = *digit++;
        } else {
            for (int64_t power = integerLength - 1; power >= 0; --power)
                text[length++] = digitAt(power);
            if (point)
                text[length++] = '.';
            for (int64_t power = -1; length < body; --power)
                text[length++] = digitAt(power);
        }
        beginNumber(body, nullptr, 0);
        out_.write(text, static_cast<uint64_t>(body));
        endNumber();
    }

    void writeExponentForm(int64_t precision, int base) {
        const int64_t fraction = fractionLength(precision, leading_ - 1);
        const bool point = fraction > 0 || alternative();
        char exponent[40];
        const int exponentLength = formatExponent(exponent, leading_, base, base == 10 ? 2 : 1,
                                                  (options_.flags & ksFlagUpper) ? 'E' : 'e');
        writeMantissaAndPower(nullptr, 0, point, fraction, exponent, exponentLength);
    }

    // One leading digit, the point and fraction digits, then the power text, as one number;
    // built in place and written in one piece when it is short.
    void writeMantissaAndPower(const char* prefix, int prefixLength, bool point, int64_t fraction,
                               const char* power, int powerLength) {
        const int64_t body = 1 + (point ? 1 : 0) + fraction + powerLength;
        beginNumber(body, prefix, prefixLength);
        if (body <= kAssembledMax) {
            char text[kAssembledMax];
            text[0] = digitAt(leading_);
            text[1] = '.';
            char* at = text + (point ? 2 : 1);
            // A few bytes each: loops beat calls of the library's copies here.
            for (int64_t i = 0; i < fraction; ++i)
                at[i] = i + 1 < count_ ? digits_[i + 1] : '0';
            for (int i = 0; i < powerLength; ++i)
                at[fraction + i] = power[i];
            out_.write(text, static_cast<uint64_t>(body));
        } else {
            writeDigits(leading_, leading_);
            if (point)
                out_.put('.');
            writeDigits(leading_ - 1, leading_ - fraction);
            out_.write(power, static_cast<uint64_t>(powerLength));
        }
        endNumber();
    }

    // The letter, the sign and at least minimum digits of the power in the given base.
    static int formatExponent(char* text, int64_t power, int base, int minimum, char letter) {
        const char* table =
            letter == 'E' || letter == 'P' ? kFormatDigitsUpper : kFormatDigitsLower;
        char reversed[40];
        int length = 0;
        uint64_t magnitude =
            power < 0 ? static_cast<uint64_t>(-power) : static_cast<uint64_t>(power);
        const uint64_t divisor = static_cast<uint64_t>(base);
        do { // base 10, by far the most common, divides by a constant
            const uint64_t next = base == 10 ? magnitude / 10 : magnitude / divisor;
            reversed[length++] = table[magnitude - next * divisor];
            magnitude = next;
        } while (magnitude);
        while (length < minimum)
            reversed[length++] = '0';
        int size = 0;
        text[size++] = letter;
        text[size++] = power < 0 ? '-' : '+';
        while (length > 0)
            text[size++] = reversed[--length];
        return size;
    }

    void writeHexadecimal(double magnitude) {
        const bool explicitPrecision = options_.precision >= 0;
        const int64_t precision = explicitPrecision ? options_.precision : kHexDefaultPrecision;
        round(magnitude, 16, clampDigits(precision + 1), INT_MIN);
        int64_t fraction = precision;
        if (!explicitPrecision || ((options_.flags & ksFlagIntmax) && !alternative()))
            fraction = std::min(fraction, trimmedHexFraction());
        const bool point = fraction > 0 || alternative();
        const bool upper = (options_.flags & ksFlagUpper) != 0;
        char power[40];
        const int powerLength = formatExponent(power, leading_ * 4, 10, 1, upper ? 'P' : 'p');
        const char prefix[2] = {'0', upper ? 'X' : 'x'};
        writeMantissaAndPower(prefix, 2, point, fraction, power, powerLength);
    }

    int64_t trimmedHexFraction() const {
        int64_t length = count_ - 1;
        while (length > 0 && digits_[length] == '0')
            --length;
        return length > 0 ? length : 0;
    }

    // Padding, sign, prefix and zero fill before a number body of the given length.
    void beginNumber(int64_t body, const char* prefix, int prefixLength) {
        const int64_t length = (sign_ ? 1 : 0) + prefixLength + body;
        padding_ = options_.width - length;
        const bool zeroFill = (options_.flags & ksFlagZero) && !(options_.flags & ksFlagMinus);
        if (!zeroFill && !(options_.flags & ksFlagMinus))
            out_.fill(' ', padding_);
        if (sign_)
            out_.put(sign_);
        out_.write(prefix, static_cast<uint64_t>(prefixLength));
        if (zeroFill)
            out_.fill('0', padding_);
    }

    void endNumber() {
        if (options_.flags & ksFlagMinus)
            out_.fill(' ', padding_);
    }

    ksFormatState& out_;
    const ksFormatOptions& options_;
    const char* table_;
    char sign_ = 0;
    int64_t padding_ = 0;
    int64_t leading_ = 0; // power of the base of digits_[0]
    int count_ = 0;
    ksFloatDigitString number_;
    char digits_[kFloatDigitsMax];
};

} // namespace

void ksFormatFloatingValue(ksFormatState& out, double value, const ksFormatOptions& options) {
    FloatWriter writer(out, options);
    writer.write(value);
}
