// JSON string escaping with a strict UTF-8 check.
#include "JsonText.h"

#include "Utf8.h"

#include <cstddef>
#include <cstdio>

namespace {

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
        } else if (std::size_t length = validUtf8Length(bytes)) {
            out.append(bytes.substr(0, length));
            bytes.remove_prefix(length);
        } else {
            out += "\\ufffd";
            bytes.remove_prefix(1);
        }
    }
    out += '"';
}
