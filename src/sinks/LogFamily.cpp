// The names of one log.
#include "sinks/LogFamily.h"
#include <cstring>
#include "sinks/RotationPolicy.h"

namespace {

constexpr char kDigit = '\0';

// The width of the time token at text, or 0 when there is none there.
int tokenWidth(const char* text) {
    if (text[0] != '%')
        return 0;
    switch (text[1]) {
    case 'y':
        return 4;
    case 'm':
    case 'd':
    case 'H':
    case 'M':
    case 'S':
        return 2;
    default:
        return 0;
    }
}

// The pattern's tokens, read left to right, give the same names as the replacement in
// order: a replacement is digits, which neither make nor break a token.
std::string shapeOf(const char* pattern, const char* application) {
    std::string shape;
    for (const char* at = pattern; *at;) {
        if (int width = tokenWidth(at)) {
            shape.append(static_cast<size_t>(width), kDigit);
            at += 2;
        } else if (at[0] == '%' && at[1] == 'n') {
            shape.append(application);
            at += 2;
        } else {
            shape.push_back(*at++);
        }
    }
    return shape;
}

// The stamp of rotatedLogName goes before the extension: the last '.' that is not the
// component's first byte (tokens are digits, so the dot is plain text).
std::string rotatedShape(const std::string& plain) {
    size_t dot = plain.rfind('.');
    if (dot == std::string::npos || dot == 0)
        dot = plain.size();
    std::string stamp = ".";
    stamp.append(8, kDigit);
    stamp.push_back('-');
    stamp.append(6, kDigit);
    stamp.push_back('-');
    stamp.append(3, kDigit);
    return plain.substr(0, dot) + stamp + plain.substr(dot);
}

} // namespace

ksLogFamily::ksLogFamily(const char* pattern, const char* application)
    : plain_(shapeOf(lastComponent(pattern), application)), rotated_(rotatedShape(plain_)) {}

bool ksLogFamily::contains(const char* name) const {
    return matches(plain_, name) || matches(rotated_, name);
}

bool ksLogFamily::matches(const std::string& shape, const char* name) {
    if (std::strlen(name) != shape.size() || shape.empty())
        return false;
    for (size_t i = 0; i < shape.size(); ++i) {
        bool fits = shape[i] == kDigit ? (name[i] >= '0' && name[i] <= '9') : name[i] == shape[i];
        if (!fits)
            return false;
    }
    return true;
}
