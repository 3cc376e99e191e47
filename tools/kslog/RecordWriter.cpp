#include "RecordWriter.h"
#include <climits>
#include <iterator>
#include "ksLog.h"

namespace {

// The length of the well-formed UTF-8 sequence at text[at] (RFC 3629: no overlong forms,
// no surrogates, nothing above U+10FFFF), 0 when there is none.
size_t sequenceLength(const std::string& text, size_t at) {
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(at);
    if (lead < 0x80)
        return 1;
    size_t length = 0;
    if (lead >= 0xC2 && lead <= 0xDF)
        length = 2;
    else if (lead >= 0xE0 && lead <= 0xEF)
        length = 3;
    else if (lead >= 0xF0 && lead <= 0xF4)
        length = 4;
    if (length == 0 || at + length > text.size())
        return 0;
    for (size_t i = at + 1; i < at + length; ++i)
        if ((byte(i) & 0xC0) != 0x80)
            return 0;
    const unsigned char second = byte(at + 1);
    if ((lead == 0xE0 && second < 0xA0) || (lead == 0xED && second > 0x9F) ||
        (lead == 0xF0 && second < 0x90) || (lead == 0xF4 && second > 0x8F))
        return 0;
    return length;
}

// The library takes UTF-8 text only, and a zero byte would end it: each byte that is not
// part of a well-formed sequence, and each zero byte, is written as \xHH instead, so the
// record keeps every byte of the input in a readable form and ends its line.
std::string readableText(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (size_t at = 0; at < text.size();) {
        const size_t length = text[at] == '\0' ? 0 : sequenceLength(text, at);
        if (length == 0) {
            static const char digits[] = "0123456789abcdef";
            const unsigned char byte = static_cast<unsigned char>(text[at]);
            out += "\\x";
            out += digits[byte >> 4];
            out += digits[byte & 15];
            ++at;
        } else {
            out.append(text, at, length);
            at += length;
        }
    }
    return out;
}

} // namespace

bool writeRecord(const Options& options, const std::string& text) {
    ksLogRecord* record = ksLog_Begin(options.level, options.module);
    if (!record)
        return false;
    if (options.hex) {
        ksLog_Append_B(text.data(), text.size());
    } else {
        // The text is an argument, never the format: its own '%' signs stay as they are.
        const std::string readable = readableText(text);
        const int length =
            readable.size() > INT_MAX ? INT_MAX : static_cast<int>(readable.size());
        ksLog_Append_F("%.*s\n", length, readable.data());
    }
    ksLog_End(record);
    return true;
}

bool writeInput(const Options& options, std::istream& input) {
    if (options.hex) {
        const std::string bytes{std::istreambuf_iterator<char>(input),
                                std::istreambuf_iterator<char>()};
        return bytes.empty() || writeRecord(options, bytes);
    }
    bool allAccepted = true;
    std::string line;
    while (std::getline(input, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back(); // a Windows line end
        allAccepted = writeRecord(options, line) && allAccepted;
    }
    return allAccepted;
}
