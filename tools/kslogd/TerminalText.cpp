// Escaping for terminals. C1 controls are escaped too: some terminals act on them
// (0x9b starts a control sequence like ESC '['), whether as raw bytes or as UTF-8.
#include "TerminalText.h"

#include "Utf8.h"

#include <cstdio>

namespace {

void appendEscaped(std::string& out, std::string_view bytes) {
    for (char c : bytes) {
        char escaped[5];
        std::snprintf(escaped, sizeof escaped, "\\x%02x", static_cast<unsigned char>(c));
        out += escaped;
    }
}

bool isC1Control(std::string_view sequence) {
    return sequence.size() == 2 && static_cast<unsigned char>(sequence[0]) == 0xC2 &&
           static_cast<unsigned char>(sequence[1]) < 0xA0;
}

} // namespace

void appendTerminalText(std::string& out, std::string_view bytes) {
    while (!bytes.empty()) {
        unsigned char c = static_cast<unsigned char>(bytes[0]);
        std::size_t length = validUtf8Length(bytes);
        bool valid = length > 0;
        std::string_view sequence = bytes.substr(0, valid ? length : 1);
        bool harmless = valid && (c >= 0x20 || c == '\t') && c != 0x7f && !isC1Control(sequence);
        if (harmless)
            out.append(sequence);
        else
            appendEscaped(out, sequence);
        bytes.remove_prefix(sequence.size());
    }
}
