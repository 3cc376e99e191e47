// The JSON layout. Strings are escaped in one pass: runs of plain ASCII are copied
// whole, everything else is looked at byte by byte with a strict UTF-8 check (no
// overlong forms, no surrogates, nothing above U+10FFFF), so that any JSON reader takes
// every line, whatever bytes the record held.
#include "core/JsonLine.h"
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

constexpr size_t kEscapedByteMax = 6; // "\u00XX", "\ufffd": the longest form of one byte

// Bytes copied as they are: printable ASCII other than the quote and the backslash.
struct PlainBytes {
    bool plain[256] = {};
    constexpr PlainBytes() {
        for (int c = 0x20; c < 0x7F; ++c)
            plain[c] = c != '"' && c != '\\';
    }
};
constexpr PlainBytes kPlain;

char* put(char* out, const char* text) {
    size_t length = std::strlen(text);
    std::memcpy(out, text, length);
    return out + length;
}

char* putDigits(char* out, uint32_t value, int width) {
    for (int i = width - 1; i >= 0; --i, value /= 10)
        out[i] = static_cast<char>('0' + value % 10);
    return out + width;
}

char* putNumber(char* out, uint32_t value) {
    int width = 1;
    for (uint32_t rest = value / 10; rest != 0; rest /= 10)
        ++width;
    return putDigits(out, value, width);
}

char* putUnicodeEscape(char* out, uint32_t unit) {
    static const char hex[] = "0123456789abcdef";
    out[0] = '\\';
    out[1] = 'u';
    for (int i = 5; i >= 2; --i, unit >>= 4)
        out[i] = hex[unit & 0xF];
    return out + 6;
}

char* putControl(char* out, unsigned char c) {
    const char* shortForm = c == '\n'   ? "\\n"
                            : c == '\t' ? "\\t"
                            : c == '\r' ? "\\r"
                            : c == '\b' ? "\\b"
                            : c == '\f' ? "\\f"
                                        : nullptr;
    return shortForm ? put(out, shortForm) : putUnicodeEscape(out, c);
}

bool continuation(unsigned char c) {
    return (c & 0xC0) == 0x80;
}

// The length of the valid UTF-8 sequence of two or more bytes at bytes, or 0. The
// second byte's range rules out overlong forms, surrogates and values above U+10FFFF.
size_t multiByteLength(const unsigned char* bytes, size_t available) {
    unsigned char lead = bytes[0];
    size_t length = lead >= 0xC2 && lead <= 0xDF   ? 2
                    : lead >= 0xE0 && lead <= 0xEF ? 3
                    : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                   : 0;
    if (length == 0 || length > available)
        return 0;
    unsigned char low = 0x80, high = 0xBF;
    if (lead == 0xE0)
        low = 0xA0;
    else if (lead == 0xED)
        high = 0x9F;
    else if (lead == 0xF0)
        low = 0x90;
    else if (lead == 0xF4)
        high = 0x8F;
    if (bytes[1] < low || bytes[1] > high)
        return 0;
    for (size_t i = 2; i < length; ++i)
        if (!continuation(bytes[i]))
            return 0;
    return length;
}

// One character that is not plain ASCII: an escape, a valid sequence as it is, or
// \ufffd for a byte that starts no valid sequence. Advances *at past what it used.
char* putSpecial(char* out, const unsigned char* bytes, size_t available, size_t* at) {
    unsigned char c = bytes[0];
    if (c == '"' || c == '\\') {
        *at += 1;
        out[0] = '\\';
        out[1] = static_cast<char>(c);
        return out + 2;
    }
    if (c < 0x80) { // C0 and DEL
        *at += 1;
        return putControl(out, c);
    }
    size_t length = multiByteLength(bytes, available);
    if (length == 0) {
        *at += 1;
        return putUnicodeEscape(out, 0xFFFD);
    }
    *at += length;
    if (length == 2 && c == 0xC2 && bytes[1] < 0xA0) // C1 controls
        return putUnicodeEscape(out, bytes[1]);
    if (length == 3 && c == 0xE2 && bytes[1] == 0x80 && (bytes[2] == 0xA8 || bytes[2] == 0xA9))
        return putUnicodeEscape(out, 0x2000u | (bytes[2] & 0x3Fu)); // U+2028, U+2029
    std::memcpy(out, bytes, length);
    return out + length;
}

// The place of the first byte among 16 that is not plain, or 16 when all are. With SSE2
// (every x86-64 processor) one comparison of each kind looks at all 16: bytes from 0x80
// on are negative as signed bytes, so "above 0x1F" also rules them out.
unsigned firstSpecialOf16(const unsigned char* bytes) {
#if defined(__SSE2__)
    __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes));
    __m128i special = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(chunk, _mm_set1_epi8('"')),
                                                _mm_cmpeq_epi8(chunk, _mm_set1_epi8('\\'))),
                                   _mm_or_si128(_mm_cmpeq_epi8(chunk, _mm_set1_epi8(0x7F)),
                                                _mm_cmpgt_epi8(_mm_set1_epi8(0x20), chunk)));
    unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(special));
    return mask == 0 ? 16 : static_cast<unsigned>(__builtin_ctz(mask));
#else
    unsigned at = 0;
    while (at < 16 && kPlain.plain[bytes[at]])
        ++at;
    return at;
#endif
}

// Copies the plain bytes at the start of bytes, 16 at a time while it can; returns how
// many it copied.
size_t putPlainRun(char* out, const unsigned char* bytes, size_t length) {
    size_t run = 0;
    while (run + 16 <= length) {
        unsigned plain = firstSpecialOf16(bytes + run);
        std::memcpy(out + run, bytes + run, 16); // what follows a special is written again
        run += plain;
        if (plain < 16)
            return run;
    }
    for (; run < length && kPlain.plain[bytes[run]]; ++run)
        out[run] = static_cast<char>(bytes[run]);
    return run;
}

char* putString(char* out, const char* text, size_t length) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(text);
    *out++ = '"';
    size_t at = 0;
    while (at < length) {
        size_t run = putPlainRun(out, bytes + at, length - at);
        out += run;
        at += run;
        if (at < length)
            out = putSpecial(out, bytes + at, length - at, &at);
    }
    *out++ = '"';
    return out;
}

char* putCString(char* out, const char* text) {
    return putString(out, text, std::strlen(text));
}

const char* levelName(uint16_t level) {
    return level <= 1 ? "error" : level == 2 ? "warning" : level == 3 ? "info" : "debug";
}

// "2024-01-31T23:59:07.042+01:00"
char* putTime(char* out, const ksPlatform::LocalTime& t, int32_t offsetMinutes) {
    auto field = [](int value, int high) {
        return static_cast<uint32_t>(value < 0 ? 0 : value > high ? high : value);
    };
    *out++ = '"';
    out = putDigits(out, field(t.year, 9999), 4);
    *out++ = '-';
    out = putDigits(out, field(t.month, 99), 2);
    *out++ = '-';
    out = putDigits(out, field(t.day, 99), 2);
    *out++ = 'T';
    out = putDigits(out, field(t.hour, 99), 2);
    *out++ = ':';
    out = putDigits(out, field(t.minute, 99), 2);
    *out++ = ':';
    out = putDigits(out, field(t.second, 99), 2);
    *out++ = '.';
    out = putDigits(out, field(t.millisecond, 999), 3);
    *out++ = offsetMinutes < 0 ? '-' : '+';
    uint32_t offset = field(offsetMinutes < 0 ? -offsetMinutes : offsetMinutes, 99 * 60 + 59);
    out = putDigits(out, offset / 60, 2);
    *out++ = ':';
    out = putDigits(out, offset % 60, 2);
    *out++ = '"';
    return out;
}

size_t textWithoutLineEnd(const ksJsonRecord& record) {
    size_t length = record.textLength;
    return length > 0 && record.text[length - 1] == '\n' ? length - 1 : length;
}

// Days from 1970-01-01 to the date of the proleptic Gregorian calendar.
int64_t daysSince1970(int64_t year, int64_t month, int64_t day) {
    year -= month <= 2;
    int64_t era = (year >= 0 ? year : year - 399) / 400;
    int64_t yearOfEra = year - era * 400;
    int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

} // namespace

size_t jsonLineBound(const ksJsonRecord& record) {
    constexpr size_t fixed = 256; // names, punctuation, time, numbers, the newline
    size_t names =
        std::strlen(record.application) + (record.moduleName ? std::strlen(record.moduleName) : 0);
    return fixed + (names + record.textLength) * kEscapedByteMax;
}

size_t renderJsonLine(const ksJsonRecord& record, char* out) {
    char* at = out;
    at = put(at, "{\"time\":");
    at = putTime(at, record.time, record.utcOffsetMinutes);
    at = put(at, ",\"level\":\"");
    at = put(at, levelName(record.level));
    at = put(at, "\",\"module\":");
    at = putNumber(at, record.module);
    at = put(at, ",\"module_name\":");
    at = record.moduleName ? putCString(at, record.moduleName) : put(at, "null");
    at = put(at, ",\"process\":");
    at = putNumber(at, record.processId);
    at = put(at, ",\"thread\":");
    at = putNumber(at, record.threadId);
    at = put(at, ",\"application\":");
    at = putCString(at, record.application);
    at = put(at, ",\"text\":");
    at = putString(at, record.text, textWithoutLineEnd(record));
    at = put(at, "}\n");
    return static_cast<size_t>(at - out);
}

size_t renderJsonLogStarted(const ksJsonRecord& start, char* out) {
    char* at = out;
    at = put(at, "{\"time\":");
    at = putTime(at, start.time, start.utcOffsetMinutes);
    at = put(at, ",\"log_started\":true,\"process\":");
    at = putNumber(at, start.processId);
    at = put(at, ",\"application\":");
    at = putCString(at, start.application);
    at = put(at, "}\n");
    return static_cast<size_t>(at - out);
}

int32_t utcOffsetMinutes(const ksPlatform::LocalTime& local, uint64_t wallClockMicroseconds) {
    int64_t localMilliseconds =
        ((daysSince1970(local.year, local.month, local.day) * 24 + local.hour) * 60 +
         local.minute) *
            60000 +
        local.second * 1000 + local.millisecond;
    int64_t difference = localMilliseconds - static_cast<int64_t>(wallClockMicroseconds / 1000);
    int64_t rounded = (difference >= 0 ? difference + 30000 : difference - 30000) / 60000;
    return static_cast<int32_t>(rounded);
}
