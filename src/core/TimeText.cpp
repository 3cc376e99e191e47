// A real clock's fields always fit their widths, and then the digits are written one by
// one: the general formatter would cost several times the record's own text. A field
// out of its range (a platform fault) goes through the formatter, which gives the
// same text the directives name.
#include "core/TimeText.h"
#include "foundation/FixedDigits.h"
#include "foundation/Format.h"

namespace {

struct Field {
    int value;
    int width;
    int limit; // 10 to the width
    char after;
};

constexpr size_t longestFastText = 24; // "12/31/9999 23:59:59:999" and its terminator

int formatSlowly(char* text, size_t size, const ksPlatform::LocalTime& t, bool showDate) {
    if (showDate)
        return ksFormatBuffer(text, size, "%02d/%02d/%04d %02d:%02d:%02d:%03d", t.month, t.day,
                              t.year, t.hour, t.minute, t.second, t.millisecond);
    return ksFormatBuffer(text, size, "%02d:%02d:%02d:%03d", t.hour, t.minute, t.second,
                          t.millisecond);
}

} // namespace

int ksFormatTimeText(char* text, size_t size, const ksPlatform::LocalTime& t, bool showDate) {
    const Field fields[] = {{t.month, 2, 100, '/'},  {t.day, 2, 100, '/'},
                            {t.year, 4, 10000, ' '}, {t.hour, 2, 100, ':'},
                            {t.minute, 2, 100, ':'}, {t.second, 2, 100, ':'},
                            {t.millisecond, 3, 1000, 0}};
    const Field* first = showDate ? fields : fields + 3;
    const Field* last = fields + sizeof fields / sizeof fields[0];
    bool fits = size >= longestFastText;
    for (const Field* field = first; fits && field != last; ++field)
        fits = field->value >= 0 && field->value < field->limit;
    if (!fits)
        return formatSlowly(text, size, t, showDate);
    char* at = text;
    for (const Field* field = first; field != last; ++field) {
        at = ksWritePaddedDecimal(at, static_cast<uint32_t>(field->value), field->width);
        if (field->after)
            *at++ = field->after;
    }
    *at = 0;
    return static_cast<int>(at - text);
}
