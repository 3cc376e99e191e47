// Safe names from untrusted header fields.
#include "FileName.h"

#include <cstdint>
#include <cstdio>

namespace {

constexpr std::size_t applicationPartLimit = 64;

bool isSafeFileCharacter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '_' || c == '.';
}

std::uint64_t fnv1a(std::string_view text) {
    std::uint64_t hash = 14695981039346656037u;
    for (char c : text) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 1099511628211u;
    }
    return hash;
}

bool isLowerHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
}

std::string safePart(std::string_view text, std::size_t limit) {
    std::string part;
    for (char c : text.substr(0, limit))
        part += isSafeFileCharacter(c) ? c : '_';
    if (part.empty())
        part.push_back('_');
    else if (part[0] == '.' || part[0] == '-')
        part[0] = '_'; // neither "." nor "..", a hidden file or what looks like an option
    if (part != text) {
        char hash[18];
        std::snprintf(hash, sizeof hash, "~%016llx", static_cast<unsigned long long>(fnv1a(text)));
        part += hash;
    }
    return part;
}

} // namespace

bool isInstanceIdentifier(std::string_view uuid) {
    if (uuid.size() != 36)
        return false;
    for (std::size_t i = 0; i < uuid.size(); ++i) {
        bool hyphenPlace = i == 8 || i == 13 || i == 18 || i == 23;
        if (hyphenPlace ? uuid[i] != '-' : !isLowerHexDigit(uuid[i]))
            return false;
    }
    return true;
}

// Any other text given as an identifier is written out in hex digits after a '~', which
// no identifier starts with: every such text gets a name of its own, none of which holds
// a '-', so the last '-' of a file name always separates the application from it.
std::string identifierPart(std::string_view uuid) {
    if (isInstanceIdentifier(uuid))
        return std::string(uuid);
    static const char digits[] = "0123456789abcdef";
    std::string part = "~";
    for (char c : uuid) {
        part += digits[static_cast<unsigned char>(c) >> 4];
        part += digits[static_cast<unsigned char>(c) & 15];
    }
    return part;
}

std::string instanceFileName(std::string_view application, std::string_view uuid,
                             std::string_view extension) {
    std::string name = safePart(application, applicationPartLimit);
    name += '-';
    name += identifierPart(uuid);
    name += extension;
    return name;
}

std::string displayText(std::string_view text, std::size_t limit) {
    std::string shown;
    for (char c : text.substr(0, limit)) {
        unsigned char byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte != 0x7f && byte != '\\') {
            shown += c;
        } else {
            char escaped[5];
            std::snprintf(escaped, sizeof escaped, "\\x%02x", byte);
            shown += escaped;
        }
    }
    if (text.size() > limit)
        shown += "...";
    return shown;
}
