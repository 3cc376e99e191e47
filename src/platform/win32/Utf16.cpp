#include "platform/win32/Utf16.h"
#include <cstdint>

namespace ksPlatform {

namespace {

constexpr uint32_t kMaxCodePoint = 0x10FFFF;
constexpr uint32_t kFirstSupplementary = 0x10000; // takes a surrogate pair from here on

bool isHighSurrogate(uint32_t unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}
bool isLowSurrogate(uint32_t unit) {
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

// The code point that starts at text, its byte count in *length; -1 when the bytes are
// not UTF-8. The terminator is never a continuation byte, so a cut sequence stops there.
int32_t decodeUtf8(const unsigned char* text, int* length) {
    unsigned lead = text[0];
    if (lead < 0x80) {
        *length = 1;
        return static_cast<int32_t>(lead);
    }
    int count;
    uint32_t value;
    uint32_t least; // below it the form is overlong
    if ((lead & 0xE0) == 0xC0) {
        count = 2, value = lead & 0x1F, least = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        count = 3, value = lead & 0x0F, least = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        count = 4, value = lead & 0x07, least = kFirstSupplementary;
    } else {
        return -1;
    }
    for (int i = 1; i < count; ++i) {
        if ((text[i] & 0xC0) != 0x80)
            return -1;
        value = value << 6 | (text[i] & 0x3F);
    }
    if (value < least || value > kMaxCodePoint)
        return -1;
    *length = count;
    return static_cast<int32_t>(value);
}

// The code point that starts at text, its unit count in *length.
uint32_t decodeUtf16(const wchar_t* text, int* length) {
    uint32_t unit = static_cast<uint16_t>(text[0]);
    uint32_t next = static_cast<uint16_t>(text[1]);
    if (isHighSurrogate(unit) && isLowSurrogate(next)) {
        *length = 2;
        return kFirstSupplementary + ((unit - 0xD800) << 10) + (next - 0xDC00);
    }
    *length = 1;
    return unit;
}

// Writes value's UTF-8 form at out when out is not null; returns its byte count.
int encodeUtf8(uint32_t value, char* out) {
    int count = value < 0x80 ? 1 : value < 0x800 ? 2 : value < kFirstSupplementary ? 3 : 4;
    if (out) {
        static const unsigned char leads[] = {0, 0, 0xC0, 0xE0, 0xF0};
        for (int i = count - 1; i > 0; --i, value >>= 6)
            out[i] = static_cast<char>(0x80 | (value & 0x3F));
        out[0] = static_cast<char>(count == 1 ? value : leads[count] | value);
    }
    return count;
}

} // namespace

// Two passes: the first measures and validates, the second converts into one block.
wchar_t* utf16FromUtf8(const char* text) {
    if (!text)
        return nullptr;
    const auto* bytes = reinterpret_cast<const unsigned char*>(text);
    size_t units = 0;
    for (int length = 0; *bytes; bytes += length) {
        int32_t value = decodeUtf8(bytes, &length);
        if (value < 0)
            return nullptr;
        units += static_cast<uint32_t>(value) >= kFirstSupplementary ? 2 : 1;
    }
    auto* wide = static_cast<wchar_t*>(std::malloc((units + 1) * sizeof(wchar_t)));
    if (!wide)
        return nullptr;
    wchar_t* out = wide;
    bytes = reinterpret_cast<const unsigned char*>(text);
    for (int length = 0; *bytes; bytes += length) {
        uint32_t value = static_cast<uint32_t>(decodeUtf8(bytes, &length));
        if (value >= kFirstSupplementary) {
            value -= kFirstSupplementary;
            *out++ = static_cast<wchar_t>(0xD800 + (value >> 10));
            *out++ = static_cast<wchar_t>(0xDC00 + (value & 0x3FF));
        } else {
            *out++ = static_cast<wchar_t>(value);
        }
    }
    *out = L'\0';
    return wide;
}

char* utf8FromUtf16(const wchar_t* text) {
    if (!text)
        return nullptr;
    size_t bytes = 0;
    int length = 0;
    for (const wchar_t* unit = text; *unit; unit += length)
        bytes += static_cast<size_t>(encodeUtf8(decodeUtf16(unit, &length), nullptr));
    char* utf8 = static_cast<char*>(std::malloc(bytes + 1));
    if (!utf8)
        return nullptr;
    char* out = utf8;
    for (; *text; text += length)
        out += encodeUtf8(decodeUtf16(text, &length), out);
    *out = '\0';
    return utf8;
}

} // namespace ksPlatform
