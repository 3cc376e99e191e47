// JSON string escaping with a strict UTF-8 check (no overlong forms, no surrogates,
// nothing above U+10FFFF), since a log shipper may refuse a whole line for one bad byte.
#include "JsonText.h"

#include <cstddef>
#include <cstdio>

namespace {

// Length of the valid UTF-8 sequence at the start of bytes, or 0.
std::size_t validSequenceLength(std::string_view bytes) {
    auto at = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
    unsigned char lead = at(0);
    std::size_t length;
    unsigned char low = 0x80, high = 0xBF; // allowed range of the second byte
    if (lead < 0x80)
        return 1;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0)
            low = 0xA0; // overlong below U+0800
        if (lead == 0xED)
            high = 0x9F; // surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0)
            low = 0x90; // overlong below U+10000
        if (lead == 0xF4)
            high = 0x8F; // above U+10FFFF
    } else {
        return 0;
    }
    if (bytes.size() < length || at(1) < low || at(1) > high)
        return 0;
    for (std::size_t i = 2; i < length; ++i)
        if (at(i) < 0x80 || at(i) > 0xBF)
            return 0;
    return length;
}

void appendEscapedControl(std::string& out, unsigned char c) {
    switch (c) {
    case '\b':
        out += "\\b";
        return;
    case '\f':
        out += "\\f";
        return;
    case '\n':
        out += "\\n";
        return;
    case '\r':
        out += "\\r";
        return;
    case '\t':
        out += "\\t";
        return;
    default:
        break;
    }
    char escaped[8];
    std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
    out += escaped;
}

} // namespace

void appendJsonString(std::string& out, std::string_view bytes) {
    out += '"';
    while (!bytes.empty()) {
        unsigned char c = static_cast<unsigned char>(bytes[0]);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
            bytes.remove_prefix(1);
        } else if (c < 0x20) {
            appendEscapedControl(out, c);
            bytes.remove_prefix(1);
        } else if (std::size_t length = validSequenceLength(bytes)) {
            out.append(bytes.substr(0, length));
            bytes.remove_prefix(length);
        } else {
            out += "\\ufffd";
            bytes.remove_prefix(1);
        }
    }
    out += '"';
}
